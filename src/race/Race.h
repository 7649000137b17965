// Race: one race's state and rules, advanced by one fixed step from one frame's input, with no window.
#ifndef TAVRELO_RACE_H
#define TAVRELO_RACE_H

#include "Ghost_Gap.h"
#include "Input_Track.h"
#include "Race_Clock.h"

#include <QPointF>
#include <QSize>
#include <QString>
#include <QTransform>

#include <cstdint>

class Level;
class Ship;
class Ghost_Ship;

// The craft, course and ghost are the view's elements (it draws them); the
// race only points at them. Everything else a race is, its clock included, lives here.
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
    void Attach(Level* level, Ship* ship, Ghost_Ship* ghost);

    // Back to the start of the level's course: craft at rest, the stored ghost
    // to replay, a new record, the camera snapped for a view of this size.
    // A best lap too long for the stored ghost's format keeps none; its ghost
    // is then rebuilt from its stored inputs, when they prove best_time.
    void Reset(const QString& stored_ghost, float best_time, const QSize& view,
               const QString& stored_inputs = QString());
    // The ghost the inputs of a lap of best_time on the level's course leave,
    // however long; empty when they do not finish at exactly that time.
    QString Rebuild_Ghost(const QString& stored_inputs, float best_time);

    // One whole frame from its input, in the order the game's frame runs it:
    // the craft moves, the steering reads the input through the last camera,
    // the clock ticks, the rules run, the camera follows.
    Outcome Step(const Input_Frame& input);
    // One frame with no race on (the menu behind its fade): the craft coasts
    // untouched by any input, no rule runs and nothing is recorded, the camera follows.
    // The next race's Reset puts back everything a lap keeps.
    void Coast(const QSize& view);

    // What the last step did to the craft, as its sound hears it; nothing of a race reads this.
    struct Craft_Feel
    {
        float speed = 0.0f;    // world units per step
        float thrust = 0.0f;   // 0 (let go) to 1 (full thrust on both ends)
        float off_road = 0.0f; // 0 (on the road) to 1 (about to be put back)
        bool put_back = false; // the step put the craft back on the road
    };
    Craft_Feel Feel() const;

    // The parts of a step, for tests of one of them.
    void Steer(bool held, const QPoint& pointer);
    Outcome Update_Rules();
    // The end of a race, finished or given up: the craft coasts, the clock stops
    // (and reads 0 for a race given up).
    void Stop(bool finished);
    void Update_Camera(const QSize& view);
    // The gap to the ghost at the craft's place, from the nearest piece the rules just found.
    void Update_Gap();

    // The piece nearest to point, searched in a small window around *piece
    // (3 back, 5 ahead): *piece and *fraction (how far along it) are updated
    // when a piece of the window is nearer than Far_Away; returns the distance.
    static float Nearest_Piece(const Level& level, const QPointF& point, int32_t* piece, float* fraction);

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

    Race_Clock m_clock;
    float m_camera_angle;
    float m_closest_distance;
    bool m_on_last_segment;
    int32_t m_closest_segment;
    float m_segment_fraction;
    QTransform m_screen_to_world;
    QTransform m_world_to_screen;
    // Where the ghost was when, for the gap shown beside the clock.
    Ghost_Gap m_ghost_gap;
    // Steps until the shown gap is refreshed.
    int32_t m_gap_refresh;
    // The ghost rebuilt last, kept for the next race of the same lap.
    int32_t m_rebuilt_course;
    QString m_rebuilt_inputs;
    QString m_rebuilt_ghost;
    // The last step put the craft back on the road (the sound's cue; no rule reads it).
    bool m_put_back;
    // The thrusts the last step's steering asked for; the craft's own are
    // cleared when it is put back, these stay as asked.
    float m_steered_left;
    float m_steered_right;
    // What steered this race, frame by frame from its first.
    Input_Track m_inputs;
};

#endif
