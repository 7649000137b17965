// Race: one race's state and rules, advanced by one fixed step from one frame's input, with no window.
#ifndef TAVRELO_RACE_H
#define TAVRELO_RACE_H

#include "Input_Track.h"

#include <QPointF>
#include <QSize>
#include <QString>
#include <QTransform>

#include <cstdint>

class Level;
class Ship;
class Ghost_Ship;
class Lap_Timer;

// The craft, course, ghost and clock are the view's elements (it draws them);
// the race only points at them. Everything else a race is lives here.
class Race
{
public:
    // The fixed step of one frame, in seconds, whatever the real time between frames.
    static constexpr float Frame_Step = 1.0f / 60.0f;

    enum Outcome
    {
        Racing = 0,
        Started = 1, // the clock started this step
        Finished = 2,
    };

    Race();
    // None of the pointers is owned; all outlive the race.
    void Attach(Level* level, Ship* ship, Ghost_Ship* ghost, Lap_Timer* timer);

    // Back to the start of the level's course: craft at rest, the stored ghost
    // to replay, a new record, the camera snapped for a view of this size.
    void Reset(const QString& stored_ghost, float best_time, const QSize& view);

    // One whole frame from its input, in the order the game's frame runs it:
    // the craft moves, the steering reads the input through the last camera,
    // the clock ticks, the rules run, the camera follows.
    Outcome Step(const Input_Frame& input);

    // The parts of a frame the view runs from its own frame loop.
    void Steer(bool held, const QPoint& pointer);
    Outcome Update_Rules();
    // The end of a race, finished or given up: the craft coasts, the clock stops
    // (and reads 0 for a race given up).
    void Stop(bool finished);
    void Update_Camera(const QSize& view);

    // The camera's new heading: a tenth of the shortest-way difference towards
    // the ship's heading, kept in [0, 2*pi).
    static float Follow_Camera_Angle(float camera_angle, float ship_heading);
    // Maps viewport pixels of a width x height view to world units, with the
    // ship at its screen position and the view turned by camera_angle.
    static QTransform Screen_To_World(const QPointF& ship_position, float camera_angle, int width,
                                      int height);

    Level* m_level;
    Ship* m_ship;
    Ghost_Ship* m_ghost_ship;
    Lap_Timer* m_lap_timer;

    float m_camera_angle;
    float m_closest_distance;
    bool m_on_last_segment;
    int32_t m_closest_segment;
    float m_segment_fraction;
    QTransform m_screen_to_world;
    QTransform m_world_to_screen;
    // The last step put the craft back on the road (the sound's cue; no rule reads it).
    bool m_put_back;
    // What steered this race, frame by frame from its first.
    Input_Track m_inputs;
};

#endif
