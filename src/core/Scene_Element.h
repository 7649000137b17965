// Scene_Element: the abstract base of everything the game updates and paints.
#ifndef TAVRELO_SCENE_ELEMENT_H
#define TAVRELO_SCENE_ELEMENT_H

class QPainter;

class Scene_Element
{
public:
    virtual ~Scene_Element() = default;
    // One fixed frame step, in seconds (the frame loop always passes 1/60).
    virtual void Update(float step) = 0;
    // Paints only; never changes state.
    virtual void Draw(QPainter* painter) = 0;
};

#endif
