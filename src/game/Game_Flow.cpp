#include "Game_Flow.h"

#include "Board_Line.h"
#include "Board_Session.h"
#include "Fade_Plane.h"
#include "Finish_Panel.h"
#include "Game_Parts.h"
#include "Game_Scene.h"
#include "Ghost_Ship.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Menu_Flow.h"
#include "Movement_Control.h"
#include "Options.h"
#include "Pause_Notice.h"
#include "Preferences.h"
#include "Record_Keeper.h"
#include "Ship.h"
#include "Sound_Notice.h"
#include "Sound_Player.h"
#include "Split_Notice.h"
#include "Stars.h"
#include "Track_List.h"
#include "UI_Button.h"

#include <QCoreApplication>
#include <QGraphicsView>

#include <cmath>
#include <initializer_list>

namespace
{
// Counted in steps rather than measured time: the guard then needs no clock
// of its own and tests can run it step by step. 32 steps last just over half
// a second, and longer on a machine too slow to keep up, so a player's second
// tap is never let through sooner.
constexpr int Quit_Guard_Frames = 32;
} // namespace

Game_Flow::Game_Flow(Game_Parts& parts, QGraphicsView& view)
    : m_parts(parts), m_view(view), m_state(State_Menu), m_paused(false), m_restart(false), m_quit_guard(0),
      m_pad_active(false), m_finger_held_for_keys(false)
{
}

void Game_Flow::Guard_Press()
{
    // The race's QUIT sits where the menu's does: a second tap meant for the
    // first must not end the game.
    if (m_quit_guard > 0 && m_parts.m_scene->m_mouse_owner == m_parts.m_quit_button.Get())
        m_parts.m_scene->Cancel_Press();
}

void Game_Flow::Set_State(Game_State state)
{
    if (state == State_Race)
        Reset_Ship();

    m_parts.m_scene->Cancel_Press();
    if (state == State_Race)
        m_parts.m_preferences->Write_Last_Course(m_parts.m_level->m_track_index);
    else if (m_state == State_Race)
        m_quit_guard = Quit_Guard_Frames;
    if (state != State_Race)
    {
        m_steering_keys.Let_Go_All();
        m_finger_held_for_keys = false;
    }

    if (state == State_Race)
        m_parts.m_finish_panel->Set_Visible(false);
    // A finished lap's result stands over the race; the menu comes when it is sent away.
    const bool menu = state == State_Menu && !m_parts.m_finish_panel->Is_Visible();
    for (Scene_UI_Element* element : std::initializer_list<Scene_UI_Element*>{
             m_parts.m_main_menu.Get(), m_parts.m_start_button.Get(), m_parts.m_prev_track_button.Get(),
             m_parts.m_next_track_button.Get(), m_parts.m_quit_button.Get(), m_parts.m_board_line.Get(),
             m_parts.m_fade_plane.Get()})
        element->Set_Visible(menu);
    m_parts.m_leader_button->Set_Visible(menu && m_parts.m_board->Is_On());
    m_parts.m_name_button->Set_Visible(menu && m_parts.m_board->Is_On());
    if (menu)
    {
        m_parts.m_board->Refresh(m_parts.m_level->m_track_index);
        // The last split does not stay over the menu.
        m_parts.m_split_notice->Hide();
    }
    for (Scene_UI_Element* element : std::initializer_list<Scene_UI_Element*>{
             m_parts.m_movement_control.Get(), m_parts.m_ingame_instructions.Get(),
             m_parts.m_ingame_quit_button.Get()})
        element->Set_Visible(state == State_Race);
    // Only a race drives the engine: under the finish panel, as in the menu, it dies away.
    m_parts.m_sound->Set_Racing(state == State_Race);

    m_state = state;
}

