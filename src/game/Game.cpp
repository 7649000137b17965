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
#include "Movement_Control.h"
#include "Options.h"
#include "Pause_Notice.h"
#include "Preferences.h"
#include "Qt_Bridge.h"
#include "Race_Clock.h"
#include "Ship.h"
#include "Sound_Notice.h"
#include "Sound_Player.h"
#include "Stars.h"
#include "Track_List.h"
#include "UI_Button.h"

#include <QApplication>
#include <QBrush>
#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace
{
// Counted in steps rather than measured time: the guard then needs no clock
// of its own and tests can run it step by step. 32 steps last just over half
// a second, and longer on a machine too slow to keep up, so a player's second
// tap is never let through sooner.
constexpr int Quit_Guard_Frames = 32;

QString Track_Caption(int index)
{
    return QString("Track #%1. %2").arg(index + 1).arg(Get_Track_Name(index));
}

// Every Single member is filled the same way: the new object goes into a
// temporary that hands it over and is left empty.
template <typename T> void Fill(Single<T>& member, T* object)
{
    Single<T> made(object);
    member = made;
}
} // namespace

Game::Game(Surface_Choice::Renderer renderer, bool windowed, const QString& board)
    : QGraphicsView(), m_state(State_Menu), m_camera_angle(m_race.m_camera_angle),
      m_closest_distance(m_race.m_closest_distance), m_on_last_segment(m_race.m_on_last_segment),
      m_closest_segment(m_race.m_closest_segment), m_segment_fraction(m_race.m_segment_fraction),
      m_racing_leader(false), m_paused(false), m_restart(false), m_quit_guard(0), m_released_key(0),
      m_released_at(0), m_steps_run(0)
{
    Fill(m_options, new Options);
    Fill(m_preferences, new Preferences(m_options->m_settings.fileName()));
    Fill(m_scene, new Game_Scene);

    // Placed from the screen's size until the view has its own (Lay_Out, on every resize).
    const QSize screen = Qt_Bridge::Screen_Size();
    const int w = screen.width();
    const int h = screen.height();

    Fill(m_stars, new Stars);
    m_scene->m_world_elements.push_back(m_stars.Get());

    Level* level = new Level;
    level->Init(m_preferences->Read_Last_Course(Get_Track_Count()));
    Fill(m_level, level);
    m_scene->m_world_elements.push_back(m_level.Get());

    Fill(m_ghost_ship, new Ghost_Ship);
    Ghost_Start(*m_ghost_ship.Get(), QString(), QPointF(0.0, 0.0), 0.0f, 0);
    m_scene->m_world_elements.push_back(m_ghost_ship.Get());

    Fill(m_ship, new Ship);
    m_scene->m_world_elements.push_back(m_ship.Get());

    Fill(m_movement_control, new Movement_Control(&m_scene->m_screen_to_world, m_ship.Get()));
    m_scene->m_ui_elements.push_back(m_movement_control.Get());

    Fill(m_lap_timer, new Lap_Timer(&m_race.m_clock));
    m_scene->m_ui_elements.push_back(m_lap_timer.Get());
    m_race.Attach(m_level.Get(), m_ship.Get(), m_ghost_ship.Get());

    Fill(m_ingame_instructions, new Ingame_Instructions);
    m_scene->m_ui_elements.push_back(m_ingame_instructions.Get());

    Fill(m_ingame_quit_button, new UI_Button("QUIT", QPointF(3.0, h - 3), UI_Button::Anchor_Bottom));
    m_scene->m_ui_elements.push_back(m_ingame_quit_button.Get());

    Fill(m_fade_plane, new Fade_Plane);
    m_fade_plane->Set_Visible_Alpha(1.0f);
    m_scene->m_ui_elements.push_back(m_fade_plane.Get());

    Fill(m_main_menu, new Main_Menu);
    m_main_menu->m_track_index = 0;
    m_main_menu->m_caption = Track_Caption(0);
    m_scene->m_ui_elements.push_back(m_main_menu.Get());

    Fill(m_start_button, new UI_Button("Start a new game", QPointF(w / 2, h / 2),
                                       UI_Button::Anchor_Center_X | UI_Button::Anchor_Center_Y));
    m_scene->m_ui_elements.push_back(m_start_button.Get());

    Fill(m_prev_track_button, new UI_Button("<<<", QPointF(20.0, h / 2), UI_Button::Anchor_Center_Y));
    m_scene->m_ui_elements.push_back(m_prev_track_button.Get());

    Fill(m_next_track_button,
         new UI_Button(">>>", QPointF(w - 20, h / 2), UI_Button::Anchor_Right | UI_Button::Anchor_Center_Y));
    m_scene->m_ui_elements.push_back(m_next_track_button.Get());

    Fill(m_quit_button, new UI_Button("QUIT", QPointF(3.0, h - 3), UI_Button::Anchor_Bottom));
    m_scene->m_ui_elements.push_back(m_quit_button.Get());

    Fill(m_pause_notice, new Pause_Notice);
    m_scene->m_ui_elements.push_back(m_pause_notice.Get());

    Fill(m_sound_notice, new Sound_Notice);
    m_scene->m_ui_elements.push_back(m_sound_notice.Get());
    Fill(m_sound, new Sound_Player);
    m_sound->Set_Volume(m_preferences->Read_Int("sound/volume", Sound_Mixer::Default_Volume, 0, 100));
    m_sound->Set_Muted(m_preferences->Read_Bool("sound/mute", false));

    Fill(m_board, new Board_Session(*m_preferences.Get(), board, Get_Track_Count()));
    if (!m_board->Address_Problem().isEmpty())
        qWarning().noquote() << QStringLiteral("tavrelo: warning: no board: ") + m_board->Address_Problem();
    Fill(m_board_line, new Board_Line(m_board.Get()));
    m_scene->m_ui_elements.push_back(m_board_line.Get());
    Fill(m_leader_button, new UI_Button("Race the leader", QPointF(w / 2, h / 2 + 60),
                                        UI_Button::Anchor_Center_X | UI_Button::Anchor_Center_Y));
    m_scene->m_ui_elements.push_back(m_leader_button.Get());
    Fill(m_board_notice, new Board_Notice(m_board.Get()));
    m_scene->m_ui_elements.push_back(m_board_notice.Get());

    // Last: while shown it takes every touch.
    Fill(m_finish_panel, new Finish_Panel);
    m_scene->m_ui_elements.push_back(m_finish_panel.Get());

    Reset_Ship();
    Set_State(State_Menu);

    setViewport(Surface_Choice::New_Viewport(Surface_Choice::Pick(renderer)));
    setScene(m_scene.Get());
    setBackgroundBrush(QBrush(Qt::black, Qt::SolidPattern));
    setWindowTitle("Tavrelo");
    setCacheMode(QGraphicsView::CacheNone);
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
                             Hold_Race();
                     });
    // Shown, so on its screen.
    m_pacer.Set_Refresh_Rate(Qt_Bridge::Refresh_Rate(this));
    m_pacer.Trust_Swap(Qt_Bridge::Is_GL_Viewport(viewport()));
    m_pacer.Set_Interpolation(m_preferences->Read_Bool("video/interpolation", true));
    m_clock.start();
    m_pacer.Restart(m_clock.nsecsElapsed());
    m_frame_timer.start(0, Qt::PreciseTimer, this);
}

