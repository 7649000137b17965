// Character_Text: text that changes every frame, like a running clock, drawn from characters laid out once
// each.
#ifndef TAVRELO_CHARACTER_TEXT_H
#define TAVRELO_CHARACTER_TEXT_H

#include <QFont>
#include <QPointF>
#include <QStaticText>

class QPainter;

// Laying a text out (shaping its glyphs) allocates and costs more than
// drawing it; a clock's line is new every hundredth. Each printable ASCII
// character is laid out the first time it is drawn and kept, and a text is
// drawn as its characters side by side, each at the font's advance after the
// one before: where the font pairs no two of them for kerning, as with
// digits, exactly where a text laid out whole puts them.
class Character_Text
{
public:
    Character_Text();

    // Draws the length characters of text with the left end of their
    // baseline at p, in the painter's pen and font; a character outside
    // printable ASCII is drawn as a space. Returns the width drawn.
    qreal Draw(QPainter* painter, const QPointF& p, const char* text, int length);

    // That width, without drawing.
    qreal Width(QPainter* painter, const char* text, int length);

    // How far above the baseline Draw puts the line's top (its ascent and leading), in the painter's font.
    qreal Line_Top(QPainter* painter);

private:
    static constexpr char First = ' ';
    static constexpr int Count = '~' - ' ' + 1;
    // Makes the advances and the ascent again when the painter's font (at its
    // device's resolution) is not the one they were measured in.
    void Measure(QPainter* painter);

    QStaticText m_laid_out[Count];
    // Each character's advance and the line's top above the baseline, in the
    // font they were measured in: asking the font for them in every frame, a
    // few dozen times, was a good part of a clock's drawing.
    qreal m_advances[Count];
    qreal m_top;
    QFont m_measured_font;
    int m_measured_dpi = 0;
};

#endif
