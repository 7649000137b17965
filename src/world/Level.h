// Level: the current course as a closed polyline in world units, and its drawing as a road.
#ifndef TAVRELO_LEVEL_H
#define TAVRELO_LEVEL_H

#include "Road_Shapes.h"
#include "Scene_Element.h"

#include <QPointF>

#include <cstdint>
#include <vector>

struct Track_Segment;

class Level : public Scene_Element
{
public:
    // Half the road's width, shared by the drawing and the race rules.
    static constexpr float Road_Half_Width = 17.5f;

    // Whether a course is laid out to be drawn: a race that nobody sees (a lap's proof) needs only the centre
    // line, and the road's outlines are most of the work of laying out a course.
    enum Drawing
    {
        With_Road,
        Course_Only, // Draw paints nothing
    };

    Level();

    // Rebuilds every vector for course idx, reusing their storage.
    void Init(int idx, Drawing drawing = With_Road);
    // The work of Init for any segment table, course index aside.
    void Build(const Track_Segment* segments, int32_t segment_count, Drawing drawing = With_Road);

    // The point of the centre line that lies distance further along the course
    // from the given place on piece segment (fraction 0 at its start, 1 at its
    // end), stopping at the course's end.
    QPointF Point_Ahead(int segment, float fraction, float distance) const;

    // Paints the road made by the last Init or Build: whoever changes the
    // vectors below by hand rebuilds nothing, and sees the old road.
    void Draw(QPainter* painter) override;
    bool Can_Darken() const override { return true; }

    int32_t m_track_index;
    std::vector<QPointF> m_points;     // closed: the last point is a copy of the first
    std::vector<QPointF> m_directions; // unit vector from point k to the next
    std::vector<QPointF> m_normals;    // (direction.y, -direction.x)
    std::vector<float> m_lengths;      // length of piece k

private:
    Road_Shapes m_road_shapes;
};

#endif