Game::~Game()
{
    // Reverse order of construction; the scene goes before the options store,
    // and both before the view and its viewport. The sound's output goes
    // first, while every element is whole: closing it may run the event loop.
    m_sound->Close();
    m_sound = Single<Sound_Player>();
    m_finish_panel = Single<Finish_Panel>();
    m_board_notice = Single<Board_Notice>();
    m_leader_button = Single<UI_Button>();
    m_board_line = Single<Board_Line>();
    m_sound_notice = Single<Sound_Notice>();
    m_pause_notice = Single<Pause_Notice>();
    m_quit_button = Single<UI_Button>();
    m_next_track_button = Single<UI_Button>();
    m_prev_track_button = Single<UI_Button>();
    m_start_button = Single<UI_Button>();
    m_main_menu = Single<Main_Menu>();
    m_fade_plane = Single<Fade_Plane>();
    m_ingame_quit_button = Single<UI_Button>();
    m_ingame_instructions = Single<Ingame_Instructions>();
    m_lap_timer = Single<Lap_Timer>();
    m_movement_control = Single<Movement_Control>();
    m_ship = Single<Ship>();
    m_ghost_ship = Single<Ghost_Ship>();
    m_level = Single<Level>();
    m_stars = Single<Stars>();
    m_scene = Single<Game_Scene>();
    // The last chance for a best lap the file did not take.
    Save_Records(nullptr);
    // Laps on their way stay in the queue for the next start.
    m_board = Single<Board_Session>();
    m_preferences = Single<Preferences>();
    m_options = Single<Options>();
}

