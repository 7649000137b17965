// Bench_Driver: drives the real Game round its course frame by frame, touching through the scene's routing.
#ifndef TAVRELO_BENCH_DRIVER_H
#define TAVRELO_BENCH_DRIVER_H

#include <QPoint>
#include <QPointF>

class Game;

// Holds the finger on the centre line a little ahead of the craft, as a
// player would. Touches go straight to the scene's routing (what the view's
// mouse handlers call), so a measured frame carries no Qt event dispatch.
class Bench_Driver
{
public:
    explicit Bench_Driver(Game& game, float lookahead = 70.0f);

    // A new race on the current course, with the finger down.
    void Start_Race();
    // Moves the finger and runs one frame of logic. False once the race is over.
    bool Step();
    // Between the game's own frames: moves the finger, or starts a new race
    // once the last one is over.
    void Keep_Racing();
    // Starts a race and drives until it ends or max_frames have run; returns the frames run.
    int Drive_Lap(int max_frames);

    // Lays the buttons out, and points the camera, as for a screen of w x h pixels.
    void Lay_Out_For(int w, int h);

private:
    QPointF Point_Ahead() const;
    QPoint Pixel_Ahead() const;

    Game& m_game;
    float m_lookahead;
};

#endif
