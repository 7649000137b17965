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

    // At full strength, the share it keeps: the elements under it can then
    // draw darker instead, and the plane is not blended at all.
    int Kept_Under() const override;

private:
    // The plane's alpha, scaled by its opacity and rounded down: 178 at full strength.
    static constexpr float Full_Alpha = 178.5f;

    int Alpha() const;
};

#endif
