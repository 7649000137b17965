// Hud_Palette: the colours the overlays and the lap pictures share, so that they read as one game.
#ifndef TAVRELO_HUD_PALETTE_H
#define TAVRELO_HUD_PALETTE_H

#include <QColor>

class Hud_Palette
{
public:
    // The overlays' own text and frames.
    static QColor Text() { return QColor(160, 250, 190, 255); }
    // What is said beside the main text, and what has gone stale.
    static QColor Quiet() { return QColor(200, 200, 200, 255); }
    static QColor Stale() { return QColor(150, 150, 150, 255); }
    // A gap to the best lap: ahead of it, behind it.
    static QColor Ahead() { return QColor(90, 240, 110, 255); }
    static QColor Behind() { return QColor(255, 90, 80, 255); }
    // A gap's colour by its side: -1 ahead, 1 behind, else level.
    static QColor Of_Side(int side) { return side < 0 ? Ahead() : side > 0 ? Behind() : Quiet(); }
};

#endif
