// Lap_Replay: a lap's kept inputs raced again from the start of its course, with no window.
#ifndef TAVRELO_LAP_REPLAY_H
#define TAVRELO_LAP_REPLAY_H

#include <QString>

#include <functional>

class Input_Track;
class Level;
class Race;

class Lap_Replay
{
public:
    // Races track on level (Init'ed for its course) from the start, as the
    // game raced it, until the finish or the end of the inputs. The ghost is
    // recorded up to record_cap characters. The work is bounded by
    // Input_Track::Max_Frames steps whatever the inputs. after_step, when
    // given, sees the race after each step.
    void Run(Level& level, const Input_Track& track, int record_cap,
             const std::function<void(const Race&)>& after_step = nullptr);

    bool m_finished = false;
    int m_frames = 0;      // steps raced, up to and with the finish
    int m_past_finish = 0; // frames of inputs left after the finish
    float m_time = 0.0f;   // the clock at the end
    QString m_ghost;       // the run's ghost as recorded, header first
};

#endif
