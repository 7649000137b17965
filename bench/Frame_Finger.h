// Frame_Finger: moves the bench's finger at the start of each of the game's frames, on the frame's own wake.
#ifndef TAVRELO_FRAME_FINGER_H
#define TAVRELO_FRAME_FINGER_H

#include <QObject>

class Bench_Driver;

// Installed on the game's view, whose frame timer's events it sees before the
// game runs the frame. A timer of the bench's own would wake the process once
// more a tick, and that wake, which a player's finger does not cost, would be
// counted as the game's.
class Frame_Finger : public QObject
{
public:
    Frame_Finger(QObject* game_view, Bench_Driver& driver);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Bench_Driver& m_driver;
};

#endif
