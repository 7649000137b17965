// Float_Point: a 2-D vector computed in single precision, whatever Qt's qreal is.
#ifndef TAVRELO_FLOAT_POINT_H
#define TAVRELO_FLOAT_POINT_H

#include <QPointF>

#include <cmath>

// The game's arithmetic is single precision throughout, so that a run replays
// the same on every build. QPointF computes in double here; points are stored
// in QPointF fields but every calculation goes through this type, and the
// values stored back are always exact floats.
struct Float_Point
{
    float x = 0.0f;
    float y = 0.0f;

    Float_Point() = default;
    Float_Point(float x_, float y_) : x(x_), y(y_) {}
    explicit Float_Point(const QPointF& p) : x(static_cast<float>(p.x())), y(static_cast<float>(p.y())) {}

    QPointF To_QPointF() const { return QPointF(x, y); }

    Float_Point operator+(const Float_Point& o) const { return Float_Point(x + o.x, y + o.y); }
    Float_Point operator-(const Float_Point& o) const { return Float_Point(x - o.x, y - o.y); }
    Float_Point operator*(float s) const { return Float_Point(x * s, y * s); }
    Float_Point operator/(float s) const { return Float_Point(x / s, y / s); }
    Float_Point& operator+=(const Float_Point& o)
    {
        x += o.x;
        y += o.y;
        return *this;
    }
    Float_Point& operator-=(const Float_Point& o)
    {
        x -= o.x;
        y -= o.y;
        return *this;
    }

    float Dot(const Float_Point& o) const { return x * o.x + y * o.y; }
    float Length_Squared() const { return x * x + y * y; }
    float Length() const { return std::sqrt(x * x + y * y); }
};

inline Float_Point operator*(float s, const Float_Point& p)
{
    return Float_Point(s * p.x, s * p.y);
}

#endif
