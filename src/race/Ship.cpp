#include "Ship.h"

#include "Float_Point.h"
#include "Portable_Math.h"

#include <QColor>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>

namespace
{
// The trail's pen at each opacity, made once for every craft: a pen made in a frame allocates, and a
// lap's proof, which makes a craft for each lap it races again, draws none.
std::array<QPen, 256> Make_Trail_Pens()
{
    std::array<QPen, 256> pens;
    for (size_t alpha = 0; alpha < pens.size(); ++alpha)
    {
        pens[alpha] = QPen(QColor(234, 48, 86, static_cast<int>(alpha)));
        pens[alpha].setWidthF(1.0);
    }
    return pens;
}
const std::array<QPen, 256> Trail_Pens = Make_Trail_Pens();

// Half the length of the bar between the two end points.
constexpr float Half_Bar = 5.0f;
// The bar's rest length squared: the relaxation needs no square root.
constexpr float Bar_Length_Squared = 100.0f;
// Share of the sideways slip removed per update: how hard the craft grips.
constexpr float Grip = 0.1f;
constexpr float Min_Friction = 0.01f;
constexpr float Default_Damping = 0.99f;
constexpr float Trail_Max_Age = 0.5f;

// Heading, centre and angle follow from the two end points alone.
void Recompute_Derived(Ship& ship)
{
    const Float_Point left(ship.m_left);
    const Float_Point right(ship.m_right);
    const Float_Point e(right.y - left.y, left.x - right.x);
    const Float_Point direction = e / std::sqrt(e.x * e.x + e.y * e.y);
    ship.m_direction = direction.To_QPointF();
    ship.m_position = ((left + right) * 0.5f).To_QPointF();
    ship.m_angle = Portable_Math::Atan2(direction.y, direction.x);
}
} // namespace

Ship::Ship()
    : m_left(0.0, -5.0), m_left_previous(0.0, -5.0), m_right(0.0, 5.0), m_right_previous(0.0, 5.0),
      m_left_thrust(0.0f), m_right_thrust(0.0f), m_friction(0.0f), m_position(0.0, 0.0),
      m_direction(1.0, -0.0), m_angle(Portable_Math::Atan2(-0.0f, 1.0f)), m_trail_timer(0.0f)
{
}

void Ship::Place_At(const QPointF& p, const QPointF& d)
{
    m_friction = 0.0f;
    m_left_thrust = 0.0f;
    m_right_thrust = 0.0f;
    m_travelled_points.clear();

    const Float_Point centre(p);
    const Float_Point dir(d);
    const Float_Point n = Float_Point(dir.y, -dir.x) / std::sqrt(dir.x * dir.x + dir.y * dir.y);
    m_left = (centre + Half_Bar * n).To_QPointF();
    m_right = (centre - Half_Bar * n).To_QPointF();
    m_left_previous = m_left;
    m_right_previous = m_right;
    Recompute_Derived(*this);
}

void Ship::Step(float dt)
{
    const Float_Point direction(m_direction);
    const Float_Point left(m_left);
    const Float_Point right(m_right);
    Float_Point v_left = left - Float_Point(m_left_previous);
    Float_Point v_right = right - Float_Point(m_right_previous);
    const Float_Point v = (v_left + v_right) * 0.5f;
    const float speed = std::sqrt(v.x * v.x + v.y * v.y);

    // A craft rolling backwards keeps rolling backwards: the slip is turned
    // onto the heading line on the side it is already moving along.
    const float sense = v.Dot(direction) < 0.0f ? -1.0f : 1.0f;
    const Float_Point target = (sense * speed) * direction;
    v_left = v_left + (target - v_left) * Grip;
    v_right = v_right + (target - v_right) * Grip;

    // Written so that a NaN friction falls back to the default damping too.
    const float k = m_friction > Min_Friction ? 1.0f - m_friction : Default_Damping;

    m_left_previous = m_left;
    m_right_previous = m_right;
    Float_Point new_left = left + k * v_left + m_left_thrust * direction * dt * dt;
    Float_Point new_right = right + k * v_right + m_right_thrust * direction * dt * dt;

    // One relaxation step towards the rest length.
    const Float_Point bar = new_right - new_left;
    const float r = Bar_Length_Squared / (bar.Dot(bar) + Bar_Length_Squared) - 0.5f;
    new_left = new_left - r * bar;
    new_right = new_right + r * bar;
    m_left = new_left.To_QPointF();
    m_right = new_right.To_QPointF();

    Recompute_Derived(*this);
    if (!m_keeps_trail)
        return;

    // Every point ages, then the old ones go in one erase. Each point has aged by the same steps as every
    // later one and by more of them, and a rounded sum never falls below the rounded sum of a smaller term,
    // so the ages never rise towards the back: the old points are all at the front.
    for (Travelled_Point& point : m_travelled_points)
        point.age += dt;
    m_travelled_points.erase(m_travelled_points.begin(),
                             std::find_if(m_travelled_points.begin(), m_travelled_points.end(),
                                          [](const Travelled_Point& point)
                                          { return !(point.age > Trail_Max_Age); }));

    m_trail_timer += dt;
    if (m_trail_timer >= 0.0f)
    {
        m_travelled_points.push_back(Travelled_Point{m_position, 0.0f});
        m_trail_timer = 0.0f;
    }
}

void Ship::Draw(QPainter* painter)
{
    if (m_kept != 255 && m_dark_trail_kept != m_kept)
    {
        m_dark_trail_pens.assign(Trail_Pens.begin(), Trail_Pens.end());
        for (QPen& pen : m_dark_trail_pens)
            pen.setColor(Darkened(pen.color(), m_kept));
        m_dark_trail_kept = m_kept;
    }
    const QPen* pens = m_kept != 255 ? m_dark_trail_pens.data() : Trail_Pens.data();
    for (size_t i = 1; i < m_travelled_points.size(); ++i)
    {
        const Travelled_Point& older = m_travelled_points[i - 1];
        const Travelled_Point& newer = m_travelled_points[i];
        const Float_Point p(older.position);
        const Float_Point q(newer.position);
        if (std::fabs(p.x - q.x) <= 0.00001f && std::fabs(p.y - q.y) <= 0.00001f)
            continue;

        // Fades out over the trail's half second; the clamp also keeps an
        // age that is not a number from reaching the integer conversion.
        const double fade = 255.0 - std::trunc(static_cast<double>(newer.age) * 510.0);
        int alpha = 0;
        if (fade >= 255.0)
            alpha = 255;
        else if (fade > 0.0)
            alpha = static_cast<int>(fade);

        painter->setPen(pens[alpha]);
        const QLineF segment(older.position, newer.position);
        painter->drawLines(&segment, 1);
    }

    QTransform transform;
    transform.translate(m_position.x(), m_position.y());
    transform.rotateRadians(m_angle, Qt::ZAxis);
    painter->setTransform(transform, true);

    m_chevron.Draw(painter, m_kept);
}
