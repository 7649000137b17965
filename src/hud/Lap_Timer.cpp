#include "Lap_Timer.h"

#include "Ghost_Gap.h"
#include "Hud_Palette.h"
#include "Race_Clock.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

Lap_Timer::Lap_Timer(const Race_Clock* clock)
    : m_clock(clock), m_rival_time(0.0f), m_rest_best(0.0f), m_rest_rival_time(0.0f), m_rest_width(0.0),
      m_rival_width(0.0), m_em_width(0), m_line_spacing(0)
{
}

QString Lap_Timer::Text() const
{
    return Race_Clock::Format_Time(m_clock->m_elapsed) + Rest_Text();
}

QString Lap_Timer::Rest_Text() const
{
    QString text = QStringLiteral(", best: ") + Race_Clock::Format_Time(m_clock->m_best);
    if (!m_best_note.isEmpty())
        text += QStringLiteral(" (%1)").arg(m_best_note);
    if (m_rival_time > 0.0f)
        text += QStringLiteral(", to beat: %1 %2").arg(Race_Clock::Format_Time(m_rival_time), m_rival_name);
    return text;
}

QString Lap_Timer::Gap_Text() const
{
    return m_clock->m_gap_known ? Ghost_Gap::Text(m_clock->m_gap) : QString();
}

QColor Lap_Timer::Gap_Colour() const
{
    switch (Ghost_Gap::Side(m_clock->m_gap))
    {
    case -1:
        return Hud_Palette::Ahead();
    case 1:
        return Hud_Palette::Behind();
    default:
        return QColor(225, 225, 225, 255);
    }
}

void Lap_Timer::Lay_Out_Rest(QPainter* painter)
{
    // A best that is not a number never equals itself: its line is made again each frame.
    if (!m_rest.isEmpty() && m_rest_best == m_clock->m_best && m_rest_note == m_best_note &&
        m_rest_rival_time == m_rival_time && m_rest_rival_name == m_rival_name &&
        m_rest_font == painter->font())
        return;
    m_rest = QStringLiteral(", best: ") + Race_Clock::Format_Time(m_clock->m_best);
    if (!m_best_note.isEmpty())
        m_rest += QStringLiteral(" (%1)").arg(m_best_note);
    m_rival_below =
        m_rival_time > 0.0f
            ? QStringLiteral("to beat: %1 %2").arg(Race_Clock::Format_Time(m_rival_time), m_rival_name)
            : QString();
    m_rival_beside = m_rival_below.isEmpty() ? QString() : QStringLiteral(", ") + m_rival_below;
    m_rest_best = m_clock->m_best;
    m_rest_note = m_best_note;
    m_rest_rival_time = m_rival_time;
    m_rest_rival_name = m_rival_name;
    m_rest_font = painter->font();
    const QFontMetricsF exact(m_rest_font);
    m_rest_width = exact.horizontalAdvance(m_rest);
    m_rival_width = exact.horizontalAdvance(m_rival_beside);
    const QFontMetrics metrics(m_rest_font);
    m_em_width = metrics.horizontalAdvance(QLatin1Char('M'));
    m_line_spacing = metrics.lineSpacing();
}

void Lap_Timer::Draw(QPainter* painter)
{
    // The line of Text(): the running time character by character, the rest
    // laid out whole while it stays the same; both shadows under both texts.
    const QColor colour(100, 230, 130, 255);
    char elapsed[Race_Clock::Time_Text_Size];
    const int elapsed_length = Race_Clock::Format_Time(m_clock->m_elapsed, elapsed);
    const qreal elapsed_width = m_characters.Width(painter, elapsed, elapsed_length);
    Lay_Out_Rest(painter);
    // The time to beat after the best while it and a gap fit the screen's width; on a narrow screen, under
    // it.
    const qreal after_best = 10 + elapsed_width + m_rest_width;
    const bool beside = after_best + m_rival_width + m_em_width + m_characters.Width(painter, "+00.00", 6) <=
                        View_Size(painter).width();
    const QPointF rival_at = beside ? QPointF(after_best, 20) : QPointF(10, 20 + m_line_spacing);
    const QString& rival = beside ? m_rival_beside : m_rival_below;
    for (const int shadow : {2, 0})
    {
        painter->setPen(
            Pen_Of(shadow ? Change_Visible_Color(0, 0, 0, colour.alpha()) : Change_Visible_Color(colour)));
        m_characters.Draw(painter, QPointF(10 + shadow, 20 + shadow), elapsed, elapsed_length);
        Draw_Laid_Out_Text(painter, QPointF(10 + shadow + elapsed_width, 20 + shadow), m_rest);
        if (!rival.isEmpty())
            Draw_Laid_Out_Text(painter, rival_at + QPointF(shadow, shadow), rival);
    }

    if (!m_clock->m_gap_known)
        return;
    char gap[Ghost_Gap::Text_Size];
    const int gap_length = Ghost_Gap::Text(m_clock->m_gap, gap);
    const QColor gap_colour = Gap_Colour();
    // After the line and the width of an M, in whole pixels.
    const int x = 10 + qRound(elapsed_width + m_rest_width + (beside ? m_rival_width : 0.0)) + m_em_width;
    for (const int shadow : {2, 0})
    {
        painter->setPen(Pen_Of(shadow ? Change_Visible_Color(0, 0, 0, gap_colour.alpha())
                                      : Change_Visible_Color(gap_colour)));
        m_characters.Draw(painter, QPointF(x + shadow, 20 + shadow), gap, gap_length);
    }
}
