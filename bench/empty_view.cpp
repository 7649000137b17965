// The floors for the game's window: an empty full-screen graphics view on an
// OpenGL viewport, or with --renderer raster on a raster one (auto picks as
// the game does). Without options it ends as soon as it has painted its
// first frame (start-up); with --tick SECONDS it repaints every 16 ms as the
// game does and prints its CPU time per tick (see Tick_Meter).
#include "First_Frame_Quit.h"
#include "Surface_Choice.h"
#include "Tick_Meter.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const double tick_seconds = Tick_Seconds(argc, argv);
    const Surface_Choice::Renderer renderer = Bench_Renderer(argc, argv);
    QTimer::singleShot(First_Frame_Timeout_Ms,
                       []
                       {
                           std::fprintf(stderr, "no frame was painted\n");
                           std::_Exit(1);
                       });
    QGraphicsScene scene;
    QGraphicsView view;
    view.setViewport(Surface_Choice::New_Viewport(renderer == Surface_Choice::Renderer::Auto
                                                      ? Surface_Choice::Surface::OpenGL
                                                      : Surface_Choice::Pick(renderer)));
    view.setScene(&scene);
    view.setBackgroundBrush(QBrush(Qt::black, Qt::SolidPattern));
    view.setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    view.setFrameShape(QFrame::NoFrame);
    First_Frame_Quit quit;
    QTimer ticks;
    if (tick_seconds > 0.0)
    {
        // The game's tick, with nothing to draw: what the window itself costs.
        new Tick_Meter(view.viewport(), tick_seconds);
        QObject::connect(&ticks, &QTimer::timeout, [&] { view.viewport()->repaint(); });
        ticks.start(16);
    }
    else
    {
        view.viewport()->installEventFilter(&quit);
    }
    view.showFullScreen();
    return QApplication::exec();
}
