// Text_Layer: still text kept as one picture in the device's own pixels, put on the screen with one blit.
#ifndef TAVRELO_TEXT_LAYER_H
#define TAVRELO_TEXT_LAYER_H

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QTransform>

// On the raster engine each glyph is blended on its own, pixel by pixel, and
// a panel of text is hundreds of glyphs. Drawn once into a clear picture and
// blended from there in one pass, opaque text gives the same pixels: a
// glyph's edge blended over a clear pixel and then over the screen rounds as
// it does blended over the screen straight away. Only where the edges of two
// glyphs share a pixel may a channel come out one off. Translucent text
// rounds twice throughout, so that is drawn straight.
class Text_Layer
{
public:
    // Whether text drawn with this painter can come from a layer: the raster
    // engine at full opacity, under a transform that only scales and shifts.
    static bool Usable(QPainter* painter);

    // When the layer must be made again for the text within area (in the
    // painter's units) and the content key, returns a painter to draw that
    // text with, set up as this one is (this one itself if the layer cannot
    // be made); else nullptr. Then call Draw. The key stands for what is
    // drawn: the caller changes it when the text does.
    QPainter* Begin(QPainter* painter, const QRectF& area, quint64 key);

    // Puts the layer on the painter's device, where the text would have gone.
    void Draw(QPainter* painter);

    // The content key the layer was last made for (0: never made).
    quint64 Key() const { return m_key; }

private:
    QImage m_image;
    QPainter m_painter;
    QRectF m_area;
    QFont m_font;
    quint64 m_key = 0;
    // The painter's transform less its whole device pixels, which the layer
    // is drawn at: text falls on the same fractions of a pixel within it.
    QTransform m_within;
    QPoint m_at;
};

#endif
