#include "Portable_Math.h"

#include <cmath>

namespace Portable_Math
{
namespace
{
// pi, pi/2 and pi/4 as the nearest float plus what that float misses.
constexpr float Pi_High = 3.14159274f;
constexpr float Pi_Low = -8.74227766e-08f;
constexpr float Half_Pi_High = 1.57079637f;
constexpr float Half_Pi_Low = -4.37113883e-08f;
constexpr float Quarter_Pi_High = 0.785398185f;
constexpr float Quarter_Pi_Low = -2.18556941e-08f;
constexpr float Three_Quarter_Pi = 2.35619449f;

constexpr float Four_Over_Pi = 1.27323954f;
// pi/4 in three parts, the first two with few enough bits that a small whole
// number times them is exact: the argument is reduced without losing bits.
constexpr float Reduce_1 = 0.78515625f;
constexpr float Reduce_2 = 2.4187564849853515625e-4f;
constexpr float Reduce_3 = 3.77489497744594108e-8f;
// Beyond this the reduction above is no longer exact; such angles are first
// brought into one turn (fmod is exact on every processor).
constexpr float Reduce_Limit = 8192.0f;

// atan on [-tan(pi/8), tan(pi/8)].
float Atan_Kernel(float x)
{
    const float z = x * x;
    return (((8.05374449538e-2f * z - 1.38776856032e-1f) * z + 1.99777106478e-1f) * z - 3.33329491539e-1f) *
               z * x +
           x;
}

// atan of a non-negative argument.
float Atan_Positive(float t)
{
    if (t > 2.414213562373095f)
        return Half_Pi_High + (Half_Pi_Low - Atan_Kernel(1.0f / t));
    if (t > 0.4142135623730950f)
        return Quarter_Pi_High + (Quarter_Pi_Low + Atan_Kernel((t - 1.0f) / (t + 1.0f)));
    return Atan_Kernel(t);
}

// sin and cos on [-pi/4, pi/4].
float Sin_Kernel(float x)
{
    const float z = x * x;
    return ((-1.9515295891e-4f * z + 8.3321608736e-3f) * z - 1.6666654611e-1f) * z * x + x;
}
float Cos_Kernel(float x)
{
    const float z = x * x;
    return ((2.443315711809948e-5f * z - 1.388731625493765e-3f) * z + 4.166664568298827e-2f) * z * z -
           0.5f * z + 1.0f;
}

// |angle| as a remainder in [-pi/4, pi/4] and its octant (0 .. 7).
float Reduce(float angle, int* octant)
{
    float x = std::fabs(angle);
    if (x > Reduce_Limit)
        x = std::fmod(x, Two_Pi);
    int j = static_cast<int>(x * Four_Over_Pi);
    float y = static_cast<float>(j);
    if (j & 1)
    {
        j += 1;
        y += 1.0f;
    }
    *octant = j & 7;
    return ((x - y * Reduce_1) - y * Reduce_2) - y * Reduce_3;
}
} // namespace

float Atan2(float y, float x)
{
    if (std::isnan(x) || std::isnan(y))
        return x + y;
    if (y == 0.0f)
    {
        // atan2(+-0, +0 or more) is +-0; from the negative side, +-pi.
        if (std::signbit(x))
            return std::copysign(Pi_High, y);
        return y;
    }
    if (x == 0.0f)
        return std::copysign(Half_Pi_High, y);
    if (std::isinf(y))
        return std::copysign(
            std::isinf(x) ? (std::signbit(x) ? Three_Quarter_Pi : Quarter_Pi_High) : Half_Pi_High, y);
    if (std::isinf(x))
        return std::copysign(std::signbit(x) ? Pi_High : 0.0f, y);
    const float t = Atan_Positive(std::fabs(y) / std::fabs(x));
    const float angle = std::signbit(x) ? Pi_High + (Pi_Low - t) : t;
    return std::copysign(angle, y);
}

float Sin(float angle)
{
    if (!std::isfinite(angle))
        return angle - angle;
    int octant = 0;
    const float x = Reduce(angle, &octant);
    bool negative = std::signbit(angle);
    if (octant > 3)
    {
        negative = !negative;
        octant -= 4;
    }
    const float s = (octant == 1 || octant == 2) ? Cos_Kernel(x) : Sin_Kernel(x);
    return negative ? -s : s;
}

float Cos(float angle)
{
    if (!std::isfinite(angle))
        return angle - angle;
    int octant = 0;
    const float x = Reduce(angle, &octant);
    bool negative = false;
    if (octant > 3)
    {
        negative = true;
        octant -= 4;
    }
    if (octant > 1)
        negative = !negative;
    const float c = (octant == 1 || octant == 2) ? Sin_Kernel(x) : Cos_Kernel(x);
    return negative ? -c : c;
}

QTransform Screen_To_World(const Float_Point& centre, float angle, float scale, const Float_Point& anchor)
{
    // world = centre + rotate(angle) * scale * (pixel - anchor)
    const float m11 = scale * Cos(angle);
    const float m12 = scale * Sin(angle);
    const float m21 = -m12;
    const float m22 = m11;
    const float dx = centre.x - (m11 * anchor.x + m21 * anchor.y);
    const float dy = centre.y - (m12 * anchor.x + m22 * anchor.y);
    return QTransform(m11, m12, m21, m22, dx, dy);
}

QTransform Inverted(const QTransform& transform)
{
    const float m11 = static_cast<float>(transform.m11());
    const float m12 = static_cast<float>(transform.m12());
    const float m21 = static_cast<float>(transform.m21());
    const float m22 = static_cast<float>(transform.m22());
    const float dx = static_cast<float>(transform.dx());
    const float dy = static_cast<float>(transform.dy());
    const float det = m11 * m22 - m12 * m21;
    if (det == 0.0f || !std::isfinite(det))
        return QTransform();
    const float i11 = m22 / det;
    const float i12 = -m12 / det;
    const float i21 = -m21 / det;
    const float i22 = m11 / det;
    const float idx = -(dx * i11 + dy * i21);
    const float idy = -(dx * i12 + dy * i22);
    return QTransform(i11, i12, i21, i22, idx, idy);
}

Float_Point Map(const QTransform& transform, const Float_Point& point)
{
    const float x = point.x * static_cast<float>(transform.m11()) +
                    point.y * static_cast<float>(transform.m21()) + static_cast<float>(transform.dx());
    const float y = point.x * static_cast<float>(transform.m12()) +
                    point.y * static_cast<float>(transform.m22()) + static_cast<float>(transform.dy());
    return Float_Point(x, y);
}

float Blend_Angle(float from, float to, float t)
{
    if (!(t > 0.0f))
        return from;
    if (t >= 1.0f)
        return to;
    float difference = to - from;
    // Headings in play are never more than a turn or two apart; anything
    // else (or not a number) is not blended.
    if (!(std::fabs(difference) < 8.0f * Two_Pi))
        return to;
    while (difference > Pi_High)
        difference -= Two_Pi;
    while (difference < -Pi_High)
        difference += Two_Pi;
    float angle = from + t * difference;
    // Angles in play are within a turn or two of the range: a few passes at most.
    for (int i = 0; i < 4 && angle >= Two_Pi; ++i)
        angle -= Two_Pi;
    for (int i = 0; i < 4 && angle < 0.0f; ++i)
        angle += Two_Pi;
    return angle;
}
} // namespace Portable_Math
