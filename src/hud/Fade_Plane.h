// Fade_Plane: darkens the whole screen behind the menu.
#ifndef TAVRELO_FADE_PLANE_H
#define TAVRELO_FADE_PLANE_H

#include "Scene_UI_Element.h"

class Fade_Plane : public Scene_UI_Element
{
public:
    // Starts at full strength: the first frame is already darkened.
    Fade_Plane();

    void Draw(QPainter* painter) override;
};

#endif
