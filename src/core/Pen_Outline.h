// Pen_Outline: whether a pen's stroke may be filled from its outline made once, as the raster engine strokes
// it.
#ifndef TAVRELO_PEN_OUTLINE_H
#define TAVRELO_PEN_OUTLINE_H

#include <QPaintEngine>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

class Pen_Outline
{
public:
    // Whether the painter draws with Qt's raster engine, the one these outlines are made to match.
    static bool On_Raster(QPainter* painter)
    {
        return painter->paintEngine() && painter->paintEngine()->type() == QPaintEngine::Raster;
    }

    // Qt's raster engine draws a pen no wider than a device pixel as a line
    // one pixel wide, not as its outline: such a pen must still be stroked.
    static bool Fills(QPainter* painter, qreal pen_width)
    {
        const QTransform& t = painter->deviceTransform();
        const qreal scale =
            std::sqrt(std::max(t.m11() * t.m11() + t.m12() * t.m12(), t.m21() * t.m21() + t.m22() * t.m22()));
        return pen_width * scale > 1.0;
    }
};

#endif
