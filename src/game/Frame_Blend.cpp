#include "Frame_Blend.h"

#include "Float_Point.h"
#include "Game_Scene.h"
#include "Portable_Math.h"
#include "Race.h"

#include <algorithm>

namespace
{
// How far the start of the craft's last move may lie from where the step
// before left it, rounding aside, before the move counts as a placing.
constexpr float Placed_Distance = 0.01f;
// The craft tops out near 2.5 units a step; a ghost moving four times that in
// one step has been put somewhere, not driven there.
constexpr float Ghost_Jump = 10.0f;

QPointF Between_Points(const QPointF& from, const QPointF& to, float t)
{
    const Float_Point a(from);
    const Float_Point b(to);
    return (a + (b - a) * t).To_QPointF();
}

void Replace(std::vector<Scene_Element*>& list, Scene_Element* from, Scene_Element* to)
{
    std::replace(list.begin(), list.end(), from, to);
}
} // namespace

Frame_Blend::Pose Frame_Blend::Between(const Pose& from, const Pose& to, float t)
{
    if (!(t > 0.0f))
        return from;
    if (t >= 1.0f)
        return to;
    return Pose{Between_Points(from.position, to.position, t),
                Portable_Math::Blend_Angle(from.angle, to.angle, t)};
}

Frame_Blend::Frame_Blend()
    : m_before{}, m_last{}, m_real_ship(nullptr), m_real_ghost(nullptr), m_drawing(false)
{
}

Frame_Blend::Snapshot Frame_Blend::Take(const Race& race)
{
    const Ship& ship = *race.m_ship;
    const Ghost_Ship& ghost = *race.m_ghost_ship;
    const Float_Point moved_from =
        (Float_Point(ship.m_left_previous) + Float_Point(ship.m_right_previous)) * 0.5f;
    return Snapshot{Pose{ship.m_position, ship.m_angle}, moved_from.To_QPointF(),
                    Pose{ghost.m_position, ghost.m_angle}, race.m_camera_angle, true};
}

bool Frame_Blend::Same(const Snapshot& a, const Snapshot& b)
{
    // To the bit: QPointF's own == forgives small differences, and a craft
    // just starting off moves by less than those.
    const auto same = [](const QPointF& p, const QPointF& q) { return p.x() == q.x() && p.y() == q.y(); };
    return same(a.ship.position, b.ship.position) && a.ship.angle == b.ship.angle &&
           same(a.ghost.position, b.ghost.position) && a.ghost.angle == b.ghost.angle &&
           a.camera_angle == b.camera_angle;
}

void Frame_Blend::Keep(const Race& race)
{
    m_before = m_last;
    m_last = Take(race);
}

void Frame_Blend::Begin(Game_Scene& scene, const Race& race, float t, const QSize& view)
{
    m_drawing = false;
    if (!m_before.kept || !Same(Take(race), m_last))
        return;
    const Float_Point placed = Float_Point(m_last.ship_moved_from) - Float_Point(m_before.ship.position);
    const Float_Point ghost_moved = Float_Point(m_last.ghost.position) - Float_Point(m_before.ghost.position);
    if (!(placed.Length_Squared() <= Placed_Distance * Placed_Distance) ||
        !(ghost_moved.Length_Squared() <= Ghost_Jump * Ghost_Jump))
        return;

    const Pose ship = Between(m_before.ship, m_last.ship, t);
    const Pose ghost = Between(m_before.ghost, m_last.ghost, t);
    const float camera = Portable_Math::Blend_Angle(m_before.camera_angle, m_last.camera_angle, t);

    // Only what the drawing reads is copied: the trail into the vector kept
    // from the frame before (no allocation once it is as long as the trail),
    // the ghost's look only when it changes.
    const Ship& real_ship = *race.m_ship;
    m_drawn_ship.m_position = ship.position;
    m_drawn_ship.m_angle = ship.angle;
    m_drawn_ship.m_travelled_points.assign(real_ship.m_travelled_points.begin(),
                                           real_ship.m_travelled_points.end());
    // The trail ends at the craft, and was younger by what is left of the step.
    const float younger = (1.0f - std::min(std::max(t, 0.0f), 1.0f)) * Race::Frame_Step;
    for (Ship::Travelled_Point& point : m_drawn_ship.m_travelled_points)
        point.age = std::max(point.age - younger, 0.0f);
    if (!m_drawn_ship.m_travelled_points.empty())
        m_drawn_ship.m_travelled_points.back().position = ship.position;

    const Ghost_Ship& real_ghost = *race.m_ghost_ship;
    if (m_drawn_ghost.m_colour != real_ghost.m_colour || m_drawn_ghost.m_label != real_ghost.m_label)
    {
        m_drawn_ghost.m_chevron = real_ghost.m_chevron;
        m_drawn_ghost.m_colour = real_ghost.m_colour;
        m_drawn_ghost.m_label = real_ghost.m_label;
        m_drawn_ghost.m_label_text = real_ghost.m_label_text;
        m_drawn_ghost.m_label_pen = real_ghost.m_label_pen;
    }
    // Shown or not by whether it has a replay; a shared string, not a copy of it.
    m_drawn_ghost.m_playback = real_ghost.m_playback;
    m_drawn_ghost.m_position = ghost.position;
    m_drawn_ghost.m_angle = ghost.angle;

    m_real_ship = race.m_ship;
    m_real_ghost = race.m_ghost_ship;
    Replace(scene.m_world_elements, m_real_ship, &m_drawn_ship);
    Replace(scene.m_world_elements, m_real_ghost, &m_drawn_ghost);
    m_real_world_to_screen = scene.m_world_to_screen;
    scene.m_world_to_screen =
        Portable_Math::Inverted(Race::Screen_To_World(ship.position, camera, view.width(), view.height()));
    m_drawing = true;
}

void Frame_Blend::End(Game_Scene& scene)
{
    if (!m_drawing)
        return;
    Replace(scene.m_world_elements, &m_drawn_ship, m_real_ship);
    Replace(scene.m_world_elements, &m_drawn_ghost, m_real_ghost);
    scene.m_world_to_screen = m_real_world_to_screen;
    // Not kept shared between frames: the race may start another replay.
    m_drawn_ghost.m_playback = QString();
    m_drawing = false;
}
