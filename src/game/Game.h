// Game: the full-screen view that owns every object of the game and runs the frame loop.
#ifndef TAVRELO_GAME_H
#define TAVRELO_GAME_H

#include "Frame_Blend.h"
#include "Frame_Pacer.h"
#include "Race.h"
#include "Rival_Lap.h"
#include "Single"
#include "Surface_Choice.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QGraphicsView>
#include <QPointF>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <vector>

class Options;
class Preferences;
class Game_Scene;
class Stars;
class Level;
class Ghost_Ship;
class Ship;
class Movement_Control;
class Lap_Timer;
class Ingame_Instructions;
class UI_Button;
class Fade_Plane;
class Main_Menu;
class Pause_Notice;
class Finish_Panel;
class Sound_Player;
class Sound_Notice;
class Board_Session;
class Board_Line;
class Board_Notice;

class Game : public QGraphicsView
{
public:
    enum Game_State
    {
        State_Menu = 0,
        State_Race = 1,
    };

    // The fixed step of one frame, in seconds, whatever the real time between frames.
    static constexpr float Frame_Step = Race::Frame_Step;

    // Paints through the surface Surface_Choice picks for what was asked; on
    // the whole screen, or in a window that can be resized. A board's address
    // is for this run; without one the preferences' is used, if any.
    explicit Game(Surface_Choice::Renderer renderer = Surface_Choice::Renderer::Auto, bool windowed = false,
                  const QString& board = QString());
    ~Game() override;

    void Set_State(Game_State state);
    // Puts everything that belongs to one run back to the start of the level's course.
    void Reset_Ship();
    // Races the ghost of rival's lap on its course, rather than the player's own; the player's
    // own record is kept and judged as ever.
    void Race_Against(const Rival_Lap& rival);
    // The race rules, once per race frame.
    void Update_Game();

    // One frame of game logic without the repaint: element updates, the menu
    // poll or the race rules, and the camera. The frame loop runs it as many
    // times as wall time asks (Frame_Pacer) and then repaints; tests and
    // benchmarks call it directly.
    void Advance_Frame();
    // Whether frames between two steps are drawn blended, on a screen faster than the steps.
    void Set_Interpolation(bool on);
    bool Interpolates() const;

    // The race's camera (Race::Follow_Camera_Angle, Race::Screen_To_World).
    // The UI's scale and the buttons' places for a view of this size (on every resize).
    void Lay_Out(const QSize& view);

    static float Follow_Camera_Angle(float camera_angle, float ship_heading);
    static QTransform Screen_To_World(const QPointF& ship_position, float camera_angle, int width,
                                      int height);

    int32_t m_state;
    // The race's state and rules; the view owns the elements it points at.
    Race m_race;
    Single<Options> m_options;
    Single<Preferences> m_preferences;
    Single<Game_Scene> m_scene;
    Single<Stars> m_stars;
    Single<Level> m_level;
    Single<Ghost_Ship> m_ghost_ship;
    Single<Ship> m_ship;
    Single<Movement_Control> m_movement_control;
    Single<Lap_Timer> m_lap_timer;
    Single<Ingame_Instructions> m_ingame_instructions;
    Single<UI_Button> m_ingame_quit_button;
    Single<Fade_Plane> m_fade_plane;
    Single<Main_Menu> m_main_menu;
    Single<UI_Button> m_start_button;
    Single<UI_Button> m_prev_track_button;
    Single<UI_Button> m_next_track_button;
    Single<UI_Button> m_quit_button;
    Single<Pause_Notice> m_pause_notice;
    Single<Finish_Panel> m_finish_panel;
    Single<Sound_Notice> m_sound_notice;
    // The engine, the cues and the output they play through.
    Single<Sound_Player> m_sound;
    // The board: bests sent, the rank and the leader's lap; idle without an address.
    Single<Board_Session> m_board;
    Single<Board_Line> m_board_line;
    Single<Board_Notice> m_board_notice;
    Single<UI_Button> m_leader_button;
    // The race's progress, under the names the view has always had for it.
    float& m_camera_angle;
    float& m_closest_distance;
    bool& m_on_last_segment;
    int32_t& m_closest_segment;
    float& m_segment_fraction;

    // A best lap the settings file did not take. The store keeps it in memory,
    // so the clock and the next race still know it; the game writes it again
    // after every finished race and when it ends.
    struct Unsaved_Record
    {
        int level;
        float time;
        QString ghost;
        QString inputs;
    };
    std::vector<Unsaved_Record> m_unsaved_records;
    // The lap whose ghost is raced on its course instead of the player's own (none when not loaded).
    Rival_Lap m_rival;
    // The board's best lap of its course, and whether the races now are against it.
    Rival_Lap m_leader;
    bool m_racing_leader;

    // A race held while the game is not in front: no frame runs until the next press or key.
    bool m_paused;
    // R or Backspace: the next frame leaves the race as its QUIT does and starts the same course again.
    bool m_restart;
    // Frames left in which a press on the menu's QUIT does nothing after a race has come back to the menu.
    int m_quit_guard;
    // The key released last, and at which time of the window system: a repeat's press comes at the same one.
    int m_released_key;
    quint64 m_released_at;
    // Steps the frame loop has run (not those called from outside it).
    qint64 m_steps_run;

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
    // Repaints now, blended between the last two steps or not.
    void Draw_Frame(bool blend);
    void Update_Camera();
    void Hold_Race();
    void Resume_Race();
    // M: the sound off or on, said on screen.
    void Toggle_Mute();
    // Writes a new best lap (when given) and every record still unsaved;
    // warns on standard error about each one the file does not take.
    // Returns why the new best was not written, or nothing.
    QString Save_Records(const Unsaved_Record* new_best);

    // The frame loop: a monotonic clock, the rule that turns its time into
    // steps and frames, and a single-shot timer for the next frame.
    QElapsedTimer m_clock;
    Frame_Pacer m_pacer;
    Frame_Blend m_blend;
    QBasicTimer m_frame_timer;
};

#endif
