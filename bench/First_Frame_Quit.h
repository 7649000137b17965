// First_Frame_Quit: ends the process as soon as the widget it watches has painted its first frame.
#ifndef TAVRELO_FIRST_FRAME_QUIT_H
#define TAVRELO_FIRST_FRAME_QUIT_H

#include <QObject>

// Installed on a viewport. The paint event goes through as usual; the exit is
// queued behind it, so it comes once the frame has been painted and handed
// over. The exit skips the teardown: what is timed is start to first frame.
class First_Frame_Quit : public QObject
{
public:
    explicit First_Frame_Quit(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_painted;
};

// Waits this long for a first frame before giving up with a failure.
constexpr int First_Frame_Timeout_Ms = 20000;

#endif
