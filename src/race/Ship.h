// Ship: the player's craft, two point masses on a stiff bar moved by Verlet integration.
#ifndef TAVRELO_SHIP_H
#define TAVRELO_SHIP_H

#include "Chevron_Outlines.h"
#include "Scene_Element.h"

#include <QPen>
#include <QPointF>

#include <vector>

class Ship : public Scene_Element
{
public:
    struct Travelled_Point
    {
        QPointF position;
        float age;
    };

    Ship();

    // Stands the craft still at centre p facing along d (d need not be unit length, must not be zero).
    void Place_At(const QPointF& p, const QPointF& d);

    // One frame of the craft's motion, its trail included; only the race calls it (Race::Step).
    void Step(float dt);
    // The craft moves only through the race: the scene's update leaves it as the race left it.
    void Draw(QPainter* painter) override;
    bool Can_Darken() const override { return true; }

    QPointF m_left;
    QPointF m_left_previous;
    QPointF m_right;
    QPointF m_right_previous;
    float m_left_thrust;
    float m_right_thrust;
    float m_friction;
    QPointF m_position;
    QPointF m_direction;
    float m_angle;
    std::vector<Travelled_Point> m_travelled_points;
    float m_trail_timer;
    // Off for a craft that is never drawn (a lap's proof): the trail is only drawn, and was a tenth of a
    // proof.
    bool m_keeps_trail = true;
    Chevron_Outlines m_chevron;

private:
    // The trail's pens darkened, made when first asked for at a share.
    std::vector<QPen> m_dark_trail_pens;
    int m_dark_trail_kept = 255;
};

#endif
