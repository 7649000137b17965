#include "Game.h"

#include "Board_Line.h"
#include "Board_Notice.h"
#include "Board_Session.h"
#include "Fade_Plane.h"
#include "Finish_Panel.h"
#include "Game_Scene.h"
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Menu_Flow.h"
#include "Movement_Control.h"
#include "Name_Entry.h"
#include "Options.h"
#ifdef TAVRELO_PAD
#include "Pad_Input.h"
#else
// A build without gamepads holds none.
class Pad_Input
{
};
#endif
#include "Pause_Notice.h"
#include "Preferences.h"
#include "Qt_Bridge.h"
#include "Record_Keeper.h"
#include "Ship.h"
#include "Sound_Notice.h"
#include "Sound_Player.h"
#include "Split_Notice.h"
#include "Stars.h"
#include "Track_List.h"
#include "UI_Button.h"

#include <QApplication>
#include <QBrush>
#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

#include <algorithm>
#include <utility>

namespace
{
// Every Single member is filled the same way: the new object goes into a
// temporary that hands it over and is left empty.
template <typename T> T* Fill(Single<T>& member, T* object)
{
    Single<T> made(object);
    member = made;
    return object;
}
} // namespace

Game::Game(Surface_Choice::Renderer renderer, bool windowed, const QString& board)
    : QGraphicsView(), m_flow(m_parts, *this), m_steps_run(0), m_loop_held(false)
{
    Make_Parts(board);
    m_flow.Reset_Ship();
    m_flow.Set_State(State_Menu);
    Set_Up_View(renderer, windowed);
    // Shown, so on its screen.
    m_pacer.Set_Refresh_Rate(Qt_Bridge::Refresh_Rate(this));
    m_pacer.Trust_Swap(Qt_Bridge::Is_GL_Viewport(viewport()));
    m_pacer.Set_Interpolation(m_parts.m_preferences->Read_Bool(Preferences::Interpolation_Key, true));
    m_clock.start();
    m_pacer.Restart(m_clock.nsecsElapsed());
    m_frame_timer.start(0, Qt::PreciseTimer, this);
#ifdef TAVRELO_PAD
    Pad_Input::Listener listener;
    listener.pressed = [this](Pad_Input::Button button)
    {
        if (m_parts.m_name_entry->Is_Open())
            return m_parts.m_name_entry->Act(Pad_Input::Entry_Command_Of(button));
        const bool race = m_flow.State() == State_Race;
        const bool panel = !race && m_parts.m_finish_panel->Is_Visible();
        m_flow.Act_On_Pad(Pad_Input::Action_Of(button, race, panel), button == Pad_Input::Pad_Start);
    };
    listener.steered = [this](const Key_Steering::Intent& intent, bool active)
    { m_flow.Pad_Steers(intent, active); };
    // A pad pulled out mid-race leaves the craft with no one steering: the race holds as when the game goes
    // away.
    listener.lost = [this] { m_flow.Hold_Race(); };
    m_pad.reset(new Pad_Input(listener));
#endif
}

// The parts go in reverse order (Game_Parts), the scene before the options
// store, and all before the view and its viewport; the pads first of all.
Game::~Game()
{
    m_pad.reset();
}

