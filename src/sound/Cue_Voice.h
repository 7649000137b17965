// Cue_Voice: the game's short cues (start, put back, finish, new best, a click), played from tables of notes.
#ifndef TAVRELO_CUE_VOICE_H
#define TAVRELO_CUE_VOICE_H

#include <array>
#include <cstdint>

struct Cue_Note;

class Cue_Voice
{
public:
    Cue_Voice();

    // Starts every cue whose bit is set in cues (Sound_Cue); a new best plays instead of a finish.
    void Play(unsigned cues);
    // Stops every note at once: only where nothing is audible.
    void Clear();
    bool Busy() const;
    float Next();

    // The loudest any cue gets on its own.
    static const float Peak;

private:
    struct Playing
    {
        const Cue_Note* note;
        int age; // samples since the note began; below zero before it does
        int length;
        float phase;
        float decay; // the envelope's decay so far
        float decay_step;
    };
    void Start(const Cue_Note* notes, int count);

    std::array<Playing, 12> m_playing;
    int m_active; // notes in m_playing
    uint32_t m_seed;
};

#endif
