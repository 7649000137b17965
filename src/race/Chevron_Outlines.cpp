#include "Chevron_Outlines.h"

#include "Pen_Outline.h"
#include "Scene_Element.h"

#include <QLine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace
{
// The outlines are flattened this much enlarged: their round ends then lie
// within 1/128 of a unit of the round pen's, far under a pixel.
constexpr qreal Flattening_Scale = 64.0;

const QLine Arms[2] = {QLine(-1, -1, 1, 0), QLine(-1, 1, 1, 0)};

// Both arms as the pen strokes them, in straight edges: where they overlap,
// filled once, as the stroke of both in one call paints it.
QPainterPath Outline(const QPen& pen)
{
    QPainterPath arms;
    for (const QLine& arm : Arms)
    {
        arms.moveTo(arm.p1());
        arms.lineTo(arm.p2());
    }
    QPainterPathStroker stroker(pen);
    const QPainterPath stroke = stroker.createStroke(arms);
    QPainterPath flat;
    flat.setFillRule(Qt::WindingFill);
    const QTransform back = QTransform::fromScale(1.0 / Flattening_Scale, 1.0 / Flattening_Scale);
    for (const QPolygonF& polygon :
         stroke.toSubpathPolygons(QTransform::fromScale(Flattening_Scale, Flattening_Scale)))
        flat.addPolygon(back.map(polygon));
    return flat;
}
} // namespace

Chevron_Outlines::Chevron_Outlines()
{
    QPen pen;
    pen.setColor(QColor(0, 0, 0, 255));
    pen.setWidthF(1.0);
    pen.setCapStyle(Qt::RoundCap);
    for (int pass = 0; pass < 5; ++pass)
    {
        if (pass == 1)
        {
            pen.setColor(QColor(90, 250, 120, 255));
            pen.setWidthF(static_cast<float>(pen.widthF()) * 0.8f);
        }
        else if (pass > 1)
        {
            pen.setColor(pen.color().lighter(120));
            pen.setWidthF(static_cast<float>(pen.widthF()) * 0.6f);
        }
        Add_Pass(pen);
    }
}

Chevron_Outlines::Chevron_Outlines(const QPen& pen)
{
    Add_Pass(pen);
}

void Chevron_Outlines::Add_Pass(const QPen& pen)
{
    m_pens.push_back(pen);
    m_outlines.push_back(Outline(pen));
}

void Chevron_Outlines::Draw(QPainter* painter, int kept) const
{
    if (kept != 255 && m_dark_kept != kept)
    {
        m_dark_pens = m_pens;
        for (QPen& pen : m_dark_pens)
            pen.setColor(Scene_Element::Darkened(pen.color(), kept));
        m_dark_kept = kept;
    }
    const std::vector<QPen>& pens = kept != 255 ? m_dark_pens : m_pens;
    for (size_t pass = 0; pass < pens.size(); ++pass)
    {
        if (Pen_Outline::Fills(painter, pens[pass].widthF()))
        {
            // The pen's own solid brush: one made from its colour each frame would allocate.
            painter->fillPath(m_outlines[pass], pens[pass].brush());
        }
        else
        {
            painter->setPen(pens[pass]);
            // Both arms in one stroke: the tip where they meet is painted
            // once, as the outline fills it.
            painter->drawLines(Arms, 2);
        }
    }
}
