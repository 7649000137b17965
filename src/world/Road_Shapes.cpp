#include "Road_Shapes.h"

#include "Float_Point.h"
#include "Level.h"
#include "Pen_Outline.h"
#include "Round_Outline.h"
#include "Scene_Element.h"

#include <QColor>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace
{
constexpr float Road_Half_Width = Level::Road_Half_Width;
constexpr QRgb Kerb_Color = qRgb(150, 170, 40);
constexpr float Kerb_Width = 7.0f;
constexpr QRgb Road_Color = qRgb(250, 230, 140);
constexpr float Road_Width = 2.0f * Road_Half_Width;
// The inner band leaves a light edge on either side of the road.
constexpr int Inner_Darkening = 250;
constexpr float Inner_Width_Factor = 0.9f;
constexpr QRgb Start_Line_Color = qRgb(230, 245, 210);
constexpr float Start_Line_Width = 1.0f;

// Pieces per run: small enough that most of the course is culled, large
// enough that a frame fills only a handful of paths per layer. Over cameras
// all round the three courses, runs of 6 cost the road 4 % less than runs of
// 4; runs of 8 or 12 cost about 1.5 % less again on the whole, but 7 % more
// in the menu's frame that scripts/bench measures.
constexpr int Pieces_Per_Run = 6;

// Outlines are made and flattened this much enlarged, so that Qt's curve
// flattening (half a unit off at most) lands within 1/32 of a world unit:
// under a third of a pixel on the largest screens, where the sameness of the
// picture allows a pixel on an edge.
constexpr qreal Flattening_Scale = 16.0;
// Straight edges per half turn of a kerb mark's round end. The marks are most
// of the road's edges; with eight, set as below, an end strays from its circle
// by at most 1/29 of a world unit, about as far as the bands' own edges do.
constexpr int Cap_Edges = 8;
// Straight edges per whole turn of a round end drawn as a disc.
constexpr int Disc_Edges = 96;
// Of a kerb mark, this much on either side of the centre line lies within the
// road's round join at its point, even across the mark's whole width
// (16.5² + 3.5² < 17.5², with over half a unit to spare for the join's
// straight edges): it is never seen, and never filled.
constexpr qreal Hidden_Kerb = 16.5;
// World units of the previous run's last piece that a run's bands begin with.
constexpr qreal Seam_Lead = 1.0;
// Device pixels added round a run's box before it is culled: rounding of the rasteriser.
constexpr qreal Cull_Margin = 2.0;

// The outline, flattened into straight edges and brought back to world units.
QPainterPath Flattened(const QPainterPath& enlarged)
{
    QPainterPath flat;
    flat.setFillRule(Qt::WindingFill);
    const QTransform back = QTransform::fromScale(1.0 / Flattening_Scale, 1.0 / Flattening_Scale);
    for (const QPolygonF& polygon : enlarged.toSubpathPolygons())
        flat.addPolygon(back.map(polygon));
    return flat;
}

// The area a round-capped line of the given width covers along the polyline
// from points[first] to points[last], each join round and both ends flat.
// With a lead-in, the first piece is the previous run's last one, and only
// its end is taken: enough for the round join at the seam, which neither run
// would have otherwise, without filling that piece's pixels twice.
QPainterPath Band(const std::vector<QPointF>& points, size_t first, size_t last, qreal width, bool lead_in)
{
    QPainterPath line;
    QPointF start = points[first];
    const QPointF back = points[first] - points[first + 1];
    const qreal back_length = std::hypot(back.x(), back.y());
    if (lead_in && back_length > Seam_Lead)
        start = points[first + 1] + back * (Seam_Lead / back_length);
    line.moveTo(start * Flattening_Scale);
    for (size_t k = first + 1; k <= last; ++k)
        line.lineTo(points[k] * Flattening_Scale);
    QPainterPathStroker stroker;
    stroker.setWidth(width * Flattening_Scale);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    // The stroke folds back on itself inside every bend; without its folds a
    // scanline crosses a band only at its edges, and the raster engine, which
    // walks every crossing of every scanline, has far less to do.
    return Flattened(stroker.createStroke(line)).simplified();
}

// A round disc, closed on its first point.
QPolygonF Disc(const QPointF& centre, qreal radius)
{
    QPolygonF disc;
    for (int i = 0; i < Disc_Edges; ++i)
    {
        const qreal angle = 2 * M_PI * i / Disc_Edges;
        disc << centre + radius * QPointF(std::cos(angle), std::sin(angle));
    }
    disc << disc.first();
    return disc;
}

QPainterPath Disc_Path(const QPointF& centre, qreal radius)
{
    QPainterPath disc;
    disc.addPolygon(Disc(centre, radius));
    return disc;
}

// Many small shapes, one path each.
std::vector<QPainterPath> Separate_Outlines(const std::vector<QPolygonF>& shapes)
{
    std::vector<QPainterPath> paths(shapes.size());
    for (size_t i = 0; i < shapes.size(); ++i)
    {
        paths[i].setFillRule(Qt::WindingFill);
        paths[i].addPolygon(shapes[i]);
    }
    return paths;
}

// Many small shapes as one polygon: each shape in turn, each closed on its
// first point, joined by a bridge to the first point of the next, and the
// bridges walked back at the end. Each bridge is crossed once each way and
// encloses nothing, so the polygon fills what the shapes fill; an OpenGL
// paint engine then fills them all with one draw, not one draw each. The
// raster engine would scan the bridges on every scanline they cross.
QPainterPath One_Outline(const std::vector<QPolygonF>& shapes)
{
    QPolygonF all;
    for (const QPolygonF& shape : shapes)
        all += shape;
    for (size_t i = shapes.size(); i-- > 1;)
        all << shapes[i - 1].first();
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (!all.isEmpty())
        path.addPolygon(all);
    return path;
}

// half_turn holds (cos, sin) of the Cap_Edges + 1 angles from -90 to +90 degrees.
void Add_Kerb_Ends(std::vector<QPolygonF>* shapes, const QPointF* half_turn, const QPointF& centre,
                   const QPointF& across, qreal width)
{
    const qreal length = std::hypot(across.x(), across.y());
    const qreal radius = 0.5 * width;
    if (!(length > Hidden_Kerb))
    {
        shapes->push_back(Disc(centre, length + radius));
        return;
    }
    for (const qreal side : {1.0, -1.0})
    {
        const QPointF axis = across * (side / length);
        const QPointF end = centre + across * side;
        const QPointF start = centre + axis * Hidden_Kerb;
        QPolygonF tip;
        tip.reserve(Cap_Edges + 4);
        // Round the far end from one side to the other (the half turn rotated
        // onto the axis), then back along the mark.
        for (int i = 0; i <= Cap_Edges; ++i)
        {
            const QPointF& turn = half_turn[i];
            tip << end + radius * QPointF(axis.x() * turn.x() - axis.y() * turn.y(),
                                          axis.y() * turn.x() + axis.x() * turn.y());
        }
        const QPointF aside(-axis.y() * radius, axis.x() * radius);
        tip << start + aside << start - aside << tip.first();
        shapes->push_back(tip);
    }
}

QPen Round_Pen(QRgb color, float width)
{
    return QPen(QBrush(QColor(color)), width, Qt::SolidLine, Qt::RoundCap);
}
} // namespace