void Game::Set_State(Game_State state)
{
    if (state == State_Race)
    {
        Reset_Ship();
        m_race.m_clock.m_elapsed = 0.0f;
    }

    m_scene->Cancel_Press();
    if (state == State_Race)
        m_preferences->Write_Last_Course(m_level->m_track_index);
    else if (m_state == State_Race)
        m_quit_guard = Quit_Guard_Frames;

    if (state == State_Race)
        m_finish_panel->Set_Visible(false);
    // A finished lap's result stands over the race; the menu comes when it is sent away.
    const bool menu = state == State_Menu && !m_finish_panel->Is_Visible();
    m_main_menu->Set_Visible(menu);
    m_start_button->Set_Visible(menu);
    m_prev_track_button->Set_Visible(menu);
    m_next_track_button->Set_Visible(menu);
    m_quit_button->Set_Visible(menu);
    m_leader_button->Set_Visible(menu && m_board->Is_On());
    m_board_line->Set_Visible(menu);
    if (menu)
        m_board->Refresh(m_level->m_track_index);
    m_movement_control->Set_Visible(state == State_Race);
    m_ingame_instructions->Set_Visible(state == State_Race);
    m_ingame_quit_button->Set_Visible(state == State_Race);
    m_fade_plane->Set_Visible(menu);
    // Only a race drives the engine: under the finish panel, as in the menu, it dies away.
    m_sound->Set_Racing(state == State_Race);

    m_state = state;
}

void Game::Advance_Frame()
{
    if (m_quit_guard > 0)
        --m_quit_guard;
    // Sizes are read again on every step, as an update may change a list.
    for (size_t i = 0; i < m_scene->m_world_elements.size(); ++i)
        m_scene->m_world_elements[i]->Update(Frame_Step);
    for (size_t i = 0; i < m_scene->m_ui_elements.size(); ++i)
        m_scene->m_ui_elements[i]->Update(Frame_Step);
    // After the steering has read the touch, as Race::Step ticks it.
    m_race.m_clock.Tick(Frame_Step);

    if (m_state == State_Menu)
    {
        // The first button with a press wins; the others are not read this frame.
        if (m_finish_panel->Poll_Dismissed())
        {
            m_finish_panel->Set_Visible(false);
            Set_State(State_Menu);
        }
        else if (m_start_button->Poll_Was_Pressed())
        {
            m_sound->Play(Cue_Click);
            m_board->Cancel_Leader();
            m_racing_leader = false;
            Set_State(State_Race);
        }
        else if (m_leader_button->Poll_Was_Pressed())
        {
            // The race starts when the lap is here and proven, or with the player's own ghost if not.
            m_sound->Play(Cue_Click);
            if (!m_board->Is_Fetching_Leader())
                m_board->Fetch_Leader(m_level->m_track_index);
        }
        else if (m_board->Poll_Leader(m_leader))
        {
            m_racing_leader = m_leader.Is_Loaded();
            Set_State(State_Race);
        }
        else if (m_prev_track_button->Poll_Was_Pressed())
        {
            m_sound->Play(Cue_Click);
            m_board->Cancel_Leader();
            int index = m_level->m_track_index;
            if (index == 0)
                index = Get_Track_Count();
            m_level->Init(index - 1);
            Reset_Ship();
            m_board->Refresh(m_level->m_track_index);
        }
        else if (m_next_track_button->Poll_Was_Pressed())
        {
            m_sound->Play(Cue_Click);
            m_board->Cancel_Leader();
            m_level->Init((m_level->m_track_index + 1) % Get_Track_Count());
            Reset_Ship();
            m_board->Refresh(m_level->m_track_index);
        }
        else if (m_quit_button->Poll_Was_Pressed())
        {
            QCoreApplication::quit();
        }
    }
    else
    {
        Update_Game();
    }
    // The race's QUIT has been acted on (or the lap finished in this frame): the same course starts afresh.
    if (m_restart)
    {
        m_restart = false;
        if (m_state == State_Menu)
            Set_State(State_Race);
    }

    Update_Camera();
}

