// Pace_Meter: how a racing window keeps time: steps per second, steps per shown frame, frame intervals, CPU.
#ifndef TAVRELO_PACE_METER_H
#define TAVRELO_PACE_METER_H

#include <QObject>

#include <cstdint>
#include <vector>

class QWidget;

// Installed on a viewport. After a warm-up it notes, at each paint, the time
// and how many steps the game has run, for the given time; then it prints one
// line and ends the process:
//   pace S steps/s, frames N, not one P %, refresh not one Q %, p50 A ms, p99 B ms, cpu C, size WxH, surface
//   X
// "not one": shown frames that brought no new step or two and more; "refresh
// not one" the same for the refreshes of an ideal 60 Hz screen that shows the
// newest painted frame at each refresh (the mean over eight phases of it).
// cpu is the process's CPU time (every thread) per second of wall time.
class Pace_Meter : public QObject
{
public:
    // steps: the game's count of steps run; null for a loop that ran one step per painted frame.
    Pace_Meter(QWidget* viewport, const qint64* steps, double seconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Start();
    void Report();

    const qint64* m_steps;
    bool m_counting;
    int64_t m_paints;
    double m_cpu_start;
    int64_t m_wall_start;
    int64_t m_steps_start;
    // At each paint: nanoseconds since the start, and the steps run since.
    std::vector<int64_t> m_times;
    std::vector<int64_t> m_step_counts;
};

// Reads "--pace SECONDS" from the command line: the seconds, or 0 without it.
double Pace_Seconds(int argc, char** argv);

#endif
