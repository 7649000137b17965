#include "Level.h"

#include "Float_Point.h"
#include "Track_List.h"

#include <QColor>
#include <QLineF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace
{
// Track units to world units.
constexpr float Track_Scale = 100.0f;
// Points closer than this to the previous one are the shared end of two
// chained segments, not a new point of the course.
constexpr float Duplicate_Distance = 0.001f;

constexpr QRgb Kerb_Color = qRgb(150, 170, 40);
constexpr float Kerb_Width = 7.0f;
constexpr QRgb Road_Color = qRgb(250, 230, 140);
constexpr float Road_Width = 2.0f * Level::Road_Half_Width;
// The inner band leaves a light edge on either side of the road.
constexpr int Inner_Darkening = 250;
constexpr float Inner_Width_Factor = 0.9f;
constexpr QRgb Start_Line_Color = qRgb(230, 245, 210);
constexpr float Start_Line_Width = 1.0f;
// Device pixels added to the device size for the road bands: a piece starting
// just outside still reaches into view.
constexpr float Band_Margin = 100.0f;

// The painter maps in double; the culling tests, like the rest of the game,
// work in single precision. The camera's coefficients are read once per
// frame, not once per point.
struct Float_Transform
{
    explicit Float_Transform(const QTransform& t)
        : m11(static_cast<float>(t.m11())), m12(static_cast<float>(t.m12())),
          m13(static_cast<float>(t.m13())), m21(static_cast<float>(t.m21())),
          m22(static_cast<float>(t.m22())), m23(static_cast<float>(t.m23())), dx(static_cast<float>(t.dx())),
          dy(static_cast<float>(t.dy())), m33(static_cast<float>(t.m33())),
          project(t.type() == QTransform::TxProject)
    {
    }

    // Squared distance of the mapped point from the device origin.
    float Mapped_Length_Squared(const QPointF& point) const
    {
        const Float_Point p(point);
        float x = m11 * p.x + m21 * p.y + dx;
        float y = m12 * p.x + m22 * p.y + dy;
        if (project)
        {
            const float w = m13 * p.x + m23 * p.y + m33;
            x = x / w;
            y = y / w;
        }
        return Float_Point(x, y).Length_Squared();
    }

    Float_Point Map(const QPointF& point) const
    {
        const Float_Point p(point);
        return Float_Point(m11 * p.x + m21 * p.y + dx, m12 * p.x + m22 * p.y + dy);
    }

    // Device pixels per world unit at most, in any direction.
    float Largest_Scale() const { return std::sqrt(std::max(m11 * m11 + m12 * m12, m21 * m21 + m22 * m22)); }

    float m11, m12, m13, m21, m22, m23, dx, dy, m33;
    bool project;
};

// A finer test after the coarse ones: whether a round-capped line of the
// given width can touch the device at all. Its stroke lies within the box of
// its mapped end points grown by half its width, so a line that fails this
// would paint no pixel; skipping it changes nothing on screen and spares the
// painter most of the road, which it would otherwise outline and fill in full.
class Visible_Area
{
public:
    Visible_Area(const Float_Transform& t, const QPaintDevice* device, float pen_width)
        : m_t(t), m_width(static_cast<float>(device->width())),
          m_height(static_cast<float>(device->height())),
          m_reach(0.5f * pen_width * t.Largest_Scale() + Safety_Pixels)
    {
    }

    bool May_Show(const QPointF& a, const QPointF& b) const
    {
        if (m_t.project || !std::isfinite(m_reach))
            return true;
        const Float_Point p = m_t.Map(a);
        const Float_Point q = m_t.Map(b);
        return std::min(p.x, q.x) - m_reach <= m_width && std::max(p.x, q.x) + m_reach >= 0.0f &&
               std::min(p.y, q.y) - m_reach <= m_height && std::max(p.y, q.y) + m_reach >= 0.0f;
    }

private:
    // Rounding of the rasteriser, with room to spare.
    static constexpr float Safety_Pixels = 2.0f;

    const Float_Transform& m_t;
    float m_width;
    float m_height;
    float m_reach;
};

QPen Round_Pen(QRgb color, float width)
{
    return QPen(QBrush(QColor(color)), width, Qt::SolidLine, Qt::RoundCap);
}

// One band of the road with the painter's pen: every piece whose start lies
// within the enlarged device diagonal of the device origin.
void Draw_Band(QPainter* painter, const Float_Transform& t, const std::vector<QPointF>& points)
{
    const float w = static_cast<float>(painter->device()->width()) + Band_Margin;
    const float h = static_cast<float>(painter->device()->height()) + Band_Margin;
    const float reach_squared = w * w + h * h;
    const Visible_Area visible(t, painter->device(), static_cast<float>(painter->pen().widthF()));
    for (size_t k = 1; k < points.size(); ++k)
    {
        if (reach_squared >= t.Mapped_Length_Squared(points[k - 1]) &&
            visible.May_Show(points[k - 1], points[k]))
            painter->drawLine(QLineF(points[k - 1], points[k]));
    }
}
} // namespace

