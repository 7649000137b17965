#include "Stars.h"

#include "Float_Point.h"
#include "Round_Outline.h"

#include <QBrush>
#include <QPaintDevice>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace
{
// 2^-31: turns the engine's 31-bit output into a number from 0 to 1.
constexpr float Random_Scale = 4.656613e-10f;
// Stars live in a disc this much wider than the visible half-diagonal, so a
// recycled star is born out of sight.
constexpr float Outer_Factor = 1.25f;
constexpr float Dot_Radius_Factor = 1.5f;
constexpr float Depth_Falloff = 0.8f;
// Device pixels added round a dot before it is culled: rounding of the rasteriser.
constexpr qreal Cull_Margin = 2.0;

float Unit_Random(std::minstd_rand& engine)
{
    return static_cast<float>(engine()) * Random_Scale;
}

// A point uniform in the square of half-side `half`: x is drawn first, then y.
Float_Point Random_In_Square(std::minstd_rand& engine, float half)
{
    const float x = -half + Unit_Random(engine) * (2.0f * half);
    const float y = -half + Unit_Random(engine) * (2.0f * half);
    return Float_Point(x, y);
}

// The world points under the device's top-left corner and centre. The camera
// is affine, and its inverse is worked out in single precision like the rest of
// the game; a transform that cannot be inverted counts as the identity, as with
// QTransform::inverted.
void Device_To_World(const QTransform& t, float w, float h, Float_Point* top_left, Float_Point* centre)
{
    const Float_Point device_centre(w * 0.5f, h * 0.5f);
    if (t.type() == QTransform::TxProject)
    {
        const QTransform inverse = t.inverted();
        *top_left = Float_Point(inverse.map(QPointF(0.0, 0.0)));
        *centre = Float_Point(inverse.map(device_centre.To_QPointF()));
        return;
    }
    const float m11 = static_cast<float>(t.m11());
    const float m12 = static_cast<float>(t.m12());
    const float m21 = static_cast<float>(t.m21());
    const float m22 = static_cast<float>(t.m22());
    const float dx = static_cast<float>(t.dx());
    const float dy = static_cast<float>(t.dy());
    const float det = m11 * m22 - m12 * m21;
    if (det == 0.0f || !std::isfinite(det))
    {
        *top_left = Float_Point(0.0f, 0.0f);
        *centre = device_centre;
        return;
    }
    const auto unmap = [&](const Float_Point& p)
    {
        const float x = p.x - dx;
        const float y = p.y - dy;
        return Float_Point((m22 * x - m21 * y) / det, (m11 * y - m12 * x) / det);
    };
    *top_left = unmap(Float_Point(0.0f, 0.0f));
    *centre = unmap(device_centre);
}
} // namespace

Stars::Stars() : m_reset_stars(true)
{
    QColor color = QColor(200, 210, 230).darker(200);
    float depth = 0.75f;
    for (int layer = 0; layer < Layer_Count; ++layer)
    {
        m_layer_colors[layer] = color;
        m_layer_brushes[layer] = QBrush(color, Qt::SolidPattern);
        m_layer_depths[layer] = depth;
        color = color.darker(150);
        depth = depth * Depth_Falloff;
    }
    const qreal reach = Round_Outline::Corner_Reach(2.0 * M_PI / Dot_Edges);
    for (int layer = 0; layer < Layer_Count; ++layer)
    {
        const qreal r = reach * Dot_Radius_Factor * m_layer_depths[layer];
        for (int i = 0; i < Dot_Edges; ++i)
        {
            const qreal angle = 2.0 * M_PI * i / Dot_Edges;
            m_dot_outlines[layer][i] = QPointF(r * std::cos(angle), r * std::sin(angle));
        }
    }
    for (QPointF& offset : m_star_offsets)
        offset = QPointF(0.0, 0.0);
    m_last_center = QPointF(0.0, 0.0);
}

void Stars::Draw(QPainter* painter)
{
    const QSize device_size(painter->device()->width(), painter->device()->height());
    if (device_size != m_last_device_size)
    {
        m_last_device_size = device_size;
        m_reset_stars = true;
    }
    Float_Point top_left;
    Float_Point centre;
    Device_To_World(painter->worldTransform(), static_cast<float>(painter->device()->width()),
                    static_cast<float>(painter->device()->height()), &top_left, &centre);

    const float inner = (top_left - centre).Length();
    const float outer = Outer_Factor * inner;
    const float inner_squared = inner * inner;
    const float outer_squared = outer * outer;
    // A broken camera would make the rejection loops below run for ever; such a
    // frame moves and paints nothing, and a pending scatter waits for the next.
    if (!std::isfinite(outer_squared) || !std::isfinite(centre.x) || !std::isfinite(centre.y))
        return;

    const Float_Point drift = centre - Float_Point(m_last_center);
    m_last_center = centre.To_QPointF();

    // Only the dots that reach the device are painted: most of the disc lies
    // out of sight, and an OpenGL paint engine pays for every draw. The dots are
    // placed in the device's independent pixels, as its size is given: on a
    // screen of a higher density the painter's own transforms add its pixel ratio.
    const QTransform device = painter->worldTransform();
    const bool cull = device.type() != QTransform::TxProject;
    const float scale =
        std::sqrt(std::max(static_cast<float>(device.m11() * device.m11() + device.m12() * device.m12()),
                           static_cast<float>(device.m21() * device.m21() + device.m22() * device.m22())));
    const QRectF visible(0.0, 0.0, painter->device()->width(), painter->device()->height());

    if (m_kept != 255 && m_dark_kept != m_kept)
    {
        for (int layer = 0; layer < Layer_Count; ++layer)
            m_dark_brushes[layer] = QBrush(Darkened(m_layer_colors[layer], m_kept), Qt::SolidPattern);
        m_dark_kept = m_kept;
    }
    const QBrush* brushes = m_kept != 255 ? m_dark_brushes : m_layer_brushes;
    painter->setPen(Qt::NoPen);
    for (int i = 0; i < Star_Count; ++i)
    {
        const int layer = i % Layer_Count;
        Float_Point s(m_star_offsets[i]);
        if (m_reset_stars)
        {
            do
                s = Random_In_Square(m_random, outer);
            while (!(s.Length_Squared() <= outer_squared));
        }
        else
        {
            s -= drift * m_layer_depths[layer];
            if (outer_squared < s.Length_Squared())
            {
                // Reborn just outside the visible area, never inside it.
                float distance_squared = 0.0f;
                do
                {
                    s = Random_In_Square(m_random, outer);
                    distance_squared = s.Length_Squared();
                } while (!(inner_squared <= distance_squared && distance_squared <= outer_squared));
            }
        }
        m_star_offsets[i] = s.To_QPointF();

        const QPointF at(centre.x + s.x, centre.y + s.y);
        const qreal reach = Dot_Radius_Factor * m_layer_depths[layer] * scale + Cull_Margin;
        const QPointF on_device = device.map(at);
        const qreal off_x = std::max({0.0, -on_device.x(), on_device.x() - visible.width()});
        const qreal off_y = std::max({0.0, -on_device.y(), on_device.y() - visible.height()});
        if (cull && !(off_x * off_x + off_y * off_y <= reach * reach))
            continue;
        QPointF dot[Dot_Edges];
        for (int k = 0; k < Dot_Edges; ++k)
            dot[k] = at + m_dot_outlines[layer][k];
        painter->setBrush(brushes[layer]);
        painter->drawConvexPolygon(dot, Dot_Edges);
    }
    m_reset_stars = false;
}
