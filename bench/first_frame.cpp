// The game's window: the application and Game exactly as main builds them.
// Without options it ends as soon as the view has painted its first frame
// (start-up); with --tick SECONDS it races, a finger held ahead of the craft,
// lap after lap, and prints its CPU time per tick (see Tick_Meter); with
// --pace SECONDS it races the same way and prints how its frames keep time
// (see Pace_Meter).
// --renderer picks the surface as the game's own option does.
#include "Bench_Driver.h"
#include "First_Frame_Quit.h"
#include "Frame_Finger.h"
#include "Game.h"
#include "Pace_Meter.h"
#include "Tick_Meter.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace
{
// The game's count of the steps its frame loop runs; a game whose loop ran
// one step per painted frame has none, and the meter counts the paints.
template <typename G> auto Steps_Counter(const G& game, int) -> decltype(&game.Steps_Run())
{
    return &game.Steps_Run();
}
template <typename G> const qint64* Steps_Counter(const G&, long)
{
    return nullptr;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName("Tavrelo");
    QApplication::setQuitOnLastWindowClosed(true);
    const double tick_seconds = Tick_Seconds(argc, argv);
    const double pace_seconds = Pace_Seconds(argc, argv);
    // Start-up only: a measurement runs longer than this, and its meter
    // reports a window that paints nothing.
    if (tick_seconds <= 0.0 && pace_seconds <= 0.0)
        QTimer::singleShot(First_Frame_Timeout_Ms,
                           []
                           {
                               std::fprintf(stderr, "no frame was painted\n");
                               std::_Exit(1);
                           });
    Game game(Bench_Renderer(argc, argv));
    First_Frame_Quit quit;
    Bench_Driver driver(game);
    if (tick_seconds > 0.0 || pace_seconds > 0.0)
    {
        if (pace_seconds > 0.0)
            new Pace_Meter(game.viewport(), Steps_Counter(game, 0), pace_seconds);
        else
            new Tick_Meter(game.viewport(), tick_seconds);
        new Frame_Finger(&game, driver);
    }
    else
    {
        game.viewport()->installEventFilter(&quit);
    }
    return QApplication::exec();
}
