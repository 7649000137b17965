// Game_Parts: every object of the game, owned in one place, made in this order and unmade in its reverse.
#ifndef TAVRELO_GAME_PARTS_H
#define TAVRELO_GAME_PARTS_H

#include "Race.h"
#include "Sector_Splits.h"
#include "Single"

class Options;
class Preferences;
class Record_Keeper;
class Menu_Flow;
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
class Name_Entry;
class Split_Notice;

struct Game_Parts
{
    Game_Parts();
    ~Game_Parts();
    Game_Parts(const Game_Parts&) = delete;
    Game_Parts& operator=(const Game_Parts&) = delete;

    // The race's state and rules; the elements below that it points at are what the scene draws.
    Race m_race;
    // The lap's sectors, read from the race after each of its steps.
    Sector_Splits m_splits;
    Single<Options> m_options;
    Single<Preferences> m_preferences;
    // The board: bests sent, the rank and the leader's lap; idle without an address.
    Single<Board_Session> m_board;
    Single<Record_Keeper> m_records;
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
    Single<Sound_Notice> m_sound_notice;
    Single<Board_Line> m_board_line;
    Single<UI_Button> m_leader_button;
    // Opens the name entry: the name the player's laps stand under on the board.
    Single<UI_Button> m_name_button;
    Single<Board_Notice> m_board_notice;
    Single<Split_Notice> m_split_notice;
    Single<Finish_Panel> m_finish_panel;
    Single<Name_Entry> m_name_entry;
    Single<Menu_Flow> m_menu_flow;
    // The engine, the cues and the output they play through; closed before anything goes.
    Single<Sound_Player> m_sound;
};

#endif
