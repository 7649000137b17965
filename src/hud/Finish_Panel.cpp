#include "Finish_Panel.h"

#include "Ghost_Gap.h"
#include "Hud_Palette.h"
#include "Race_Clock.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace
{
const QColor Text_Colour = Hud_Palette::Text();
const QColor Quiet_Colour = Hud_Palette::Quiet();
const QColor Failure_Colour(255, 150, 80, 255);

enum Line
{
    Title = 0,
    Lap = 1,
    Gap = 2,
    Record = 3,
    Hint = 4,
};
} // namespace

const QColor Finish_Panel::New_Best_Colour(255, 215, 90, 255);
const QColor Finish_Panel::Ahead_Colour = Hud_Palette::Ahead();
const QColor Finish_Panel::Behind_Colour = Hud_Palette::Behind();

Finish_Panel::Finish_Panel()
    : Scene_UI_Element(0.0f), m_time(0.0f), m_previous_best(0.0f), m_new_best(false), m_dismissed(false)
{
    m_visible = false;
}

void Finish_Panel::Show(float time, float previous_best, bool new_best, const QString& save_error)
{
    m_time = time;
    m_previous_best = previous_best;
    m_new_best = new_best;
    m_save_error = save_error;
    Set_Visible(true);
    // Over the race at once: the lap has just ended under it.
    Set_Visible_Alpha(1.0f);
}

QStringList Finish_Panel::Lines() const
{
    QStringList lines;
    lines << (m_new_best ? QStringLiteral("New best") : QStringLiteral("Finished"));
    lines << QStringLiteral("Lap %1").arg(Race_Clock::Format_Time(m_time));
    if (m_previous_best > 0.0f)
        lines << QStringLiteral("%1 on the best before, %2")
                     .arg(Ghost_Gap::Text(m_time - m_previous_best),
                          Race_Clock::Format_Time(m_previous_best));
    else
        lines << QStringLiteral("First lap");
    if (!m_new_best)
        lines << QStringLiteral("Not saved: the best stays %1").arg(Race_Clock::Format_Time(m_previous_best));
    else if (m_save_error.isEmpty())
        lines << QStringLiteral("Record saved");
    else
        lines << QStringLiteral("Not saved: ") + m_save_error;
    lines << QStringLiteral("R: race again    touch or any key: menu");
    return lines;
}

QColor Finish_Panel::Line_Colour(int line) const
{
    switch (line)
    {
    case Title:
        return m_new_best ? New_Best_Colour : Text_Colour;
    case Gap:
        if (m_previous_best <= 0.0f)
            return Text_Colour;
        switch (Ghost_Gap::Side(m_time - m_previous_best))
        {
        case -1:
            return Ahead_Colour;
        case 1:
            return Behind_Colour;
        default:
            return Quiet_Colour;
        }
    case Record:
        return !m_new_best ? Quiet_Colour : m_save_error.isEmpty() ? Text_Colour : Failure_Colour;
    case Hint:
        return Quiet_Colour;
    default:
        return Text_Colour;
    }
}

void Finish_Panel::Draw(QPainter* painter)
{
    const QSize view = View_Size(painter);
    const int w = view.width();
    const int h = view.height();
    const QFontMetrics metrics = painter->fontMetrics();
    const QStringList lines = Lines();
    const int spacing = metrics.lineSpacing();
    const int pad = std::max(spacing / 2, 8);
    int text_width = 0;
    for (const QString& line : lines)
        text_width = std::max(text_width, metrics.horizontalAdvance(line));
    // Within the screen on the smallest ones: a line too long is cut off at the box.
    const int box_width = std::max(std::min(text_width + 2 * pad, w - 8), 1);
    const int box_height = static_cast<int>(lines.size()) * spacing + 2 * pad;
    const QRect box((w - box_width) / 2, std::max((h - box_height) / 2, 0), box_width, box_height);
    painter->fillRect(box, Change_Visible_Color(0, 0, 0, 200));
    painter->setPen(Change_Visible_Color(Hud_Palette::Text()));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->setClipRect(box);
    int y = box.top() + pad + metrics.ascent();
    for (int i = 0; i < lines.size(); ++i)
    {
        const int x = box.left() + (box.width() - metrics.horizontalAdvance(lines[i])) / 2;
        painter->setPen(Change_Visible_Color(Line_Colour(i)));
        painter->drawText(QPoint(std::max(x, box.left() + 4), y), lines[i]);
        y += spacing;
    }
}

void Finish_Panel::Set_Visible(bool visible)
{
    m_visible = visible;
    m_dismissed = false;
    if (!visible)
        Set_Visible_Alpha(0.0f);
}

bool Finish_Panel::Mouse_Down(const QPoint&)
{
    return true;
}

void Finish_Panel::Mouse_Up(const QPoint& p)
{
    // The release a change of state sends (far off screen) is no player's touch.
    if (p != QPoint(-999, -999))
        Dismiss();
}

void Finish_Panel::Dismiss()
{
    if (m_visible)
        m_dismissed = true;
}

bool Finish_Panel::Poll_Dismissed()
{
    const bool dismissed = m_dismissed;
    m_dismissed = false;
    return dismissed;
}
