#include "Ghost_Ship.h"

#include "Ghost_Record.h"

#include <QColor>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QTransform>

#include <algorithm>

namespace
{
QPen Ghost_Pen()
{
    QPen pen(QColor(130, 160, 255, 190));
    pen.setWidth(1);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}
} // namespace

Ghost_Ship::Ghost_Ship()
    : m_read_pos(0), m_position(0.0, 0.0), m_angle(0.0f), m_record_position(0.0, 0.0),
      m_record_cap(Ghost_Record_Cap), m_chevron(Ghost_Pen()), m_colour(Ghost_Pen().color()),
      m_label_scale(1.0)
{
}

void Ghost_Ship::Draw(QPainter* painter)
{
    // Only a course without a stored run hides the ghost: once the replay
    // has run out it stays where its last sample left it.
    if (m_playback.size() < 1)
        return;

    if (!m_label.isEmpty())
    {
        // Upright on the screen whichever way the camera has turned, a little
        // beside the craft; a laid out text is placed by its top left corner.
        // Drawn in the HUD's own units, so that it is as large as the HUD's texts.
        const QTransform world = painter->worldTransform();
        const qreal scale = m_label_scale > 1.0 ? m_label_scale : 1.0;
        const QPointF at = painter->transform().map(m_position) / scale + QPointF(14.0, -10.0);
        painter->setTransform(QTransform::fromScale(scale, scale), false);
        // Made again whenever the look's pen changes (a frame blend copies it in).
        if (m_kept != 255)
        {
            const QColor dark = Darkened(m_label_pen.color(), m_kept);
            if (m_dark_label_pen.color() != dark)
            {
                m_dark_label_pen = m_label_pen;
                m_dark_label_pen.setColor(dark);
            }
        }
        painter->setPen(m_kept != 255 ? m_dark_label_pen : m_label_pen);
        const QFontMetricsF metrics(painter->font());
        painter->drawStaticText(QPointF(at.x(), at.y() - metrics.ascent() - std::max(0.0, metrics.leading())),
                                m_label_text);
        painter->setTransform(world, false);
    }

    QTransform transform;
    transform.translate(m_position.x(), m_position.y());
    transform.rotateRadians(m_angle, Qt::ZAxis);
    painter->setTransform(transform, true);

    m_chevron.Draw(painter, m_kept);
}

void Ghost_Ship::Set_Look(const QColor& colour, const QString& label)
{
    QPen pen = Ghost_Pen();
    if (colour.isValid())
        pen.setColor(colour);
    m_colour = pen.color();
    m_chevron = Chevron_Outlines(pen);
    m_label = label;
    m_label_text.setTextFormat(Qt::PlainText);
    m_label_text.setText(label);
    QColor text = m_colour;
    text.setAlpha(255);
    m_label_pen = QPen(text);
}
