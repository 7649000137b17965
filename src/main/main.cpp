// The entry point: the command line, one application, one Game, the event loop.
#include "Game.h"
#include "Surface_Choice.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>

namespace
{
enum class Command_Line
{
    Play,
    Done,
    Wrong,
};

Command_Line Read_Command_Line(const QStringList& arguments, Surface_Choice::Renderer* renderer,
                               bool* no_interpolation)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A time-trial racer: press and hold where the craft should go, once round the course.\n"
        "Best laps and their ghosts are kept in the settings file; tavrelo-records lists,\n"
        "shares and draws them.\n\n"
        "Keys: Escape leaves a race, and the game from the menu; R or Backspace starts\n"
        "the same course again; Enter or Space starts a race from the menu."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption surface(
        QStringLiteral("renderer"),
        QStringLiteral("How the screen is painted: 'opengl' through OpenGL, as suits a machine whose "
                       "graphics chip does the work; 'raster' by the processor through Qt's own engine, far "
                       "cheaper where OpenGL is itself a software renderer (virtual machines, many small "
                       "boards); 'auto' (the default) asks OpenGL what it is and picks, and paints raster "
                       "where OpenGL cannot start. Force one if the game stutters or OpenGL misbehaves."),
        QStringLiteral("auto|opengl|raster"), QStringLiteral("auto"));
    parser.addOption(surface);
    const QCommandLineOption steps_only(
        QStringLiteral("no-interpolation"),
        QStringLiteral("On a screen faster than 60 Hz, show the race only as it stands after each of its 60 "
                       "steps a second, rather than drawing the frames between two steps where the craft, "
                       "the ghost and the camera were at that moment."));
    parser.addOption(steps_only);
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRELO_VERSION));
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help))
    {
        // The help names the program as it is called from a menu or a shell.
        std::fputs(
            qPrintable(parser.helpText().replace(QRegularExpression("^Usage: \\S+"), "Usage: tavrelo")),
            stdout);
        return Command_Line::Done;
    }
    if (parser.isSet(version))
    {
        std::printf("tavrelo %s\n", TAVRELO_VERSION);
        return Command_Line::Done;
    }
    if (!parsed || !parser.positionalArguments().isEmpty())
    {
        const QString error =
            parsed ? QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0])
                   : parser.errorText();
        std::fprintf(stderr, "tavrelo: %s\nTry 'tavrelo --help'.\n", qPrintable(error));
        return Command_Line::Wrong;
    }
    if (!Surface_Choice::Parse(parser.value(surface), renderer))
    {
        std::fprintf(stderr, "tavrelo: unknown renderer '%s': choose %s\nTry 'tavrelo --help'.\n",
                     qPrintable(parser.value(surface)), qPrintable(Surface_Choice::Choices()));
        return Command_Line::Wrong;
    }
    *no_interpolation = parser.isSet(steps_only);
    return Command_Line::Play;
}
} // namespace

int main(int argc, char** argv)
{
    // --help and --version answer without opening a display, so they work
    // where there is none.
    const QStringList asks = {"-h", "--help", "-?", "-v", "--version", "--help-all"};
    for (int i = 1; i < argc; ++i)
        if (asks.contains(QString::fromLocal8Bit(argv[i])))
        {
            QCoreApplication core(argc, argv);
            QCoreApplication::setApplicationName("tavrelo");
            Surface_Choice::Renderer renderer = Surface_Choice::Renderer::Auto;
            bool no_interpolation = false;
            return Read_Command_Line(QCoreApplication::arguments(), &renderer, &no_interpolation) ==
                           Command_Line::Wrong
                       ? 2
                       : 0;
        }

    QApplication application(argc, argv);
    QCoreApplication::setApplicationName("Tavrelo");
    QApplication::setQuitOnLastWindowClosed(true);
    // Qt has taken its own options (-platform and the like) out of the list.
    Surface_Choice::Renderer renderer = Surface_Choice::Renderer::Auto;
    bool no_interpolation = false;
    if (Read_Command_Line(QCoreApplication::arguments(), &renderer, &no_interpolation) == Command_Line::Wrong)
        return 2;

    int exit_code = 0;
    {
        Game game(renderer);
        if (no_interpolation)
            game.Set_Interpolation(false);
        exit_code = QApplication::exec();
    }
    return exit_code;
}
