#include "Movement_Control.h"

#include "Float_Point.h"
#include "Portable_Math.h"
#include "Ship.h"

#include <QPointF>

#include <cmath>

namespace
{
// Targets this close to the craft's centre give no push at all.
constexpr float Dead_Zone = 0.01f;
// A target farther than this pushes no harder: full thrust, top speed.
} // namespace

Movement_Control::Movement_Control() : m_pressed(false), m_touch(0, 0) {}

Input_Frame Movement_Control::Input(const QSize& view) const
{
    return Input_Frame{m_pressed, m_touch, view};
}

void Movement_Control::Thrusts(const QTransform& screen_to_world, const Ship& ship, bool pressed,
                               const QPoint& touch, float& left, float& right)
{
    left = 0.0f;
    right = 0.0f;
    if (!pressed)
        return;
    const Float_Point target = Portable_Math::Map(screen_to_world, Float_Point(QPointF(touch)));
    const Float_Point offset = target - Float_Point(ship.m_position);
    const float distance = std::sqrt(offset.x * offset.x + offset.y * offset.y);
    if (!(distance > Dead_Zone))
        return;
    const Float_Point towards = offset / distance;
    const Float_Point heading(ship.m_direction);
    float magnitude = distance <= Max_Thrust ? distance : Max_Thrust;
    if (towards.Dot(heading) < 0.0f)
        magnitude = -magnitude;

    // Unit vector from the centre towards the left end point.
    const Float_Point to_left =
        Float_Point(heading.y, -heading.x) / std::sqrt(heading.x * heading.x + heading.y * heading.y);
    float side = towards.Dot(to_left);
    // Reversing swaps which end has to hold back to turn towards the target.
    if (magnitude < 0.0f)
        side = -side;

    // The end on the target's side pushes less (backwards beyond 30
    // degrees off the heading), so the craft turns towards the target.
    if (side >= 0.0f)
    {
        left = magnitude * (1.0f - 2.0f * side);
        right = magnitude;
    }
    else
    {
        left = magnitude;
        right = magnitude * (1.0f - 2.0f * std::fabs(side));
    }
}

void Movement_Control::Draw(QPainter*) {}

bool Movement_Control::In_View_Pixels() const
{
    return true;
}

bool Movement_Control::Mouse_Down(const QPoint& p)
{
    m_touch = p;
    m_pressed = true;
    return true;
}

void Movement_Control::Mouse_Move(const QPoint& p)
{
    m_touch = p;
}

void Movement_Control::Mouse_Up(const QPoint&)
{
    m_pressed = false;
}