void Game::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_frame_timer.timerId())
    {
        QGraphicsView::timerEvent(event);
        return;
    }
    const qint64 now = m_clock.nsecsElapsed();
    bool drawn = false;
    if (m_paused)
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
            m_blend.Keep(m_race);
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
        m_blend.Begin(*m_scene.Get(), m_race, m_pacer.Blend(), QSize(width(), height()));
    m_scene->invalidate(QRectF(), QGraphicsScene::AllLayers);
    // The OpenGL viewport is a native child window: repainting the view alone
    // would leave it to a later update, so the viewport is repainted at once.
    viewport()->repaint();
    if (blend)
        m_blend.End(*m_scene.Get());
}

void Game::Set_Interpolation(bool on)
{
    m_pacer.Set_Interpolation(on);
}

bool Game::Interpolates() const
{
    return m_pacer.Blends();
}

float Game::Follow_Camera_Angle(float camera_angle, float ship_heading)
{
    return Race::Follow_Camera_Angle(camera_angle, ship_heading);
}

QTransform Game::Screen_To_World(const QPointF& ship_position, float camera_angle, int width, int height)
{
    return Race::Screen_To_World(ship_position, camera_angle, width, height);
}

void Game::Update_Camera()
{
    m_race.Update_Camera(QSize(width(), height()));
    m_scene->m_world_to_screen = m_race.m_world_to_screen;
    m_scene->m_screen_to_world = m_race.m_screen_to_world;
}

void Game::Reset_Ship()
{
    const int index = m_level->m_track_index;
    m_main_menu->m_track_index = index;
    m_main_menu->m_caption = Track_Caption(index);

    const float best = m_options->Read_Best_Time(index);
    const QString inputs = m_options->Read_Inputs(index);
    // A best kept without the inputs that drove it (one imported with --unverified) proves nothing.
    m_lap_timer->m_best_note = best > 0.0f && inputs.isEmpty() ? QStringLiteral("unverified") : QString();
    m_board_line->m_course = index;
    const Rival_Lap* rival = m_racing_leader && m_leader.m_course == index ? &m_leader
                             : m_rival.m_course == index                   ? &m_rival
                                                                           : nullptr;
    if (rival != nullptr)
    {
        // The clock still shows the player's own best: only the ghost is the rival's.
        m_race.Reset(rival->m_ghost, rival->m_time, QSize(width(), height()), rival->m_inputs);
        m_race.m_clock.m_best = best;
        m_ghost_ship->Set_Look(rival == &m_leader ? QColor(255, 190, 70, 200) : QColor(230, 120, 255, 200),
                               rival->m_name);
    }
    else
    {
        m_race.Reset(m_options->Read_Ghost(index), best, QSize(width(), height()), inputs);
        m_ghost_ship->Set_Look(QColor(), QString());
    }
    m_scene->m_world_to_screen = m_race.m_world_to_screen;
    m_scene->m_screen_to_world = m_race.m_screen_to_world;
    m_stars->m_reset_stars = true;
}

void Game::Race_Against(const Rival_Lap& rival)
{
    m_rival = rival;
    if (m_rival.Is_Loaded())
        m_level->Init(m_rival.m_course);
    Reset_Ship();
}

