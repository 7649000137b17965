// Movement_Control: keeps the held touch that the race turns into the two thrusts steering the ship towards
// it.
#ifndef TAVRELO_MOVEMENT_CONTROL_H
#define TAVRELO_MOVEMENT_CONTROL_H

#include "Input_Track.h"
#include "Scene_UI_Element.h"

#include <QPoint>
#include <QSize>
#include <QTransform>

class Ship;

class Movement_Control : public Scene_UI_Element
{
public:
    // The thrust on each end of the craft for a touch this far away, or further, in world units.
    static constexpr float Max_Thrust = 90.0f;

    Movement_Control();

    // This frame's input for the race (Race::Step), for a view of this size.
    Input_Frame Input(const QSize& view) const;
    // The steering step itself, with no widget: the thrusts for a touch held
    // (or not) at view pixel touch, mapped through the camera's screen_to_world.
    static void Thrusts(const QTransform& screen_to_world, const Ship& ship, bool pressed,
                        const QPoint& touch, float& left, float& right);
    void Draw(QPainter* painter) override;

    // The steering maps a touch through the camera, in the view's own pixels.
    bool In_View_Pixels() const override;
    bool Mouse_Down(const QPoint& p) override;
    void Mouse_Move(const QPoint& p) override;
    void Mouse_Up(const QPoint& p) override;

    bool m_pressed;
    QPoint m_touch;
};

#endif
