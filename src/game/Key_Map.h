// Key_Map: what each key does in the game's present state, each held key acting once.
#ifndef TAVRELO_KEY_MAP_H
#define TAVRELO_KEY_MAP_H

#include <QtGlobal>

class Key_Map
{
public:
    // Most keys are taps on a button on screen: the next frame's poll acts on
    // them, so states still change in the frame loop alone.
    enum Action
    {
        Nothing = 0,
        Toggle_Mute,
        Toggle_Full_Screen,
        Start,           // the menu's start (or, over a finished lap, racing it again)
        Dismiss_Panel,   // the finished lap's panel sent away, to the menu
        Previous_Course, // the menu's <<<
        Next_Course,     // the menu's >>>
        Leave_Race,      // the race's QUIT
        Restart_Race,    // the race's QUIT, then the same course afresh
        Quit,            // the menu's QUIT
        Race_Leader,     // the menu's "Race the leader", where there is a board
        Choose_Name,     // the menu's button for the name on the board, where there is one
    };
    struct Answer
    {
        bool accepted; // false: the key is the view's to handle
        bool resume;   // a held race goes on
        Action action;
    };
    struct Situation
    {
        bool racing;
        bool panel_shown;
        bool paused;
        bool quit_guarded; // the menu's QUIT ignores presses just after a race
    };

    Key_Map();

    // A press of key at the window system's time stamp; auto_repeat as Qt flags it.
    Answer Press(int key, bool auto_repeat, quint64 timestamp, const Situation& now) const;
    void Release(int key, quint64 timestamp);

private:
    // On X11 each of the keyboard's repeats comes as a release and a press at
    // the same instant, and Qt flags only some of them.
    bool Is_Repeat(int key, bool auto_repeat, quint64 timestamp) const;

    int m_released_key;
    quint64 m_released_at;
};

#endif
