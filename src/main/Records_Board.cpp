// Records_Board: the records tool's board commands: the address and name kept for the game, laps sent,
// standings read and board laps saved, through the same client as the game's.
#include "Board_Client.h"
#include "Board_Session.h"
#include "Board_Settings.h"
#include "Board_Wire.h"
#include "Options.h"
#include "Player_Name.h"
#include "Preferences.h"
#include "Race_Clock.h"
#include "Record_File.h"
#include "Records_Tool.h"
#include "Stored_Record.h"
#include "Track_List.h"

#include <QEventLoop>
#include <QFileInfo>

#include <memory>

namespace
{
const char* const Board_Overview =
    "Usage: tavrelo-records board SUBCOMMAND [ARGUMENTS] [--board URL]\n"
    "Speaks to a Tavrelo board, the way the game does.\n"
    "\n"
    "Subcommands:\n"
    "  url [URL | --clear]           shows or keeps the board's address for the game and this tool\n"
    "  name [NAME]                   shows or keeps the name your laps stand under\n"
    "  submit [COURSE]               sends the kept best laps (or one course's)\n"
    "  top COURSE [--limit N]        the course's standings, fastest first (10 unless N, at most 500)\n"
    "  fetch LAP-ID FILE [--force]   saves a board lap as a lap file, replacing none unless forced\n"
    "\n"
    "--board URL speaks to that board for one run instead of the kept one.\n"
    "Exit status: 0 done, 1 refused by the board or a file not written, 2 wrong usage, 3 the board\n"
    "could not be reached.\n";

// The parts of a board command that every subcommand shares: its options and the board's address.
struct Board_Command
{
    Board_Command(const QString& subcommand, const QString& description, const QString& syntax)
        : command("board " + subcommand, description, syntax),
          board("board", "The board to speak to for this run, instead of the kept one.", "URL")
    {
        command.parser.addOption(board);
    }

    // The address to use; on none or a wrong one, says so and returns an invalid one.
    QUrl Address(Preferences& preferences, int& status) const
    {
        const QString text = Board_Settings::Address(preferences, command.parser.value(board));
        QString error;
        const QUrl url = Board_Client::Parse_Address(text, error);
        if (text.isEmpty())
            status = Usage_Error(command.name, QStringLiteral("no board: give --board URL, or keep one with "
                                                              "'tavrelo-records board url URL'"));
        else if (!url.isValid())
            status = Usage_Error(command.name, error);
        return url;
    }

