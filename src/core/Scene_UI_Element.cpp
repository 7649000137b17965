#include "Scene_UI_Element.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace
{
constexpr float Faded_Out = 1e-6f;
} // namespace

Scene_UI_Element::Scene_UI_Element(float visible_alpha)
    : m_visible(true),
      m_visible_alpha(visible_alpha), m_laid_out_use{0, 0, 0}, m_laid_out_made{0, 0, 0}, m_layer_use{},
      m_uses(0), m_pen_use{}, m_pen_uses(0)
{
}

void Scene_UI_Element::Update(float)
{
    const float target = Is_Visible() ? 1.0f : 0.0f;
    const float next = m_visible_alpha + (target - m_visible_alpha) * 0.08f;
    // A fade out ends at nothing. Left alone it crept down through the subnormal floats, each step on one of
    // them dear on many processors, and stayed on the smallest for good, every frame, for every hidden
    // element. Far below anything drawn or tested, so no picture changes.
    m_visible_alpha = target == 0.0f && next < Faded_Out ? 0.0f : next;
}

bool Scene_UI_Element::Is_Visible() const
{
    return m_visible;
}

void Scene_UI_Element::Set_Visible(bool visible)
{
    m_visible = visible;
}

float Scene_UI_Element::Get_Visible_Alpha() const
{
    return m_visible_alpha;
}

void Scene_UI_Element::Set_Visible_Alpha(float alpha)
{
    m_visible_alpha = alpha;
}

bool Scene_UI_Element::Mouse_Down(const QPoint&)
{
    return false;
}

void Scene_UI_Element::Mouse_Move(const QPoint&) {}

bool Scene_UI_Element::In_View_Pixels() const
{
    return false;
}

QSize Scene_UI_Element::View_Size(QPainter* painter)
{
    const QSize device(painter->device()->width(), painter->device()->height());
    const qreal scale = painter->worldTransform().m11();
    if (!(scale > 1.0))
        return device;
    return QSize(static_cast<int>(device.width() / scale), static_cast<int>(device.height() / scale));
}

void Scene_UI_Element::Mouse_Up(const QPoint&) {}

QColor Scene_UI_Element::Change_Visible_Color(const QColor& color) const
{
    QColor faded(color);
    faded.setAlphaF(color.alphaF() * Get_Visible_Alpha());
    return m_kept == 255 ? faded : Darkened(faded, m_kept);
}

QColor Scene_UI_Element::Change_Visible_Color(int r, int g, int b, int a) const
{
    QColor color;
    color.setRgb(r, g, b, a);
    return Change_Visible_Color(color);
}

void Scene_UI_Element::Draw_Text(QPainter* painter, int x, int y, QColor color, QString text)
{
    painter->setPen(Pen_Of(Change_Visible_Color(0, 0, 0, color.alpha())));
    Draw_Laid_Out_Text(painter, QPointF(x + 2, y + 2), text);
    painter->setPen(Pen_Of(Change_Visible_Color(color)));
    Draw_Laid_Out_Text(painter, QPointF(x, y), text);
}

namespace
{
// The slot of a small kept set that holds what is asked for (kept), else the one used longest ago, to be made
// again.
template <typename Holds> int Kept_Slot(const unsigned* uses, int count, Holds holds, bool& kept)
{
    int oldest = 0;
    for (int i = 0; i < count; ++i)
    {
        if (holds(i))
        {
            kept = true;
            return i;
        }
        if (uses[i] < uses[oldest])
            oldest = i;
    }
    kept = false;
    return oldest;
}
} // namespace

const QPen& Scene_UI_Element::Pen_Of(const QColor& colour)
{
    // A pen never made is black, and draws as a black pen made now would.
    bool kept = false;
    const int found = Kept_Slot(
        m_pen_use, Pen_Count, [&](int i) { return m_pens[i].color() == colour; }, kept);
    if (!kept)
        m_pens[found] = QPen(colour);
    m_pen_use[found] = ++m_pen_uses;
    return m_pens[found];
}

void Scene_UI_Element::Draw_Laid_Out_Text(QPainter* painter, const QPointF& p, const QString& text)
{
    bool kept = false;
    const int found = Kept_Slot(
        m_laid_out_use, Laid_Out_Count, [&](int i) { return m_laid_out[i].text() == text; }, kept);
    if (!kept)
    {
        m_laid_out[found].setTextFormat(Qt::PlainText);
        m_laid_out[found].setText(text);
    }
    m_laid_out_use[found] = ++m_uses;
    if (!kept)
        m_laid_out_made[found] = m_uses;
    QStaticText* laid_out = &m_laid_out[found];
    // A laid out text is placed by its top left corner, its line's ascent
    // (and leading) above the baseline.
    const QFontMetricsF metrics(painter->font());
    const QPointF top_left(p.x(), p.y() - metrics.ascent() - std::max(0.0, metrics.leading()));
    // A text new this frame is drawn straight, which lays it out in the
    // painter's font: its size is known from then on.
    const QPen& pen = painter->pen();
    if (!kept || pen.style() != Qt::SolidLine || pen.brush().style() != Qt::SolidPattern ||
        pen.color().rgba64().alpha() != 65535 || !Text_Layer::Usable(painter))
    {
        painter->drawStaticText(top_left, *laid_out);
        return;
    }
    const quint64 key = static_cast<quint64>(m_laid_out_made[found]) << 32 | pen.color().rgba();
    bool layer_kept = false;
    const int layer = Kept_Slot(
        m_layer_use, Layer_Count, [&](int i) { return m_layers[i].Key() == key; }, layer_kept);
    m_layer_use[layer] = ++m_uses;
    // Room for glyphs that stand out of their advances, as an italic's do.
    const QSizeF size = laid_out->size();
    const qreal aside = size.height() / 4;
    if (QPainter* into =
            m_layers[layer].Begin(painter, QRectF(top_left, size).adjusted(-aside, 0, aside, 0), key))
    {
        into->setPen(pen);
        into->drawStaticText(top_left, *laid_out);
    }
    m_layers[layer].Draw(painter);
}
