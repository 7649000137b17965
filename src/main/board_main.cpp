// tavrelo-board: a board of best laps that takes only laps whose inputs prove them, with its web page.
#include "Board_Api.h"
#include "Board_Server.h"
#include "Board_Store.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace
{
enum Exit_Status
{
    Done = 0,
    Failed = 1,
    Wrong_Usage = 2,
};

void Print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

int Usage_Error(const QString& text)
{
    Print(stderr, QStringLiteral("tavrelo-board: %1\nTry 'tavrelo-board --help'.\n").arg(text));
    return Wrong_Usage;
}

// HOST:PORT, the host an IPv4 address, [an IPv6 one] or localhost.
bool Parse_Listen(const QString& text, QString& host, int& port)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(\\[([0-9A-Fa-f:.]+)\\]|([0-9.]+|localhost)):([0-9]{1,5})$"))
            .match(text);
    if (!match.hasMatch())
        return false;
    host = match.captured(2).isEmpty() ? match.captured(3) : match.captured(2);
    if (host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    port = match.captured(4).toInt();
    return port >= 1 && port <= 65535;
}

// Started as root: becomes user for good, groups and all, before anything is opened; false with the reason
// when it cannot. Not root: only its own user is accepted, which it already is.
bool Become(const QString& user, QString& error)
{
    const QByteArray name = user.toLocal8Bit();
    errno = 0;
    const passwd* entry = ::getpwnam(name.constData());
    if (entry == nullptr)
    {
        error = QStringLiteral("--user: no user '%1' on this machine").arg(user);
        return false;
    }
    if (::geteuid() != 0)
    {
        if (entry->pw_uid == ::geteuid())
            return true;
        error = QStringLiteral("--user %1: only root can switch users, and this is not root").arg(user);
        return false;
    }
    if (entry->pw_uid == 0)
    {
        error = QStringLiteral("--user %1: that is root again; name a user of its own").arg(user);
        return false;
    }
    const uid_t uid = entry->pw_uid;
    const gid_t gid = entry->pw_gid;
    const QByteArray home = entry->pw_dir;
    if (::initgroups(name.constData(), gid) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
    {
        error = QStringLiteral("--user %1: cannot switch to it: %2")
                    .arg(user, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Never back: a process that could become root again has not left it.
    if (::setuid(0) == 0 || ::geteuid() == 0)
    {
        error = QStringLiteral("--user %1: root could be taken back after the switch").arg(user);
        return false;
    }
    // Its folders are the user's own, as if it had started as that user.
    qputenv("HOME", home);
    qunsetenv("XDG_DATA_HOME");
#if defined(__SANITIZE_ADDRESS__)
    // The leak checker of a sanitized build inspects the process from a helper, which the switch forbids.
    ::prctl(PR_SET_DUMPABLE, 1);
#endif
    return true;
}

bool Parse_Count(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= low && value <= high;
}
} // namespace

int main(int argc, char** argv)
{
    // Pictures of laps are painted in memory: no display is opened, whatever the desktop says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrelo-board"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRELO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Keeps the best laps of Tavrelo's courses from many players. It takes a lap only when its inputs, "
        "raced "
        "again, prove its time and ghost; it answers a JSON API under /api/v1 and shows the standings at /.\n"
        "Laps are kept in SQLite in the data folder, or in PostgreSQL with --database.");
    const QCommandLineOption help({"h", "help"}, "Shows this help.");
    const QCommandLineOption version({"v", "version"}, "Shows the version.");
    const QCommandLineOption listen("listen", "The address and port to listen on (default 127.0.0.1:8642).",
                                    "HOST:PORT", "127.0.0.1:8642");
    const QCommandLineOption data("data",
                                  "The folder of the SQLite database (default: the XDG data folder's "
                                  "tavrelo-board).",
                                  "DIR");
    const QCommandLineOption database("database", "A PostgreSQL database instead of SQLite.",
                                      "postgresql://USER@HOST:PORT/NAME");
    const QCommandLineOption rate(
        "rate", "Submissions one address may send a minute; 0 for no limit (default 60).", "N", "60");
    const QCommandLineOption threads(
        "threads",
        QStringLiteral("Requests answered at once (default %1).").arg(Board_Server::Limits().threads), "N",
        QString::number(Board_Server::Limits().threads));
    const QCommandLineOption connections(
        "db-connections",
        "Connections to the database, shared by every request; a request waits its turn for one (default 4).",
        "N", "4");
    const QCommandLineOption per_address(
        "per-address",
        QStringLiteral(
            "Connections one client may hold open at once; 0 for no limit (default %1). Behind a reverse "
            "proxy on this machine, the client is the address it names in X-Real-IP.")
            .arg(Board_Server::Limits().per_address),
        "N", QString::number(Board_Server::Limits().per_address));
    const QCommandLineOption user("user",
                                  "The user to run as when started as root, switched to before the database "
                                  "is opened; the board refuses to run as root.",
                                  "NAME");
    parser.addOptions({help, version, listen, data, database, rate, threads, connections, per_address, user});
    if (!parser.parse(QCoreApplication::arguments()))
        return Usage_Error(parser.errorText());
    if (parser.isSet(help))
    {
        Print(stdout,
              parser.helpText().replace(QStringLiteral("Usage: ") + QCoreApplication::arguments().value(0),
                                        QStringLiteral("Usage: tavrelo-board")));
        return Done;
    }
    if (parser.isSet(version))
    {
        Print(stdout, QStringLiteral("tavrelo-board %1\n").arg(TAVRELO_VERSION));
        return Done;
    }
    if (!parser.positionalArguments().isEmpty())
        return Usage_Error(QStringLiteral("no arguments are taken, only options: '%1'")
                               .arg(parser.positionalArguments().join(' ')));
    QString host;
    int port = 0;
    if (!Parse_Listen(parser.value(listen), host, port))
        return Usage_Error(QStringLiteral("--listen takes HOST:PORT, such as 127.0.0.1:8642 or [::1]:8642"));
    int per_minute = 0;
    Board_Server::Limits limits;
    if (!Parse_Count(parser.value(rate), 0, 1000000, per_minute))
        return Usage_Error(QStringLiteral("--rate takes a whole number from 0 to 1000000"));
    if (!Parse_Count(parser.value(threads), 1, 256, limits.threads))
        return Usage_Error(QStringLiteral("--threads takes a whole number from 1 to 256"));
    int pool = 0;
    if (!Parse_Count(parser.value(connections), 1, 256, pool))
        return Usage_Error(QStringLiteral("--db-connections takes a whole number from 1 to 256"));
    if (!Parse_Count(parser.value(per_address), 0, 100000, limits.per_address))
        return Usage_Error(QStringLiteral("--per-address takes a whole number from 0 to 100000"));
    if (parser.isSet(data) && parser.isSet(database))
        return Usage_Error(QStringLiteral("--data and --database name two places: give one"));

    Board_Store::Location location;
    if (parser.isSet(database))
    {
        QString error;
        if (!Board_Store::Parse_Url(parser.value(database), location, error))
            return Usage_Error(error);
    }
    if (::geteuid() == 0 && !parser.isSet(user))
        return Usage_Error(QStringLiteral("will not run as root: a request it misreads would have the whole "
                                          "machine; start it as its own user, or as root with --user NAME"));
    if (parser.isSet(user))
    {
        QString error;
        if (!Become(parser.value(user), error))
            return Usage_Error(error);
    }
    if (!parser.isSet(database))
    {
        const QString folder = parser.isSet(data)
                                   ? parser.value(data)
                                   : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                         QStringLiteral("/tavrelo-board");
        if (!QDir().mkpath(folder))
        {
            Print(stderr, QStringLiteral("tavrelo-board: cannot make the data folder %1\n").arg(folder));
            return Failed;
        }
        location = Board_Store::Sqlite(QDir(folder).absoluteFilePath(QStringLiteral("board.sqlite")));
    }

    // The signals that end the board are taken by this thread alone, which waits
    // for them: the server's threads, started below, inherit the mask.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Board_Store store(location, pool);
    QString error;
    if (!store.Open(error))
    {
        Print(stderr, QStringLiteral("tavrelo-board: %1\n").arg(error));
        return Failed;
    }
    Board_Api api(store, per_minute);
    Board_Server server(api);
    if (!server.Start(host, port, limits, error))
    {
        Print(stderr, QStringLiteral("tavrelo-board: %1\n").arg(error));
        return Failed;
    }
    Print(stderr, QStringLiteral("tavrelo-board %1: listening on %2 port %3, laps in %4\n")
                      .arg(TAVRELO_VERSION, host)
                      .arg(server.Port())
                      .arg(store.Description()));
    int signal_number = 0;
    sigwait(&ending, &signal_number);
    server.Stop();
    Print(stderr, QStringLiteral("tavrelo-board: stopped\n"));
    return Done;
}