void Game::Update_Game()
{
    // What the steering read this frame: a press that went to a button never reached it.
    m_race.m_inputs.Append(
        Input_Frame{m_movement_control->m_pressed, m_movement_control->m_touch, QSize(width(), height())});
    const bool was_running = m_race.m_clock.m_running;
    const bool finished = m_race.Update_Rules() == Race::Finished;
    const bool started = !was_running && m_race.m_clock.m_running;
    if (started)
        m_ingame_instructions->Set_Visible(false);
    m_sound->Race_Step(Sound_Player::Frame_Of(m_race, started ? Cue_Start : Cue_None));

    if (!finished && !m_ingame_quit_button->Poll_Was_Pressed())
        return;

    m_race.Stop(finished);
    if (!finished)
    {
        Set_State(State_Menu);
        return;
    }

    const int index = m_level->m_track_index;
    const float stored = m_options->Read_Best_Time(index);
    const float time = m_race.m_clock.m_elapsed;
    if (stored != 0.0f && stored <= time)
    {
        m_sound->Play(Cue_Finish);
        Save_Records(nullptr);
        m_finish_panel->Show(time, stored, false, QString());
        Set_State(State_Menu);
        return;
    }

    m_race.m_clock.m_best = time;
    m_lap_timer->m_best_note.clear();
    m_sound->Play(Cue_New_Best);
    const QString& record = m_ghost_ship->m_record;
    // A lap too long for its ghost keeps none, but its inputs still prove its time.
    const Unsaved_Record best{index, time, record.size() <= Ghost_Record_Cap ? record : QString(),
                              m_race.m_inputs.Encode()};
    m_finish_panel->Show(time, stored, true, Save_Records(&best));
    m_board->Lap_Kept(index, best.time, best.ghost, best.inputs);
    Set_State(State_Menu);
}

QString Game::Save_Records(const Unsaved_Record* new_best)
{
    QString new_best_error;
    if (new_best != nullptr)
    {
        // The new best replaces whatever of its course was still waiting.
        m_unsaved_records.erase(std::remove_if(m_unsaved_records.begin(), m_unsaved_records.end(),
                                               [new_best](const Unsaved_Record& unsaved)
                                               { return unsaved.level == new_best->level; }),
                                m_unsaved_records.end());
        m_unsaved_records.push_back(*new_best);
    }
    std::vector<Unsaved_Record> still_unsaved;
    for (const Unsaved_Record& unsaved : m_unsaved_records)
    {
        const bool written =
            m_options->Write_Record(unsaved.level, unsaved.time, unsaved.ghost, unsaved.inputs);
        const QString notice = m_options->Take_Backup_Notice();
        if (!notice.isEmpty())
            qWarning().noquote() << QStringLiteral("tavrelo: warning: ") + notice;
        if (written)
            continue;
        // The clock shows the new best, so the player must learn that it is not kept yet.
        qWarning().noquote() << QStringLiteral(
                                    "tavrelo: warning: cannot save the best lap %1 of %2 to %3: %4")
                                    .arg(Race_Clock::Format_Time(unsaved.time), Get_Track_Name(unsaved.level),
                                         m_options->m_settings.fileName(), m_options->Write_Error());
        if (new_best != nullptr && unsaved.level == new_best->level)
            new_best_error = m_options->Write_Error();
        still_unsaved.push_back(unsaved);
    }
    m_unsaved_records.swap(still_unsaved);
    return new_best_error;
}

void Game::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    // The press that ends a pause also steers: the finger is back on the screen.
    Resume_Race();
    m_scene->Press(Qt_Bridge::Event_Pos(event));
    // The race's QUIT sits where the menu's does: a second tap meant for the
    // first must not end the game.
    if (m_quit_guard > 0 && m_scene->m_mouse_owner == m_quit_button.Get())
        m_scene->Cancel_Press();
}

void Game::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    m_scene->Release(Qt_Bridge::Event_Pos(event));
}

void Game::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    m_scene->Move(Qt_Bridge::Event_Pos(event));
}

