#include "Text_Layer.h"

#include <QPaintDevice>
#include <QPaintEngine>

#include <cmath>

bool Text_Layer::Usable(QPainter* painter)
{
    return painter->paintEngine() && painter->paintEngine()->type() == QPaintEngine::Raster &&
           painter->opacity() == 1.0 && painter->compositionMode() == QPainter::CompositionMode_SourceOver &&
           painter->combinedTransform().type() <= QTransform::TxScale;
}

QPainter* Text_Layer::Begin(QPainter* painter, const QRectF& area, quint64 key)
{
    const QTransform device = painter->combinedTransform();
    // A glyph's edge may stand out of its line's box: a pixel's margin.
    const QRectF covered = device.mapRect(area).adjusted(-1.0, -1.0, 1.0, 1.0);
    const QPoint at(static_cast<int>(std::floor(covered.left())),
                    static_cast<int>(std::floor(covered.top())));
    const QTransform within = device * QTransform::fromTranslate(-at.x(), -at.y());
    if (!m_image.isNull() && key == m_key && area == m_area && within == m_within &&
        painter->font() == m_font)
    {
        m_at = at;
        return nullptr;
    }
    if (m_painter.isActive())
        m_painter.end();
    const QSize size(static_cast<int>(std::ceil(covered.right())) - at.x(),
                     static_cast<int>(std::ceil(covered.bottom())) - at.y());
    if (m_image.size() != size)
        m_image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    // A font given in points is as many pixels high as on the device.
    const QPaintDevice* target = painter->device();
    m_image.setDotsPerMeterX(qRound(target->logicalDpiX() / 0.0254));
    m_image.setDotsPerMeterY(qRound(target->logicalDpiY() / 0.0254));
    m_image.fill(Qt::transparent);
    m_at = at;
    // Out of memory for it, the text is drawn straight, and the layer made again next time.
    if (m_image.isNull() || !m_painter.begin(&m_image))
    {
        m_image = QImage();
        return painter;
    }
    m_key = key;
    m_area = area;
    m_font = painter->font();
    m_within = within;
    m_painter.setRenderHints(painter->renderHints());
    m_painter.setFont(painter->font());
    m_painter.setTransform(within);
    return &m_painter;
}

void Text_Layer::Draw(QPainter* painter)
{
    if (m_painter.isActive())
        m_painter.end();
    if (m_image.isNull())
        return;
    // Drawn under a shift of whole device pixels, the picture is copied
    // pixel for pixel: the world transform that gives that undoes the rest
    // of the way to the device (a pixel ratio, say).
    const QTransform world = painter->worldTransform();
    const QTransform rest = world.inverted() * painter->combinedTransform();
    painter->setWorldTransform(QTransform::fromTranslate(m_at.x(), m_at.y()) * rest.inverted());
    painter->drawImage(QPoint(0, 0), m_image);
    painter->setWorldTransform(world);
}
