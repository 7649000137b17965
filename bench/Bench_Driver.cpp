#include "Bench_Driver.h"

#include "Game.h"
#include "Game_Scene.h"
#include "Level.h"
#include "Ship.h"
#include "UI_Button.h"

#include <algorithm>

Bench_Driver::Bench_Driver(Game& game, float lookahead) : m_game(game), m_lookahead(lookahead) {}

QPointF Bench_Driver::Point_Ahead() const
{
    return m_game.Course()->Point_Ahead(m_game.Current_Race().m_closest_segment,
                                        m_game.Current_Race().m_segment_fraction, m_lookahead);
}

QPoint Bench_Driver::Pixel_Ahead() const
{
    // Kept off the race's "QUIT" button in the bottom-left corner.
    const int w = m_game.width();
    const int h = m_game.height();
    const QPoint p = m_game.Scene()->m_world_to_screen.map(Point_Ahead()).toPoint();
    return QPoint(std::clamp(p.x(), 80, std::max(80, w - 3)), std::clamp(p.y(), 2, std::max(2, h - 3)));
}

void Bench_Driver::Start_Race()
{
    m_game.Set_State(Game::State_Race);
    m_game.Scene()->Press(Pixel_Ahead());
}

bool Bench_Driver::Step()
{
    m_game.Scene()->Move(Pixel_Ahead());
    m_game.Advance_Frame();
    return m_game.State() == Game::State_Race;
}

void Bench_Driver::Keep_Racing()
{
    if (m_game.State() == Game::State_Race)
        m_game.Scene()->Move(Pixel_Ahead());
    else
        Start_Race();
}

int Bench_Driver::Drive_Lap(int max_frames)
{
    Start_Race();
    int frames = 0;
    while (frames < max_frames)
    {
        ++frames;
        if (!Step())
            break;
    }
    m_game.Scene()->Release(Pixel_Ahead());
    return frames;
}

void Bench_Driver::Lay_Out_For(int w, int h)
{
    // The same anchors the game gives its buttons for a screen of this size.
    const struct
    {
        UI_Button* button;
        QPointF anchor;
    } places[] = {
        {m_game.Race_Quit_Button(), QPointF(3.0, h - 3)}, {m_game.Start_Button(), QPointF(w / 2, h / 2)},
        {m_game.Previous_Button(), QPointF(20.0, h / 2)}, {m_game.Next_Button(), QPointF(w - 20, h / 2)},
        {m_game.Quit_Button(), QPointF(3.0, h - 3)},
    };
    for (const auto& place : places)
    {
        place.button->m_anchor = place.anchor;
        place.button->m_layout_dirty = true;
    }
    const QTransform screen_to_world =
        Game::Screen_To_World(m_game.Craft()->m_position, m_game.Current_Race().m_camera_angle, w, h);
    m_game.Scene()->m_world_to_screen = screen_to_world.inverted();
    m_game.Scene()->m_screen_to_world = screen_to_world;
}
