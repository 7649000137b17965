#include "Sound_Mixer.h"

#include <algorithm>
#include <cmath>

namespace
{
// Silence "at once" still takes a few milliseconds: a gain cut to nothing
// between two samples is a click.
constexpr float Fade_Step = 1.0f / (Sound_Rate * 5 / 1000);
// The limiter lets go over about 50 ms.
constexpr float Limit_Release = 1.0f / (Sound_Rate * 50 / 1000);
} // namespace

const float Sound_Mixer::Ceiling = 0.92f;

Sound_Mixer::Sound_Mixer()
    : m_racing(false), m_held(false), m_muted(false), m_volume(Default_Volume), m_gain(0.0f), m_limit(1.0f)
{
}

void Sound_Mixer::Race_Step(const Sound_Frame& frame)
{
    m_last = frame;
    m_engine.Set(frame.speed, frame.thrust, m_racing);
    m_rumble.Set(m_racing ? frame.off_road : 0.0f, frame.speed);
    Play(frame.cues);
}

void Sound_Mixer::Set_Racing(bool racing)
{
    m_racing = racing;
    // A race starts with the craft at rest; the menu lets the last step's engine die away.
    if (racing)
        m_last = Sound_Frame();
    m_engine.Set(m_last.speed, m_last.thrust, racing);
    m_rumble.Set(racing ? m_last.off_road : 0.0f, m_last.speed);
}

void Sound_Mixer::Set_Held(bool held)
{
    m_held = held;
}

void Sound_Mixer::Set_Muted(bool muted)
{
    m_muted = muted;
}

void Sound_Mixer::Set_Volume(int volume)
{
    m_volume = std::min(std::max(volume, 0), 100);
}

void Sound_Mixer::Play(unsigned cues)
{
    if (Audible())
        m_cues.Play(cues);
}

void Sound_Mixer::Render(int16_t* samples, int count)
{
    // Loudness goes as the square of the volume, as an ear hears it.
    const float share = float(m_volume) / 100.0f;
    const float volume = share * share;
    const float target = Audible() ? volume : 0.0f;
    for (int i = 0; i < count; ++i)
    {
        if (m_gain < target)
            m_gain = std::min(m_gain + Fade_Step, target);
        else if (m_gain > target)
            m_gain = std::max(m_gain - Fade_Step, target);
        if (m_gain <= 0.0f && target <= 0.0f)
        {
            // Nothing heard: nothing is worked out, and no cue waits to sound later.
            std::fill(samples + i, samples + count, int16_t(0));
            m_cues.Clear();
            return;
        }
        const float mixed = m_gain * (m_engine.Next() + m_rumble.Next() + m_cues.Next());
        // The voices' own peaks leave room below the ceiling; the limiter is
        // there for cues piled on cues, and turns them down rather than clip.
        const float magnitude = std::fabs(mixed);
        if (magnitude * m_limit > Ceiling)
        {
            m_limit = Ceiling / magnitude;
        }
        else
        {
            m_limit = std::min(m_limit + Limit_Release, 1.0f);
        }
        samples[i] = int16_t(std::lround(mixed * m_limit * 32767.0f));
    }
}