void Game_Flow::Advance_Frame()
{
    if (m_quit_guard > 0)
        --m_quit_guard;
    // The world moves in the race's step below (Game_Scene::Set_World_Elements). The UI's size is read again
    // on every step, as an update may change the list.
    for (size_t i = 0; i < m_parts.m_scene->m_ui_elements.size(); ++i)
    {
        // Most elements only fade. Called through their table, a score of them
        // a frame, the calls cost more than the fades: a tenth of a frame's
        // logic.
        Scene_UI_Element* element = m_parts.m_scene->m_ui_elements[i];
        if (element->m_fade_only)
            element->Scene_UI_Element::Update(Race::Frame_Step);
        else
            element->Update(Race::Frame_Step);
    }

    // The race moves only here, and only as the lap's proof will race it again.
    if (m_state == State_Race)
    {
        Place_Held_Finger();
        const bool was_running = m_parts.m_race.m_clock.m_running;
        const bool finished =
            Race_Frame(m_parts.m_race, *m_parts.m_movement_control.Get(), View_Size()) == Race::Finished;
        Show_Split(m_parts.m_splits.Step(m_parts.m_race));
        Race_Outcome(!was_running && m_parts.m_race.m_clock.m_running, finished);
    }
    else
    {
        m_parts.m_race.Coast(View_Size());
        Menu_Request(m_parts.m_menu_flow->Poll());
    }
    // The race's QUIT has been acted on (or the lap finished in this frame): the same course starts afresh.
    if (m_restart)
    {
        m_restart = false;
        if (m_state == State_Menu)
            Set_State(State_Race);
    }
    Show_Camera();
}

void Game_Flow::Place_Held_Finger()
{
    Movement_Control& steering = *m_parts.m_movement_control.Get();
    const bool keys = m_steering_keys.Any_Held();
    if (!keys && !m_pad_active)
    {
        // Keys let go lift their finger; the pointer's own stays where it is.
        if (m_finger_held_for_keys)
            steering.m_pressed = false;
        m_finger_held_for_keys = false;
        return;
    }
    const Ship& ship = *m_parts.m_ship.Get();
    const Key_Steering::Touch touch = Key_Steering::Place(
        keys ? m_steering_keys.Held_Intent() : m_pad_intent,
        Key_Steering::Pose{ship.m_position, ship.m_direction, m_parts.m_race.m_world_to_screen, View_Size()});
    steering.m_pressed = touch.pressed;
    if (touch.pressed)
        steering.m_touch = touch.point;
    m_finger_held_for_keys = true;
}

void Game_Flow::Pad_Steers(const Key_Steering::Intent& intent, bool active)
{
    m_pad_intent = intent;
    m_pad_active = active;
    if (active)
        Used(Ingame_Instructions::Pad);
}

void Game_Flow::Used(int device)
{
    m_parts.m_ingame_instructions->m_device = device;
}

void Game_Flow::Act_On_Pad(Key_Map::Action action, bool pause)
{
    Used(Ingame_Instructions::Pad);
    if (pause && m_state == State_Race && !m_paused)
    {
        Hold_Race();
        return;
    }
    Resume_Race();
    Act_On_Key(action);
}

Race::Outcome Game_Flow::Race_Frame(Race& race, const Movement_Control& steering, const QSize& view)
{
    return race.Step(steering.Input(view));
}

