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
// frame at a time with Advance_Frame, so that the run is deterministic.
class Pursuit_Driver
{
public:
    explicit Pursuit_Driver(Game& game, float lookahead = 70.0f);

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
    Game& m_game;
    float m_lookahead;
};

#endif
