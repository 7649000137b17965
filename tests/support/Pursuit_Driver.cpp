#include "Pursuit_Driver.h"

#include "Game.h"
#include "Game_Scene.h"
#include "Level.h"
#include "Portable_Math.h"
#include "Ship.h"

#include <QApplication>
#include <QMouseEvent>
#include <QtTest>

#include <algorithm>
#include <cmath>

namespace
{
const Qt::Key Held_Keys[] = {Qt::Key_Up, Qt::Key_Left, Qt::Key_Right};
// The point ahead this far off the heading (its sine) turns; this far, it is turned to on the spot.
constexpr float Turn_Side = 0.1f;
constexpr float Spin_Side = 0.85f;
} // namespace

Pursuit_Driver::Pursuit_Driver(Game& game, float lookahead, bool keys)
    : m_game(game), m_lookahead(lookahead), m_keys(keys), m_held(0)
{
}

void Pursuit_Driver::Hold_Keys(int down)
{
    for (int i = 0; i < 3; ++i)
    {
        const int bit = 1 << i;
        if ((down & bit) && !(m_held & bit))
            QTest::keyPress(m_game.windowHandle(), Held_Keys[i]);
        else if (!(down & bit) && (m_held & bit))
            QTest::keyRelease(m_game.windowHandle(), Held_Keys[i]);
    }
    m_held = down;
}

QPointF Pursuit_Driver::Point_Ahead() const
{
    return m_game.Course()->Point_Ahead(m_game.Current_Race().m_closest_segment,
                                        m_game.Current_Race().m_segment_fraction, m_lookahead);
}

QPoint Pursuit_Driver::Pixel_Ahead() const
{
    const QRect view = m_game.viewport()->rect().adjusted(2, 2, -2, -2);
    const QPoint p = Portable_Math::Map(m_game.Scene()->m_world_to_screen, Float_Point(Point_Ahead()))
                         .To_QPointF()
                         .toPoint();
    return QPoint(std::clamp(p.x(), view.left(), view.right()), std::clamp(p.y(), view.top(), view.bottom()));
}

void Pursuit_Driver::Press()
{
    if (m_keys)
    {
        m_held = 0;
        Hold_Keys(1);
        return;
    }
    QTest::mousePress(m_game.viewport(), Qt::LeftButton, Qt::NoModifier, Pixel_Ahead());
}

void Pursuit_Driver::Release()
{
    if (m_keys)
    {
        Hold_Keys(0);
        return;
    }
    QTest::mouseRelease(m_game.viewport(), Qt::LeftButton, Qt::NoModifier, Pixel_Ahead());
}

void Pursuit_Driver::Step()
{
    if (m_keys)
    {
        // Left of the heading is where the steering's left end points (Movement_Control::Thrusts).
        const Float_Point heading(m_game.Craft()->m_direction);
        const Float_Point offset = Float_Point(Point_Ahead()) - Float_Point(m_game.Craft()->m_position);
        const float side = offset.Dot(Float_Point(heading.y, -heading.x)) /
                           std::sqrt(offset.Length_Squared() * heading.Length_Squared());
        const int turn = side > Turn_Side ? 2 : side < -Turn_Side ? 4 : 0;
        Hold_Keys(turn | (std::fabs(side) < Spin_Side || offset.Dot(heading) > 0.0f ? 1 : 0));
        m_game.Advance_Frame();
        return;
    }
    // Sent straight to the view: QTest's own move warps the real pointer and
    // spins the event loop, which would let the game's timer run frames too.
    const QPoint pixel = Pixel_Ahead();
    QMouseEvent move(QEvent::MouseMove, pixel, m_game.viewport()->mapToGlobal(pixel), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_game.viewport(), &move);
    m_game.Advance_Frame();
}

int Pursuit_Driver::Drive_Lap(int max_frames, const std::function<void()>& after_frame)
{
    Press();
    int frames = 0;
    while (m_game.State() == Game::State_Race && frames < max_frames)
    {
        Step();
        if (after_frame)
            after_frame();
        ++frames;
    }
    if (m_game.State() == Game::State_Race)
        Release();
    return frames;
}
