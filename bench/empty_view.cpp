// The floor for start-up: an empty full-screen graphics view on an OpenGL
// viewport, ended as soon as it has painted its first frame.
#include "First_Frame_Quit.h"
#include "Qt_Bridge.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QTimer::singleShot(First_Frame_Timeout_Ms,
                       []
                       {
                           std::fprintf(stderr, "no frame was painted\n");
                           std::_Exit(1);
                       });
    QGraphicsScene scene;
    QGraphicsView view;
    view.setViewport(Qt_Bridge::New_GL_Viewport());
    view.setScene(&scene);
    First_Frame_Quit quit;
    view.viewport()->installEventFilter(&quit);
    view.showFullScreen();
    return QApplication::exec();
}