Level::Level() : m_track_index(0) {}

void Level::Init(int idx)
{
    const Track_Info* info = Get_Track_Info(idx);
    m_track_index = idx;
    Build(info->segments, info->segment_count);
}

void Level::Build(const Track_Segment* segments, int32_t segment_count)
{
    m_points.clear();
    m_directions.clear();
    m_normals.clear();
    m_lengths.clear();

    const auto offer = [this](float x, float y)
    {
        const Float_Point p(x * Track_Scale, y * Track_Scale);
        if (m_points.empty() || (p - Float_Point(m_points.back())).Length() >= Duplicate_Distance)
            m_points.push_back(p.To_QPointF());
    };
    for (int32_t i = 0; i < segment_count; ++i)
    {
        offer(segments[i].x1, segments[i].y1);
        offer(segments[i].x2, segments[i].y2);
    }

    const size_t n = m_points.size();
    for (size_t k = 0; k < n; ++k)
    {
        // The last point is the copy of the first, so its piece is the first
        // piece again (towards point 1, not towards itself). A lone point has
        // no piece at all.
        size_t next = k + 1;
        if (next == n)
            next = n > 1 ? 1 : 0;
        const Float_Point d = Float_Point(m_points[next]) - Float_Point(m_points[k]);
        const float len = d.Length();
        // Zero only for data that is not a loop; a zero vector is safer for the
        // race rules than the NaNs of a division by zero.
        Float_Point direction;
        Float_Point normal;
        if (len > 0.0f)
        {
            direction = d / len;
            normal = Float_Point(direction.y, -direction.x);
            normal = normal / normal.Length();
        }
        m_directions.push_back(direction.To_QPointF());
        m_normals.push_back(normal.To_QPointF());
        m_lengths.push_back(len);
    }
}

QPointF Level::Point_Ahead(int segment, float fraction, float distance) const
{
    const int count = static_cast<int>(m_points.size());
    if (count == 0)
        return QPointF(0.0, 0.0);
    int k = std::min(std::max(segment, 0), count - 1);
    float left = distance + m_lengths[k] * fraction;
    while (left > m_lengths[k] && k < count - 1)
    {
        left -= m_lengths[k];
        ++k;
    }
    return (Float_Point(m_points[k]) + left * Float_Point(m_directions[k])).To_QPointF();
}

void Level::Update(float) {}

void Level::Draw(QPainter* painter)
{
    const Float_Transform t(painter->worldTransform());

    // Kerb marks first, so that the road covers all but their round ends. One
    // pen serves every mark: the painter keeps it between the lines.
    const QRect viewport = painter->viewport();
    const float vw = static_cast<float>(viewport.width());
    const float vh = static_cast<float>(viewport.height());
    const float kerb_reach_squared = vw * vw + vh * vh;
    bool kerb_pen_set = false;
    const Visible_Area visible(t, painter->device(), Kerb_Width);
    for (size_t k = 0; k < m_points.size(); ++k)
    {
        if (kerb_reach_squared >= t.Mapped_Length_Squared(m_points[k]))
        {
            const Float_Point p(m_points[k]);
            const Float_Point across = Float_Point(m_normals[k]) * Road_Half_Width;
            const QLineF mark((p - across).To_QPointF(), (p + across).To_QPointF());
            if (!visible.May_Show(mark.p1(), mark.p2()))
                continue;
            if (!kerb_pen_set)
            {
                painter->setPen(Round_Pen(Kerb_Color, Kerb_Width));
                kerb_pen_set = true;
            }
            painter->drawLine(mark);
        }
    }

    QPen pen = Round_Pen(Road_Color, Road_Width);
    painter->setPen(pen);
    Draw_Band(painter, t, m_points);

    pen.setColor(pen.color().darker(Inner_Darkening));
    pen.setWidthF(static_cast<float>(pen.widthF()) * Inner_Width_Factor);
    painter->setPen(pen);
    Draw_Band(painter, t, m_points);

    if (m_points.size() < 2)
        return;
    const Float_Point start(m_points[0]);
    const Float_Point d = Float_Point(m_points[1]) - start;
    const Float_Point across = Float_Point(d.y, -d.x) / d.Length() * Road_Half_Width;
    painter->setPen(Round_Pen(Start_Line_Color, Start_Line_Width));
    painter->drawLine(QLineF((start - across).To_QPointF(), (start + across).To_QPointF()));
}
