// Frame costs of the real game: one logic frame, the repaint of a race and of
// the menu against one fill of the same image (at 800x480 also from cold
// caches), heap allocations, the course build and the ghost codec. Needs an X
// display (the game makes an OpenGL viewport); run it through scripts/bench.
#include "Allocation_Counter.h"
#include "Bench_Driver.h"
#include "Game.h"
#include "Game_Scene.h"
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Lap_Timer.h"
#include "Lap_Verifier.h"
#include "Level.h"
#include "Sound_Mixer.h"
#include "Sound_Player.h"
#include "Track_List.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
// Laps are long; no race gets near this.
constexpr int Max_Lap_Frames = 20000;
constexpr int Counted_Frames = 1000;
// Frames driven into a race before the repaint is measured: the trail is
// full, the hint gone and the ghost of the first lap on screen.
constexpr int Race_Frames_Before_Repaint = 600;
// Frames in the menu before its repaint is measured: the fades have settled.
constexpr int Menu_Frames_Before_Repaint = 200;
constexpr int Ghost_Samples = 5400;
// Written over between the repaints measured cold: more than the caches of
// the machines the game is measured on hold, so that a repaint's code and data
// come from memory. So they do in the window, where the drawing runs once in
// 16 ms, between the X server's, the sound's and other programs' work.
constexpr size_t Evicted_Bytes = size_t(64) << 20;
constexpr int Cold_Repaints = 200;

void Prepare_Menu(Game* game);

void Logic_Frame(benchmark::State& state, Game* game)
{
    Bench_Driver driver(*game);
    driver.Start_Race();
    int timed_laps = 0;
    for (auto _ : state)
    {
        if (!driver.Step())
        {
            state.PauseTiming();
            ++timed_laps;
            driver.Start_Race();
            state.ResumeTiming();
        }
    }
    state.counters["laps_timed"] = timed_laps;

    // Allocations of the frames alone, in a race in progress: the finger's
    // moves and the race start are not counted.
    driver.Start_Race();
    int64_t allocations = 0;
    int frames = 0;
    int laps = 0;
    while (frames < Counted_Frames)
    {
        const int64_t before = Allocation_Count();
        const bool racing = driver.Step();
        allocations += Allocation_Count() - before;
        ++frames;
        if (!racing)
        {
            ++laps;
            driver.Start_Race();
        }
    }
    state.counters["allocs_per_1000"] = static_cast<double>(allocations) * 1000.0 / frames;
    state.counters["laps_ended"] = laps;

    // The same in the menu, once its fades have settled.
    Prepare_Menu(game);
    const int64_t menu_before = Allocation_Count();
    for (int i = 0; i < Counted_Frames; ++i)
        game->Advance_Frame();
    state.counters["menu_allocs_per_1000"] =
        static_cast<double>(Allocation_Count() - menu_before) * 1000.0 / Counted_Frames;
}

void Prepare_Race(Game* game)
{
    Bench_Driver driver(*game);
    driver.Start_Race();
    for (int i = 0; i < Race_Frames_Before_Repaint; ++i)
        driver.Step();
}

void Prepare_Menu(Game* game)
{
    game->Set_State(Game::State_Menu);
    for (int i = 0; i < Menu_Frames_Before_Repaint; ++i)
        game->Advance_Frame();
}

// Both passes into the image, on their own so that valgrind can count this
// call alone (the game's own frames on the OpenGL viewport draw too). Only
// the timed repaints come here; scripts/bench divides by the calls it counts.
// How many times it ran: printed at the end for scripts/bench --callgrind.
int64_t Timed_Repaints = 0;

__attribute__((noinline)) void Paint_Scene_Into_Image(Game* game, QImage* image)
{
    ++Timed_Repaints;
    QPainter painter(image);
    game->Scene()->Draw_Passes(&painter);
}

// The same for the repaints that are not timed: the first ones.
__attribute__((noinline)) void Paint_Untimed(Game* game, QImage* image, int times)
{
    for (int i = 0; i < times; ++i)
    {
        QPainter painter(image);
        game->Scene()->Draw_Passes(&painter);
    }
}

// Every cache line of the buffer written, so that it holds the caches in place of all else.
__attribute__((noinline)) void Evict_Caches(std::vector<unsigned char>* buffer)
{
    for (size_t i = 0; i < buffer->size(); i += 64)
        ++(*buffer)[i];
    benchmark::ClobberMemory();
}

void Repaint(benchmark::State& state, Game* game, bool race, int w, int h, bool cold)
{
    if (race)
        Prepare_Race(game);
    else
        Prepare_Menu(game);
    Bench_Driver(*game).Lay_Out_For(w, h);

    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    // The first draw lays the buttons out and scatters the stars.
    Paint_Untimed(game, &image, 2);
    std::vector<unsigned char> evicted(cold ? Evicted_Bytes : 0);
    for (auto _ : state)
    {
        if (cold)
        {
            state.PauseTiming();
            Evict_Caches(&evicted);
            // The view's fill before the scene draws, which the empty view pays as well.
            image.fill(Qt::black);
            state.ResumeTiming();
        }
        Paint_Scene_Into_Image(game, &image);
        benchmark::ClobberMemory();
    }
    // The scene's repaint alone: the painter is the view's, begun before it.
    QPainter painter(&image);
    const int64_t before = Allocation_Count();
    game->Scene()->Draw_Passes(&painter);
    state.counters["allocs"] = static_cast<double>(Allocation_Count() - before);
    painter.end();

    // Put the game back as it was for the window's size.
    Bench_Driver(*game).Lay_Out_For(game->width(), game->height());
}

