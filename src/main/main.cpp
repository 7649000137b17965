// The entry point: the command line, one application, one Game, the event loop.
#include "Game.h"

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

Command_Line Read_Command_Line(const QStringList& arguments)
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
            return Read_Command_Line(QCoreApplication::arguments()) == Command_Line::Wrong ? 2 : 0;
        }

    QApplication application(argc, argv);
    QCoreApplication::setApplicationName("Tavrelo");
    QApplication::setQuitOnLastWindowClosed(true);
    // Qt has taken its own options (-platform and the like) out of the list.
    if (Read_Command_Line(QCoreApplication::arguments()) == Command_Line::Wrong)
        return 2;

    int exit_code = 0;
    {
        Game game;
        exit_code = QApplication::exec();
    }
    return exit_code;
}
