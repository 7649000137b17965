// tavrelo-records: lists, exports, imports, draws and clears the best laps the game keeps, through the
// game's own settings store, ghost codec, courses and road drawing. Each command group has its own file.
#include "Records_Tool.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstring>
#include <memory>

namespace
{
const char* const Overview =
    "Lists, shares and draws the best laps Tavrelo keeps.\n"
    "\n"
    "Commands:\n"
    "  list                               each course's best lap and whether it is sound (the default)\n"
    "  export COURSE FILE [--force]       writes a course's record to a record file, replacing none\n"
    "                                     unless forced\n"
    "  verify [COURSE | FILE]             races a lap's kept inputs again: verified, unverified or failed\n"
    "  import FILE [--force] [--unverified]\n"
    "                                     takes a record file's proven lap if it is faster (or with "
    "--force)\n"
    "  render COURSE OUT.png [--vs FILE] [--size WxH] [--force]\n"
    "                                     draws the course and the best lap's line, by speed\n"
    "  clear COURSE --yes                 removes a course's record\n"
    "  board url|name|submit|top|fetch    speaks to a board: keeps its address and your name, sends\n"
    "                                     the best laps, shows standings, saves a board lap as a file\n"
    "\n"
    "COURSE is 1, 2 or 3, or a course's name in any case. 'tavrelo-records COMMAND --help' says more.\n"
    "A replaced or cleared record is first copied, with the whole settings file, beside it (the newest\n"
    "ten copies are kept).\n"
    "Exit status: 0 done, 1 a file rejected, a lap refused or a write failed, 2 wrong usage, 3 the\n"
    "board could not be reached.\n";

} // namespace

int main(int argc, char** argv)
{
    // Only pictures need the GUI's fonts and painting; they are painted in
    // memory, so no display is needed or opened, whatever the desktop says.
    std::unique_ptr<QCoreApplication> application;
    if (argc > 1 && std::strcmp(argv[1], "render") == 0)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application.reset(new QGuiApplication(argc, argv));
    }
    else
    {
        application.reset(new QCoreApplication(argc, argv));
    }
    QCoreApplication::setApplicationName("tavrelo-records");
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRELO_VERSION));

    QStringList arguments = QCoreApplication::arguments();
    const QString first = arguments.size() > 1 ? arguments[1] : QString();
    if (first == "-h" || first == "--help" || first == "help")
    {
        Print(QStringLiteral("Usage: tavrelo-records [COMMAND] [ARGUMENTS]\n") + Overview);
        return Done;
    }
    if (first == "-v" || first == "--version")
    {
        Print(QStringLiteral("tavrelo-records %1\n").arg(TAVRELO_VERSION));
        return Done;
    }
    // The command's parser sees the command where a program's name would be.
    const QString name = first.isEmpty() ? QStringLiteral("list") : first;
    if (!first.isEmpty())
        arguments.removeFirst();
    if (name == "list")
        return List(arguments);
    if (name == "export")
        return Export(arguments);
    if (name == "import")
        return Import(arguments);
    if (name == "render")
        return Render(arguments);
    if (name == "verify")
        return Verify(arguments);
    if (name == "clear")
        return Clear(arguments);
    if (name == "board")
        return Board(arguments);
    return Usage_Error(QString(), QStringLiteral("no command '%1'").arg(name));
}
