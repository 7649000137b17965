#include "Ghost_Ship.h"

#include <QColor>
#include <QLine>
#include <QPainter>
#include <QPen>
#include <QTransform>

Ghost_Ship::Ghost_Ship() : m_read_pos(0), m_position(0.0, 0.0), m_angle(0.0f), m_record_position(0.0, 0.0) {}

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

    QPen pen(QColor(130, 160, 255, 190));
    pen.setWidth(1);
    pen.setCapStyle(Qt::RoundCap);
    painter->setPen(pen);
    // The outline of the player's craft, so that at equal position and heading the two coincide.
    const QLine arms[2] = {QLine(-1, -1, 1, 0), QLine(-1, 1, 1, 0)};
    painter->drawLines(arms, 2);
}
