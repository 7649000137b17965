// Records_List: the records tool's list and verify commands, which read and change nothing.
#include "Lap_Verifier.h"
#include "Options.h"
#include "Race_Clock.h"
#include "Record_Check.h"
#include "Record_File.h"
#include "Records_Tool.h"
#include "Stored_Record.h"
#include "Track_List.h"

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
            record.m_time > 0.0f ? Race_Clock::Format_Time(record.m_time) : QStringLiteral("-");
        // A ghost of n samples follows the lap for n - 1 frames.
        const QString spans =
            samples > 0 ? Race_Clock::Format_Time(Clock_After(samples - 1)) : QStringLiteral("-");
        // A sound record is also raced again from its inputs.
        const QString verdict =
            record.Is_Ok()
                ? QStringLiteral("ok, ") +
                      Lap_Verifier::Verify(course, record.m_time, record.m_ghost, record.m_inputs).Text()
                : record.m_verdict;
        Print(QStringLiteral("%1  %2  %3  %4  %5\n")
                  .arg(Get_Track_Name(course), -9)
                  .arg(best, -9)
                  .arg(samples, 7)
                  .arg(spans, -9)
                  .arg(verdict));
    }
    Print(QStringLiteral("Settings: %1\n").arg(options.m_settings.fileName()));
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
            Print(QStringLiteral("%1: no record\n").arg(Get_Track_Name(course)));
        else if (!record.Is_Ok())
            report(Get_Track_Name(course), Lap_Verifier::Verdict{Lap_Verifier::Failed, record.m_verdict});
        else
            report(Get_Track_Name(course),
                   Lap_Verifier::Verify(course, record.m_time, record.m_ghost, record.m_inputs));
    }
    return status;
}
