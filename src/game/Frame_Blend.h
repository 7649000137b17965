// Frame_Blend: the craft, its trail, the ghost and the camera drawn between the last two race steps, from
// copies.
#ifndef TAVRELO_FRAME_BLEND_H
#define TAVRELO_FRAME_BLEND_H

#include "Ghost_Ship.h"
#include "Ship.h"

#include <QPointF>
#include <QSize>
#include <QTransform>

class Game_Scene;
class Race;
class Scene_Element;

// On a screen faster than the steps, a frame between two steps shows the
// moving things where they were at that moment. The race is never touched:
// for the drawing, the scene's list points at copies of the craft and ghost
// moved to the blended poses, under a camera worked out from the blended pose,
// and afterwards everything is put back as it was.
class Frame_Blend
{
public:
    struct Pose
    {
        QPointF position;
        float angle;
    };

    // t of the way (0 to 1) from one pose to the other, the heading turning
    // the short way round; exactly from at 0 and exactly to at 1.
    static Pose Between(const Pose& from, const Pose& to, float t);

    Frame_Blend();

    // After each step: the race as it now stands is the last step, and what was the last is the one before.
    void Keep(const Race& race);
    // Until End, the scene draws the moving things t of the way from the step
    // before to the last one, for a view of this size. The race as it stands
    // is drawn unblended when it is not the last step kept (something else
    // stepped or reset it) or when the last step carried something across
    // (a new race, the craft put back on the road).
    void Begin(Game_Scene& scene, const Race& race, float t, const QSize& view);
    void End(Game_Scene& scene);

private:
    struct Snapshot
    {
        Pose ship;
        // Where the craft's last move started from: a step that put it
        // somewhere (a new race, back on the road) leaves it at rest there.
        QPointF ship_moved_from;
        Pose ghost;
        float camera_angle;
        bool kept;
    };
    static Snapshot Take(const Race& race);
    static bool Same(const Snapshot& a, const Snapshot& b);

    Snapshot m_before;
    Snapshot m_last;
    Ship m_drawn_ship;
    Ghost_Ship m_drawn_ghost;
    // What Begin replaced, for End to put back.
    Scene_Element* m_real_ship;
    Scene_Element* m_real_ghost;
    QTransform m_real_world_to_screen;
    bool m_drawing;
};

#endif
