// Half an hour of game time in one Game: laps, quits and course changes, with no NaN and no memory growth,
// with a busy process per core beside it and, on the tests' own sound server, its sink suspended: what falls
// behind on a loaded machine or a stalled server (the sound's output, the commands it reads, its notices to
// the game's thread) must not grow with it.
#include "Busy_Cores.h"
#include "Game.h"
#include "Ghost_Ship.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Pursuit_Driver.h"
#include "Ship.h"
#include "Test_Support.h"
#include "Track_List.h"
#include "UI_Button.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <malloc.h>
#include <map>

namespace
{
bool Finite(const QPointF& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

bool Craft_Is_Sound(Game& game)
{
    const Ship& ship = *game.Craft();
    return Finite(ship.m_left) && Finite(ship.m_right) && Finite(ship.m_left_previous) &&
           Finite(ship.m_right_previous) && Finite(ship.m_position) && Finite(ship.m_direction) &&
           std::isfinite(ship.m_angle) && std::isfinite(ship.m_left_thrust) &&
           std::isfinite(ship.m_right_thrust) && std::isfinite(ship.m_friction) &&
           Finite(game.Ghost()->m_position) && std::isfinite(game.Ghost()->m_angle) &&
           std::isfinite(game.Current_Race().m_camera_angle);
}

// Large blocks (a vector grown past the mapping threshold) are mapped on their own, outside the arenas'
// count.
size_t Heap_In_Use()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Heap_Is_Measurable = false; // the sanitizer keeps its own heap
#else
constexpr bool Heap_Is_Measurable = true;
#endif
} // namespace

class Test_Window_Soak : public QObject
{
    Q_OBJECT

    Temporary_Settings m_settings;
    bool m_suspended = false;

    // Only the tests' own server (scripts/lib.sh start_sound), never the sound of the user running them.
    void Suspend_Sink(bool suspend)
    {
        if (!qEnvironmentVariableIsSet("PULSE_SERVER"))
            return;
        m_suspended =
            QProcess::execute("pactl", {"suspend-sink", "@DEFAULT_SINK@", suspend ? "1" : "0"}) == 0 &&
            suspend;
    }

private slots:
    void initTestCase() { QVERIFY(m_settings.Is_Valid()); }
    void cleanup()
    {
        if (m_suspended)
            Suspend_Sink(false);
    }

    void thirty_minutes_of_laps_and_quits()
    {
        constexpr int Total_Frames = 108000; // 30 minutes at 60 frames a second
        const Busy_Cores busy;
        QVERIFY(busy.Running() > 0);
        Game game;
        // A sink that takes no samples: the sound's output stops reading what the game asks of it.
        Suspend_Sink(true);
        qInfo("the sink is %s", m_suspended ? "suspended" : "left as it is: not the tests' own server");
        Pursuit_Driver driver(game);
        int frames = 0;
        int races = 0;
        int laps = 0;
        int quits = 0;
        // A course holds its best lap and its ghost, and from its second lap on the ghost it races: the heap
        // is measured from the lap that gives the last course its second.
        std::map<int, int> lapped;
        bool every_course_lapped = false;
        size_t heap_after_every_course = 0;
        int laps_after = 0;
        size_t heap_peak = 0;
        while (frames < Total_Frames)
        {
            // Every fifth race changes course; every fourth is quit half way.
            if (races % 5 == 4)
            {
                game.Next_Button()->m_was_pressed = true;
                game.Advance_Frame();
                ++frames;
            }
            game.Start_Button()->m_was_pressed = true;
            game.Advance_Frame();
            ++frames;
            QCOMPARE(game.State(), int(Game::State_Race));
            const bool quit = races % 4 == 3;
            driver.Press();
            int race_frames = 0;
            while (game.State() == Game::State_Race && frames < Total_Frames)
            {
                if (quit && race_frames == 1200)
                    game.Race_Quit_Button()->m_was_pressed = true;
                driver.Step();
                ++frames;
                ++race_frames;
                if (!Craft_Is_Sound(game))
                    QFAIL(qPrintable(QString("not a number in the craft at frame %1").arg(frames)));
            }
            if (game.State() == Game::State_Race)
                break;
            if (quit)
            {
                ++quits;
                QCOMPARE(game.Current_Race().m_clock.m_elapsed, 0.0f);
            }
            else
            {
                ++laps;
                QVERIFY(game.Current_Race().m_clock.m_elapsed > 0.0f);
                ++lapped[game.Course()->m_track_index];
            }
            // The craft coasts behind the menu for a moment.
            for (int i = 0; i < 30; ++i, ++frames)
                game.Advance_Frame();
            if (every_course_lapped)
            {
                heap_peak = std::max(heap_peak, Heap_In_Use());
                laps_after += !quit;
            }
            else if (int(lapped.size()) == Get_Track_Count() &&
                     std::all_of(lapped.begin(), lapped.end(),
                                 [](const std::pair<const int, int>& course) { return course.second >= 2; }))
            {
                // Not the heap's figure as the mark: under the address sanitizer it reads 0.
                every_course_lapped = true;
                heap_after_every_course = Heap_In_Use();
            }
            ++races;
        }
        qInfo("%d frames: %d laps, %d quits, heap once every course had a lap %zu bytes, peak in the %d laps "
              "after %zu bytes",
              frames, laps, quits, heap_after_every_course, laps_after, heap_peak);
        QVERIFY(laps >= 20);
        QVERIFY(quits >= 5);
        QVERIFY(laps_after >= 10);
        if (!Heap_Is_Measurable)
            QSKIP("heap use is not measurable under the address sanitizer; the rest passed");
        // A ghost record holds at most 54004 characters of two bytes: a new best's may be held beside the
        // one it replaces, and the sound's output thread has its buffers in flight. Anything kept per step
        // (some 100,000 of them here) or per race outgrows that.
        QVERIFY2(
            heap_peak <= heap_after_every_course + 54004 * 2,
            qPrintable(QString("grew by %1 bytes").arg(qint64(heap_peak) - qint64(heap_after_every_course))));
    }
};

QTEST_MAIN(Test_Window_Soak)
#include "tst_window_soak.moc"
