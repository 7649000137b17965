// tavrelo-records: lists, exports, imports, draws and clears the best laps the game keeps, through the
// game's own settings store, ghost codec, courses and road drawing.
#include "Lap_Timer.h"
#include "Lap_Verifier.h"
#include "Options.h"
#include "Record_Check.h"
#include "Record_File.h"
#include "Record_Picture.h"
#include "Records_Command.h"
#include "Stored_Record.h"
#include "Track_List.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
constexpr int Min_Side = 64;
constexpr int Max_Side = 8192;

const char* const Overview =
    "Lists, shares and draws the best laps Tavrelo keeps.\n"
    "\n"
    "Commands:\n"
    "  list                               each course's best lap and whether it is sound (the default)\n"
    "  export COURSE FILE                 writes a course's record to a record file\n"
    "  verify [COURSE | FILE]             races a lap's kept inputs again: verified, unverified or failed\n"
    "  import FILE [--force] [--unverified]\n"
    "                                     takes a record file's proven lap if it is faster (or with "
    "--force)\n"
    "  render COURSE OUT.png [--vs FILE] [--size WxH]\n"
    "                                     draws the course and the best lap's line, by speed\n"
    "  clear COURSE --yes                 removes a course's record\n"
    "\n"
    "COURSE is 1, 2 or 3, or a course's name in any case. 'tavrelo-records COMMAND --help' says more.\n"
    "A replaced or cleared record is first copied, with the whole settings file, beside it.\n"
    "Exit status: 0 done, 1 a file rejected or a write failed, 2 wrong usage.\n";

QString Course_Name(int course)
{
    return QString::fromLatin1(Get_Track_Info(course)->name);
}

