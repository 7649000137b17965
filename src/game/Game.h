// Game: the full-screen view that creates the game's objects, connects them, lays them out and runs the frame
// loop.
#ifndef TAVRELO_GAME_H
#define TAVRELO_GAME_H

#include "Frame_Blend.h"
#include "Frame_Pacer.h"
#include "Game_Flow.h"
#include "Game_Parts.h"
#include "Key_Map.h"
#include "Surface_Choice.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QGraphicsView>
#include <QPointF>
#include <QString>
#include <QTransform>

#include <memory>

class Name_Entry;
class Pad_Input;

class Game : public QGraphicsView
{
public:
    using Game_State = Game_Flow::Game_State;
    static constexpr Game_State State_Menu = Game_Flow::State_Menu;
    static constexpr Game_State State_Race = Game_Flow::State_Race;

    // Paints through the surface Surface_Choice picks for what was asked; on
    // the whole screen, or in a window that can be resized. A board's address
    // is for this run; without one the preferences' is used, if any.
    explicit Game(Surface_Choice::Renderer renderer = Surface_Choice::Renderer::Auto, bool windowed = false,
                  const QString& board = QString());
    ~Game() override;

    void Set_State(Game_State state) { m_flow.Set_State(state); }
    // Races the ghost of rival's lap on its course, rather than the player's own; the player's
    // own record is kept and judged as ever.
    void Race_Against(const Rival_Lap& rival) { m_flow.Race_Against(rival); }

    // One frame of game logic without the repaint: element updates, then the
    // race's step (or its coasting behind the menu), the menu's poll or the
    // race's outcome, and the camera. The frame loop runs it as many times as
    // wall time asks (Frame_Pacer) and then repaints; tests and benchmarks call it directly.
    void Advance_Frame() { m_flow.Advance_Frame(); }
    // Whether frames between two steps are drawn blended, on a screen faster than the steps.
    void Set_Interpolation(bool on) { m_pacer.Set_Interpolation(on); }
    bool Interpolates() const { return m_pacer.Blends(); }
    // The UI's scale and the buttons' places for a view of this size (on every resize).
    void Lay_Out(const QSize& view);
    // Held, the frame loop steps nothing and no notice shows: for tests and
    // benchmarks that step the frames themselves. Unlike a held race, no key
    // or press lets it go on: a test's own input would start the loop again.
    void Set_Paused(bool paused) { m_loop_held = paused; }

    // The race's camera (Race::Follow_Camera_Angle, Race::Screen_To_World).
    static float Follow_Camera_Angle(float camera_angle, float ship_heading)
    {
        return Race::Follow_Camera_Angle(camera_angle, ship_heading);
    }
    static QTransform Screen_To_World(const QPointF& ship_position, float camera_angle, int width, int height)
    {
        return Race::Screen_To_World(ship_position, camera_angle, width, height);
    }

    // What the game holds, for its tests and tools.
    int State() const { return m_flow.State(); }
    bool Is_Paused() const { return m_flow.Is_Paused(); }
    bool Quit_Guarded() const { return m_flow.Quit_Guarded(); }
    bool Restart_Asked() const { return m_flow.Restart_Asked(); }
    qint64 Steps_Run() const { return m_steps_run; }
    // Wall time the frame loop gave up rather than raced through (stalls, the step cap).
    qint64 Time_Dropped_Ns() const { return m_pacer.Dropped_Ns(); }
    Race& Current_Race() { return m_parts.m_race; }
    Options* Store() const { return m_parts.m_options.Get(); }
    Record_Keeper* Records() const { return m_parts.m_records.Get(); }
    Game_Scene* Scene() const { return m_parts.m_scene.Get(); }
    Stars* Star_Field() const { return m_parts.m_stars.Get(); }
    Level* Course() const { return m_parts.m_level.Get(); }
    Ghost_Ship* Ghost() const { return m_parts.m_ghost_ship.Get(); }
    Ship* Craft() const { return m_parts.m_ship.Get(); }
    Movement_Control* Steering() const { return m_parts.m_movement_control.Get(); }
    Lap_Timer* Timer() const { return m_parts.m_lap_timer.Get(); }
    Ingame_Instructions* Instructions() const { return m_parts.m_ingame_instructions.Get(); }
    UI_Button* Race_Quit_Button() const { return m_parts.m_ingame_quit_button.Get(); }
    Fade_Plane* Fade() const { return m_parts.m_fade_plane.Get(); }
    Main_Menu* Menu() const { return m_parts.m_main_menu.Get(); }
    UI_Button* Start_Button() const { return m_parts.m_start_button.Get(); }
    UI_Button* Previous_Button() const { return m_parts.m_prev_track_button.Get(); }
    UI_Button* Next_Button() const { return m_parts.m_next_track_button.Get(); }
    UI_Button* Quit_Button() const { return m_parts.m_quit_button.Get(); }
    UI_Button* Leader_Button() const { return m_parts.m_leader_button.Get(); }
    Pause_Notice* Paused_Notice() const { return m_parts.m_pause_notice.Get(); }
    Finish_Panel* Finish() const { return m_parts.m_finish_panel.Get(); }
    Sound_Notice* Mute_Notice() const { return m_parts.m_sound_notice.Get(); }
    Sound_Player* Sound() const { return m_parts.m_sound.Get(); }
    Board_Session* Board() const { return m_parts.m_board.Get(); }
    Board_Line* Board_Standing() const { return m_parts.m_board_line.Get(); }
    Board_Notice* Board_Notices() const { return m_parts.m_board_notice.Get(); }
    UI_Button* Name_Button() const { return m_parts.m_name_button.Get(); }
    Name_Entry* Name_Choice() const { return m_parts.m_name_entry.Get(); }
    Split_Notice* Splits_Notice() const { return m_parts.m_split_notice.Get(); }
    const Sector_Splits& Splits() const { return m_parts.m_splits; }
    // The gamepads; none in a build without them.
    Pad_Input* Pads() const { return m_pad.get(); }

protected:
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Every object, in the order they are made.
    void Make_Parts(const QString& board);
    // The view itself: its surface, its look and its place on the screen.
    void Set_Up_View(Surface_Choice::Renderer renderer, bool windowed);
    // Repaints now, blended between the last two steps or not.
    void Draw_Frame(bool blend);

    Game_Parts m_parts;
    Game_Flow m_flow;
    Key_Map m_keys;
    // Steps the frame loop has run (not those called from outside it).
    qint64 m_steps_run;
    bool m_loop_held;

    // The frame loop: a monotonic clock, the rule that turns its time into
    // steps and frames, and a single-shot timer for the next frame.
    QElapsedTimer m_clock;
    Frame_Pacer m_pacer;
    Frame_Blend m_blend;
    QBasicTimer m_frame_timer;
    std::unique_ptr<Pad_Input> m_pad;
};

#endif
