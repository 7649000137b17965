// Pursuit_Driver: steers the real Game round its course with mouse events, as a player holding a finger
// would.
#ifndef TAVRELO_PURSUIT_DRIVER_H
#define TAVRELO_PURSUIT_DRIVER_H

#include <QPoint>
#include <QPointF>

#include <functional>

class Game;

// Holds the finger on the point of the centre line a little ahead of the
// craft, as seen on screen (clamped to the view), and advances the game one
// frame at a time with Advance_Frame, so that the run is deterministic. By
// keys, it holds Up and Left or Right while that point is off to one side.
class Pursuit_Driver
{
public:
    explicit Pursuit_Driver(Game& game, float lookahead = 70.0f, bool keys = false);

    // The world point lookahead units along the centre line from the nearest piece.
    QPointF Point_Ahead() const;
    // Where that point is on the view, in pixels.
    QPoint Pixel_Ahead() const;

    void Press();
    void Release();
    // Moves the held finger to the point ahead and runs one frame.
    void Step();
    // Drives until the race ends or max_frames have run, calling after_frame
    // after each; returns the frames run.
    int Drive_Lap(int max_frames, const std::function<void()>& after_frame = nullptr);

private:
    // Presses and releases keys so that exactly those in down are held.
    void Hold_Keys(int down);

    Game& m_game;
    float m_lookahead;
    bool m_keys;
    int m_held; // bits: 1 Up, 2 Left, 4 Right
};

#endif
