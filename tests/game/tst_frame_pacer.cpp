// The frame loop's pacing with a clock the test feeds: steps per frame on every kind of screen and machine.
#include "Frame_Pacer.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace
{
constexpr int64_t Ms = 1000000;

// A run of frames: every interval apart, moved by up to jitter either way,
// with one event at frame event_at: a stall (event_ns > 0, the frame comes
// that much later) or a clock set back (event_ns < 0).
struct Run
{
    int frames = 0;
    int64_t steps = 0;
    int most_in_a_frame = 0;
    int not_one = 0; // frames that ran no step, or two or more
    double wall_raced_ns = 0.0;
    int64_t event_gap = 0;
    bool blends_in_range = true;
};

Run Feed(Frame_Pacer& pacer, double interval_ns, int frames, int64_t jitter, int event_at, int64_t event_ns)
{
    Run run;
    quint32 seed = 7;
    int64_t shift = 0;
    int64_t previous = 0;
    pacer.Restart(0);
    for (int i = 1; i <= frames; ++i)
    {
        if (i == event_at)
            shift += event_ns;
        seed = seed * 1103515245u + 12345u;
        const int64_t wobble = jitter == 0 ? 0 : int64_t(seed >> 8) % (2 * jitter + 1) - jitter;
        const int64_t now = std::llround(i * interval_ns) + wobble + shift;
        const Frame_Pacer::Plan plan = pacer.Frame(now);
        if (i != event_at)
            run.wall_raced_ns += double(now - previous);
        else
            run.event_gap = now - previous;
        previous = now;
        run.steps += plan.steps;
        run.most_in_a_frame = std::max(run.most_in_a_frame, plan.steps);
        run.not_one += plan.steps != 1 ? 1 : 0;
        run.blends_in_range = run.blends_in_range && pacer.Blend() >= 0.0f && pacer.Blend() <= 1.0f;
        ++run.frames;
    }
    return run;
}
} // namespace

class Test_Frame_Pacer : public QObject
{
    Q_OBJECT

private slots:
    // Steps keep to wall time (60 a second, the gap of a stall or a clock set
    // back left out), within a step or two over the run.
    void steps_follow_wall_time_whatever_the_frames_data()
    {
        QTest::addColumn<double>("rate");     // reported refresh rate
        QTest::addColumn<double>("interval"); // real time between frames, ms
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("jitter_ms");
        QTest::addColumn<int>("event_at");
        QTest::addColumn<int>("event_ms");
        QTest::addColumn<int>("most");          // most steps in one frame
        QTest::addColumn<int>("not_one");       // most frames with no step or two and more
        QTest::addColumn<double>("per_second"); // steps per second of wall time raced
        QTest::newRow("60 Hz steady") << 60.0 << 1000.0 / 60 << 3600 << 0 << 0 << 0 << 1 << 0 << 60.0;
        QTest::newRow("60 Hz, frames 2 ms late or early")
            << 60.0 << 1000.0 / 60 << 3600 << 2 << 0 << 0 << 1 << 0 << 60.0;
        // A thousandth slower than the steps: one frame in a thousand has none.
        QTest::newRow("59.94 Hz, a minute")
            << 59.94 << 1000.0 / 59.94 << 3596 << 1 << 0 << 0 << 2 << 4 << 60.0;
        QTest::newRow("60.06 Hz, a minute")
            << 60.06 << 1000.0 / 60.06 << 3604 << 1 << 0 << 0 << 1 << 4 << 60.0;
        QTest::newRow("144 Hz") << 144.0 << 1000.0 / 144 << 8640 << 1 << 0 << 0 << 1 << 5200 << 60.0;
        QTest::newRow("slow machine, 20 ms frames")
            << 60.0 << 20.0 << 3000 << 1 << 0 << 0 << 2 << 700 << 60.0;
        // Frames further apart than four steps: four a frame, the race slows down.
        QTest::newRow("very slow machine, 100 ms frames")
            << 60.0 << 100.0 << 600 << 0 << 0 << 0 << 4 << 600 << 40.0;
        QTest::newRow("2 s stall") << 60.0 << 1000.0 / 60 << 3600 << 1 << 1800 << 2000 << 1 << 0 << 60.0;
        // Every frame slower than a stall: one step each, never none.
        QTest::newRow("300 ms frames") << 60.0 << 300.0 << 200 << 0 << 0 << 0 << 1 << 0 << 1000.0 / 300;
        QTest::newRow("clock set back 5 s")
            << 60.0 << 1000.0 / 60 << 3600 << 1 << 1800 << -5000 << 1 << 1 << 60.0;
        QTest::newRow("rate unknown (0): 60 Hz")
            << 0.0 << 1000.0 / 60 << 3600 << 2 << 0 << 0 << 1 << 0 << 60.0;
        QTest::newRow("nonsense rate on a 60 Hz screen")
            << std::numeric_limits<double>::quiet_NaN() << 1000.0 / 60 << 3600 << 2 << 0 << 0 << 1 << 0
            << 60.0;
    }
    void steps_follow_wall_time_whatever_the_frames()
    {
        QFETCH(double, rate);
        QFETCH(double, interval);
        QFETCH(int, frames);
        QFETCH(int, jitter_ms);
        QFETCH(int, event_at);
        QFETCH(int, event_ms);
        QFETCH(int, most);
        QFETCH(int, not_one);
        QFETCH(double, per_second);
        Frame_Pacer pacer(rate);
        const Run run = Feed(pacer, interval * Ms, frames, jitter_ms * Ms, event_at, event_ms * Ms);
        // The frame after a stall runs what one refresh would.
        const double refresh = 1e9 / Frame_Pacer::Sane_Refresh_Rate(rate);
        const double expected = (run.wall_raced_ns + (event_ms > 0 ? refresh : 0.0)) * per_second / 1e9;
        QVERIFY2(std::fabs(double(run.steps) - expected) <= 2.0,
                 qPrintable(QString("%1 steps for %2").arg(run.steps).arg(expected)));
        QCOMPARE(run.most_in_a_frame, most);
        QVERIFY2(run.not_one <= not_one, qPrintable(QString::number(run.not_one)));
        QVERIFY(run.blends_in_range);
        // A stall is dropped but for one refresh, as if the race had been held.
        if (event_ms > 0)
            QCOMPARE(pacer.Dropped_Ns(), run.event_gap - std::llround(refresh));
        QCOMPARE(pacer.Blends(), pacer.Refresh_Rate() > 65.0);
    }

