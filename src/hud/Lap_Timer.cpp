#include "Lap_Timer.h"

#include "Race_Clock.h"

#include <QPainter>

Lap_Timer::Lap_Timer(const Race_Clock* clock) : m_clock(clock) {}

QString Lap_Timer::Text() const
{
    return Race_Clock::Format_Time(m_clock->m_elapsed) + QStringLiteral(", best: ") +
           Race_Clock::Format_Time(m_clock->m_best);
}

void Lap_Timer::Draw(QPainter* painter)
{
    Draw_Text(painter, 10, 20, QColor(100, 230, 130, 255), Text());
}
