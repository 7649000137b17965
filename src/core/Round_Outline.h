// Round_Outline: where a polygon's corners go for its edges to follow a circle as closely as they can.
#ifndef TAVRELO_ROUND_OUTLINE_H
#define TAVRELO_ROUND_OUTLINE_H

#include <QtGlobal>

#include <cmath>

class Round_Outline
{
public:
    // The corners' distance from the centre against the circle's radius, for
    // corners this angle apart round the centre. The corners then lie a little
    // outside the circle, so that the edges cut it: they stray from it as far
    // outside as inside, the least any polygon of so few corners can.
    static qreal Corner_Reach(qreal corner_angle) { return 2.0 / (1.0 + std::cos(0.5 * corner_angle)); }
};

#endif
