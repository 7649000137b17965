// Portable_Math: the game's own single-precision trigonometry and camera maths, the same to the bit on every
// processor.
#ifndef TAVRELO_PORTABLE_MATH_H
#define TAVRELO_PORTABLE_MATH_H

#include "Float_Point.h"

#include <QPointF>
#include <QTransform>

// The C library's atan2f, sinf and cosf, and Qt's QTransform (double, built
// with or without fused multiply-adds), may round their last bit differently
// on different processors, and that bit would change a race. Everything here
// uses only + - * / and comparisons in float, which round the same everywhere
// (the project is built with -ffp-contract=off).
namespace Portable_Math
{
// 2*pi as the nearest float: the turn of the trigonometry here and of the sound's oscillators.
constexpr float Two_Pi = 6.28318548f;
// The turn the race wraps headings by and the ghost's headings are stored in, and half of it: each one unit
// in the last place short of the nearest float. Every raced lap and every stored ghost depends on these bits.
constexpr float Race_Turn = 6.283185f;
constexpr float Race_Half_Turn = 3.1415925f;
static_assert(Race_Turn < Two_Pi, "the race's turn is its own value, not the nearest float to 2*pi");

// atan2 of y and x in [-pi, pi], within three units in the last place,
// with the C library's signs of zero and results at zero.
float Atan2(float y, float x);
// Sine and cosine within about two units in the last place; a value that is
// not finite gives NaN.
float Sin(float angle);
float Cos(float angle);

// The camera: screen pixels to world units. The view's point anchor goes to
// the world point centre, turned by angle and scaled by scale. Every entry is
// a float.
QTransform Screen_To_World(const Float_Point& centre, float angle, float scale, const Float_Point& anchor);
// The inverse of an affine transform whose entries are floats, computed in
// float; a transform that cannot be inverted gives the identity, as
// QTransform::inverted does.
QTransform Inverted(const QTransform& transform);
// Where an affine transform whose entries are floats takes a point, in float.
Float_Point Map(const QTransform& transform, const Float_Point& point);
// The heading t of the way (0 to 1) from one to the other, turning the short
// way round, in [0, 2*pi); exactly from at t = 0 and exactly to at t = 1.
float Blend_Angle(float from, float to, float t);
} // namespace Portable_Math

#endif
