#include "Key_Map.h"

#include <Qt>

Key_Map::Key_Map() : m_released_key(0), m_released_at(0) {}

Key_Map::Answer Key_Map::Press(int key, bool auto_repeat, quint64 timestamp, const Situation& now) const
{
    const bool repeat = Is_Repeat(key, auto_repeat, timestamp);
    if (key == Qt::Key_M)
        return Answer{true, true, repeat ? Nothing : Toggle_Mute};
    const bool race = now.racing;
    const bool restart = race && (key == Qt::Key_R || key == Qt::Key_Backspace);
    const bool panel = !race && now.panel_shown;
    const bool start = !race && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space);
    const bool course = !race && (key == Qt::Key_Left || key == Qt::Key_Right);
    const bool name = !race && key == Qt::Key_N;
    if (key == Qt::Key_F11 && !auto_repeat)
        return Answer{true, false, Toggle_Full_Screen};
    if (!panel && key != Qt::Key_Escape && !restart && !start && !course && !name && !now.paused)
        return Answer{false, false, Nothing};
    if (repeat)
        return Answer{true, false, Nothing};
    if (panel)
    {
        // Over a finished lap: R races the course again, any other key goes to the menu.
        const bool again = key == Qt::Key_R || key == Qt::Key_Backspace;
        return Answer{true, true, again ? Start : Dismiss_Panel};
    }
    if (start)
        return Answer{true, true, Start};
    if (name)
        return Answer{true, true, Choose_Name};
    if (course)
        return Answer{true, true, key == Qt::Key_Left ? Previous_Course : Next_Course};
    if (race && (restart || key == Qt::Key_Escape))
        return Answer{true, true, restart ? Restart_Race : Leave_Race};
    if (key == Qt::Key_Escape && !now.quit_guarded)
        return Answer{true, true, Quit};
    return Answer{true, true, Nothing};
}

void Key_Map::Release(int key, quint64 timestamp)
{
    m_released_key = key;
    m_released_at = timestamp;
}

bool Key_Map::Is_Repeat(int key, bool auto_repeat, quint64 timestamp) const
{
    return auto_repeat || (key == m_released_key && timestamp == m_released_at);
}
