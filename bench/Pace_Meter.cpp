#include "Pace_Meter.h"

#include "Qt_Bridge.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr int Warm_Up_Ms = 1500;
constexpr int Phases = 8;
constexpr double Refresh_Ns = 1e9 / 60.0;

double Cpu_Seconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int64_t Wall_Ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Percentile(std::vector<int64_t> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t at =
        std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
    return static_cast<double>(values[at]);
}
} // namespace

Pace_Meter::Pace_Meter(QWidget* viewport, const qint64* steps, double seconds)
    : QObject(viewport), m_steps(steps), m_counting(false), m_paints(0), m_cpu_start(0.0), m_wall_start(0),
      m_steps_start(0)
{
    viewport->installEventFilter(this);
    QTimer::singleShot(Warm_Up_Ms, this, [this] { Start(); });
    QTimer::singleShot(Warm_Up_Ms + static_cast<int>(seconds * 1000.0), this, [this] { Report(); });
}

bool Pace_Meter::eventFilter(QObject*, QEvent* event)
{
    if (!m_counting || event->type() != QEvent::Paint)
        return false;
    ++m_paints;
    m_times.push_back(Wall_Ns() - m_wall_start);
    m_step_counts.push_back(m_steps != nullptr ? *m_steps - m_steps_start : m_paints);
    return false;
}

void Pace_Meter::Start()
{
    m_counting = true;
    m_paints = 0;
    m_steps_start = m_steps != nullptr ? *m_steps : 0;
    m_cpu_start = Cpu_Seconds();
    m_wall_start = Wall_Ns();
}

void Pace_Meter::Report()
{
    const double cpu = Cpu_Seconds() - m_cpu_start;
    const int64_t wall = Wall_Ns() - m_wall_start;
    const int64_t steps = m_steps != nullptr ? *m_steps - m_steps_start : m_paints;
    const size_t frames = m_times.size();
    if (frames < 2)
    {
        std::fprintf(stderr, "fewer than two frames were painted while measuring\n");
        std::_Exit(1);
    }
    std::vector<int64_t> intervals;
    int64_t not_one = 0;
    for (size_t i = 1; i < frames; ++i)
    {
        intervals.push_back(m_times[i] - m_times[i - 1]);
        not_one += m_step_counts[i] - m_step_counts[i - 1] != 1 ? 1 : 0;
    }

    // The newest painted frame at each refresh of an ideal 60 Hz screen, from
    // the first paint to the last, the screen's phase taken at eight points.
    int64_t refreshes = 0;
    int64_t refresh_not_one = 0;
    for (int phase = 0; phase < Phases; ++phase)
    {
        size_t newest = 0;
        int64_t shown = m_step_counts[0];
        for (double at = static_cast<double>(m_times[0]) + Refresh_Ns * (1.0 + phase / double(Phases));
             at <= static_cast<double>(m_times[frames - 1]); at += Refresh_Ns)
        {
            while (newest + 1 < frames && static_cast<double>(m_times[newest + 1]) <= at)
                ++newest;
            refresh_not_one += m_step_counts[newest] - shown != 1 ? 1 : 0;
            shown = m_step_counts[newest];
            ++refreshes;
        }
    }

    const QWidget* viewport = static_cast<const QWidget*>(parent());
    std::printf(
        "pace %.3f steps/s, frames %zu, not one %.2f %%, refresh not one %.2f %%, p50 %.2f ms, p99 %.2f ms, "
        "cpu %.3f, size %dx%d, surface %s\n",
        static_cast<double>(steps) * 1e9 / static_cast<double>(wall), frames,
        100.0 * static_cast<double>(not_one) / static_cast<double>(frames - 1),
        100.0 * static_cast<double>(refresh_not_one) / static_cast<double>(std::max<int64_t>(refreshes, 1)),
        Percentile(intervals, 0.5) / 1e6, Percentile(intervals, 0.99) / 1e6,
        cpu * 1e9 / static_cast<double>(wall), viewport->width(), viewport->height(),
        Qt_Bridge::Is_GL_Viewport(viewport) ? "opengl" : "raster");
    std::fflush(stdout);
    std::_Exit(0);
}

double Pace_Seconds(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--pace") == 0)
            return std::atof(argv[i + 1]);
    return 0.0;
}
