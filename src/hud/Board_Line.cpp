#include "Board_Line.h"

#include "Board_Session.h"
#include "Hud_Palette.h"

#include <QFontMetrics>
#include <QPainter>

Board_Line::Board_Line(const Board_Session* session)
    : Scene_UI_Element(0.0f), m_session(session), m_course(0), m_old(false), m_as_x(0)
{
}

void Board_Line::Update(float step)
{
    Scene_UI_Element::Update(step);
    // Read only while it can be seen: in a race nobody looks at the menu's line.
    if (m_visible_alpha < 0.01f && !m_visible)
        return;
    m_text = m_session->Is_Fetching_Leader() ? QStringLiteral("Board: fetching the leader's lap...")
                                             : m_session->Rank_Text(m_course);
    m_name = m_session->Name();
    m_old = m_session->Rank_Is_Old(m_course);
}

void Board_Line::Draw(QPainter* painter)
{
    if (m_text.isEmpty() || m_visible_alpha < 0.01f)
        return;
    // Under the clock's line in the corner, greyed while the figures are old.
    const QColor colour = m_old ? Hud_Palette::Stale() : Hud_Palette::Text();
    Draw_Text(painter, 10, 44, colour, m_text);
    if (m_name.isEmpty())
        return;
    if (m_as_text.isEmpty() || m_as_for_text != m_text || m_as_for_name != m_name ||
        m_as_font != painter->font())
    {
        m_as_text = QStringLiteral("as %1").arg(m_name);
        m_as_x = 10 + painter->fontMetrics().horizontalAdvance(m_text + QLatin1String("  "));
        m_as_for_text = m_text;
        m_as_for_name = m_name;
        m_as_font = painter->font();
    }
    Draw_Text(painter, m_as_x, 44, Hud_Palette::Quiet(), m_as_text);
}
