// Tick_Meter: the CPU time a ticking window costs per painted frame, printed once it has been measured.
#ifndef TAVRELO_TICK_METER_H
#define TAVRELO_TICK_METER_H

#include "Surface_Choice.h"

#include <QObject>

class QWidget;

// Installed on a viewport. After a warm-up (the window going full screen, the
// OpenGL driver compiling its shaders) it counts the viewport's paints and the
// process's CPU time, every thread of it (a software OpenGL driver renders in
// threads of its own), for the given time; then it prints one line,
//   ticks N, size WxH, wall S s, cpu per tick T ms, surface opengl|raster, sound U ms
// (U: the part of T spent on the sound's thread) and ends the process.
class Tick_Meter : public QObject
{
public:
    Tick_Meter(QWidget* viewport, double seconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Start();
    void Report();

    bool m_counting;
    int m_paints;
    double m_cpu_start;
    double m_sound_start;
    double m_wall_start;
};

// Reads "--tick SECONDS" from the command line: the seconds, or 0 without it.
double Tick_Seconds(int argc, char** argv);
// Reads "--renderer auto|opengl|raster": what the window is asked to paint through.
Surface_Choice::Renderer Bench_Renderer(int argc, char** argv);

#endif
