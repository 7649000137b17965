// Pad_Input: the game controllers plugged in, polled by the frame loop, as a steering intent and button
// presses.
#ifndef TAVRELO_PAD_INPUT_H
#define TAVRELO_PAD_INPUT_H

#include "Key_Map.h"
#include "Key_Steering.h"
#include "Name_Entry.h"

#include <functional>
#include <vector>

class Pad_Input
{
public:
    // The buttons the game acts on, whichever pad they come from.
    enum Button
    {
        Pad_A,
        Pad_B,
        Pad_Y,
        Pad_Back,
        Pad_Start,
        Pad_Left,
        Pad_Right,
        Pad_Up,
        Pad_Down,
        Pad_X,
    };
    struct Listener
    {
        std::function<void(Button)> pressed;
        // The stick, the D-pad or the drive buttons changed; active is false at rest.
        std::function<void(const Key_Steering::Intent&, bool active)> steered;
        // A pad was unplugged.
        std::function<void()> lost;
    };

    // Without the controller library, or without access to the devices, it
    // says so once on standard error and does nothing.
    explicit Pad_Input(const Listener& listener);
    ~Pad_Input();
    Pad_Input(const Pad_Input&) = delete;
    Pad_Input& operator=(const Pad_Input&) = delete;

    // What a button does where the player is: in a race, over the finish panel, or in the menu; Start's
    // pause is the race's own.
    static Key_Map::Action Action_Of(Button button, bool race, bool panel);
    // What a button does in the name entry: the D-pad walks the keys, A presses one, B deletes, Back leaves
    // and Start keeps the name.
    static Name_Entry::Command Entry_Command_Of(Button button);

    bool Is_Available() const { return m_available; }
    int Pads() const { return static_cast<int>(m_pads.size()); }
    // Takes the devices' news and the pads' state now.
    void Poll();
    // The frame loop's call, once a tick before the tick's steps: it polls
    // while a pad is open, and with none only every Idle_Poll_Frames ticks.
    void Frame();

private:
    // A quarter of a second at 60 ticks a second. With no pad, all a poll
    // can find is one plugged in, and asking the system about its devices
    // cost a tick more than its race step.
    static constexpr int Idle_Poll_Frames = 15;

    void Open(int device);
    void Close(int instance);
    Key_Steering::Intent Read_Intent(bool& active) const;

    Listener m_listener;
    bool m_available;
    std::vector<void*> m_pads; // SDL_GameController handles
    Key_Steering::Intent m_last;
    bool m_last_active;
    int m_idle_frames = 0;
};

#endif
