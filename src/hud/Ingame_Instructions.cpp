#include "Ingame_Instructions.h"

#include <QPainter>

Ingame_Instructions::Ingame_Instructions() {}

void Ingame_Instructions::Draw(QPainter* painter)
{
    // Neither wrapped nor shrunk: on a narrow screen the hint runs off the right edge.
    const int h_screen = painter->device()->height();
    Draw_Text(painter, 30, static_cast<int>(h_screen * 0.6), QColor(160, 250, 190, 255),
              QStringLiteral("Press and hold on the screen to race to the finish."));
}
