#include "Pursuit_Driver.h"

#include "Game.h"
#include "Game_Scene.h"
#include "Level.h"
#include "Portable_Math.h"

#include <QApplication>
#include <QMouseEvent>
#include <QtTest>

#include <algorithm>

Pursuit_Driver::Pursuit_Driver(Game& game, float lookahead) : m_game(game), m_lookahead(lookahead) {}

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
    QTest::mousePress(m_game.viewport(), Qt::LeftButton, Qt::NoModifier, Pixel_Ahead());
}

void Pursuit_Driver::Release()
{
    QTest::mouseRelease(m_game.viewport(), Qt::LeftButton, Qt::NoModifier, Pixel_Ahead());
}

void Pursuit_Driver::Step()
{
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