void Game::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_M)
    {
        event->accept();
        if (!event->isAutoRepeat() && !(key == m_released_key && event->timestamp() == m_released_at))
            Toggle_Mute();
        Resume_Race();
        return;
    }
    const bool race = m_state == State_Race;
    const bool restart = race && (key == Qt::Key_R || key == Qt::Key_Backspace);
    const bool panel = !race && m_finish_panel->Is_Visible();
    const bool start = !race && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space);
    const bool course = !race && (key == Qt::Key_Left || key == Qt::Key_Right);
    if (key == Qt::Key_F11 && !event->isAutoRepeat())
    {
        event->accept();
        if (isFullScreen())
            showNormal();
        else
            showFullScreen();
        return;
    }
    if (!panel && key != Qt::Key_Escape && !restart && !start && !course && !m_paused)
    {
        QGraphicsView::keyPressEvent(event);
        return;
    }
    event->accept();
    // A held key acts once. On X11 each of the keyboard's repeats comes as a
    // release and a press at the same instant, and Qt flags only some of them.
    if (event->isAutoRepeat() || (key == m_released_key && event->timestamp() == m_released_at))
        return;
    Resume_Race();
    // Each key is a tap on a button on screen: the next frame's poll acts on
    // it, so states still change in the frame loop alone.
    if (panel)
    {
        // Over a finished lap: R races the course again, any other key goes to the menu.
        if (key == Qt::Key_R || key == Qt::Key_Backspace)
            m_start_button->m_was_pressed = true;
        else
            m_finish_panel->Dismiss();
    }
    else if (start)
        m_start_button->m_was_pressed = true;
    else if (course)
        (key == Qt::Key_Left ? m_prev_track_button : m_next_track_button)->m_was_pressed = true;
    else if (race && (restart || key == Qt::Key_Escape))
    {
        m_ingame_quit_button->m_was_pressed = true;
        m_restart = restart;
    }
    else if (key == Qt::Key_Escape && m_quit_guard == 0)
        m_quit_button->m_was_pressed = true;
}

void Game::keyReleaseEvent(QKeyEvent* event)
{
    m_released_key = event->key();
    m_released_at = event->timestamp();
    QGraphicsView::keyReleaseEvent(event);
}

bool Game::event(QEvent* event)
{
    // Deactivated (another window in front), hidden or minimized.
    if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide ||
        (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)))
        Hold_Race();
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
    m_scene->m_ui_scale = scale;
    const int w = static_cast<int>(view.width() / scale);
    const int h = static_cast<int>(view.height() / scale);
    const std::pair<UI_Button*, QPointF> places[] = {{m_ingame_quit_button.Get(), QPointF(3.0, h - 3)},
                                                     {m_start_button.Get(), QPointF(w / 2, h / 2)},
                                                     {m_leader_button.Get(), QPointF(w / 2, h / 2 + 60)},
                                                     {m_prev_track_button.Get(), QPointF(20.0, h / 2)},
                                                     {m_next_track_button.Get(), QPointF(w - 20, h / 2)},
                                                     {m_quit_button.Get(), QPointF(3.0, h - 3)}};
    for (const auto& place : places)
    {
        place.first->m_anchor = place.second;
        place.first->m_layout_dirty = true;
    }
    // The camera is laid out from the view's size by the next frame, as on every frame.
}

void Game::Hold_Race()
{
    if (m_state != State_Race || m_paused)
        return;
    m_paused = true;
    m_sound->Set_Held(true);
    // The finger is taken as lifted: a press held when the game went away must not steer on its return.
    m_scene->Cancel_Press();
    m_pause_notice->Set_Visible(true);
    m_pause_notice->Set_Visible_Alpha(1.0f);
    viewport()->update();
}

void Game::Resume_Race()
{
    if (!m_paused)
        return;
    m_paused = false;
    m_sound->Set_Held(false);
    m_pause_notice->Set_Visible(false);
    m_pause_notice->Set_Visible_Alpha(0.0f);
}

void Game::Toggle_Mute()
{
    const bool muted = !m_sound->Is_Muted();
    m_sound->Set_Muted(muted);
    m_sound_notice->Show(muted);
    m_preferences->Write("sound/mute", muted);
}
