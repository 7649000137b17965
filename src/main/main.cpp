// The entry point: one application, one Game, the event loop.
#include "Game.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName("Tavrelo");
    QApplication::setQuitOnLastWindowClosed(true);
    int exit_code = 0;
    {
        Game game;
        exit_code = QApplication::exec();
    }
    return exit_code;
}
