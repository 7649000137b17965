// Movement_Control: turns the held touch into the two thrusts that steer the ship towards it.
#ifndef TAVRELO_MOVEMENT_CONTROL_H
#define TAVRELO_MOVEMENT_CONTROL_H

#include "Scene_UI_Element.h"

#include <QPoint>
#include <QTransform>

class Ship;

class Movement_Control : public Scene_UI_Element
{
public:
    // Neither pointer is owned; both outlive the control. screen_to_world is
    // the camera the view drew its last frame with.
    Movement_Control(const QTransform* screen_to_world, Ship* ship);

    void Update(float step) override;
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

    const QTransform* m_screen_to_world;
    Ship* m_ship;
    bool m_pressed;
    QPoint m_touch;
    float m_left_thrust;
    float m_right_thrust;
};

#endif
