// Menu_Flow: the menu's buttons read once a frame: a race started, the courses stepped through, the leader
// fetched, the name on the board chosen.
#ifndef TAVRELO_MENU_FLOW_H
#define TAVRELO_MENU_FLOW_H

#include "Rival_Lap.h"

class Board_Session;
class Finish_Panel;
class Level;
class Name_Entry;
class Sound_Player;
class UI_Button;

class Menu_Flow
{
public:
    struct Buttons
    {
        UI_Button* start;
        UI_Button* leader;
        UI_Button* previous;
        UI_Button* next;
        UI_Button* quit;
        UI_Button* name;
    };
    // What the game does after the menu's frame.
    enum Request
    {
        Stay = 0,
        Show_Menu, // the finish panel was sent away
        Start_Race,
        Course_Changed, // the level holds another course now
        Quit,
    };

    // Nothing is owned; everything outlives the flow.
    Menu_Flow(const Buttons& buttons, Finish_Panel* panel, Board_Session* board, Sound_Player* sound,
              Level* level, Name_Entry* entry);

    // The first button with a press wins; the others are not read this frame, nor any while the name is
    // being chosen.
    Request Poll();

    // Races the ghost of rival's lap on its course from now on, rather than the player's own.
    void Race_Against(const Rival_Lap& rival);
    // The ghost raced on course: the board's leader when a race against it was
    // asked, the rival loaded, or none (the player's own).
    const Rival_Lap* Rival_For(int course) const;
    bool Is_Leader(const Rival_Lap* rival) const;

private:
    void Step_Course(int by);
    // The name entry's outcome kept, and the button that opens it; true while it is open.
    bool Poll_Name();

    Buttons m_buttons;
    Finish_Panel* m_panel;
    Board_Session* m_board;
    Sound_Player* m_sound;
    Level* m_level;
    Name_Entry* m_entry;
    // The lap whose ghost is raced on its course instead of the player's own (none when not loaded).
    Rival_Lap m_rival;
    // The board's best lap of its course, and whether the races now are against it.
    Rival_Lap m_leader;
    bool m_racing_leader;
};

#endif
