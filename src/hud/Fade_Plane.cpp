#include "Fade_Plane.h"

#include <QPainter>

Fade_Plane::Fade_Plane() : Scene_UI_Element(1.0f) {}

void Fade_Plane::Draw(QPainter* painter)
{
    // The opacity enters once, here, not through Change_Visible_Color. It is
    // bounded first: the base lets anyone store any alpha, and a value outside
    // 0..1 must neither make an invalid colour nor go through a bad conversion.
    float alpha = Get_Visible_Alpha();
    if (!(alpha > 0.0f))
        alpha = 0.0f;
    else if (alpha > 1.0f)
        alpha = 1.0f;
    const int a = static_cast<int>(alpha * 178.5f);
    painter->fillRect(painter->viewport(), QColor(0, 0, 0, a));
}
