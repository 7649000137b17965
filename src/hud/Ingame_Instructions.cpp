#include "Ingame_Instructions.h"

#include "Hud_Palette.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>

#include <algorithm>

namespace
{
constexpr int Margin = 30;
// The craft starts on the middle line of a wide view and at four fifths of the height of a tall one
// (Race::Screen_To_World); the start line reaches under a sixth of the short side either side of it. The
// hint's nearest baseline keeps this far from the craft, as a share of the short side, which leaves room
// for its letters above it: it never covers either.
constexpr float Clear_Of_Start = 0.22f;

// The words in as few lines of at most width pixels as they fit in; a longer word keeps a line to itself.
QStringList Wrap_Words(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    for (const QString& word : text.split(QLatin1Char(' ')))
    {
        const QString longer = lines.isEmpty() ? word : lines.last() + QLatin1Char(' ') + word;
        if (!lines.isEmpty() && metrics.horizontalAdvance(longer) <= width)
            lines.last() = longer;
        else
            lines.append(word);
    }
    return lines;
}
} // namespace

Ingame_Instructions::Ingame_Instructions() : m_device(Touch), m_wrapped_width(-1) {}

QString Ingame_Instructions::Text() const
{
    switch (m_device)
    {
    case Keys:
        return QStringLiteral("Hold Up (or W) to drive, Left and Right (A, D) to steer, Down (S) to let go.");
    case Pad:
        return QStringLiteral("Hold the right trigger or A to drive and steer with the left stick; "
                              "B leaves, Start pauses.");
    default:
        return QStringLiteral("Press and hold on the screen to race to the finish.");
    }
}

void Ingame_Instructions::Draw(QPainter* painter)
{
    const QString text = Text();
    const QSize view = View_Size(painter);
    const int w_screen = view.width();
    const int h_screen = view.height();
    // The text and its 2-pixel shadow between margins as wide as the left one, where there is room.
    const QFontMetrics metrics = painter->fontMetrics();
    const int width = std::max(w_screen - 2 * Margin - 2, 1);
    if (text != m_wrapped_text || width != m_wrapped_width || m_wrapped_font != painter->font())
    {
        m_lines = Wrap_Words(text, metrics, width);
        m_wrapped_text = text;
        m_wrapped_width = width;
        m_wrapped_font = painter->font();
    }
    const QStringList& lines = m_lines;
    // Below the first baseline: the other lines, the descenders and the shadow.
    const int below = (static_cast<int>(lines.size()) - 1) * metrics.lineSpacing() + metrics.descent() + 2;
    const int clear = static_cast<int>(std::min(w_screen, h_screen) * Clear_Of_Start);
    // Below the start line on a wide view; on a tall one, ahead of the craft, where the road leads.
    int y = w_screen >= h_screen
                ? h_screen / 2 + clear
                : std::min(static_cast<int>(h_screen * 0.6), h_screen * 4 / 5 - clear - below);
    y = std::max(y, metrics.ascent());
    // Lines that would run past the bottom move up as a block.
    const int last = y + below;
    if (last > h_screen)
        y = std::max(y - (last - h_screen), metrics.ascent());
    for (const QString& line : lines)
    {
        Draw_Text(painter, Margin, y, Hud_Palette::Text(), line);
        y += metrics.lineSpacing();
    }
}
