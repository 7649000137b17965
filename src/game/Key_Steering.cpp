#include "Key_Steering.h"

#include "Float_Point.h"
#include "Portable_Math.h"

#include <Qt>

#include <algorithm>
#include <cmath>

namespace
{
// Driving, the point sits where the steering's thrust is full (90 units),
// which every view has room for ahead of the craft: laps by keys then come
// within a few per cent of a good touch lap.
constexpr float Drive_Reach = 90.0f;
// How far off the heading a full turn while driving puts the point. Past 30
// degrees the inner end pushes backwards, so this turns tightly enough for
// the courses' hairpins at speed.
constexpr float Drive_Turn_Degrees = 38.0f;
// A stick pushed without the drive button, or a side key alone, places the
// point where it points, this far away at full strength: a finger held to the
// side of the craft turns it on the spot.
constexpr float Free_Reach = 40.0f;
constexpr float Degrees = 0.017453292f;
} // namespace

Key_Steering::Intent Key_Steering::From_Keys(bool up, bool down, bool left, bool right)
{
    Intent intent;
    intent.drive = up && !down;
    intent.let_go = down;
    intent.x = (right ? 1.0f : 0.0f) - (left ? 1.0f : 0.0f);
    return intent;
}

Key_Steering::Touch Key_Steering::Place(const Intent& intent, const Pose& pose)
{
    Touch touch;
    const float strength = std::min(std::sqrt(intent.x * intent.x + intent.y * intent.y), 1.0f);
    if (intent.let_go || (!intent.drive && strength < Rest))
        return touch;
    // The angle off the heading (positive to the right) and the distance along it.
    float angle = 0.0f;
    float reach = Drive_Reach;
    if (intent.drive)
        angle = std::max(std::min(intent.x, 1.0f), -1.0f) * Drive_Turn_Degrees * Degrees;
    else
    {
        angle = Portable_Math::Atan2(intent.x, intent.y);
        reach = Free_Reach * strength;
    }
    const Float_Point heading(pose.direction);
    const float length = std::sqrt(heading.x * heading.x + heading.y * heading.y);
    if (!(length > 0.0f))
        return touch;
    const Float_Point ahead = heading / length;
    // Right of the heading is the opposite of the steering's left end (Movement_Control::Thrusts).
    const Float_Point to_right(-ahead.y, ahead.x);
    const Float_Point target = Float_Point(pose.position) + ahead * (reach * Portable_Math::Cos(angle)) +
                               to_right * (reach * Portable_Math::Sin(angle));
    const QPointF pixel = Portable_Math::Map(pose.world_to_screen, target).To_QPointF();
    // A finger stays on the screen.
    const int right_edge = std::max(pose.view.width() - 1, 0);
    const int bottom_edge = std::max(pose.view.height() - 1, 0);
    touch.pressed = true;
    touch.point = QPoint(std::clamp(static_cast<int>(std::lround(pixel.x())), 0, right_edge),
                         std::clamp(static_cast<int>(std::lround(pixel.y())), 0, bottom_edge));
    return touch;
}

int Key_Steering::Bit_Of(int key)
{
    switch (key)
    {
    case Qt::Key_Up:
    case Qt::Key_W:
        return Up;
    case Qt::Key_Down:
    case Qt::Key_S:
        return Down;
    case Qt::Key_Left:
    case Qt::Key_A:
        return Left;
    case Qt::Key_Right:
    case Qt::Key_D:
        return Right;
    default:
        return 0;
    }
}

bool Key_Steering::Press(int key)
{
    m_held |= Bit_Of(key);
    return Bit_Of(key) != 0;
}

bool Key_Steering::Release(int key)
{
    m_held &= ~Bit_Of(key);
    return Bit_Of(key) != 0;
}

void Key_Steering::Let_Go_All()
{
    m_held = 0;
}

bool Key_Steering::Any_Held() const
{
    return m_held != 0;
}

Key_Steering::Intent Key_Steering::Held_Intent() const
{
    return From_Keys(m_held & Up, m_held & Down, m_held & Left, m_held & Right);
}
