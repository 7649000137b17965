// Start-up of the game: the application and Game exactly as main builds them,
// ended as soon as the view has painted its first frame.
#include "First_Frame_Quit.h"
#include "Game.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName("Tavrelo");
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(First_Frame_Timeout_Ms,
                       []
                       {
                           std::fprintf(stderr, "no frame was painted\n");
                           std::_Exit(1);
                       });
    Game game;
    First_Frame_Quit quit;
    game.viewport()->installEventFilter(&quit);
    return QApplication::exec();
}