void Game_Flow::Race_Outcome(bool started, bool finished)
{
    if (started)
        m_parts.m_ingame_instructions->Set_Visible(false);
    m_parts.m_sound->Race_Step(Sound_Player::Frame_Of(m_parts.m_race, started ? Cue_Start : Cue_None));
    if (!finished && !m_parts.m_ingame_quit_button->Poll_Was_Pressed())
        return;

    m_parts.m_race.Stop(finished);
    if (finished)
    {
        const int course = m_parts.m_level->m_track_index;
        const float time = m_parts.m_race.m_clock.m_elapsed;
        const Record_Keeper::Verdict verdict = m_parts.m_records->Finish_Lap(
            course, time, m_parts.m_ghost_ship->m_record, m_parts.m_race.m_inputs);
        m_parts.m_sound->Play(verdict.new_best ? Cue_New_Best : Cue_Finish);
        if (verdict.new_best)
        {
            m_parts.m_race.m_clock.m_best = time;
            m_parts.m_lap_timer->m_best_note.clear();
            m_parts.m_board->Lap_Kept(course, time, verdict.kept.ghost, verdict.kept.inputs);
        }
        m_parts.m_finish_panel->Show(time, verdict.previous, verdict.new_best, verdict.save_error);
        m_parts.m_splits.Finish(m_parts.m_race, *m_parts.m_preferences.Get());
        Show_Split(Sector_Splits::Count - 1);
        int sectors[Sector_Splits::Count];
        int best[Sector_Splits::Count];
        m_parts.m_splits.Copy(sectors, best);
        m_parts.m_finish_panel->Show_Sectors(sectors, best);
        if (const Rival_Lap* rival = m_parts.m_menu_flow->Rival_For(course))
            m_parts.m_finish_panel->Show_Rival(rival->m_time, rival->m_name);
        // The board's answer about this lap tells the new place.
        if (verdict.new_best && m_parts.m_board->Is_On())
            m_parts.m_finish_panel->Await_Place(m_parts.m_board.Get(), course,
                                                m_parts.m_board->Laps_Taken(course) + 1);
    }
    Set_State(State_Menu);
}

void Game_Flow::Menu_Request(int request)
{
    switch (request)
    {
    case Menu_Flow::Show_Menu:
        Set_State(State_Menu);
        break;
    case Menu_Flow::Start_Race:
        Set_State(State_Race);
        break;
    case Menu_Flow::Course_Changed:
        Reset_Ship();
        m_parts.m_board->Refresh(m_parts.m_level->m_track_index);
        break;
    case Menu_Flow::Quit:
        QCoreApplication::quit();
        break;
    default:
        break;
    }
}

void Game_Flow::Reset_Ship()
{
    const int index = m_parts.m_level->m_track_index;
    m_parts.m_main_menu->m_track_index = index;
    m_parts.m_main_menu->m_caption = QString("Track #%1. %2").arg(index + 1).arg(Get_Track_Name(index));

    const float best = m_parts.m_options->Read_Best_Time(index);
    const QString inputs = m_parts.m_options->Read_Inputs(index);
    // A best kept without the inputs that drove it (one imported with --unverified) proves nothing.
    m_parts.m_lap_timer->m_best_note =
        best > 0.0f && inputs.isEmpty() ? QStringLiteral("unverified") : QString();
    m_parts.m_board_line->m_course = index;
    const Rival_Lap* rival = m_parts.m_menu_flow->Rival_For(index);
    if (rival != nullptr)
    {
        // The clock still shows the player's own best: only the ghost is the rival's.
        m_parts.m_race.Reset(rival->m_ghost, rival->m_time, View_Size(), rival->m_inputs);
        m_parts.m_race.m_clock.m_best = best;
        m_parts.m_ghost_ship->Set_Look(m_parts.m_menu_flow->Is_Leader(rival) ? QColor(255, 190, 70, 200)
                                                                             : QColor(230, 120, 255, 200),
                                       rival->m_name);
    }
    else
    {
        m_parts.m_race.Reset(m_parts.m_options->Read_Ghost(index), best, View_Size(), inputs);
        m_parts.m_ghost_ship->Set_Look(QColor(), QString());
    }
    m_parts.m_lap_timer->m_rival_time = rival != nullptr ? rival->m_time : 0.0f;
    m_parts.m_lap_timer->m_rival_name = rival != nullptr ? rival->m_name : QString();
    m_parts.m_splits.Start(*m_parts.m_level.Get(), *m_parts.m_preferences.Get(),
                           rival != nullptr ? rival->m_time : best);
    m_parts.m_split_notice->Hide();
    m_parts.m_scene->m_world_to_screen = m_parts.m_race.m_world_to_screen;
    m_parts.m_scene->m_screen_to_world = m_parts.m_race.m_screen_to_world;
    m_parts.m_stars->m_reset_stars = true;
}

