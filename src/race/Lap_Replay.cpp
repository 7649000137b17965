#include "Lap_Replay.h"

#include "Ghost_Ship.h"
#include "Input_Track.h"
#include "Race.h"
#include "Ship.h"

void Lap_Replay::Run(Level& level, const Input_Track& track, int record_cap,
                     const std::function<void(const Race&)>& after_step)
{
    Ship ship;
    ship.m_keeps_trail = false;
    Ghost_Ship ghost_ship;
    ghost_ship.m_record_cap = record_cap;
    Race race;
    race.Attach(&level, &ship, &ghost_ship);
    // The ghost being replayed changes nothing in the race: none is loaded.
    race.Reset(QString(), 0.0f, track.m_start_view);

    m_frames = 0;
    m_past_finish = 0;
    m_finished = false;
    for (const Input_Track::Run& run : track.m_runs)
    {
        if (m_finished)
        {
            m_past_finish += run.count;
            continue;
        }
        for (int i = 0; i < run.count; ++i)
        {
            if (m_finished)
            {
                ++m_past_finish;
                continue;
            }
            ++m_frames;
            m_finished = race.Step(run.frame) == Race::Finished;
            if (after_step)
                after_step(race);
        }
    }
    m_time = race.m_clock.m_elapsed;
    m_ghost = ghost_ship.m_record;
}
