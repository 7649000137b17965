#include "Main_Menu.h"

#include "Board_Line.h"
#include "Hud_Palette.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

// The caption is written by the game whenever a course is loaded.
Main_Menu::Main_Menu() : m_track_index(0), m_under_board(false), m_measured(false), m_caption_width(0) {}

void Main_Menu::Draw(QPainter* painter)
{
    const QSize view = View_Size(painter);
    const int w_screen = view.width();
    const int h_screen = view.height();
    const QColor colour = Hud_Palette::Text();

    // A fifth of the way down, or below the board's lines where the screen is too short for both; where
    // there is no room between those and the caption either, the title gives way.
    const QFontMetrics metrics = painter->fontMetrics();
    const int h = metrics.height();
    const int caption_y = static_cast<int>(h_screen * 0.5 - h);
    int title_y = static_cast<int>(h_screen * 0.2);
    if (m_under_board)
        title_y = std::max(title_y, Board_Line::Bottom(metrics) + metrics.ascent() + 2);
    if (!m_under_board || title_y + metrics.descent() < caption_y - metrics.ascent())
        Draw_Text(painter, 30, title_y, colour, QStringLiteral("Tavrelo"));

    // Centred by hand: Draw_Text only knows the baseline's left end. A caption
    // wider than the screen gets a negative x and is cut off on both sides.
    if (!m_measured || m_measured_caption != m_caption || m_measured_font != painter->font())
    {
        m_caption_width = metrics.horizontalAdvance(m_caption);
        m_measured_caption = m_caption;
        m_measured_font = painter->font();
        m_measured = true;
    }
    Draw_Text(painter, static_cast<int>((w_screen - m_caption_width) * 0.5), caption_y, colour, m_caption);
}
