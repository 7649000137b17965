// The segment tables of the three built-in courses.
//
// Every course is a closed chain of six cubic Bezier curves, sampled 34 times
// per curve. The samples are evaluated here at compile time in double precision
// and rounded once to float, so the tables are constant data with no start-up
// code, a shared end point is the very same float in both of its records, and
// every value is off the exact curve point by no more than that one rounding
// (below 1e-6 track units).
#include "Track_List.h"

namespace
{
struct Control_Point
{
    double x;
    double y;
};

struct Curve
{
    Control_Point p0;
    Control_Point p1;
    Control_Point p2;
    Control_Point p3;
};

constexpr int Curve_Count = 6;
constexpr int Points_Per_Curve = 34;
constexpr int Segment_Count = Curve_Count * Points_Per_Curve;
constexpr int Course_Count = 3;
// Curve parameter between two samples; the last sample of a curve sits at 0.99,
// so the closing piece of each curve covers only the remaining 0.01.
constexpr double Parameter_Step = 0.03;

static_assert(Segment_Count == 204, "the tables are declared with 204 records");

// Track units. P3 of each curve is P0 of the next, and P1 mirrors the previous
// curve's P2 through the joint, so the loops are smooth at every joint.
constexpr Curve Courses[Course_Count][Curve_Count] = {
    {
        {{22, 15}, {24, 17}, {20, 20}, {17, 18}},
        {{17, 18}, {14, 16}, {15.65, 19.5}, {11.8, 22}},
        {{11.8, 22}, {7.95, 24.5}, {16.25, 30.35}, {15.4, 24.8}},
        {{15.4, 24.8}, {14.55, 19.25}, {21.15, 25.5}, {20, 21.6}},
        {{20, 21.6}, {18.85, 17.7}, {30.1, 24.15}, {28.55, 18.9}},
        {{28.55, 18.9}, {27, 13.65}, {20, 13}, {22, 15}},
    },
    {
        {{7, 10}, {10, 11}, {7, 4}, {10, 7}},
        {{10, 7}, {13, 10}, {11, 3}, {13, 6}},
        {{13, 6}, {15, 9}, {15.2, 7.9}, {16.1, 8.95}},
        {{16.1, 8.95}, {17, 10}, {16, 11}, {14, 11}},
        {{14, 11}, {12, 11}, {15, 12}, {9, 15}},
        {{9, 15}, {3, 18}, {4, 9}, {7, 10}},
    },
    {
        {{10, 10}, {13, 10}, {13, 13}, {10, 13}},
        {{10, 13}, {7, 13}, {9, 15}, {9, 16}},
        {{9, 16}, {9, 17}, {7, 19}, {10, 19}},
        {{10, 19}, {13, 19}, {13, 22}, {10, 22}},
        {{10, 22}, {7, 22}, {8, 22}, {7, 16}},
        {{7, 16}, {6, 10}, {7, 10}, {10, 10}},
    },
};

constexpr double Absolute(double v)
{
    return v < 0 ? -v : v;
}

constexpr bool Near(double a, double b)
{
    return Absolute(a - b) < 1e-9;
}

// Guards the control-point table against a mistyped value: a broken chain or
// a kink at a joint would otherwise only show as an odd-looking road.
constexpr bool Curves_Are_Smooth_Loops()
{
    for (int c = 0; c < Course_Count; ++c)
    {
        for (int i = 0; i < Curve_Count; ++i)
        {
            const Curve& prev = Courses[c][(i + Curve_Count - 1) % Curve_Count];
            const Curve& cur = Courses[c][i];
            if (!Near(prev.p3.x, cur.p0.x) || !Near(prev.p3.y, cur.p0.y))
                return false;
            if (!Near(cur.p1.x, 2 * cur.p0.x - prev.p2.x) || !Near(cur.p1.y, 2 * cur.p0.y - prev.p2.y))
                return false;
        }
    }
    return true;
}

static_assert(Curves_Are_Smooth_Loops(), "course curves must join up smoothly");

constexpr double Bezier(double s, double p0, double p1, double p2, double p3)
{
    const double t = 1.0 - s;
    return t * t * t * p0 + 3.0 * s * t * t * p1 + 3.0 * s * s * t * p2 + s * s * s * p3;
}

// Point number `point` (0 .. 203) of a course, one coordinate, rounded to float.
constexpr float Course_Coordinate(int course, int point, bool y)
{
    const Curve& curve = Courses[course][point / Points_Per_Curve];
    const double s = Parameter_Step * (point % Points_Per_Curve);
    const double v = y ? Bezier(s, curve.p0.y, curve.p1.y, curve.p2.y, curve.p3.y)
                       : Bezier(s, curve.p0.x, curve.p1.x, curve.p2.x, curve.p3.x);
    return static_cast<float>(v);
}

// Segment k runs from point k to point k + 1; the last one closes the loop.
constexpr Track_Segment Segment(int course, int k)
{
    const int next = (k + 1) % Segment_Count;
    return Track_Segment{Course_Coordinate(course, k, false), Course_Coordinate(course, k, true),
                         Course_Coordinate(course, next, false), Course_Coordinate(course, next, true)};
}

static_assert(Segment(0, 0).x1 == 22.0f && Segment(0, 0).y1 == 15.0f, "Primus starts at (22, 15)");
static_assert(Segment(0, 203).x2 == 22.0f && Segment(0, 203).y2 == 15.0f, "Primus closes at its start");
} // namespace

// The tables are spelt out record by record so that they stay plain constant
// arrays, initialised by the compiler rather than by code run at start-up.
#define TAVRELO_SEGMENTS_4(c, k) Segment(c, k), Segment(c, k + 1), Segment(c, k + 2), Segment(c, k + 3)
#define TAVRELO_SEGMENTS_12(c, k)                                                                            \
    TAVRELO_SEGMENTS_4(c, k), TAVRELO_SEGMENTS_4(c, k + 4), TAVRELO_SEGMENTS_4(c, k + 8)
#define TAVRELO_SEGMENTS_204(c)                                                                              \
    TAVRELO_SEGMENTS_12(c, 0), TAVRELO_SEGMENTS_12(c, 12), TAVRELO_SEGMENTS_12(c, 24),                       \
        TAVRELO_SEGMENTS_12(c, 36), TAVRELO_SEGMENTS_12(c, 48), TAVRELO_SEGMENTS_12(c, 60),                  \
        TAVRELO_SEGMENTS_12(c, 72), TAVRELO_SEGMENTS_12(c, 84), TAVRELO_SEGMENTS_12(c, 96),                  \
        TAVRELO_SEGMENTS_12(c, 108), TAVRELO_SEGMENTS_12(c, 120), TAVRELO_SEGMENTS_12(c, 132),               \
        TAVRELO_SEGMENTS_12(c, 144), TAVRELO_SEGMENTS_12(c, 156), TAVRELO_SEGMENTS_12(c, 168),               \
        TAVRELO_SEGMENTS_12(c, 180), TAVRELO_SEGMENTS_12(c, 192)

const Track_Segment g_symbol_Track1[204] = {TAVRELO_SEGMENTS_204(0)};
const Track_Segment g_symbol_Track2[204] = {TAVRELO_SEGMENTS_204(1)};
const Track_Segment g_symbol_Track3[204] = {TAVRELO_SEGMENTS_204(2)};

#undef TAVRELO_SEGMENTS_204
#undef TAVRELO_SEGMENTS_12
#undef TAVRELO_SEGMENTS_4
