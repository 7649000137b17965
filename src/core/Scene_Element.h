// Scene_Element: the abstract base of everything the game updates and paints.
#ifndef TAVRELO_SCENE_ELEMENT_H
#define TAVRELO_SCENE_ELEMENT_H

class QPainter;

class Scene_Element
{
public:
    virtual ~Scene_Element() = default;
    // One fixed frame step, in seconds (the frame loop always passes 1/60).
    // Nothing by default: the world moves in the race's step alone.
    virtual void Update(float) {}
    // Paints only; never changes state.
    virtual void Draw(QPainter* painter) = 0;
};

#endif
