// Records_Transfer: the records tool's export and import commands, a course's record to and from a file.
#include "Lap_Verifier.h"
#include "Options.h"
#include "Race_Clock.h"
#include "Record_File.h"
#include "Records_Tool.h"
#include "Stored_Record.h"

#include <QFile>
#include <QFileInfo>

int Export(const QStringList& arguments)
{
    Records_Command command("export", "Writes one course's best lap and its ghost to a record file (JSON).",
                            "COURSE FILE");
    const QCommandLineOption force("force", "Replaces FILE when it exists.");
    command.parser.addOption(force);
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
                  .arg(options.m_settings.fileName(), Get_Track_Name(course), record.m_verdict));
        return Rejected;
    }
    const QString path = command.Argument(1);
    // A lap file may well be a friend's lap or an older best of one's own: never lost unasked.
    if (QFileInfo::exists(path) && !command.parser.isSet(force))
    {
        Error(QStringLiteral("%1: not written: the file exists (--force replaces it)").arg(path));
        return Rejected;
    }
    QString reason;
    if (!Save_Whole(path, Record_File::Write(course, record.m_time, record.m_ghost, record.m_inputs), reason))
    {
        Error(QStringLiteral("%1: cannot write: %2").arg(path, reason));
        return Rejected;
    }
    Print(QStringLiteral("Exported %1 of %2 to %3\n")
              .arg(Race_Clock::Format_Time(record.m_time), Get_Track_Name(course), path));
    return Done;
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
    const QString name = Get_Track_Name(record.m_course);
    if (stored.m_time > 0.0f && !(record.m_time < stored.m_time) && !command.parser.isSet(force))
    {
        Error(QStringLiteral("%1: rejected: %2 is not faster than the best %3 of %4 (--force replaces it)")
                  .arg(path, Race_Clock::Format_Time(record.m_time), Race_Clock::Format_Time(stored.m_time),
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
              .arg(Race_Clock::Format_Time(record.m_time), name, path, proof.Text()));
    if (stored.m_present)
        Print(QStringLiteral(", replacing %1 (kept in %2)")
                  .arg(stored.m_time > 0.0f ? Race_Clock::Format_Time(stored.m_time) : stored.m_verdict,
                       backup));
    Print(QStringLiteral("\n"));
    return Done;
}