void Game::Make_Parts(const QString& board)
{
    Fill(m_parts.m_options, new Options);
    Fill(m_parts.m_preferences, new Preferences(m_parts.m_options->m_settings.fileName()));
    Fill(m_parts.m_board, new Board_Session(*m_parts.m_preferences.Get(), board, Get_Track_Count()));
    if (!m_parts.m_board->Address_Problem().isEmpty())
        qWarning().noquote() << QStringLiteral("tavrelo: warning: no board: ") +
                                    m_parts.m_board->Address_Problem();
    Fill(m_parts.m_records, new Record_Keeper(*m_parts.m_options.Get()));
    Fill(m_parts.m_scene, new Game_Scene);
    Fill(m_parts.m_level, new Level)->Init(m_parts.m_preferences->Read_Last_Course(Get_Track_Count()));
    Fill(m_parts.m_ghost_ship, new Ghost_Ship);
    Ghost_Start(*m_parts.m_ghost_ship.Get(), QString(), QPointF(0.0, 0.0), 0.0f, 0);
    Fill(m_parts.m_ship, new Ship);
    m_parts.m_race.Attach(m_parts.m_level.Get(), m_parts.m_ship.Get(), m_parts.m_ghost_ship.Get());
    m_parts.m_scene->Set_World_Elements(Fill(m_parts.m_stars, new Stars), m_parts.m_level.Get(),
                                        m_parts.m_ghost_ship.Get(), m_parts.m_ship.Get());

    const int center = UI_Button::Anchor_Center_X | UI_Button::Anchor_Center_Y;
    // In drawing order; touches go to the last that takes them. The finish
    // panel is last: while shown it takes every touch.
    m_parts.m_scene->Set_UI_Elements(
        Fill(m_parts.m_movement_control, new Movement_Control),
        Fill(m_parts.m_lap_timer, new Lap_Timer(&m_parts.m_race.m_clock)),
        Fill(m_parts.m_ingame_instructions, new Ingame_Instructions),
        Fill(m_parts.m_ingame_quit_button, new UI_Button("QUIT", QPointF(), UI_Button::Anchor_Bottom)),
        Fill(m_parts.m_fade_plane, new Fade_Plane), Fill(m_parts.m_main_menu, new Main_Menu),
        Fill(m_parts.m_start_button, new UI_Button("Start a new game", QPointF(), center)),
        Fill(m_parts.m_prev_track_button, new UI_Button("<<<", QPointF(), UI_Button::Anchor_Center_Y)),
        Fill(m_parts.m_next_track_button,
             new UI_Button(">>>", QPointF(), UI_Button::Anchor_Right | UI_Button::Anchor_Center_Y)),
        Fill(m_parts.m_quit_button, new UI_Button("QUIT", QPointF(), UI_Button::Anchor_Bottom)),
        Fill(m_parts.m_pause_notice, new Pause_Notice), Fill(m_parts.m_sound_notice, new Sound_Notice),
        Fill(m_parts.m_board_line, new Board_Line(m_parts.m_board.Get())),
        Fill(m_parts.m_leader_button, new UI_Button("Race the leader", QPointF(), center)),
        Fill(m_parts.m_name_button, new UI_Button("Choose your name for the board", QPointF(), center)),
        Fill(m_parts.m_board_notice, new Board_Notice(m_parts.m_board.Get())),
        Fill(m_parts.m_split_notice, new Split_Notice), Fill(m_parts.m_finish_panel, new Finish_Panel),
        Fill(m_parts.m_name_entry, new Name_Entry));
    m_parts.m_fade_plane->Set_Visible_Alpha(1.0f);
    m_parts.m_main_menu->m_under_board = m_parts.m_board->Is_On();
    // Placed from the screen's size until the view has its own (on every resize).
    Lay_Out(Qt_Bridge::Screen_Size());

    Fill(m_parts.m_sound, new Sound_Player);
    m_parts.m_sound->Set_Volume(
        m_parts.m_preferences->Read_Int(Preferences::Volume_Key, Sound_Mixer::Default_Volume, 0, 100));
    m_parts.m_sound->Set_Muted(m_parts.m_preferences->Read_Bool(Preferences::Mute_Key, false));
    Fill(
        m_parts.m_menu_flow,
        new Menu_Flow(Menu_Flow::Buttons{m_parts.m_start_button.Get(), m_parts.m_leader_button.Get(),
                                         m_parts.m_prev_track_button.Get(), m_parts.m_next_track_button.Get(),
                                         m_parts.m_quit_button.Get(), m_parts.m_name_button.Get()},
                      m_parts.m_finish_panel.Get(), m_parts.m_board.Get(), m_parts.m_sound.Get(),
                      m_parts.m_level.Get(), m_parts.m_name_entry.Get()));
}

void Game::Set_Up_View(Surface_Choice::Renderer renderer, bool windowed)
{
    setViewport(Surface_Choice::New_Viewport(Surface_Choice::Pick(renderer)));
    setScene(m_parts.m_scene.Get());
    setBackgroundBrush(QBrush(Qt::black, Qt::SolidPattern));
    // The view fills every pixel with its black brush before the scene draws;
    // the viewport's own fill with its palette, which the view turns on for
    // quicker scrolling (never used here), was a second fill of the whole screen.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle("Tavrelo");
    setCacheMode(QGraphicsView::CacheNone);
    // The scene's drawing puts the painter back itself (Game_Scene::Draw_Passes)
    // and its background draws nothing: the view's own save and restore around
    // them made a new painter state each frame.
    setOptimizationFlag(QGraphicsView::DontSavePainterState);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setDragMode(QGraphicsView::NoDrag);
    // No frame: the viewport covers the whole screen, so the camera, which is
    // laid out from the view's size, is centred on what the player sees.
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (windowed)
    {
        resize(800, 480);
        showNormal();
    }
    else
    {
        showFullScreen();
        show();
    }
    setFocus(Qt::OtherFocusReason);
    // A call or a notification on a phone takes the whole application out of the front.
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, this,
                     [this](Qt::ApplicationState state)
                     {
                         if (state != Qt::ApplicationActive)
                             m_flow.Hold_Race();
                     });
}

void Game::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_frame_timer.timerId())
    {
        QGraphicsView::timerEvent(event);
        return;
    }
#ifdef TAVRELO_PAD
    // The pads are read once a tick, paused or not, just before its steps: as
    // fresh as a step can use, with no wake of the event loop of their own.
    if (m_pad)
        m_pad->Frame();
