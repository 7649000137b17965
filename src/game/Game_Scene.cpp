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
    // Each element starts from the painter as it came, but the state is put
    // back by hand rather than with save() and restore(): those allocate a new
    // state each time, twenty-odd times a frame. What the elements change is
    // the transform, the pen and the brush; one that clips puts its clip back itself.
    const QTransform came_transform = painter->worldTransform();
    const QPen came_pen = painter->pen();
    const QBrush came_brush = painter->brush();
    const auto put_back = [&](const QTransform& transform)
    {
        painter->setTransform(transform, false);
        painter->setPen(came_pen);
        painter->setBrush(came_brush);
    };

    // A plane that darkens the whole view evenly (the menu's) is a blend of
    // every pixel on the screen, most of a repaint's work on a large one.
    // Where all drawn under it can, they draw in darker colours instead, and
    // the plane is left out: the same picture, but where colours blend
    // (translucent and anti-aliased pixels), which round a little otherwise.
    const size_t plane = Darkening_Plane();
    const int kept = plane < m_ui_elements.size() ? m_ui_elements[plane]->Kept_Under() : 255;

    // Sizes are read on every step: an element may be added while drawing.
    for (size_t i = 0; i < m_world_elements.size(); ++i)
    {
        put_back(m_world_to_screen);
        m_world_elements[i]->m_kept = kept;
        m_world_elements[i]->Draw(painter);
    }

    const QTransform ui_transform =
        m_ui_scale > 1.0 ? QTransform::fromScale(m_ui_scale, m_ui_scale) : QTransform();
    for (size_t i = 0; i < m_ui_elements.size(); ++i)
    {
        m_ui_elements[i]->m_kept = i < plane ? kept : 255;
        if (i != plane && m_ui_elements[i]->Get_Visible_Alpha() > Min_Drawn_Alpha)
        {
            put_back(ui_transform);
            m_ui_elements[i]->Draw(painter);
        }
    }
    put_back(came_transform);
}

size_t Game_Scene::Darkening_Plane() const
{
    const size_t none = m_ui_elements.size();
    for (size_t i = 0; i < m_ui_elements.size(); ++i)
    {
        if (!(m_ui_elements[i]->Get_Visible_Alpha() > Min_Drawn_Alpha))
            continue;
        if (m_ui_elements[i]->Kept_Under() != 255)
        {
            for (const Scene_Element* element : m_world_elements)
                if (!element->Can_Darken())
                    return none;
            return i;
        }
        if (!m_ui_elements[i]->Can_Darken())
            return none;
    }
    return none;
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
