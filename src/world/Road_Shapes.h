// Road_Shapes: the road of one course as filled outlines in world units, made once and painted each frame.
#ifndef TAVRELO_ROAD_SHAPES_H
#define TAVRELO_ROAD_SHAPES_H

#include <QBrush>
#include <QLineF>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <vector>

class QPainter;

// The road is a few hundred wide round-capped lines; outlining those every
// frame is what a frame used to cost. Here each band (and the kerb marks) is
// outlined once per course, already flattened into straight edges, and cut
// into runs of a few pieces, so that a frame fills only the runs that reach
// the device, and each band paints each of its pixels once. The paths live as
// long as the course does, so an OpenGL paint engine can keep what it made of
// them from one frame to the next.
class Road_Shapes
{
public:
    Road_Shapes();

    // Outlines the road along the closed polyline points, whose kerb marks run
    // along normals (one per point); replaces whatever was built before.
    void Build(const std::vector<QPointF>& points, const std::vector<QPointF>& normals);

    // Paints kerbs, road band, inner band and start line, in that order, under
    // the painter's transform, each colour darkened to keep this share (of
    // 255) of its channels. May leave the start line's pen on the painter.
    void Draw(QPainter* painter, int kept = 255) const;

private:
    struct Run
    {
        QRectF kerb_bounds;
        QRectF road_bounds;
        QPainterPath kerbs; // one polygon, for OpenGL
        // The same marks one path each, for the raster engine: it pays for
        // the rows a path spans as well as for its edges, and a run's marks
        // together span the road's whole width and length. Filled one by
        // one, they cost it a third less (and paint the same pixels).
        std::vector<QPainterPath> kerb_marks;
        // The road band less the inner band: the inner band covers all the
        // rest of it, and filling that too cost a frame its largest fill.
        QPainterPath road_edges;
        QPainterPath inner;
        // Whether each is empty, known from the build: a frame walks every
        // run, and asking a path reads its data from wherever it lies in
        // memory, long since out of the cache by the next frame.
        bool has_kerbs = false;
        bool has_road = false;
        bool has_inner = false;
    };

    std::vector<Run> m_runs;
    // Which runs' road reached the device in the frame being drawn: worked
    // out once for both bands, in room kept from the build.
    mutable std::vector<bool> m_road_shown;
    bool m_has_start_line;
    QLineF m_start_line;
    // The start line's round-capped stroke, outlined once: stroked in each
    // frame, its round caps were flattened anew each time.
    QPainterPath m_start_outline;
    struct Colours
    {
        QPen start_pen;
        QBrush kerb;
        QBrush road;
        QBrush inner;
    };
    Colours m_colours;
    // The same darkened, made when first asked for at a share.
    mutable Colours m_dark_colours;
    mutable int m_dark_kept = 255;
};

#endif