void Game_Flow::Show_Split(int sector)
{
    const float gap = m_parts.m_splits.Gap(sector);
    if (sector >= 0 && !std::isnan(gap))
        m_parts.m_split_notice->Show(sector, gap);
}

void Game_Flow::Race_Against(const Rival_Lap& rival)
{
    m_parts.m_menu_flow->Race_Against(rival);
    Reset_Ship();
}

void Game_Flow::Show_Camera()
{
    m_parts.m_scene->m_world_to_screen = m_parts.m_race.m_world_to_screen;
    m_parts.m_scene->m_screen_to_world = m_parts.m_race.m_screen_to_world;
}

QSize Game_Flow::View_Size() const
{
    return QSize(m_view.width(), m_view.height());
}

void Game_Flow::Act_On_Key(Key_Map::Action action)
{
    // Each key is a tap on a button on screen: the next frame's poll acts on it.
    switch (action)
    {
    case Key_Map::Toggle_Mute:
        Toggle_Mute();
        break;
    case Key_Map::Toggle_Full_Screen:
        if (m_view.isFullScreen())
            m_view.showNormal();
        else
            m_view.showFullScreen();
        break;
    case Key_Map::Start:
        m_parts.m_start_button->m_was_pressed = true;
        break;
    case Key_Map::Dismiss_Panel:
        m_parts.m_finish_panel->Dismiss();
        break;
    case Key_Map::Previous_Course:
    case Key_Map::Next_Course:
        (action == Key_Map::Previous_Course ? m_parts.m_prev_track_button : m_parts.m_next_track_button)
            ->m_was_pressed = true;
        break;
    case Key_Map::Leave_Race:
    case Key_Map::Restart_Race:
        m_parts.m_ingame_quit_button->m_was_pressed = true;
        m_restart = action == Key_Map::Restart_Race;
        break;
    case Key_Map::Quit:
        m_parts.m_quit_button->m_was_pressed = true;
        break;
    case Key_Map::Race_Leader:
        if (m_parts.m_leader_button->Is_Visible())
            m_parts.m_leader_button->m_was_pressed = true;
        break;
    case Key_Map::Choose_Name:
        if (m_parts.m_name_button->Is_Visible())
            m_parts.m_name_button->m_was_pressed = true;
        break;
    case Key_Map::Nothing:
        break;
    }
}

void Game_Flow::Hold_Race()
{
    if (m_state != State_Race || m_paused)
        return;
    m_paused = true;
    m_parts.m_sound->Set_Held(true);
    // The finger is taken as lifted: a press held when the game went away must not steer on its return.
    // Nor do keys, whose release another window may have taken.
    m_parts.m_scene->Cancel_Press();
    m_steering_keys.Let_Go_All();
    m_parts.m_movement_control->m_pressed = false;
    m_finger_held_for_keys = false;
    m_parts.m_pause_notice->Set_Visible(true);
    m_parts.m_pause_notice->Set_Visible_Alpha(1.0f);
    m_view.viewport()->update();
}

void Game_Flow::Resume_Race()
{
    if (!m_paused)
        return;
    m_paused = false;
    m_parts.m_sound->Set_Held(false);
    m_parts.m_pause_notice->Set_Visible(false);
    m_parts.m_pause_notice->Set_Visible_Alpha(0.0f);
}

void Game_Flow::Toggle_Mute()
{
    const bool muted = !m_parts.m_sound->Is_Muted();
    m_parts.m_sound->Set_Muted(muted);
    m_parts.m_sound_notice->Show(muted);
    m_parts.m_preferences->Write(Preferences::Mute_Key, muted);
}
