// Game_Scene: the element lists, the camera transforms, the two drawing passes and the touch routing.
#ifndef TAVRELO_GAME_SCENE_H
#define TAVRELO_GAME_SCENE_H

#include "Scene_UI_Element.h"

#include <QGraphicsScene>
#include <QPoint>
#include <QTransform>

#include <type_traits>
#include <typeinfo>
#include <vector>

// Holds no graphics items: everything is painted by hand in the foreground
// pass. The lists do not own their elements; Game does.
class Game_Scene : public QGraphicsScene
{
public:
    Game_Scene();
    ~Game_Scene() override;

    // Both passes: the world list under the camera, then the visible UI list in viewport pixels.
    void Draw_Passes(QPainter* painter);

    // Touch routing, in viewport pixels. Left-button events only; the view filters the rest.
    void Press(const QPoint& p);
    void Move(const QPoint& p);
    void Release(const QPoint& p);
    // Ends a press in progress at a point outside every element (on a change of state).
    void Cancel_Press();

    // Sets the world list, in drawing order. The world moves in the race's
    // step alone, which a lap's proof replays: an element with a frame's
    // update of its own would move apart from it, so none is called.
    template <typename... Elements> void Set_World_Elements(Elements*... elements)
    {
        static_assert((std::is_same_v<decltype(&Elements::Update), void (Scene_Element::*)(float)> && ...),
                      "the world moves in the race's step: a world element has no Update of its own");
        m_world_elements = {elements...};
    }

    // Sets the UI list, in drawing order, and marks each element whose type
    // updates nothing but its fade, so that a frame need not ask its table.
    template <typename... Elements> void Set_UI_Elements(Elements*... elements)
    {
        m_ui_elements = {elements...};
        (Mark_Fade_Only(elements), ...);
    }

    std::vector<Scene_Element*> m_world_elements;
    std::vector<Scene_UI_Element*> m_ui_elements;
    Scene_UI_Element* m_mouse_owner;
    QTransform m_world_to_screen;
    QTransform m_screen_to_world;
    // View pixels per UI pixel: the UI drawn larger on a large screen (never below 1).
    qreal m_ui_scale;

private:
    template <typename Element> static void Mark_Fade_Only(Element* element)
    {
        // &Element::Update is a member of whichever class declared the Update
        // Element has: the fade's own class when none below it declares one.
        // Only for an object of that very type: one derived further may.
        element->m_fade_only =
            std::is_same_v<decltype(&Element::Update), void (Scene_UI_Element::*)(float)> &&
            typeid(*element) == typeid(Element);
    }

    // The first drawn UI element that darkens all under it, where every
    // element drawn under it can darken its own colours; else the UI's size.
    size_t Darkening_Plane() const;

    // A touch in view pixels as the element takes it.
    QPoint To_Element(const Scene_UI_Element* element, const QPoint& p) const;

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
};

#endif
