// Records_Clear: the records tool's clear command.
#include "Options.h"
#include "Records_Tool.h"
#include "Stored_Record.h"

#include <QFile>

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
        Print(QStringLiteral("%1 has no record; nothing changed\n").arg(Get_Track_Name(course)));
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
    Print(QStringLiteral("Cleared the record of %1 (kept in %2)\n").arg(Get_Track_Name(course), backup));
    return Done;
}
