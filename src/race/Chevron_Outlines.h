// Chevron_Outlines: the craft's five-pass chevron, each pass's stroke outlined once and filled each frame.
#ifndef TAVRELO_CHEVRON_OUTLINES_H
#define TAVRELO_CHEVRON_OUTLINES_H

#include <QColor>
#include <QPainterPath>
#include <QPen>

class QPainter;

// The same chevron drawn five times, each pen thinner and lighter than the
// last: a black outline, a green body and a glowing core. Stroking the arms
// anew on every frame cost more than all the rest of the craft.
class Chevron_Outlines
{
public:
    static constexpr int Passes = 5;

    Chevron_Outlines();

    // Paints the passes under the painter's transform, in the craft's own units.
    void Draw(QPainter* painter) const;

private:
    QPen m_pens[Passes];
    QPainterPath m_outlines[Passes];
};

#endif