Road_Shapes::Road_Shapes()
    : m_has_start_line(false), m_colours{Round_Pen(Start_Line_Color, Start_Line_Width),
                                         QBrush(QColor(Kerb_Color)), QBrush(QColor(Road_Color)),
                                         QBrush(QColor(Road_Color).darker(Inner_Darkening))}
{
}

void Road_Shapes::Build(const std::vector<QPointF>& points, const std::vector<QPointF>& normals)
{
    m_runs.clear();
    m_road_shown.clear();
    m_has_start_line = false;
    m_start_outline = QPainterPath();
    const size_t n = std::min(points.size(), normals.size());
    if (n == 0)
        return;

    // A loop's last point is its first: the run that starts the course also
    // takes the last piece, so the join at the start is round like any other.
    const bool loop = n > 2 && points[0] == points[n - 1];
    const qreal inner_width = static_cast<float>(Road_Width) * Inner_Width_Factor;
    const size_t pieces = n - 1;
    const qreal reach = Round_Outline::Corner_Reach(M_PI / Cap_Edges);
    QPointF half_turn[Cap_Edges + 1];
    for (int i = 0; i <= Cap_Edges; ++i)
    {
        const qreal angle = -M_PI / 2 + M_PI * i / Cap_Edges;
        half_turn[i] = reach * QPointF(std::cos(angle), std::sin(angle));
    }
    const size_t run_count = std::max<size_t>(1, (pieces + Pieces_Per_Run - 1) / Pieces_Per_Run);
    m_runs.resize(run_count);
    for (size_t r = 0; r < run_count; ++r)
    {
        Run& run = m_runs[r];
        std::vector<QPolygonF> kerb_ends;
        const size_t begin = r * Pieces_Per_Run;
        const size_t end = std::min(begin + Pieces_Per_Run, pieces);
        // Kerb marks of the points that start these pieces; the last run
        // also takes the last point (the loop's copy of the start).
        const size_t kerb_end = r + 1 == run_count ? n : end;
        for (size_t k = begin; k < kerb_end; ++k)
        {
            const Float_Point p(points[k]);
            const Float_Point across = Float_Point(normals[k]) * Road_Half_Width;
            Add_Kerb_Ends(&kerb_ends, half_turn, p.To_QPointF(), across.To_QPointF(), Kerb_Width);
        }
        run.kerbs = One_Outline(kerb_ends);
        run.kerb_marks = Separate_Outlines(kerb_ends);
        if (pieces == 0)
            continue;
        QPainterPath road;
        if (begin > 0)
        {
            road = Band(points, begin - 1, end, Road_Width, true);
            run.inner = Band(points, begin - 1, end, inner_width, true);
        }
        else if (loop)
        {
            // The last piece, then the first ones: one path through the start point.
            std::vector<QPointF> around;
            around.push_back(points[n - 2]);
            around.insert(around.end(), points.begin(), points.begin() + static_cast<long>(end) + 1);
            road = Band(around, 0, around.size() - 1, Road_Width, true);
            run.inner = Band(around, 0, around.size() - 1, inner_width, true);
        }
        else
        {
            road = Band(points, 0, end, Road_Width, false);
            run.inner = Band(points, 0, end, inner_width, false);
        }
        // A polyline that is not a loop keeps the round ends of its lines.
        // They are joined to the bands, not laid over them: the bands fill
        // by odd and even crossings, where an overlap would be a hole.
        if (!loop && begin == 0)
        {
            road = road.united(Disc_Path(points[0], 0.5 * Road_Width));
            run.inner = run.inner.united(Disc_Path(points[0], 0.5 * inner_width));
        }
        if (!loop && end == pieces)
        {
            road = road.united(Disc_Path(points[pieces], 0.5 * Road_Width));
            run.inner = run.inner.united(Disc_Path(points[pieces], 0.5 * inner_width));
        }
        // The inner band lies within the road band, and both fill by odd and
        // even crossings: their outlines together fill just the light edges.
        run.road_bounds = road.boundingRect();
        run.road_edges = road;
        run.road_edges.setFillRule(Qt::OddEvenFill);
        run.road_edges.addPath(run.inner);
    }
    for (Run& run : m_runs)
    {
        run.kerb_bounds = run.kerbs.boundingRect();
        run.has_kerbs = !run.kerbs.isEmpty();
        run.has_road = !run.road_edges.isEmpty();
        run.has_inner = !run.inner.isEmpty();
    }
    m_road_shown.assign(m_runs.size(), false);

    if (n < 2)
        return;
    const Float_Point start(points[0]);
    const Float_Point d = Float_Point(points[1]) - start;
    const Float_Point across = Float_Point(d.y, -d.x) / d.Length() * Road_Half_Width;
    m_start_line = QLineF((start - across).To_QPointF(), (start + across).To_QPointF());
    m_has_start_line = true;
    QPainterPath line;
    line.moveTo(m_start_line.p1() * Flattening_Scale);
    line.lineTo(m_start_line.p2() * Flattening_Scale);
    QPainterPathStroker stroker;
    stroker.setWidth(Start_Line_Width * Flattening_Scale);
    stroker.setCapStyle(Qt::RoundCap);
    m_start_outline = Flattened(stroker.createStroke(line));
}

