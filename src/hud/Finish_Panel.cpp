#include "Finish_Panel.h"

#include "Board_Session.h"
#include "Ghost_Gap.h"
#include "Hud_Palette.h"
#include "Race_Clock.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace
{
const QColor Text_Colour = Hud_Palette::Text();
const QColor Quiet_Colour = Hud_Palette::Quiet();
const QColor Failure_Colour(255, 150, 80, 255);
// Rows of the box filled at once: under that limit at a pixel ratio of 3.
constexpr int Fill_Band = 30;

enum Line
{
    Title = 0,
    Lap,
    Gap,
    Rival,
    Place,
    Sectors,
    Best_Sectors,
    Ideal,
    Record,
    Hint,
};

// "mm:ss:hh" of whole hundredths, as the clock shows a time.
QString Clock_Text(int hundredths)
{
    const int s = hundredths / 100;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'))
        .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

// A gap's colour: ahead, behind, or level.
QColor Side_Colour(float gap)
{
    return Hud_Palette::Of_Side(Ghost_Gap::Side(gap));
}

// "14.20", or "--.--" for a sector not timed.
QString Sector_Text(int hundredths)
{
    if (hundredths < 0)
        return QStringLiteral("--.--");
    return QStringLiteral("%1.%2").arg(hundredths / 100).arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}
} // namespace

const QColor Finish_Panel::New_Best_Colour(255, 215, 90, 255);
const QColor Finish_Panel::Ahead_Colour = Hud_Palette::Ahead();
const QColor Finish_Panel::Behind_Colour = Hud_Palette::Behind();

Finish_Panel::Finish_Panel()
    : Scene_UI_Element(0.0f), m_time(0.0f), m_previous_best(0.0f), m_new_best(false), m_dismissed(false),
      m_rival_time(0.0f), m_has_sectors(false), m_sectors{}, m_best_sectors{}, m_line_widths{},
      m_line_count(0), m_text_width(0), m_laid_out_made(false), m_laid_out_time(0.0f),
      m_laid_out_previous_best(0.0f), m_laid_out_new_best(false), m_changes(0), m_laid_out_changes(0),
      m_lay_outs(0), m_board(nullptr), m_board_course(-1), m_board_taken(0)
{
    m_visible = false;
}

void Finish_Panel::Show(float time, float previous_best, bool new_best, const QString& save_error)
{
    m_time = time;
    m_previous_best = previous_best;
    m_new_best = new_best;
    m_save_error = save_error;
    m_rival_time = 0.0f;
    m_rival_name.clear();
    m_has_sectors = false;
    m_place.clear();
    m_board = nullptr;
    ++m_changes;
    Set_Visible(true);
    // Over the race at once: the lap has just ended under it.
    Set_Visible_Alpha(1.0f);
}

void Finish_Panel::Show_Rival(float time, const QString& name)
{
    m_rival_time = time;
    m_rival_name = name;
    ++m_changes;
}

void Finish_Panel::Show_Sectors(const int (&sectors)[Sector_Count], const int (&best)[Sector_Count])
{
    m_has_sectors = true;
    for (int i = 0; i < Sector_Count; ++i)
    {
        m_sectors[i] = sectors[i];
        m_best_sectors[i] = best[i];
    }
    ++m_changes;
}

void Finish_Panel::Await_Place(const Board_Session* board, int course, int taken)
{
    m_board = board;
    m_board_course = course;
    m_board_taken = taken;
}

void Finish_Panel::Update(float step)
{
    // Asked each frame only until the board has answered: the answer then stays.
    if (m_board != nullptr && m_visible)
    {
        const QString place = m_board->Place_After(m_board_course, m_board_taken);
        if (!place.isEmpty())
        {
            m_place = place;
            m_board = nullptr;
            ++m_changes;
        }
    }
    Scene_UI_Element::Update(step);
}

int Finish_Panel::Kinds(int (&kinds)[Max_Lines]) const
{
    int count = 0;
    for (const int kind : {Title, Lap, Gap})
        kinds[count++] = kind;
    if (m_rival_time > 0.0f)
        kinds[count++] = Rival;
    if (!m_place.isEmpty())
        kinds[count++] = Place;
    if (m_has_sectors)
    {
        kinds[count++] = Sectors;
        kinds[count++] = Best_Sectors;
        kinds[count++] = Ideal;
    }
    kinds[count++] = Record;
    kinds[count++] = Hint;
    return count;
}

QStringList Finish_Panel::Lines() const
{
    int kinds[Max_Lines];
    const int count = Kinds(kinds);
    QStringList lines;
    for (int i = 0; i < count; ++i)
        switch (kinds[i])
        {
        case Title:
            lines << (m_new_best ? QStringLiteral("New best") : QStringLiteral("Finished"));
            break;
        case Lap:
            lines << QStringLiteral("Lap %1").arg(Race_Clock::Format_Time(m_time));
            break;
        case Gap:
            if (m_previous_best > 0.0f)
                lines << QStringLiteral("%1 on the best before, %2")
                             .arg(Ghost_Gap::Text(m_time - m_previous_best),
                                  Race_Clock::Format_Time(m_previous_best));
            else
                lines << QStringLiteral("First lap");
            break;
        case Rival:
        {
            const float gap = m_time - m_rival_time;
            const int side = Ghost_Gap::Side(gap);
            // Without its sign: the words say which side.
            const QString amount = Ghost_Gap::Text(gap).mid(side == 0 ? 0 : 1);
            lines << (side == 0  ? QStringLiteral("level with %1").arg(m_rival_name)
                      : side < 0 ? QStringLiteral("%1 s ahead of %2").arg(amount, m_rival_name)
                                 : QStringLiteral("%1 s behind %2").arg(amount, m_rival_name));
            break;
        }
        case Place:
            lines << QStringLiteral("you are now %1").arg(m_place);
            break;
        case Sectors:
        case Best_Sectors:
        {
            const int* shown = kinds[i] == Sectors ? m_sectors : m_best_sectors;
            QString line = kinds[i] == Sectors ? QStringLiteral("Sectors") : QStringLiteral("Best");
            for (int k = 0; k < Sector_Count; ++k)
                line += QStringLiteral("  ") + Sector_Text(shown[k]);
            lines << line;
            break;
        }
        case Ideal:
        {
            // Only once every sector has a best: a lap not timed in one has no ideal.
            int ideal = 0;
            for (int k = 0; k < Sector_Count; ++k)
                ideal = m_best_sectors[k] < 0 || ideal < 0 ? -1 : ideal + m_best_sectors[k];
            lines << (ideal < 0
                          ? QStringLiteral("Ideal lap --:--:--")
                          : QStringLiteral("Ideal lap %1 from the best sectors").arg(Clock_Text(ideal)));
            break;
        }
        case Record:
            if (!m_new_best)
                lines << QStringLiteral("Not saved: the best stays %1")
                             .arg(Race_Clock::Format_Time(m_previous_best));
            else if (m_save_error.isEmpty())
                lines << QStringLiteral("Record saved");
            else
                lines << QStringLiteral("Not saved: ") + m_save_error;
            break;
        default:
            lines << QStringLiteral("R: race again    touch or any key: menu");
            break;
        }
    return lines;
}

QColor Finish_Panel::Line_Colour(int line) const
{
    int kinds[Max_Lines];
    const int count = Kinds(kinds);
    if (line < 0 || line >= count)
        return Text_Colour;
    switch (kinds[line])
    {
    case Title:
        return m_new_best ? New_Best_Colour : Text_Colour;
    case Gap:
        if (m_previous_best <= 0.0f)
            return Text_Colour;
        return Side_Colour(m_time - m_previous_best);
    case Rival:
        return Side_Colour(m_time - m_rival_time);
    case Best_Sectors:
    case Ideal:
        return Quiet_Colour;
    case Record:
        return !m_new_best ? Quiet_Colour : m_save_error.isEmpty() ? Text_Colour : Failure_Colour;
    case Hint:
        return Quiet_Colour;
    default:
        return Text_Colour;
    }
}

void Finish_Panel::Lay_Out_Lines(QPainter* painter)
{
    // Not a number never equals itself: such a result is laid out again each frame, and still drawn.
    if (m_laid_out_made && m_laid_out_time == m_time && m_laid_out_previous_best == m_previous_best &&
        m_laid_out_new_best == m_new_best && m_laid_out_save_error == m_save_error &&
        m_laid_out_changes == m_changes && m_laid_out_font == painter->font())
        return;
    const QStringList lines = Lines();
    const QFontMetrics metrics = painter->fontMetrics();
    m_text_width = 0;
    m_line_count = static_cast<int>(std::min<qsizetype>(lines.size(), Max_Lines));
    for (int i = 0; i < m_line_count; ++i)
    {
        const QString line = i < lines.size() ? lines[i] : QString();
        m_laid_out[i].setTextFormat(Qt::PlainText);
        m_laid_out[i].setText(line);
        m_line_widths[i] = metrics.horizontalAdvance(line);
        m_text_width = std::max(m_text_width, m_line_widths[i]);
    }
    m_laid_out_made = true;
    ++m_lay_outs;
    m_laid_out_time = m_time;
    m_laid_out_previous_best = m_previous_best;
    m_laid_out_new_best = m_new_best;
    m_laid_out_save_error = m_save_error;
    m_laid_out_changes = m_changes;
    m_laid_out_font = painter->font();
}

void Finish_Panel::Draw(QPainter* painter)
{
    const QSize view = View_Size(painter);
    const int w = view.width();
    const int h = view.height();
    Lay_Out_Lines(painter);
    const QFontMetricsF metrics(painter->font());
    const int spacing = painter->fontMetrics().lineSpacing();
    const int ascent = painter->fontMetrics().ascent();
    const int pad = std::max(spacing / 2, 8);
    // Within the screen on the smallest ones: a line too long is cut off at the box.
    const int box_width = std::max(std::min(m_text_width + 2 * pad, w - 8), 1);
    const int box_height = m_line_count * spacing + 2 * pad;
    const QRect box((w - box_width) / 2, std::max((h - box_height) / 2, 0), box_width, box_height);
    // In bands of a few rows: Qt shares out a fill of more than about 96 rows of pixels to its thread pool,
    // which allocates on every fill.
    const QColor shade = Change_Visible_Color(0, 0, 0, 200);
    for (int top = box.top(); top <= box.bottom(); top += Fill_Band)
        painter->fillRect(QRect(box.left(), top, box.width(), std::min(Fill_Band, box.bottom() + 1 - top)),
                          shade);
    painter->setPen(Pen_Of(Change_Visible_Color(Hud_Palette::Text())));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    // Clipped only where a line is cut: setting a clip allocates, and the
    // scene puts back no clip, so it goes with the state saved here.
    const bool cut = m_text_width + 2 * pad > box_width;
    if (cut)
    {
        painter->save();
        painter->setClipRect(box);
    }
    // A laid out text is placed by its top left corner, its line's ascent
    // (and leading) above the baseline.
    const qreal above_baseline = metrics.ascent() + std::max(0.0, metrics.leading());
    // Opaque, the lines come from a layer, made again only when they change.
    bool opaque = !cut && Text_Layer::Usable(painter);
    for (int i = 0; opaque && i < m_line_count; ++i)
        opaque = Change_Visible_Color(Line_Colour(i)).rgba64().alpha() == 65535;
    QPainter* text_painter = opaque ? m_layer.Begin(painter, box, m_lay_outs) : painter;
    int y = box.top() + pad + ascent;
    for (int i = 0; text_painter && i < m_line_count; ++i)
    {
        const int x = box.left() + (box.width() - m_line_widths[i]) / 2;
        text_painter->setPen(Pen_Of(Change_Visible_Color(Line_Colour(i))));
        text_painter->drawStaticText(QPointF(std::max(x, box.left() + 4), y - above_baseline), m_laid_out[i]);
        y += spacing;
    }
    if (opaque)
        m_layer.Draw(painter);
    if (cut)
        painter->restore();
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
