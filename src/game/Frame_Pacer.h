// Frame_Pacer: how many fixed race steps each shown frame runs, and when the next frame is due, from a
// monotonic clock.
#ifndef TAVRELO_FRAME_PACER_H
#define TAVRELO_FRAME_PACER_H

#include <cstdint>

// Holds no clock of its own: the caller reads a monotonic clock (nanoseconds)
// and hands the times in, so the rule can be run against any sequence of
// frame times. The steps keep to wall time on average, 60 to the second,
// whatever the screen's rate; a frame never runs more than a few of them, and
// time lost in a stall or a hold is dropped rather than raced through.
class Frame_Pacer
{
public:
    static constexpr int Steps_Per_Second = 60;
    // Past this the race slows down: catching up would cost more frames still.
    static constexpr int Max_Steps_Per_Frame = 4;
    // A gap longer than this between two frames is a stall (a suspended
    // machine, a dragged window, a debugger), not a slow frame: the frame
    // after it runs as if it came one refresh after the last.
    static constexpr int64_t Stall_Ns = 250000000;
    static constexpr double Default_Refresh_Rate = 60.0;

    // What a frame does: the steps to run before it is drawn, whether to draw
    // it at all, and whether it is drawn between the last two steps.
    struct Plan
    {
        int steps;
        bool draw;
        bool blend;
    };

    // A rate the platform reports, made usable: 0, negative, not a number or
    // beyond any real screen means it does not know, and 60 is taken.
    static double Sane_Refresh_Rate(double reported);

    explicit Frame_Pacer(double refresh_rate = Default_Refresh_Rate);

    void Set_Refresh_Rate(double reported);
    double Refresh_Rate() const { return m_refresh_rate; }
    // Drawing between steps, on a screen faster than the steps; on by default.
    void Set_Interpolation(bool on) { m_interpolation = on; }
    // Whether frames are drawn between steps: interpolation on, and a screen
    // clearly faster than 60 Hz.
    bool Blends() const;
    // Whether a drawn frame's buffer swap is taken to wait for the screen
    // (OpenGL with a swap interval of 1). Frames then follow one another at
    // once; if they come far faster than the screen refreshes, the swap does
    // not wait after all, and the pacer goes back to its own timing.
    void Trust_Swap(bool trust);
    bool Swap_Paces() const { return m_trust_swap; }

    // From now on time counts; whatever passed before (a hold, the start) is dropped.
    void Restart(int64_t now);
    // A frame at time now: what it runs and draws.
    Plan Frame(int64_t now);
    // Where the last frame lies between the last two steps: 0 at the one
    // before, 1 at the last.
    float Blend() const;
    // Nanoseconds from now to the next frame, after the last one was or was not
    // drawn: at once after a drawn frame whose swap waits for the screen, else
    // at the next refresh.
    int64_t Next_Frame_In(int64_t now, bool drawn);

    // Time given up so far to stalls, clocks going back and the step cap.
    int64_t Dropped_Ns() const { return m_dropped; }

private:
    double m_refresh_rate;
    bool m_interpolation;
    bool m_trust_swap;
    // Frames in a row, roughly, that came too soon for a swap that waits.
    int m_quick_frames;
    int64_t m_last_frame;
    // Wall time not yet raced, in nanoseconds times Steps_Per_Second: one step is exactly 10^9 of these.
    int64_t m_lag;
    int64_t m_dropped;
    // Where the refresh grid starts that frames are timed on when nothing else paces them.
    int64_t m_grid_origin;
};

#endif
