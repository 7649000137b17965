#include "Menu_Flow.h"

#include "Board_Session.h"
#include "Finish_Panel.h"
#include "Level.h"
#include "Name_Entry.h"
#include "Sound_Player.h"
#include "Track_List.h"
#include "UI_Button.h"

Menu_Flow::Menu_Flow(const Buttons& buttons, Finish_Panel* panel, Board_Session* board, Sound_Player* sound,
                     Level* level, Name_Entry* entry)
    : m_buttons(buttons), m_panel(panel), m_board(board), m_sound(sound), m_level(level), m_entry(entry),
      m_racing_leader(false)
{
}

Menu_Flow::Request Menu_Flow::Poll()
{
    if (m_panel->Poll_Dismissed())
    {
        m_panel->Set_Visible(false);
        return Show_Menu;
    }
    if (Poll_Name())
        return Stay;
    if (m_buttons.start->Poll_Was_Pressed())
    {
        m_sound->Play(Cue_Click);
        m_board->Cancel_Leader();
        m_racing_leader = false;
        return Start_Race;
    }
    if (m_buttons.leader->Poll_Was_Pressed())
    {
        // The race starts when the lap is here and proven, or with the player's own ghost if not.
        m_sound->Play(Cue_Click);
        if (!m_board->Is_Fetching_Leader())
            m_board->Fetch_Leader(m_level->m_track_index);
        return Stay;
    }
    if (m_board->Poll_Leader(m_leader))
    {
        m_racing_leader = m_leader.Is_Loaded();
        return Start_Race;
    }
    if (m_buttons.previous->Poll_Was_Pressed())
    {
        Step_Course(-1);
        return Course_Changed;
    }
    if (m_buttons.next->Poll_Was_Pressed())
    {
        Step_Course(1);
        return Course_Changed;
    }
    if (m_buttons.quit->Poll_Was_Pressed())
        return Quit;
    return Stay;
}

bool Menu_Flow::Poll_Name()
{
    if (m_entry->Poll_Outcome() == Name_Entry::Chosen)
    {
        m_sound->Play(Cue_Click);
        m_board->Set_Name(m_entry->m_name);
        m_board->Refresh(m_level->m_track_index);
    }
    if (m_entry->Is_Open())
        return true;
    // Offered where the board has no name for the player yet; once it has one, still there to change it.
    const QString caption = m_board->Name().isEmpty() ? QStringLiteral("Choose your name for the board")
                                                      : QStringLiteral("Change your name");
    if (m_buttons.name->m_text != caption)
    {
        m_buttons.name->m_text = caption;
        m_buttons.name->m_layout_dirty = true;
    }
    if (!m_buttons.name->Poll_Was_Pressed())
        return false;
    m_sound->Play(Cue_Click);
    // A leader's lap arriving while the name is typed must not start a race under the player's fingers.
    m_board->Cancel_Leader();
    m_entry->Open(m_board->Name());
    return true;
}

void Menu_Flow::Step_Course(int by)
{
    m_sound->Play(Cue_Click);
    m_board->Cancel_Leader();
    const int count = Get_Track_Count();
    m_level->Init((m_level->m_track_index + by + count) % count);
}

void Menu_Flow::Race_Against(const Rival_Lap& rival)
{
    m_rival = rival;
    if (m_rival.Is_Loaded())
        m_level->Init(m_rival.m_course);
}

const Rival_Lap* Menu_Flow::Rival_For(int course) const
{
    if (m_racing_leader && m_leader.m_course == course)
        return &m_leader;
    return m_rival.m_course == course ? &m_rival : nullptr;
}

bool Menu_Flow::Is_Leader(const Rival_Lap* rival) const
{
    return rival == &m_leader;
}
