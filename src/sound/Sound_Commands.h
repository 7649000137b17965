// Sound_Commands: what the game asks of the mixer, handed from the game's thread to the one that renders.
#ifndef TAVRELO_SOUND_COMMANDS_H
#define TAVRELO_SOUND_COMMANDS_H

#include "Sound_Frame.h"

#include <mutex>
#include <vector>

class Sound_Mixer;

struct Sound_Command
{
    enum Kind
    {
        Race_Step,
        Play,
        Set_Racing,
        Set_Held,
        Set_Muted,
        Set_Volume,
    };
    Kind kind;
    Sound_Frame frame; // Race_Step
    int value;         // Play: the cues; the switches: 0 or 1; Set_Volume: the volume
};

// The lock is held only to add one command or to take them all: never while
// samples are rendered, so the game's frame never waits for the sound.
class Sound_Commands
{
public:
    Sound_Commands();

    // Commands left waiting at most: a reader that falls behind (a stalled sound server) finds the same
    // state, not a backlog that grows for as long as it is away.
    static constexpr size_t Room = 1024;

    void Push(const Sound_Command& command);
    // Carries out, in order, every command pushed so far.
    void Apply_To(Sound_Mixer& mixer);
    size_t Waiting();

private:
    // A full backlog becomes what it comes to: the last of each switch and the last step, without cues
    // gone stale.
    void Fold();

    std::mutex m_mutex;
    std::vector<Sound_Command> m_pending;
    std::vector<Sound_Command> m_taken;
};

#endif
