#include "Ghost_Ship.h"

#include "Ghost_Record.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QTransform>

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
      m_record_cap(Ghost_Record_Cap), m_chevron(Ghost_Pen())
{
}

void Ghost_Ship::Update(float) {}

void Ghost_Ship::Draw(QPainter* painter)
{
    // Only a course without a stored run hides the ghost: once the replay
    // has run out it stays where its last sample left it.
    if (m_playback.size() < 1)
        return;

    QTransform transform;
    transform.translate(m_position.x(), m_position.y());
    transform.rotateRadians(m_angle, Qt::ZAxis);
    painter->setTransform(transform, true);

    m_chevron.Draw(painter);
}
