#include "Lap_Timer.h"

#include "Ghost_Gap.h"
#include "Hud_Palette.h"
#include "Race_Clock.h"

#include <QFontMetrics>
#include <QPainter>

Lap_Timer::Lap_Timer(const Race_Clock* clock) : m_clock(clock) {}

QString Lap_Timer::Text() const
{
    const QString text = Race_Clock::Format_Time(m_clock->m_elapsed) + QStringLiteral(", best: ") +
                         Race_Clock::Format_Time(m_clock->m_best);
    return m_best_note.isEmpty() ? text : text + QStringLiteral(" (%1)").arg(m_best_note);
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

void Lap_Timer::Draw(QPainter* painter)
{
    const QString text = Text();
    Draw_Text(painter, 10, 20, QColor(100, 230, 130, 255), text);
    const QString gap = Gap_Text();
    if (gap.isEmpty())
        return;
    const QFontMetrics metrics = painter->fontMetrics();
    Draw_Text(painter, 10 + metrics.horizontalAdvance(text) + metrics.horizontalAdvance(QLatin1Char('M')), 20,
              Gap_Colour(), gap);
}
