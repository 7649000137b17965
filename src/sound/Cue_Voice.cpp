#include "Cue_Voice.h"

#include "Portable_Math.h"
#include "Sound_Frame.h"

#include <algorithm>
#include <cmath>
#include <iterator>

// One note of a cue: when it begins after the cue, how long it lasts, its pitch
// (gliding from the first to the second), its loudness, its brightness (the
// share of upper harmonics) and its share of noise.
struct Cue_Note
{
    float delay;
    float duration;
    float from_hertz;
    float to_hertz;
    float level;
    float bright;
    float noise;
};

namespace
{
constexpr int Attack = Sound_Rate * 3 / 1000;
constexpr int Taper = Sound_Rate * 8 / 1000;

// Two rising beeps, as a starter's lights: the clock runs.
constexpr Cue_Note Start_Notes[] = {
    {0.00f, 0.09f, 880.0f, 880.0f, 0.22f, 0.3f, 0.0f},
    {0.12f, 0.22f, 1320.0f, 1320.0f, 0.22f, 0.3f, 0.0f},
};
// A dull falling thud with a puff of noise: the craft set back on the road.
constexpr Cue_Note Put_Back_Notes[] = {
    {0.00f, 0.22f, 320.0f, 90.0f, 0.30f, 0.4f, 0.35f},
};
// A rising major triad in the middle of the range.
constexpr Cue_Note Finish_Notes[] = {
    {0.00f, 0.45f, 523.25f, 523.25f, 0.13f, 0.5f, 0.0f},
    {0.11f, 0.45f, 659.25f, 659.25f, 0.13f, 0.5f, 0.0f},
    {0.22f, 0.60f, 783.99f, 783.99f, 0.13f, 0.5f, 0.0f},
};
// The same figure an octave up, quicker, with all its harmonics and a high
// sparkle on top: brighter than a plain finish, and longer.
constexpr Cue_Note New_Best_Notes[] = {
    {0.00f, 0.50f, 1046.5f, 1046.5f, 0.085f, 1.0f, 0.0f},
    {0.07f, 0.50f, 1318.5f, 1318.5f, 0.085f, 1.0f, 0.0f},
    {0.14f, 0.50f, 1568.0f, 1568.0f, 0.085f, 1.0f, 0.0f},
    {0.21f, 0.80f, 2093.0f, 2093.0f, 0.085f, 1.0f, 0.0f},
    {0.21f, 0.50f, 3136.0f, 3136.0f, 0.045f, 0.2f, 0.0f},
};
// A tick short enough to sit under a finger's tap.
constexpr Cue_Note Click_Notes[] = {
    {0.00f, 0.018f, 2200.0f, 1800.0f, 0.18f, 0.2f, 0.3f},
};

template <size_t N> constexpr float Sum_Of_Levels(const Cue_Note (&notes)[N])
{
    float sum = 0.0f;
    for (size_t i = 0; i < N; ++i)
        sum += notes[i].level;
    return sum;
}
} // namespace

// Every note of a cue at full strength at once: more than they ever reach together.
const float Cue_Voice::Peak =
    std::max({Sum_Of_Levels(Start_Notes), Sum_Of_Levels(Put_Back_Notes), Sum_Of_Levels(Finish_Notes),
              Sum_Of_Levels(New_Best_Notes), Sum_Of_Levels(Click_Notes)});

Cue_Voice::Cue_Voice() : m_active(0), m_seed(0x9e3779b9u)
{
    Clear();
}

void Cue_Voice::Clear()
{
    for (Playing& playing : m_playing)
        playing = Playing{nullptr, 0, 0, 0.0f, 0.0f, 0.0f};
    m_active = 0;
}

bool Cue_Voice::Busy() const
{
    return m_active > 0;
}

void Cue_Voice::Play(unsigned cues)
{
    if (cues & Cue_Start)
        Start(Start_Notes, int(std::size(Start_Notes)));
    if (cues & Cue_Put_Back)
        Start(Put_Back_Notes, int(std::size(Put_Back_Notes)));
    if (cues & Cue_New_Best)
        Start(New_Best_Notes, int(std::size(New_Best_Notes)));
    else if (cues & Cue_Finish)
        Start(Finish_Notes, int(std::size(Finish_Notes)));
    if (cues & Cue_Click)
        Start(Click_Notes, int(std::size(Click_Notes)));
}

void Cue_Voice::Start(const Cue_Note* notes, int count)
{
    for (int i = 0; i < count; ++i)
    {
        // A free slot, or else the note nearest its end gives way.
        Playing* slot = &m_playing[0];
        for (Playing& playing : m_playing)
        {
            if (!playing.note)
            {
                slot = &playing;
                break;
            }
            if (playing.length - playing.age < slot->length - slot->age)
                slot = &playing;
        }
        if (!slot->note)
            ++m_active;
        const int length = std::max(int(notes[i].duration * float(Sound_Rate)), Attack + Taper);
        // Down by 1/e three times over the note: it rings, then fades into the taper.
        *slot = Playing{&notes[i], -int(notes[i].delay * float(Sound_Rate)), length, 0.0f,
                        1.0f,      std::exp(-3.0f / float(length))};
    }
}

float Cue_Voice::Next()
{
    // Most of a race plays no cue: its samples need no look at the notes.
    if (m_active == 0)
        return 0.0f;
    float sum = 0.0f;
    for (Playing& playing : m_playing)
    {
        if (!playing.note)
            continue;
        const int age = playing.age++;
        if (age < 0)
            continue;
        if (age >= playing.length)
        {
            playing.note = nullptr;
            --m_active;
            continue;
        }
        const Cue_Note& note = *playing.note;
        const float along = float(age) / float(playing.length);
        const float hertz = note.from_hertz + (note.to_hertz - note.from_hertz) * along;
        playing.phase += hertz / float(Sound_Rate);
        if (playing.phase >= 1.0f)
            playing.phase -= std::floor(playing.phase);
        const float a = Sound_Two_Pi * playing.phase;
        // Harmonic weights summing to 1.08: the wave stays within 1 + 1.08 * bright. The upper harmonics
        // come from the fundamental's sine and cosine by the multiple-angle formulas, as the engine's do:
        // one sine and one cosine a sample rather than four sines, for each note sounding.
        const float s = Portable_Math::Sin(a);
        const float c = Portable_Math::Cos(a);
        const float s2 = 2.0f * s * c;
        const float s3 = s * (3.0f - 4.0f * s * s);
        const float s4 = 2.0f * s2 * (1.0f - 2.0f * s * s);
        const float wave =
            (s + note.bright * (0.5f * s2 + 0.33f * s3 + 0.25f * s4)) / (1.0f + 1.08f * note.bright);
        float tone = wave;
        if (note.noise > 0.0f)
        {
            m_seed = m_seed * 1664525u + 1013904223u;
            const float noise = float(m_seed >> 8) * (2.0f / 16777216.0f) - 1.0f;
            tone = (1.0f - note.noise) * wave + note.noise * noise;
        }
        float envelope = playing.decay;
        playing.decay *= playing.decay_step;
        if (age < Attack)
            envelope *= float(age) / float(Attack);
        const int left = playing.length - age;
        if (left < Taper)
            envelope *= float(left) / float(Taper);
        sum += note.level * envelope * tone;
    }
    return sum;
}