    // Timed by the pacer itself (a raster surface, or a swap that does not
    // wait): frames come at the screen's rate, whatever each one costs below
    // a period, on timers of whole milliseconds as Qt's are.
    void its_own_timer_keeps_to_the_refresh_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<bool>("trust_swap");
        QTest::addColumn<int>("cost_ms"); // what drawing a frame takes
        QTest::addColumn<double>("frames_per_second");
        QTest::newRow("60 Hz") << 60.0 << false << 3 << 60.0;
        QTest::newRow("144 Hz") << 144.0 << false << 3 << 144.0;
        QTest::newRow("75 Hz") << 75.0 << false << 3 << 75.0;
        QTest::newRow("reported 0 Hz") << 0.0 << false << 3 << 60.0;
        QTest::newRow("reported 100000 Hz") << 100000.0 << false << 3 << 60.0;
        // The swap is said to wait but does not: within a few frames the
        // pacer stops trusting it rather than spinning or running off the
        // screen's rate, even when a frame takes most of a period to draw.
        QTest::newRow("a swap that does not wait") << 60.0 << true << 3 << 60.0;
        QTest::newRow("a swap that does not wait, 13 ms frames") << 60.0 << true << 13 << 60.0;
    }
    void its_own_timer_keeps_to_the_refresh()
    {
        QFETCH(double, rate);
        QFETCH(bool, trust_swap);
        QFETCH(int, cost_ms);
        QFETCH(double, frames_per_second);
        Frame_Pacer pacer(rate);
        pacer.Trust_Swap(trust_swap);
        pacer.Restart(0);
        int64_t now = 0;
        int frames = 0;
        int64_t steps = 0;
        while (now < 10000 * Ms)
        {
            const Frame_Pacer::Plan plan = pacer.Frame(now);
            steps += plan.steps;
            ++frames;
            now += cost_ms * Ms;
            const int64_t wait = pacer.Next_Frame_In(now, plan.draw);
            now += (wait + Ms / 2) / Ms * Ms;
        }
        QVERIFY2(std::fabs(frames - 10 * frames_per_second) <= 12.0, qPrintable(QString::number(frames)));
        QVERIFY2(std::fabs(double(steps) - 600.0) <= 2.0, qPrintable(QString::number(steps)));
        QVERIFY(!pacer.Swap_Paces());
    }

    // A swap that waits for a 60 Hz screen keeps the pacer's trust: each drawn
    // frame is followed at once by the next.
    void a_swap_that_waits_is_trusted()
    {
        Frame_Pacer pacer(60.0);
        pacer.Trust_Swap(true);
        pacer.Restart(0);
        for (int i = 1; i <= 600; ++i)
        {
            const Frame_Pacer::Plan plan = pacer.Frame(std::llround(i * 1e9 / 60) + (i % 3) * Ms / 2);
            QVERIFY(plan.draw);
            QCOMPARE(pacer.Next_Frame_In(std::llround(i * 1e9 / 60) + 4 * Ms, plan.draw), int64_t(0));
        }
        QVERIFY(pacer.Swap_Paces());
    }
};

QTEST_APPLESS_MAIN(Test_Frame_Pacer)
#include "tst_frame_pacer.moc"
