#include "Game_Parts.h"

#include "Board_Line.h"
#include "Board_Notice.h"
#include "Board_Session.h"
#include "Fade_Plane.h"
#include "Finish_Panel.h"
#include "Game_Scene.h"
#include "Ghost_Ship.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Menu_Flow.h"
#include "Movement_Control.h"
#include "Name_Entry.h"
#include "Options.h"
#include "Pause_Notice.h"
#include "Preferences.h"
#include "Record_Keeper.h"
#include "Ship.h"
#include "Sound_Notice.h"
#include "Sound_Player.h"
#include "Split_Notice.h"
#include "Stars.h"
#include "UI_Button.h"

// Out of line, where every part's type is whole.
Game_Parts::Game_Parts() = default;

Game_Parts::~Game_Parts()
{
    // Closing the output may run the event loop: every element is still whole.
    if (m_sound.Get() != nullptr)
        m_sound->Close();
    // The last chance for a best lap the file did not take. Laps on their way
    // to the board stay in its queue for the next start.
    if (m_records.Get() != nullptr)
        m_records->Save(nullptr);
}
