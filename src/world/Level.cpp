#include "Level.h"

#include "Float_Point.h"
#include "Track_List.h"

#include <algorithm>
#include <cmath>

namespace
{
// Track units to world units.
constexpr float Track_Scale = 100.0f;
// Points closer than this to the previous one are the shared end of two
// chained segments, not a new point of the course.
constexpr float Duplicate_Distance = 0.001f;
} // namespace

Level::Level() : m_track_index(0) {}

void Level::Init(int idx, Drawing drawing)
{
    const Track_Info* info = Get_Track_Info(idx);
    m_track_index = idx;
    Build(info->segments, info->segment_count, drawing);
}

void Level::Build(const Track_Segment* segments, int32_t segment_count, Drawing drawing)
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
    if (drawing == With_Road)
        m_road_shapes.Build(m_points, m_normals);
    else
        m_road_shapes = Road_Shapes();
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

void Level::Draw(QPainter* painter)
{
    m_road_shapes.Draw(painter, m_kept);
}
