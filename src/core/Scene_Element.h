// Scene_Element: the abstract base of everything the game updates and paints.
#ifndef TAVRELO_SCENE_ELEMENT_H
#define TAVRELO_SCENE_ELEMENT_H

#include <QColor>

class QPainter;

class Scene_Element
{
public:
    virtual ~Scene_Element() = default;
    // One fixed frame step, in seconds (the frame loop always passes 1/60).
    // Nothing by default: the world moves in the race's step alone.
    virtual void Update(float) {}
    // Paints only; never changes state.
    virtual void Draw(QPainter* painter) = 0;

    // Whether Draw darkens its own colours by m_kept (below) when asked.
    virtual bool Can_Darken() const { return false; }

    // The colour as a translucent black plane that keeps this share (of 255)
    // of each channel leaves it where it lies opaque: channel by channel, as
    // the raster engine rounds the plane's blend. Alpha is kept.
    static QColor Darkened(const QColor& colour, int kept)
    {
        const auto channel = [kept](int value)
        {
            const int scaled = value * kept;
            return (scaled + (scaled >> 8) + 0x80) >> 8;
        };
        QColor rgb = colour.toRgb();
        rgb.setRgb(channel(rgb.red()), channel(rgb.green()), channel(rgb.blue()));
        rgb.setAlphaF(colour.alphaF());
        return rgb;
    }

    // The share of each channel Draw keeps, set by the scene before each draw
    // where a plane darkens all under it (255: drawn as it is). Elements that
    // can darken draw in darkened colours instead of being blended over.
    int m_kept = 255;
};

#endif
