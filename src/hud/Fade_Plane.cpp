#include "Fade_Plane.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace
{
// Under the 96 rows from which Qt 6 shares a blend out among threads, even at
// a pixel ratio of 2.
constexpr int Strip_Rows = 32;
} // namespace

Fade_Plane::Fade_Plane() : Scene_UI_Element(1.0f) {}

int Fade_Plane::Alpha() const
{
    // The opacity enters once, here, not through Change_Visible_Color. It is
    // bounded first: the base lets anyone store any alpha, and a value outside
    // 0..1 must neither make an invalid colour nor go through a bad conversion.
    float alpha = Get_Visible_Alpha();
    if (!(alpha > 0.0f))
        alpha = 0.0f;
    else if (alpha > 1.0f)
        alpha = 1.0f;
    return static_cast<int>(alpha * Full_Alpha);
}

int Fade_Plane::Kept_Under() const
{
    // Only at full strength, which stays for as long as the menu does: the
    // darker colours are made once, not again in every frame of a fade.
    const int a = Alpha();
    return a == static_cast<int>(Full_Alpha) ? 255 - a : 255;
}

void Fade_Plane::Draw(QPainter* painter)
{
    const QColor colour(0, 0, 0, Alpha());
    // The whole view in its own pixels, whatever the UI's scale.
    painter->setTransform(QTransform(), false);
    const QRect plane = painter->viewport();
    // Blended here in strips of rows, not in one: Qt 6 hands a blend of many
    // rows to its thread pool, and waking its threads for each frame costs
    // more than it saves where the cores are busy (the game runs beside other
    // programs). Strips end on whole device pixels, so no row is blended
    // twice or missed; at a pixel ratio where they would not, it is one fill.
    const qreal rows = Strip_Rows * painter->device()->devicePixelRatioF();
    if (rows != std::floor(rows))
    {
        painter->fillRect(plane, colour);
        return;
    }
    for (int y = plane.top(); y <= plane.bottom(); y += Strip_Rows)
        painter->fillRect(QRect(plane.left(), y, plane.width(), std::min(Strip_Rows, plane.bottom() + 1 - y)),
                          colour);
}
