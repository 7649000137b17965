// The entry point: the command line, one application, one Game, the event loop.
#include "Board_Client.h"
#include "Game.h"
#include "Rival_Lap.h"
#include "Sound_Player.h"
#include "Surface_Choice.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
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
    Help_All, // the help with Qt's own options, which only an application of the GUI knows
};

// Qt's own options, taken out of the command line by the application (with one
// dash or two), and whether each takes the next argument as its value.
struct Qt_Option
{
    const char* name;
    bool value;
};
constexpr Qt_Option Qt_Options[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true},    {"geometry", true},
    {"title", true},           {"icon", true},
    {"display", true},         {"name", true},
    {"session", true},         {"style", true},
    {"stylesheet", true},      {"visual", true},
    {"reverse", false},        {"widgetcount", false},
    {"nograb", false},         {"dograb", false},
    {"sync", false},           {"testability", false},
    {"qmljsdebugger", false},
};

// The command line as the game reads it once the application has taken its own
// options: read that way before there is an application, so that wrong usage is
// told without a display.
QStringList Without_Qt_Options(const QStringList& arguments)
{
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i)
    {
        QString name = arguments[i];
        if (i == 0 || !name.startsWith(QLatin1Char('-')))
        {
            kept << arguments[i];
            continue;
        }
        name.remove(0, name.startsWith(QLatin1String("--")) ? 2 : 1);
        const Qt_Option* found = nullptr;
        for (const Qt_Option& option : Qt_Options)
            if (name == QLatin1String(option.name) ||
                name.startsWith(QLatin1String(option.name) + QLatin1Char('=')))
                found = &option;
        if (!found)
            kept << arguments[i];
        else if (found->value && !name.contains(QLatin1Char('=')))
            ++i;
    }
    return kept;
}

Command_Line Read_Command_Line(const QStringList& arguments, Surface_Choice::Renderer* renderer,
                               bool* windowed, bool* mute, bool* no_interpolation, QString* ghost,
                               QString* board)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A time-trial racer: press and hold where the craft should go, once round the course.\n"
        "Best laps and their ghosts are kept in the settings file; tavrelo-records lists,\n"
        "shares and draws them.\n\n"
        "Keys: Escape leaves a race, and the game from the menu; R or Backspace starts\n"
        "the same course again; Enter or Space starts a race from the menu, Left and\n"
        "Right pick its course; F11 switches between full screen and a window; M turns\n"
        "the sound off and on (kept for the next start, with the volume, in the\n"
        "preferences' sound/mute and sound/volume, 0 to 100)."));
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
    const QCommandLineOption window(
        QStringLiteral("window"),
        QStringLiteral("Start in a window that can be resized rather than on the whole "
                       "screen (F11 switches)."));
    parser.addOption(window);
    const QCommandLineOption silent(QStringLiteral("mute"),
                                    QStringLiteral("Start with the sound off (M turns it on)."));
    parser.addOption(silent);
    const QCommandLineOption steps_only(
        QStringLiteral("no-interpolation"),
        QStringLiteral("On a screen faster than 60 Hz, show the race only as it stands after each of its 60 "
                       "steps a second, rather than drawing the frames between two steps where the craft, "
                       "the ghost and the camera were at that moment."));
    parser.addOption(steps_only);
    const QCommandLineOption rival(
        QStringLiteral("ghost"),
        QStringLiteral("Race against the ghost of the lap in FILE (one 'tavrelo-records export' wrote, a "
                       "friend's say) on its course, once its inputs prove it; your own best and ghost stay "
                       "as they are. A lap they do not prove is not raced: one line says why, and your own "
                       "ghost is raced."),
        QStringLiteral("FILE"));
    parser.addOption(rival);
    const QCommandLineOption board_option(
        QStringLiteral("board"),
        QStringLiteral(
            "Use the board at URL for this run: new best laps are sent to it in the background, the "
            "menu shows your place, and 'Race the leader' races its best lap's ghost. Without it "
            "the address kept by 'tavrelo-records board url' is used; with neither, the game never "
            "touches the network."),
        QStringLiteral("URL"));
    parser.addOption(board_option);
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
    if (parser.isSet(QStringLiteral("help-all")))
    {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return Command_Line::Help_All;
        parser.process(*QCoreApplication::instance()); // prints the help and ends the program
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
        std::fprintf(stderr, "tavrelo: %s (try 'tavrelo --help')\n", qPrintable(error));
        return Command_Line::Wrong;
    }
    if (!Surface_Choice::Parse(parser.value(surface), renderer))
    {
        std::fprintf(stderr, "tavrelo: unknown renderer '%s': choose %s (try 'tavrelo --help')\n",
                     qPrintable(parser.value(surface)), qPrintable(Surface_Choice::Choices()));
        return Command_Line::Wrong;
    }
    *windowed = parser.isSet(window);
    *mute = parser.isSet(silent);
    *no_interpolation = parser.isSet(steps_only);
    *ghost = parser.value(rival);
    *board = parser.value(board_option);
    QString board_error;
    if (parser.isSet(board_option) && !Board_Client::Parse_Address(*board, board_error).isValid())
    {
        std::fprintf(stderr, "tavrelo: --board: %s (try 'tavrelo --help')\n", qPrintable(board_error));
        return Command_Line::Wrong;
    }
    return Command_Line::Play;
}
} // namespace

int main(int argc, char** argv)
{
    Surface_Choice::Renderer renderer = Surface_Choice::Renderer::Auto;
    bool windowed = false;
    bool mute = false;
    bool no_interpolation = false;
    QString ghost;
    QString board;
    Command_Line command = Command_Line::Play;
    {
        // No display yet: --help, --version and wrong usage answer where there is none.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName("tavrelo");
        command = Read_Command_Line(Without_Qt_Options(QCoreApplication::arguments()), &renderer, &windowed,
                                    &mute, &no_interpolation, &ghost, &board);
    }
    if (command == Command_Line::Wrong)
        return 2;
    if (command == Command_Line::Done)
        return 0;
    if (command == Command_Line::Help_All)
    {
        // Qt's options are listed by a GUI application, which needs no screen on the minimal platform.
        qputenv("QT_QPA_PLATFORM", "minimal");
        QApplication help(argc, argv);
        QCoreApplication::setApplicationName("tavrelo");
        Read_Command_Line(QCoreApplication::arguments(), &renderer, &windowed, &mute, &no_interpolation,
                          &ghost, &board);
        return 0;
    }

    QApplication application(argc, argv);
    QCoreApplication::setApplicationName("Tavrelo");
    QApplication::setQuitOnLastWindowClosed(true);
    // Qt has taken its own options (-platform and the like) out of the list.
    if (Read_Command_Line(QCoreApplication::arguments(), &renderer, &windowed, &mute, &no_interpolation,
                          &ghost, &board) != Command_Line::Play)
        return 2;

    // Checked before the window opens: a lap that is not raced is told where the game was started.
    Rival_Lap rival;
    QString reason;
    if (!ghost.isEmpty() && !rival.Load(ghost, reason))
        std::fprintf(stderr, "tavrelo: %s: not raced: %s; racing your own ghost, if any\n", qPrintable(ghost),
                     qPrintable(reason));

    int exit_code = 0;
    {
        Game game(renderer, windowed, board);
        if (rival.Is_Loaded())
            game.Race_Against(rival);
        if (mute)
            game.Sound()->Set_Muted(true);
        if (no_interpolation)
            game.Set_Interpolation(false);
        exit_code = QApplication::exec();
    }
    return exit_code;
}