void Fill(benchmark::State& state, int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
    {
        image.fill(Qt::black);
        benchmark::ClobberMemory();
    }
}

void Level_Init(benchmark::State& state)
{
    Level level;
    int course = 0;
    for (auto _ : state)
    {
        level.Init(course);
        course = (course + 1) % Get_Track_Count();
        benchmark::DoNotOptimize(level.m_points.data());
    }
}

void Ghost_Record_And_Replay(benchmark::State& state)
{
    Ghost_Ship ghost;
    const QPointF start(100.0, 200.0);
    for (auto _ : state)
    {
        Ghost_Start(ghost, QString(), start, 0.0f, 1);
        for (int i = 0; i < Ghost_Samples; ++i)
        {
            // A wide circle at top speed.
            const float angle = static_cast<float>(i) * 0.005f;
            const QPointF p(100.0f + 500.0f * std::sin(angle), 200.0f + 500.0f - 500.0f * std::cos(angle));
            Ghost_Record_Sample(ghost, p, angle);
        }
        const QString recorded = ghost.m_record;
        Ghost_Start(ghost, recorded, start, 0.0f, 1);
        for (int i = 0; i < Ghost_Samples; ++i)
            Ghost_Play_Sample(ghost);
        benchmark::DoNotOptimize(ghost.m_position);
    }
}

// Verifying a lap of 90 seconds, the longest that keeps its ghost: the course
// built, the inputs decoded and 5400 frames of race run again. The finger is
// held still, so the craft circles, leaves the road and is put back; every
// frame costs what a real lap's does. Must stay well under 20 ms, so that
// listing the records can verify every course.
void Verify_Lap(benchmark::State& state)
{
    const QString inputs = QStringLiteral("i1.v800x480.5400p400:100");
    for (auto _ : state)
    {
        const Lap_Verifier::Verdict verdict = Lap_Verifier::Verify(0, 90.0f, QString(), inputs);
        benchmark::DoNotOptimize(verdict.kind);
    }
}

// The sound of one second of a race: 60 steps of a lap the driver races, each
// mixed into its 800 samples, every layer the race calls for playing. The
// time it takes, against the second it lasts, is the sound's share of a core.
void Sound_Of_A_Second(benchmark::State& state, Game* game)
{
    Bench_Driver driver(*game);
    driver.Start_Race();
    std::vector<Sound_Frame> steps;
    while (steps.size() < 60 * 30)
    {
        if (!driver.Step())
            driver.Start_Race();
        steps.push_back(
            Sound_Player::Frame_Of(game->Current_Race(), steps.size() % 600 == 1 ? Cue_Start : Cue_None));
    }
    Sound_Mixer mixer;
    mixer.Set_Racing(true);
    std::vector<int16_t> block(Sound_Rate / 60);
    size_t next = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < 60; ++i)
        {
            mixer.Race_Step(steps[next]);
            next = (next + 1) % steps.size();
            mixer.Render(block.data(), int(block.size()));
        }
        benchmark::DoNotOptimize(block.data());
    }
}

// Lets the window manager put the game full screen, then stops the event
// loop's own frames from ever running again (nothing processes events later).
void Settle(Game& game)
{
    QElapsedTimer timer;
    timer.start();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    while (timer.elapsed() < 3000 && (game.width() != screen.width() || game.height() != screen.height()))
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();
}
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir settings;
    if (!settings.isValid())
    {
        std::fprintf(stderr, "no temporary folder for the settings\n");
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

    QApplication application(argc, argv);
    QCoreApplication::setApplicationName("Tavrelo");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    Game game;
    Settle(game);
    // A first lap leaves a best time and a ghost that the later races replay.
    const int lap_frames = Bench_Driver(game).Drive_Lap(Max_Lap_Frames);
    if (game.Current_Race().m_clock.m_best <= 0.0f)
    {
        std::fprintf(stderr, "the driver did not finish a lap in %d frames\n", lap_frames);
        return 1;
    }
    benchmark::AddCustomContext("first_lap_frames", std::to_string(lap_frames));

    benchmark::RegisterBenchmark("logic_frame", Logic_Frame, &game);
    for (const QSize size : {QSize(800, 480), QSize(1920, 1080)})
    {
        const int w = size.width();
        const int h = size.height();
        const std::string suffix = "/" + std::to_string(w) + "x" + std::to_string(h);
        benchmark::RegisterBenchmark(("fill" + suffix).c_str(), Fill, w, h)->Unit(benchmark::kMicrosecond);
        for (const bool race : {true, false})
        {
            const std::string scene = race ? "repaint_race" : "repaint_menu";
            benchmark::RegisterBenchmark((scene + suffix).c_str(), Repaint, &game, race, w, h, false)
                ->Unit(benchmark::kMicrosecond);
            // Where the window's frame is least fill and most everything else.
            if (w == 800)
                benchmark::RegisterBenchmark((scene + "_cold" + suffix).c_str(), Repaint, &game, race, w, h,
                                             true)
                    ->Unit(benchmark::kMicrosecond)
                    ->Iterations(Cold_Repaints);
        }
    }
    benchmark::RegisterBenchmark("level_init", Level_Init)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ghost_record_replay_5400", Ghost_Record_And_Replay)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("verify_lap_5400_frames", Verify_Lap)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("sound_of_a_second", Sound_Of_A_Second, &game)
        ->Unit(benchmark::kMillisecond);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fprintf(stderr, "timed repaints: %lld\n", static_cast<long long>(Timed_Repaints));
    return 0;
}