void Road_Shapes::Draw(QPainter* painter, int kept) const
{
    if (kept != 255 && m_dark_kept != kept)
    {
        m_dark_colours = m_colours;
        m_dark_colours.start_pen.setColor(Scene_Element::Darkened(m_colours.start_pen.color(), kept));
        m_dark_colours.kerb = QBrush(Scene_Element::Darkened(m_colours.kerb.color(), kept));
        m_dark_colours.road = QBrush(Scene_Element::Darkened(m_colours.road.color(), kept));
        m_dark_colours.inner = QBrush(Scene_Element::Darkened(m_colours.inner.color(), kept));
        m_dark_kept = kept;
    }
    const Colours& colours = kept != 255 ? m_dark_colours : m_colours;
    // The painter's transform maps to the device's own pixels, so the device
    // is measured in those: images and pixmaps give their size in them, while
    // a widget gives its size in device-independent pixels, which on a screen
    // of a higher pixel ratio are fewer. Culling a widget's road by its
    // independent size cut it off across the screen.
    const QPaintDevice* target = painter->device();
    const qreal ratio = target->devType() == QInternal::Widget ? target->devicePixelRatioF() : 1.0;
    const QTransform t = painter->combinedTransform();
    const QRectF device = QRectF(0.0, 0.0, target->width() * ratio, target->height() * ratio)
                              .adjusted(-Cull_Margin, -Cull_Margin, Cull_Margin, Cull_Margin);
    // A run shows when its box and the device overlap both seen on the device
    // and seen in the world: under a turned camera either test alone lets
    // through boxes that only meet the other's corners. A projective or
    // singular transform may bend the boxes inside out: nothing is culled then.
    bool invertible = false;
    const QTransform inverse = t.inverted(&invertible);
    const bool cull_all_ways = t.type() != QTransform::TxProject && invertible;
    const QRectF world = inverse.mapRect(device);
    const auto shows = [&](const QRectF& bounds)
    { return !cull_all_ways || (t.mapRect(bounds).intersects(device) && world.intersects(bounds)); };
    const bool raster = Pen_Outline::On_Raster(painter);

    // Stacking order: kerbs under the road, whose light band the inner band
    // then covers but for its edges. The road's test serves both its bands.
    for (size_t i = 0; i < m_runs.size(); ++i)
    {
        const Run& run = m_runs[i];
        if (run.has_kerbs && shows(run.kerb_bounds))
        {
            if (!raster)
                painter->fillPath(run.kerbs, colours.kerb);
            else
                for (const QPainterPath& mark : run.kerb_marks)
                    painter->fillPath(mark, colours.kerb);
        }
        m_road_shown[i] = run.has_road && shows(run.road_bounds);
    }
    for (size_t i = 0; i < m_runs.size(); ++i)
        if (m_road_shown[i])
            painter->fillPath(m_runs[i].road_edges, colours.road);
    for (size_t i = 0; i < m_runs.size(); ++i)
        if (m_road_shown[i] && m_runs[i].has_inner)
            painter->fillPath(m_runs[i].inner, colours.inner);

    if (!m_has_start_line)
        return;
    // A pen no wider than a device pixel is stroked as before.
    if (raster && Pen_Outline::Fills(painter, Start_Line_Width))
    {
        painter->fillPath(m_start_outline, colours.start_pen.brush());
        return;
    }
    painter->setPen(colours.start_pen);
    painter->drawLine(m_start_line);
}
