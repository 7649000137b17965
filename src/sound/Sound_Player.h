// Sound_Player: the game's sound: the mixer, the output it plays through, and that output opened again when
// it comes back.
#ifndef TAVRELO_SOUND_PLAYER_H
#define TAVRELO_SOUND_PLAYER_H

#include "Audio_Sink.h"
#include "Sound_Commands.h"
#include "Sound_Frame.h"
#include "Sound_Mixer.h"
#include "Sound_Stream.h"

#include <QTimer>

class Race;

class Sound_Player
{
public:
    // Buffered between the mixer and the speaker at most: a cue is heard this soon after its frame.
    static constexpr int Buffer_Milliseconds = 50;
    // How long the player waits before trying a lost or missing output again: a server that comes back is
    // heard within this and a little, and a missing one costs one try a second.
    static constexpr int Retry_Milliseconds = 1000;

    // Opens the default output at once. Without one the game plays on silent:
    // one line on standard error, a new try every second, and one line more when sound is back.
    Sound_Player();
    ~Sound_Player();
    Sound_Player(const Sound_Player&) = delete;
    Sound_Player& operator=(const Sound_Player&) = delete;

    // What one race step did, as the engine, the rumble and the cues hear it.
    static Sound_Frame Frame_Of(const Race& race, unsigned cues);

    // What Sound_Mixer does, asked from the game's thread while the mixer renders on the output's.
    void Race_Step(const Sound_Frame& frame);
    void Play(unsigned cues);
    void Set_Racing(bool racing);
    void Set_Held(bool held);
    void Set_Muted(bool muted);
    bool Is_Muted() const { return m_muted; }
    void Set_Volume(int volume);
    int Volume() const { return m_volume; }

    // Closes the output for good. Qt's output may run the event loop while it
    // closes: the owner calls this while everything a frame reaches is whole.
    void Close();

    // An output is open and playing.
    bool Is_Playing() const;
    // The buffer the output took, in bytes (16-bit mono at Sound_Rate).
    int Buffer_Bytes() const;
    const Sound_Stream& Stream() const { return m_stream; }

private:
    void Open();
    void Output_Changed();
    void Push(Sound_Command::Kind kind, int value, const Sound_Frame& frame = Sound_Frame());

    // Rendered on the output's thread while an output is open, on this one otherwise.
    Sound_Mixer m_mixer;
    Sound_Commands m_commands;

    Sound_Stream m_stream;
    Audio_Sink m_sink;
    QTimer m_retry;
    bool m_open;
    bool m_warned;
    bool m_muted;
    int m_volume;
};

#endif
