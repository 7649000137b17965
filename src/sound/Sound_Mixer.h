// Sound_Mixer: every voice of the game mixed into 16-bit samples, with the volume, mute and held race; no
// device.
#ifndef TAVRELO_SOUND_MIXER_H
#define TAVRELO_SOUND_MIXER_H

#include "Cue_Voice.h"
#include "Engine_Voice.h"
#include "Rumble_Voice.h"
#include "Sound_Frame.h"

#include <cstdint>

// The same calls in the same order, with the same counts of samples between
// them, give the same samples: the mixer keeps no clock of its own.
class Sound_Mixer
{
public:
    // The volume a player gets before choosing one, 0 to 100.
    static constexpr int Default_Volume = 80;

    Sound_Mixer();

    // One race step: the engine and rumble follow it, its cues start.
    void Race_Step(const Sound_Frame& frame);
    // In a race the engine runs; in the menu it dies away.
    void Set_Racing(bool racing);
    // A held race and a muted game fall silent within a few milliseconds, and
    // cues that come meanwhile are dropped, not kept for later.
    void Set_Held(bool held);
    void Set_Muted(bool muted);
    bool Is_Muted() const { return m_muted; }
    // 0 to 100; anything else is brought into that range.
    void Set_Volume(int volume);
    int Volume() const { return m_volume; }
    void Play(unsigned cues);

    void Render(int16_t* samples, int count);

    // The loudest the output may be, as a share of full scale.
    static const float Ceiling;

private:
    bool Audible() const { return !m_held && !m_muted; }

    Engine_Voice m_engine;
    Rumble_Voice m_rumble;
    Cue_Voice m_cues;
    Sound_Frame m_last;
    bool m_racing;
    bool m_held;
    bool m_muted;
    int m_volume;
    float m_gain;
    float m_limit;
};

#endif
