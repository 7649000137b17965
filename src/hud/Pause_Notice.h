// Pause_Notice: the small notice drawn over a race held while the game is not in front.
#ifndef TAVRELO_PAUSE_NOTICE_H
#define TAVRELO_PAUSE_NOTICE_H

#include "Scene_UI_Element.h"

class Pause_Notice : public Scene_UI_Element
{
public:
    // Hidden until a race is held.
    Pause_Notice();

    void Draw(QPainter* painter) override;
};

#endif
