#include "Tick_Meter.h"

#include "Qt_Bridge.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <dirent.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace
{
constexpr int Warm_Up_Ms = 1500;

double Cpu_Seconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The time on a core of the threads PulseAudio's library plays the game's sound on, from the kernel's
// scheduler statistics: the share of a tick that an empty view, which plays nothing, does not have.
double Sound_Thread_Seconds()
{
    double seconds = 0.0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return 0.0;
    while (const dirent* task = readdir(tasks))
    {
        if (task->d_name[0] == '.')
            continue;
        const std::string folder = std::string("/proc/self/task/") + task->d_name;
        std::string name;
        std::getline(std::ifstream(folder + "/comm"), name);
        if (name != "threaded-ml")
            continue;
        double on_core_ns = 0.0;
        if (std::ifstream(folder + "/schedstat") >> on_core_ns)
            seconds += on_core_ns * 1e-9;
    }
    closedir(tasks);
    return seconds;
}

double Wall_Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

Tick_Meter::Tick_Meter(QWidget* viewport, double seconds)
    : QObject(viewport), m_counting(false), m_paints(0), m_cpu_start(0.0), m_sound_start(0.0),
      m_wall_start(0.0)
{
    viewport->installEventFilter(this);
    QTimer::singleShot(Warm_Up_Ms, this, [this] { Start(); });
    QTimer::singleShot(Warm_Up_Ms + static_cast<int>(seconds * 1000.0), this, [this] { Report(); });
}

bool Tick_Meter::eventFilter(QObject*, QEvent* event)
{
    if (m_counting && event->type() == QEvent::Paint)
        ++m_paints;
    return false;
}

void Tick_Meter::Start()
{
    m_counting = true;
    m_paints = 0;
    m_cpu_start = Cpu_Seconds();
    m_sound_start = Sound_Thread_Seconds();
    m_wall_start = Wall_Seconds();
}

void Tick_Meter::Report()
{
    const double cpu = Cpu_Seconds() - m_cpu_start;
    const double sound = Sound_Thread_Seconds() - m_sound_start;
    const double wall = Wall_Seconds() - m_wall_start;
    if (m_paints == 0)
    {
        std::fprintf(stderr, "no frame was painted while measuring\n");
        std::_Exit(1);
    }
    const QWidget* viewport = static_cast<const QWidget*>(parent());
    std::printf("ticks %d, size %dx%d, wall %.2f s, cpu per tick %.3f ms, surface %s, sound %.3f ms\n",
                m_paints, viewport->width(), viewport->height(), wall, cpu * 1000.0 / m_paints,
                Qt_Bridge::Is_GL_Viewport(viewport) ? "opengl" : "raster", sound * 1000.0 / m_paints);
    std::fflush(stdout);
    std::_Exit(0);
}

double Tick_Seconds(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--tick") == 0)
            return std::atof(argv[i + 1]);
    return 0.0;
}

Surface_Choice::Renderer Bench_Renderer(int argc, char** argv)
{
    Surface_Choice::Renderer renderer = Surface_Choice::Renderer::Auto;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--renderer") == 0 &&
            !Surface_Choice::Parse(QString::fromLocal8Bit(argv[i + 1]), &renderer))
        {
            std::fprintf(stderr, "unknown renderer '%s': choose %s\n", argv[i + 1],
                         qPrintable(Surface_Choice::Choices()));
            std::exit(2);
        }
    return renderer;
}