    Records_Command command;
    QCommandLineOption board;
};

// Runs one request and waits for its answer; the client gives up on a silent board by itself.
template <typename Answer, typename Start> Answer Wait_For(Start start)
{
    QEventLoop loop;
    Answer answer;
    start(
        [&](const Answer& given)
        {
            answer = given;
            loop.quit();
        });
    loop.exec();
    return answer;
}

int Status_Of(Board_Client::Outcome outcome)
{
    return outcome == Board_Client::Refused       ? Rejected
           : outcome == Board_Client::Unreachable ? Unreachable
                                                  : Done;
}

int Url(const QStringList& arguments, Preferences& preferences)
{
    Board_Command board("url",
                        "Shows the kept board address, or keeps URL as the board the game sends its best "
                        "laps to and shows the rank from.",
                        "[URL]");
    const QCommandLineOption clear("clear", "Forgets the kept address: the game no longer uses a board.");
    board.command.parser.addOption(clear);
    if (const int status = board.command.Parse(arguments, 0, 1))
        return status < 0 ? Done : status;
    const QStringList given = board.command.parser.positionalArguments();
    if (given.isEmpty() && !board.command.parser.isSet(clear))
    {
        const QString kept = preferences.Read_Text(Preferences::Board_Url_Key);
        Print(kept.isEmpty() ? QStringLiteral("No board is kept.\n") : kept + "\n");
        return Done;
    }
    if (!given.isEmpty() && board.command.parser.isSet(clear))
        return Usage_Error(board.command.name, "give a URL or --clear, not both");
    QString error;
    const QString url = given.isEmpty() ? QString() : Board_Client::Parse_Address(given[0], error).toString();
    if (!given.isEmpty() && url.isEmpty())
        return Usage_Error(board.command.name, error);
    if (!preferences.Write(Preferences::Board_Url_Key, url))
    {
        Error(QStringLiteral("%1: cannot keep the address").arg(preferences.File_Name()));
        return Rejected;
    }
    Print(url.isEmpty() ? QStringLiteral("No board is kept now.\n") : QStringLiteral("Board: %1\n").arg(url));
    return Done;
}

int Name(const QStringList& arguments, Preferences& preferences)
{
    Board_Command board("name",
                        "Shows the kept name, or keeps NAME as the one your laps stand under on the "
                        "board. The first board to take a lap under a name keeps it for this install.",
                        "[NAME]");
    if (const int status = board.command.Parse(arguments, 0, 1))
        return status < 0 ? Done : status;
    if (board.command.parser.positionalArguments().isEmpty())
    {
        const QString kept = Board_Settings::Name(preferences);
        Print(kept.isEmpty() ? QStringLiteral("No name is kept.\n") : kept + "\n");
        return Done;
    }
    const QString name = board.command.Argument(0);
    const QString problem = Player_Name::Problem(name);
    if (!problem.isEmpty())
        return Usage_Error(board.command.name, problem);
    if (!preferences.Write(Preferences::Board_Name_Key, name))
    {
        Error(QStringLiteral("%1: cannot keep the name").arg(preferences.File_Name()));
        return Rejected;
    }
    Print(QStringLiteral("Name: %1\n").arg(name));
    return Done;
}

int Submit(const QStringList& arguments, Options& options, Preferences& preferences)
{
    Board_Command board("submit",
                        "Sends each course's kept best lap (or one course's) to the board, with the inputs "
                        "that prove it, under the kept name.",
                        "[COURSE]");
    if (const int status = board.command.Parse(arguments, 0, 1))
        return status < 0 ? Done : status;
    int first = 0;
    int last = Get_Track_Count() - 1;
    if (!board.command.parser.positionalArguments().isEmpty())
    {
        first = last = Course_Argument(board.command.name, board.command.Argument(0));
        if (first < 0)
            return Wrong_Usage;
    }
    int status = Done;
    const QUrl address = board.Address(preferences, status);
    if (status != Done)
        return status;
    const QString name_problem = Board_Settings::Name_Problem(preferences);
    if (!name_problem.isEmpty())
        return Usage_Error(board.command.name, name_problem);

    Board_Client client(address);
    int sent = 0;
    for (int course = first; course <= last; ++course)
    {
        const Stored_Record record = Stored_Record::Read(options, course);
        if (!record.Is_Ok() || record.m_inputs.isEmpty())
        {
            // Only a lap that proves itself is sent: the board takes no other.
            const QString why = !record.Is_Ok()
                                    ? (record.m_present ? record.m_verdict : QStringLiteral("no best lap"))
                                    : QStringLiteral("kept without the inputs that prove it");
            Print(QStringLiteral("%1: not sent: %2\n").arg(Get_Track_Name(course), why));
            if (first == last)
                status = Rejected;
            continue;
        }
        ++sent;
        const QByteArray lap = Record_File::Write(course, record.m_time, record.m_ghost, record.m_inputs);
        const Board_Client::Submitted answer = Wait_For<Board_Client::Submitted>(
            [&](std::function<void(const Board_Client::Submitted&)> done) {
                client.Submit(lap, Board_Settings::Name(preferences), Board_Settings::Key(preferences), done);
            });
        const QString time = Race_Clock::Format_Time(record.m_time);
        if (answer.outcome != Board_Client::Answered)
        {
            Error(QStringLiteral("%1 %2: %3%4")
                      .arg(Get_Track_Name(course), time,
                           answer.outcome == Board_Client::Refused ? QStringLiteral("refused: ") : QString(),
                           answer.reason));
            status = std::max(status, Status_Of(answer.outcome));
            if (answer.outcome == Board_Client::Unreachable)
                break;
            continue;
        }
        // The place as a place: "1 on the board" read as a count of players.
        const QString place = Board_Session::Ordinal(answer.rank);
        Print(answer.kept.isEmpty() ? QStringLiteral("%1 %2: taken: %3 on the board (lap %4)\n")
                                          .arg(Get_Track_Name(course), time, place)
                                          .arg(answer.id)
                                    : QStringLiteral("%1 %2: %3: %4 on the board (lap %5)\n")
                                          .arg(Get_Track_Name(course), time, answer.kept, place)
                                          .arg(answer.id));
    }
    if (sent == 0 && first != last)
        Print(QStringLiteral("No best lap to send.\n"));
    return status;
}

int Top(const QStringList& arguments, Preferences& preferences)
{
    Board_Command board(
        "top", "Shows the course's standings on the board: each player's best lap, fastest first.", "COURSE");
    const QCommandLineOption limit_option("limit", "How many laps to show, 1 to 500 (default 10).", "N",
                                          "10");
    board.command.parser.addOption(limit_option);
    if (const int status = board.command.Parse(arguments, 1, 1))
        return status < 0 ? Done : status;
    const int course = Course_Argument(board.command.name, board.command.Argument(0));
    if (course < 0)
        return Wrong_Usage;
    bool number = false;
    const int limit = board.command.parser.value(limit_option).toInt(&number);
    if (!number || limit < 1 || limit > 500)
        return Usage_Error(board.command.name, "--limit takes a whole number from 1 to 500");
    int status = Done;
    const QUrl address = board.Address(preferences, status);
    if (status != Done)
        return status;
    Board_Client client(address);
    const Board_Client::Standings standings =
        Wait_For<Board_Client::Standings>([&](std::function<void(const Board_Client::Standings&)> done)
                                          { client.Get_Standings(course, limit, QString(), done); });
    if (standings.outcome != Board_Client::Answered)
    {
        Error(standings.reason);
        return Status_Of(standings.outcome);
    }
    Print(QStringLiteral("%1: %2 on the board\n").arg(Get_Track_Name(course)).arg(standings.total));
    for (const Board_Client::Entry& entry : standings.laps)
        Print(QStringLiteral("%1  %2  %3  lap %4\n")
                  .arg(entry.rank, 4)
                  .arg(entry.name, -Player_Name::Max_Length)
                  .arg(Race_Clock::Format_Time(entry.time), 9)
                  .arg(entry.id));
    return Done;
}

int Fetch(const QStringList& arguments, Preferences& preferences)
{
    Board_Command board("fetch",
                        "Saves a lap of the board (its id is in 'top') as a lap file to race against with "
                        "'tavrelo --ghost FILE'; your own best and ghost stay as they are.",
                        "LAP-ID FILE");
    const QCommandLineOption force("force", "Replaces FILE if it exists.");
    board.command.parser.addOption(force);
    if (const int status = board.command.Parse(arguments, 2, 2))
        return status < 0 ? Done : status;
    const QString id_text = board.command.Argument(0);
    if (!Board_Wire::Is_Lap_Id(id_text))
        return Usage_Error(board.command.name,
                           QStringLiteral("'%1' is no lap id: ids are whole numbers from 1").arg(id_text));
    const QString path = board.command.Argument(1);
    if (QFileInfo::exists(path) && !board.command.parser.isSet(force))
    {
        Error(QStringLiteral("%1: not written: the file exists (--force replaces it)").arg(path));
        return Rejected;
    }
    int status = Done;
    const QUrl address = board.Address(preferences, status);
    if (status != Done)
        return status;
    Board_Client client(address);
    const Board_Client::Lap lap =
        Wait_For<Board_Client::Lap>([&](std::function<void(const Board_Client::Lap&)> done)
                                    { client.Fetch_Lap(id_text.toLongLong(), done); });
    if (lap.outcome != Board_Client::Answered)
    {
        Error(lap.reason);
        return Status_Of(lap.outcome);
    }
    // Checked before it is written: what lands in the file is a lap the game and this tool can read.
    Record_File record;
    QString reason;
    if (!record.Read(lap.file, reason))
    {
        Error(QStringLiteral("lap %1: the board sent no lap file: %2").arg(id_text, reason));
        return Rejected;
    }
    if (!Save_Whole(path, lap.file, reason))
    {
        Error(QStringLiteral("%1: cannot write: %2").arg(path, reason));
        return Rejected;
    }
    Print(QStringLiteral("Saved lap %1 (%2, %3) to %4\n")
              .arg(id_text, Get_Track_Name(record.m_course), Race_Clock::Format_Time(record.m_time), path));
    return Done;
}
} // namespace

int Board(const QStringList& arguments)
{
    // arguments[0] is "board"; the subcommand's parser sees its name where a program's would be.
    const QString subcommand = arguments.size() > 1 ? arguments[1] : QString();
    if (subcommand.isEmpty() || subcommand == "-h" || subcommand == "--help" || subcommand == "help")
    {
        Print(QString::fromLatin1(Board_Overview));
        return subcommand.isEmpty() ? Wrong_Usage : Done;
    }
    QStringList rest = arguments.mid(1);
    Options options;
    Preferences preferences(options.m_settings.fileName());
    if (subcommand == "url")
        return Url(rest, preferences);
    if (subcommand == "name")
        return Name(rest, preferences);
    if (subcommand == "submit")
        return Submit(rest, options, preferences);
    if (subcommand == "top")
        return Top(rest, preferences);
    if (subcommand == "fetch")
        return Fetch(rest, preferences);
    return Usage_Error("board", QStringLiteral("no board subcommand '%1'").arg(subcommand));
}
