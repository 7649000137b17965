// Chevron_Outlines: a chevron stroked by one or more pens, each stroke outlined once and filled each frame.
#ifndef TAVRELO_CHEVRON_OUTLINES_H
#define TAVRELO_CHEVRON_OUTLINES_H

#include <QColor>
#include <QPainterPath>
#include <QPen>

#include <vector>

class QPainter;

// Stroking the arms anew on every frame cost more than all the rest of the craft.
class Chevron_Outlines
{
public:
    // The craft's: the same chevron drawn five times, each pen thinner and
    // lighter than the last: a black outline, a green body and a glowing core.
    Chevron_Outlines();
    // One pass with the given pen (the ghost's).
    explicit Chevron_Outlines(const QPen& pen);

    // Paints the passes under the painter's transform, in the craft's own
    // units, each colour darkened to keep this share (of 255) of its channels.
    void Draw(QPainter* painter, int kept = 255) const;

private:
    void Add_Pass(const QPen& pen);

    std::vector<QPen> m_pens;
    std::vector<QPainterPath> m_outlines;
    // The pens darkened, made when first asked for at a share.
    mutable std::vector<QPen> m_dark_pens;
    mutable int m_dark_kept = 255;
};

#endif
