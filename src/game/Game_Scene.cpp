#include "Game_Scene.h"

#include "Scene_UI_Element.h"

#include <QPainter>

namespace
{
// A UI element this faint is not drawn at all.
constexpr float Min_Drawn_Alpha = 0.02f;
} // namespace

Game_Scene::Game_Scene() : QGraphicsScene(nullptr), m_mouse_owner(nullptr), m_ui_scale(1.0) {}

Game_Scene::~Game_Scene() = default;

void Game_Scene::drawBackground(QPainter*, const QRectF&) {}

void Game_Scene::drawForeground(QPainter* painter, const QRectF&)
{
    Draw_Passes(painter);
}

void Game_Scene::Draw_Passes(QPainter* painter)
{
    painter->save();
    painter->setTransform(m_world_to_screen, false);
    // Sizes are read on every step: an element may be added while drawing.
    for (size_t i = 0; i < m_world_elements.size(); ++i)
    {
        painter->save();
        m_world_elements[i]->Draw(painter);
        painter->restore();
    }
    painter->restore();

    painter->save();
    painter->setTransform(m_ui_scale > 1.0 ? QTransform::fromScale(m_ui_scale, m_ui_scale) : QTransform(),
                          false);
    for (size_t i = 0; i < m_ui_elements.size(); ++i)
    {
        painter->save();
        if (m_ui_elements[i]->Get_Visible_Alpha() > Min_Drawn_Alpha)
            m_ui_elements[i]->Draw(painter);
        painter->restore();
    }
    painter->restore();
}

QPoint Game_Scene::To_Element(const Scene_UI_Element* element, const QPoint& p) const
{
    if (!(m_ui_scale > 1.0) || element->In_View_Pixels())
        return p;
    return QPoint(static_cast<int>(p.x() / m_ui_scale), static_cast<int>(p.y() / m_ui_scale));
}

void Game_Scene::Press(const QPoint& p)
{
    // A press that never saw its release ends here, at the new press's position.
    if (m_mouse_owner)
    {
        m_mouse_owner->Mouse_Up(To_Element(m_mouse_owner, p));
        m_mouse_owner = nullptr;
    }
    // Last first: the later an element is in the list, the higher its priority.
    for (size_t i = m_ui_elements.size(); i-- > 0;)
    {
        Scene_UI_Element* element = m_ui_elements[i];
        if (!element->Is_Visible())
            continue;
        if (element->Mouse_Down(To_Element(element, p)))
        {
            m_mouse_owner = element;
            return;
        }
    }
}

void Game_Scene::Move(const QPoint& p)
{
    if (m_mouse_owner)
        m_mouse_owner->Mouse_Move(To_Element(m_mouse_owner, p));
}

void Game_Scene::Release(const QPoint& p)
{
    if (m_mouse_owner)
        m_mouse_owner->Mouse_Up(To_Element(m_mouse_owner, p));
    m_mouse_owner = nullptr;
}

void Game_Scene::Cancel_Press()
{
    if (m_mouse_owner)
        m_mouse_owner->Mouse_Up(QPoint(-999, -999));
    m_mouse_owner = nullptr;
}
