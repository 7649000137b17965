// Key_Steering: turns held keys or a pad's stick into the point a finger would hold, placed from the craft's
// pose.
#ifndef TAVRELO_KEY_STEERING_H
#define TAVRELO_KEY_STEERING_H

#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QTransform>

class Key_Steering
{
public:
    // What the player asks for, whatever the device: a drive button, a let-go
    // button, and a direction (x to the right, y ahead, each in [-1, 1]).
    struct Intent
    {
        bool drive = false;
        bool let_go = false;
        float x = 0.0f;
        float y = 0.0f;
    };
    // The craft as the camera last laid it out.
    struct Pose
    {
        QPointF position;
        QPointF direction;
        QTransform world_to_screen;
        QSize view;
    };
    // A stick nearer its centre than this is at rest.
    static constexpr float Rest = 0.2f;

    struct Touch
    {
        bool pressed = false;
        QPoint point;
    };

    // The arrows and W, A, S, D held (each side cancels its opposite).
    static Intent From_Keys(bool up, bool down, bool left, bool right);
    // The finger this intent stands for on a view laid out as in pose.
    static Touch Place(const Intent& intent, const Pose& pose);

    // Holds the steering keys down and up; true for a key that steers.
    bool Press(int key);
    bool Release(int key);
    void Let_Go_All();
    bool Any_Held() const;
    Intent Held_Intent() const;

private:
    enum Held_Key
    {
        Up = 1,
        Down = 2,
        Left = 4,
        Right = 8,
    };
    static int Bit_Of(int key);
    int m_held = 0;
};

#endif
