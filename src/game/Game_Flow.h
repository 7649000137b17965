// Game_Flow: the menu and the race, what moves the game from one to the other, and a race held while the game
// is away.
#ifndef TAVRELO_GAME_FLOW_H
#define TAVRELO_GAME_FLOW_H

#include "Key_Map.h"
#include "Key_Steering.h"
#include "Race.h"

#include <QtGlobal>

#include <cstdint>

class QGraphicsView;
class Movement_Control;
class Rival_Lap;
struct Game_Parts;

class Game_Flow
{
public:
    enum Game_State
    {
        State_Menu = 0,
        State_Race = 1,
    };

    // Neither is owned; the view is what the parts are shown in, for its size.
    Game_Flow(Game_Parts& parts, QGraphicsView& view);

    void Set_State(Game_State state);
    // Puts everything that belongs to one run back to the start of the level's course.
    void Reset_Ship();
    // Races the ghost of rival's lap on its course, rather than the player's own; the player's
    // own record is kept and judged as ever.
    void Race_Against(const Rival_Lap& rival);
    // One frame of game logic (Game::Advance_Frame).
    void Advance_Frame();
    // The race's part of a racing frame: the steering's touch is the frame's
    // input to the same step the lap's proof runs.
    static Race::Outcome Race_Frame(Race& race, const Movement_Control& steering, const QSize& view);

    // A key's action, as a tap on the button on screen that does the same.
    void Act_On_Key(Key_Map::Action action);
    // The steering keys held, which steer a race as a finger would; let go when the race is left or held.
    Key_Steering& Steering_Keys() { return m_steering_keys; }
    // A pad's stick and drive buttons; at rest they leave the steering to the pointer and the keys.
    void Pad_Steers(const Key_Steering::Intent& intent, bool active);
    // The device the player used last, named by the race's hint.
    void Used(int device);
    // A pad's button: in the menu as its keys, in a race Start holds and goes on.
    void Act_On_Pad(Key_Map::Action action, bool pause);

    // A press just given to the scene: the menu's QUIT takes none right after a race.
    void Guard_Press();

    // The race held while the game is not in front, and on again.
    void Hold_Race();
    void Resume_Race();
    // M: the sound off or on, said on screen.
    void Toggle_Mute();

    int32_t State() const { return m_state; }
    bool Is_Paused() const { return m_paused; }
    bool Quit_Guarded() const { return m_quit_guard > 0; }
    bool Restart_Asked() const { return m_restart; }

private:
    // After the race's step: the clock's start, a finish or a race given up.
    void Race_Outcome(bool started, bool finished);
    void Menu_Request(int request);
    // The gap at the end of sector, large on the screen; nothing without a ghost, or for sector -1.
    void Show_Split(int sector);
    // Held keys or a pad put the steering's finger where they point, before the race's step reads it.
    void Place_Held_Finger();
    // The scene draws and steers through the race's camera.
    void Show_Camera();
    QSize View_Size() const;

    Game_Parts& m_parts;
    QGraphicsView& m_view;
    int32_t m_state;
    // A race held while the game is not in front: no frame runs until the next press or key.
    bool m_paused;
    // R or Backspace: the next frame leaves the race as its QUIT does and starts the same course again.
    bool m_restart;
    // Frames left in which a press on the menu's QUIT does nothing after a race has come back to the menu.
    int m_quit_guard;
    Key_Steering m_steering_keys;
    Key_Steering::Intent m_pad_intent;
    bool m_pad_active;
    // The steering's finger was put down by keys or a pad, not by the pointer.
    bool m_finger_held_for_keys;
};

#endif
