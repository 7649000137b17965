#include "Frame_Pacer.h"

#include <algorithm>
#include <cmath>

namespace
{
// One step of lag, in nanoseconds times the steps per second.
constexpr int64_t Step = 1000000000;
// A frame starts half a step into its step: a screen at the step rate then
// shows one step a frame however its frames jitter, up to half a step each way.
constexpr int64_t Start_Lag = Step / 2;
// On a screen at the step rate the lag may stray this far past either end of
// a step before a frame runs no step or two. A screen a little off 60 Hz
// (59.94) then needs one such frame every thousand, not a burst of them each
// time its drift crosses a step with the frames' jitter on top.
constexpr int64_t Lock_Slack = Step / 4;
// Screens this close to the step rate run one step a frame.
constexpr double Lock_Hz = 3.0;
// Faster than this, frames between steps are worth drawing blended (75 Hz and up).
constexpr double Blend_Above_Hz = 65.0;
constexpr double Min_Refresh_Hz = 20.0;
constexpr double Max_Refresh_Hz = 1000.0;
// Drawn frames sooner than this share of the screen's period, counted up
// one by one and down on each frame that is not: a swap that really waits
// (frames a whole number of periods apart, give or take a millisecond or two)
// never gets to the limit, one that does not gets there within a few frames,
// even when drawing a frame takes most of a period.
constexpr double Quick_Share = 0.8;
constexpr int Quick_Frames_Limit = 10;

int64_t Floor_Div(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}
} // namespace

double Frame_Pacer::Sane_Refresh_Rate(double reported)
{
    // Written so that a NaN fails the test too.
    if (!(reported >= Min_Refresh_Hz && reported <= Max_Refresh_Hz))
        return Default_Refresh_Rate;
    return reported;
}

Frame_Pacer::Frame_Pacer(double refresh_rate)
    : m_refresh_rate(Sane_Refresh_Rate(refresh_rate)), m_interpolation(true), m_trust_swap(false),
      m_quick_frames(0), m_last_frame(0), m_lag(Start_Lag), m_dropped(0), m_grid_origin(0)
{
}

void Frame_Pacer::Set_Refresh_Rate(double reported)
{
    m_refresh_rate = Sane_Refresh_Rate(reported);
    m_grid_origin = m_last_frame;
}

bool Frame_Pacer::Blends() const
{
    return m_interpolation && m_refresh_rate > Blend_Above_Hz;
}

void Frame_Pacer::Trust_Swap(bool trust)
{
    m_trust_swap = trust;
    m_quick_frames = 0;
}

void Frame_Pacer::Restart(int64_t now)
{
    m_last_frame = now;
    m_lag = Start_Lag;
    m_grid_origin = now;
}

Frame_Pacer::Plan Frame_Pacer::Frame(int64_t now)
{
    int64_t delta = now - m_last_frame;
    m_last_frame = now;
    if (delta < 0)
    {
        // A clock that went back: no time has passed, and the grid starts again here.
        delta = 0;
        m_grid_origin = now;
    }
    else if (delta > Stall_Ns)
    {
        // As if the race had been held for the stall and went on with this
        // frame: it runs what one refresh would. A machine whose every frame
        // takes that long still races, slowly, rather than standing still.
        const int64_t refresh = std::llround(1e9 / m_refresh_rate);
        m_dropped += delta - refresh;
        delta = refresh;
    }

    if (m_trust_swap)
    {
        const double period = 1e9 / m_refresh_rate;
        if (static_cast<double>(delta) < Quick_Share * period)
            ++m_quick_frames;
        else if (m_quick_frames > 0)
            --m_quick_frames;
        if (m_quick_frames >= Quick_Frames_Limit)
            Trust_Swap(false);
    }

    m_lag += delta * Steps_Per_Second;
    int64_t steps = std::max<int64_t>(Floor_Div(m_lag, Step), 0);
    if (std::fabs(m_refresh_rate - Steps_Per_Second) <= Lock_Hz && m_lag >= Step - Lock_Slack &&
        m_lag < 2 * Step + Lock_Slack)
        steps = 1;
    if (steps > Max_Steps_Per_Frame)
    {
        const int64_t dropped = steps - Max_Steps_Per_Frame;
        m_dropped += dropped * Step / Steps_Per_Second;
        m_lag -= dropped * Step;
        steps = Max_Steps_Per_Frame;
    }
    m_lag -= steps * Step;

    const bool blend = Blends();
    return Plan{static_cast<int>(steps), steps > 0 || blend || m_trust_swap, blend};
}

float Frame_Pacer::Blend() const
{
    const double t = static_cast<double>(m_lag) / static_cast<double>(Step);
    return static_cast<float>(std::min(std::max(t, 0.0), 1.0));
}

int64_t Frame_Pacer::Next_Frame_In(int64_t now, bool drawn)
{
    if (drawn && m_trust_swap)
        return 0;
    // The refresh after the one the last frame was meant for: the grid point
    // more than half a period after it, so a frame a little early or late
    // neither comes twice nor skips one.
    const double period = 1e9 / m_refresh_rate;
    const double at = static_cast<double>(m_last_frame - m_grid_origin) / period;
    const double next = std::floor(at + 0.5) + 1.0;
    const int64_t due = m_grid_origin + std::llround(next * period);
    return std::max<int64_t>(due - now, 0);
}