#endif
    const qint64 now = m_clock.nsecsElapsed();
    bool drawn = false;
    if (m_flow.Is_Paused() || m_loop_held)
    {
        // A held race keeps its last frame, with the notice drawn over it when
        // the window shows again; the time it is held is not raced afterwards.
        m_pacer.Restart(now);
    }
    else
    {
        const Frame_Pacer::Plan plan = m_pacer.Frame(now);
        for (int i = 0; i < plan.steps; ++i)
        {
            Advance_Frame();
            ++m_steps_run;
            m_blend.Keep(m_parts.m_race);
        }
        if (plan.draw)
        {
            Draw_Frame(plan.blend);
            drawn = true;
        }
    }
    const qint64 wait = m_pacer.Next_Frame_In(m_clock.nsecsElapsed(), drawn);
    m_frame_timer.start(static_cast<int>((wait + 500000) / 1000000), Qt::PreciseTimer, this);
}

void Game::Draw_Frame(bool blend)
{
    if (blend)
        m_blend.Begin(*m_parts.m_scene.Get(), m_parts.m_race, m_pacer.Blend(), QSize(width(), height()));
    // The OpenGL viewport is a native child window: repainting the view alone
    // would leave it to a later update, so the viewport is repainted at once.
    // The view keeps no picture of the scene's layers (no cache), so nothing
    // of the scene needs marking out of date first: that only queued a call
    // of the scene's own for the next turn of the event loop, every frame.
    viewport()->repaint();
    if (blend)
        m_blend.End(*m_parts.m_scene.Get());
}

void Game::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    // The press that ends a pause also steers: the finger is back on the screen.
    m_flow.Resume_Race();
    m_flow.Used(Ingame_Instructions::Touch);
    m_parts.m_scene->Press(Qt_Bridge::Event_Pos(event));
    m_flow.Guard_Press();
}

void Game::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        m_parts.m_scene->Release(Qt_Bridge::Event_Pos(event));
}

void Game::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    m_parts.m_scene->Move(Qt_Bridge::Event_Pos(event));
}

void Game::keyPressEvent(QKeyEvent* event)
{
    m_flow.Used(Ingame_Instructions::Keys);
    if (m_parts.m_name_entry->Key(event->key(), event->text()))
        return event->accept();
    // In a race the arrows and W, A, S, D are held, not tapped: each frame
    // steers by those down, so a repeat changes nothing.
    if (m_flow.State() == State_Race && !m_parts.m_finish_panel->Is_Visible() &&
        m_flow.Steering_Keys().Press(event->key()))
    {
        event->accept();
        m_flow.Resume_Race();
        return;
    }
    const Key_Map::Answer answer =
        m_keys.Press(event->key(), event->isAutoRepeat(), event->timestamp(),
                     Key_Map::Situation{m_flow.State() == State_Race, m_parts.m_finish_panel->Is_Visible(),
                                        m_flow.Is_Paused(), m_flow.Quit_Guarded()});
    if (!answer.accepted)
    {
        QGraphicsView::keyPressEvent(event);
        return;
    }
    event->accept();
    if (answer.resume)
        m_flow.Resume_Race();
    m_flow.Act_On_Key(answer.action);
}

void Game::keyReleaseEvent(QKeyEvent* event)
{
    m_keys.Release(event->key(), event->timestamp());
    m_flow.Steering_Keys().Release(event->key());
    QGraphicsView::keyReleaseEvent(event);
}

bool Game::event(QEvent* event)
{
    // Deactivated (another window in front), hidden or minimized.
    if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide ||
        (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)))
        m_flow.Hold_Race();
    return QGraphicsView::event(event);
}

void Game::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    Lay_Out(viewport()->size());
}

void Game::Lay_Out(const QSize& view)
{
    // Made for the 480 pixels of a small screen's short side, and scaled up from there.
    const qreal scale = std::max(1.0, std::min(view.width(), view.height()) / 480.0);
    m_parts.m_scene->m_ui_scale = scale;
    m_parts.m_ghost_ship->m_label_scale = scale;
    const int w = static_cast<int>(view.width() / scale);
    const int h = static_cast<int>(view.height() / scale);
    const std::pair<UI_Button*, QPointF> places[] = {
        {m_parts.m_ingame_quit_button.Get(), QPointF(3.0, h - 3)},
        {m_parts.m_start_button.Get(), QPointF(w / 2, h / 2)},
        {m_parts.m_leader_button.Get(), QPointF(w / 2, h / 2 + 60)},
        {m_parts.m_name_button.Get(), QPointF(w / 2, h / 2 + 30)},
        {m_parts.m_prev_track_button.Get(), QPointF(20.0, h / 2)},
        {m_parts.m_next_track_button.Get(), QPointF(w - 20, h / 2)},
        {m_parts.m_quit_button.Get(), QPointF(3.0, h - 3)}};
    for (const auto& place : places)
    {
        place.first->m_anchor = place.second;
        place.first->m_layout_dirty = true;
    }
    m_parts.m_name_entry->Lay_Out(QSize(w, h));
    // The camera is laid out from the view's size by the next frame, as on every frame.
}
