#include "Scene_UI_Element.h"

#include <QPainter>
#include <QPen>

Scene_UI_Element::Scene_UI_Element(float visible_alpha) : m_visible(true), m_visible_alpha(visible_alpha) {}

void Scene_UI_Element::Update(float)
{
    const float target = Is_Visible() ? 1.0f : 0.0f;
    m_visible_alpha = m_visible_alpha + (target - m_visible_alpha) * 0.08f;
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

void Scene_UI_Element::Mouse_Up(const QPoint&) {}

QColor Scene_UI_Element::Change_Visible_Color(const QColor& color) const
{
    QColor faded(color);
    faded.setAlphaF(color.alphaF() * Get_Visible_Alpha());
    return faded;
}

QColor Scene_UI_Element::Change_Visible_Color(int r, int g, int b, int a) const
{
    QColor color;
    color.setRgb(r, g, b, a);
    return Change_Visible_Color(color);
}

void Scene_UI_Element::Draw_Text(QPainter* painter, int x, int y, QColor color, QString text)
{
    painter->setPen(QPen(Change_Visible_Color(0, 0, 0, color.alpha())));
    painter->drawText(QPointF(x + 2, y + 2), text);
    painter->setPen(QPen(Change_Visible_Color(color)));
    painter->drawText(QPointF(x, y), text);
}