// 1 to 3, or a course's name in any case; -1 when it names none.
int Find_Course(const QString& text)
{
    bool number = false;
    const int index = text.toInt(&number) - 1;
    if (number)
        return index >= 0 && index < Get_Track_Count() ? index : -1;
    for (int i = 0; i < Get_Track_Count(); ++i)
        if (text.compare(Course_Name(i), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString Course_Choices()
{
    QStringList names;
    for (int i = 0; i < Get_Track_Count(); ++i)
        names << QStringLiteral("%1 (%2)").arg(i + 1).arg(Course_Name(i));
    return names.join(QStringLiteral(", "));
}

// The course a command's first argument names; on a name that is no course,
// says which ones there are and returns -1 (the caller's usage error).
int Course_Argument(const QString& command, const QString& text)
{
    const int course = Find_Course(text);
    if (course < 0)
        Usage_Error(command,
                    QStringLiteral("no course '%1'; the courses are %2").arg(text, Course_Choices()));
    return course;
}

// Writes bytes to path whole or not at all.
bool Save_Whole(const QString& path, const QByteArray& bytes, QString& reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    {
        reason = file.errorString();
        return false;
    }
    return true;
}

int List(const QStringList& arguments)
{
    Records_Command command(
        "list",
        "Lists each course's best lap, its ghost, whether the game can use them, and whether the "
        "lap's kept inputs give its time and ghost.",
        "");
    if (const int status = command.Parse(arguments, 0, 0))
        return status < 0 ? Done : status;
    Options options;
    Print(QStringLiteral("%1  %2  %3  %4  %5\n")
              .arg("Course", -9)
              .arg("Best", -9)
              .arg("Samples", 7)
              .arg("Spans", -9)
              .arg("Verdict"));
    for (int course = 0; course < Get_Track_Count(); ++course)
    {
        const Stored_Record record = Stored_Record::Read(options, course);
        const int samples = Ghost_Sample_Count(record.m_ghost);
        const QString best =
            record.m_time > 0.0f ? Lap_Timer::Format_Time(record.m_time) : QStringLiteral("-");
        // A ghost of n samples follows the lap for n - 1 frames.
        const QString spans =
            samples > 0 ? Lap_Timer::Format_Time(Clock_After(samples - 1)) : QStringLiteral("-");
        // A sound record is also raced again from its inputs.
        const QString verdict =
            record.Is_Ok()
                ? QStringLiteral("ok, ") +
                      Lap_Verifier::Verify(course, record.m_time, record.m_ghost, record.m_inputs).Text()
                : record.m_verdict;
        Print(QStringLiteral("%1  %2  %3  %4  %5\n")
                  .arg(Course_Name(course), -9)
                  .arg(best, -9)
                  .arg(samples, 7)
                  .arg(spans, -9)
                  .arg(verdict));
    }
    Print(QStringLiteral("Settings: %1\n").arg(options.m_settings.fileName()));
    return Done;
}

int Export(const QStringList& arguments)
{
    Records_Command command("export", "Writes one course's best lap and its ghost to a record file (JSON).",
                            "COURSE FILE");
    if (const int status = command.Parse(arguments, 2, 2))
        return status < 0 ? Done : status;
    const int course = Course_Argument("export", command.Argument(0));
    if (course < 0)
        return Wrong_Usage;
    Options options;
    const Stored_Record record = Stored_Record::Read(options, course);
    if (!record.Is_Ok())
    {
        Error(QStringLiteral("%1: nothing to export for %2: %3")
                  .arg(options.m_settings.fileName(), Course_Name(course), record.m_verdict));
        return Rejected;
    }
    const QString path = command.Argument(1);
    QString reason;
    if (!Save_Whole(path, Record_File::Write(course, record.m_time, record.m_ghost, record.m_inputs), reason))
    {
        Error(QStringLiteral("%1: cannot write: %2").arg(path, reason));
        return Rejected;
    }
    Print(QStringLiteral("Exported %1 of %2 to %3\n")
              .arg(Lap_Timer::Format_Time(record.m_time), Course_Name(course), path));
    return Done;
}

// Reads and checks a record file; on failure says why and returns false.
bool Read_Record_File(const QString& path, Record_File& record)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        Error(QStringLiteral("%1: cannot read: %2").arg(path, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.read(Record_File::Max_File_Size + 1);
    QString reason;
    if (!record.Read(bytes, reason))
    {
        Error(QStringLiteral("%1: rejected: %2").arg(path, reason));
        return false;
    }
    return true;
}

int Import(const QStringList& arguments)
{
    Records_Command command(
        "import",
        "Takes the lap of a record file as its course's best, if it is faster than the stored one "
        "or there is none. The settings file is first copied beside itself.",
        "FILE");
    const QCommandLineOption force("force", "Replaces the stored best even when it is faster.");
    const QCommandLineOption unverified(
        "unverified", "Takes a lap that has no inputs to prove it (one kept before laps kept them).");
    command.parser.addOption(force);
    command.parser.addOption(unverified);
    if (const int status = command.Parse(arguments, 1, 1))
        return status < 0 ? Done : status;
    const QString path = command.Argument(0);
    Record_File record;
    if (!Read_Record_File(path, record))
        return Rejected;
    const Lap_Verifier::Verdict proof =
        Lap_Verifier::Verify(record.m_course, record.m_time, record.m_ghost, record.m_inputs);
    if (proof.kind == Lap_Verifier::Failed)
    {
        Error(QStringLiteral("%1: rejected: %2").arg(path, proof.Text()));
        return Rejected;
    }
    if (proof.kind == Lap_Verifier::Unverified && !command.parser.isSet(unverified))
    {
        Error(
            QStringLiteral("%1: rejected: the lap has no inputs to verify it (--unverified takes it anyway)")
                .arg(path));
        return Rejected;
    }

    Options options;
    const Stored_Record stored = Stored_Record::Read(options, record.m_course);
    const QString name = Course_Name(record.m_course);
    if (stored.m_time > 0.0f && !(record.m_time < stored.m_time) && !command.parser.isSet(force))
    {
        Error(QStringLiteral("%1: rejected: %2 is not faster than the best %3 of %4 (--force replaces it)")
                  .arg(path, Lap_Timer::Format_Time(record.m_time), Lap_Timer::Format_Time(stored.m_time),
                       name));
        return Rejected;
    }
    QString backup;
    if (stored.m_present)
    {
        QString reason;
        backup = options.Back_Up(reason);
        if (backup.isEmpty())
        {
            Error(QStringLiteral("%1: not imported: %2").arg(path, reason));
            return Rejected;
        }
    }
    if (!options.Write_Record(record.m_course, record.m_time, record.m_ghost, record.m_inputs))
    {
        // The settings file is as it was: a backup of it would only be clutter.
        if (!backup.isEmpty())
            QFile::remove(backup);
        Error(
            QStringLiteral("%1: cannot write: %2").arg(options.m_settings.fileName(), options.Write_Error()));
        return Rejected;
    }
    // A course without a record, in a file that reads with errors: the file was kept first all the same.
    const QString notice = options.Take_Backup_Notice();
    if (!notice.isEmpty())
        Error(notice);
    Print(QStringLiteral("Imported %1 for %2 from %3 (%4)")
              .arg(Lap_Timer::Format_Time(record.m_time), name, path, proof.Text()));
    if (stored.m_present)
        Print(QStringLiteral(", replacing %1 (kept in %2)")
                  .arg(stored.m_time > 0.0f ? Lap_Timer::Format_Time(stored.m_time) : stored.m_verdict,
                       backup));
    Print(QStringLiteral("\n"));
    return Done;
}

int Verify(const QStringList& arguments)
{
    Records_Command command(
        "verify",
        "Races the kept inputs of each course's best lap (or of one course, or of a record "
        "file) again with no window, and says whether they finish at exactly its time and "
        "leave exactly its ghost. Changes nothing.",
        "[COURSE | FILE]");
    if (const int status = command.Parse(arguments, 0, 1))
        return status < 0 ? Done : status;
    int status = Done;
    const auto report = [&status](const QString& what, const Lap_Verifier::Verdict& verdict)
    {
        Print(QStringLiteral("%1: %2\n").arg(what, verdict.Text()));
        if (verdict.kind == Lap_Verifier::Failed)
            status = Rejected;
    };
    const QString argument = command.parser.positionalArguments().isEmpty() ? QString() : command.Argument(0);
    const int named = argument.isEmpty() ? -1 : Find_Course(argument);
    if (!argument.isEmpty() && named < 0)
    {
        Record_File record;
        if (!Read_Record_File(argument, record))
            return Rejected;
        report(argument,
               Lap_Verifier::Verify(record.m_course, record.m_time, record.m_ghost, record.m_inputs));
        return status;
    }
    Options options;
    for (int course = 0; course < Get_Track_Count(); ++course)
    {
        if (named >= 0 && course != named)
            continue;
        const Stored_Record record = Stored_Record::Read(options, course);
        if (!record.m_present)
            Print(QStringLiteral("%1: no record\n").arg(Course_Name(course)));
        else if (!record.Is_Ok())
            report(Course_Name(course), Lap_Verifier::Verdict{Lap_Verifier::Failed, record.m_verdict});
        else
            report(Course_Name(course),
                   Lap_Verifier::Verify(course, record.m_time, record.m_ghost, record.m_inputs));
    }
    return status;
}

int Clear(const QStringList& arguments)
{
    Records_Command command(
        "clear", "Removes one course's best lap and ghost. The settings file is first copied beside itself.",
        "COURSE");
    const QCommandLineOption yes("yes", "Confirms the removal.");
    command.parser.addOption(yes);
    if (const int status = command.Parse(arguments, 1, 1))
        return status < 0 ? Done : status;
    const int course = Course_Argument("clear", command.Argument(0));
    if (course < 0)
        return Wrong_Usage;
    if (!command.parser.isSet(yes))
        return Usage_Error("clear", QStringLiteral("clear removes a record: confirm with --yes"));
    Options options;
    if (!Stored_Record::Read(options, course).m_present)
    {
        Print(QStringLiteral("%1 has no record; nothing changed\n").arg(Course_Name(course)));
        return Done;
    }
    QString reason;
    const QString backup = options.Back_Up(reason);
    if (backup.isEmpty())
    {
        Error(QStringLiteral("%1: not cleared: %2").arg(options.m_settings.fileName(), reason));
        return Rejected;
    }
    if (!options.Clear_Record(course))
    {
        QFile::remove(backup);
        Error(
            QStringLiteral("%1: cannot write: %2").arg(options.m_settings.fileName(), options.Write_Error()));
        return Rejected;
    }
    Print(QStringLiteral("Cleared the record of %1 (kept in %2)\n").arg(Course_Name(course), backup));
    return Done;
}

int Render(const QStringList& arguments)
{
    Records_Command command(
        "render",
        "Draws the whole course with the best lap's line coloured by speed, a tick every 5 seconds "
        "and the lap time; with --vs, a second lap and where along the course each one leads.",
        "COURSE OUT.png");
    const QCommandLineOption versus("vs", "A record file of the same course to race against.", "FILE");
    const QCommandLineOption size_option("size", "The picture's size in pixels (default 1024x768).", "WxH",
                                         "1024x768");
    command.parser.addOption(versus);
    command.parser.addOption(size_option);
    if (const int status = command.Parse(arguments, 2, 2))
        return status < 0 ? Done : status;
    const int course = Course_Argument("render", command.Argument(0));
    if (course < 0)
        return Wrong_Usage;
    const QRegularExpressionMatch size_match =
        QRegularExpression("^(\\d{1,5})x(\\d{1,5})$").match(command.parser.value(size_option));
    const QSize size = size_match.hasMatch()
                           ? QSize(size_match.captured(1).toInt(), size_match.captured(2).toInt())
                           : QSize();
    if (size.width() < Min_Side || size.height() < Min_Side || size.width() > Max_Side ||
        size.height() > Max_Side)
        return Usage_Error(
            "render",
            QStringLiteral("--size takes WIDTHxHEIGHT, each %1 to %2 pixels").arg(Min_Side).arg(Max_Side));

    Options options;
    const Stored_Record stored = Stored_Record::Read(options, course);
    if (!stored.Is_Ok() || stored.m_ghost.isEmpty())
    {
        Error(QStringLiteral("%1: no lap of %2 to draw: %3")
                  .arg(options.m_settings.fileName(), Course_Name(course),
                       stored.Is_Ok() ? QStringLiteral("its best lap has no ghost") : stored.m_verdict));
        return Rejected;
    }
    const Record_Picture::Run run{QStringLiteral("best lap"), stored.m_time, stored.m_ghost};
    Record_Picture::Run rival_run;
    const Record_Picture::Run* rival = nullptr;
    if (command.parser.isSet(versus))
    {
        const QString path = command.parser.value(versus);
        Record_File record;
        if (!Read_Record_File(path, record))
            return Rejected;
        if (record.m_course != course || record.m_ghost.isEmpty())
        {
            Error(QStringLiteral("%1: rejected: %2")
                      .arg(path, record.m_course != course ? "a lap of " + Course_Name(record.m_course)
                                                           : QStringLiteral("the lap has no ghost")));
            return Rejected;
        }
        rival_run = Record_Picture::Run{QFileInfo(path).completeBaseName(), record.m_time, record.m_ghost};
        rival = &rival_run;
    }

    const QImage image = Record_Picture::Render(course, run, rival, size);
    const QString out = command.Argument(1);
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
    {
        Error(QStringLiteral("%1: cannot write: %2").arg(out, file.errorString()));
        return Rejected;
    }
    Print(QStringLiteral("Drew %1 (%2) to %3\n")
              .arg(Course_Name(course), Lap_Timer::Format_Time(stored.m_time), out));
    return Done;
}
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
    return Usage_Error(QString(), QStringLiteral("no command '%1'").arg(name));
}
