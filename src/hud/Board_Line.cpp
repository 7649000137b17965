#include "Board_Line.h"

#include "Board_Session.h"
#include "Hud_Palette.h"

#include <QFontMetrics>
#include <QPainter>

int Board_Line::Bottom(const QFontMetrics& metrics)
{
    return Top + 2 * metrics.height() + metrics.descent();
}

Board_Line::Board_Line(const Board_Session* session)
    : Scene_UI_Element(0.0f), m_session(session), m_course(0), m_old(false), m_laid_width(0)
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
    m_host = m_session->Host();
    m_old = m_session->Rank_Is_Old(m_course);
}

void Board_Line::Lay_Out(QPainter* painter, int width)
{
    if (m_laid_width == width && m_laid_text == m_text && m_laid_name == m_name && m_laid_host == m_host &&
        m_laid_font == painter->font())
        return;
    m_laid_width = width;
    m_laid_text = m_text;
    m_laid_name = m_name;
    m_laid_host = m_host;
    m_laid_font = painter->font();
    // Cut at the last space that fits: a refusal's reason is longer than a small screen is wide.
    const QFontMetrics metrics(painter->font());
    m_lines[0] = m_text;
    m_lines[1].clear();
    int cut = m_text.size();
    while (metrics.horizontalAdvance(m_lines[0]) > width && cut > 0)
    {
        cut = m_text.lastIndexOf(QLatin1Char(' '), cut - 1);
        if (cut <= 0)
            break;
        m_lines[0] = m_text.left(cut);
        m_lines[1] = m_text.mid(cut + 1);
    }
    m_under = m_name.isEmpty() ? QString() : QStringLiteral("as %1").arg(m_name);
    if (!m_host.isEmpty())
        m_under += (m_under.isEmpty() ? QStringLiteral("on %1") : QStringLiteral(" on %1")).arg(m_host);
}

void Board_Line::Draw(QPainter* painter)
{
    if (m_text.isEmpty() || m_visible_alpha < 0.01f)
        return;
    Lay_Out(painter, View_Size(painter).width() - 20);
    // Greyed while the figures are old.
    const QColor colour = m_old ? Hud_Palette::Stale() : Hud_Palette::Text();
    const int line = painter->fontMetrics().height();
    int y = Top;
    for (const QString& text : m_lines)
    {
        if (text.isEmpty())
            continue;
        Draw_Text(painter, 10, y, colour, text);
        y += line;
    }
    if (!m_under.isEmpty())
        Draw_Text(painter, 10, y, Hud_Palette::Quiet(), m_under);
}
