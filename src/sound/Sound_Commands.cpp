#include "Sound_Commands.h"

#include "Sound_Mixer.h"

Sound_Commands::Sound_Commands()
{
    m_pending.reserve(Room);
    m_taken.reserve(Room);
}

void Sound_Commands::Push(const Sound_Command& command)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    // Steps the sound has not caught up with are heard as the last of them,
    // with all their cues: a game run faster than real time (a test, a
    // benchmark) neither piles them up nor loses a cue.
    if (command.kind == Sound_Command::Race_Step && !m_pending.empty() &&
        m_pending.back().kind == Sound_Command::Race_Step)
    {
        const unsigned cues = m_pending.back().frame.cues | command.frame.cues;
        m_pending.back() = command;
        m_pending.back().frame.cues = cues;
        return;
    }
    if (m_pending.size() >= Room)
        Fold();
    m_pending.push_back(command);
}

size_t Sound_Commands::Waiting()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending.size();
}

void Sound_Commands::Fold()
{
    // In the order that gives the same state: the racing switch resets the step that follows it.
    const Sound_Command::Kind order[] = {Sound_Command::Set_Volume, Sound_Command::Set_Muted,
                                         Sound_Command::Set_Held, Sound_Command::Set_Racing,
                                         Sound_Command::Race_Step};
    std::vector<Sound_Command> folded;
    for (const Sound_Command::Kind kind : order)
        for (auto last = m_pending.rbegin(); last != m_pending.rend(); ++last)
            if (last->kind == kind)
            {
                folded.push_back(*last);
                folded.back().frame.cues = Cue_None;
                break;
            }
    m_pending.assign(folded.begin(), folded.end());
}

void Sound_Commands::Apply_To(Sound_Mixer& mixer)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_taken.swap(m_pending);
    }
    for (const Sound_Command& command : m_taken)
    {
        switch (command.kind)
        {
        case Sound_Command::Race_Step:
            mixer.Race_Step(command.frame);
            break;
        case Sound_Command::Play:
            mixer.Play(unsigned(command.value));
            break;
        case Sound_Command::Set_Racing:
            mixer.Set_Racing(command.value != 0);
            break;
        case Sound_Command::Set_Held:
            mixer.Set_Held(command.value != 0);
            break;
        case Sound_Command::Set_Muted:
            mixer.Set_Muted(command.value != 0);
            break;
        case Sound_Command::Set_Volume:
            mixer.Set_Volume(command.value);
            break;
        }
    }
    m_taken.clear();
}
