// Records_Render: the records tool's render command, a course and its best lap drawn to a picture.
#include "Options.h"
#include "Race_Clock.h"
#include "Record_File.h"
#include "Record_Picture.h"
#include "Records_Tool.h"
#include "Stored_Record.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace
{
constexpr int Min_Side = 64;
constexpr int Max_Side = 8192;

} // namespace

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
    const QCommandLineOption force("force", "Replaces OUT.png if it exists.");
    command.parser.addOption(versus);
    command.parser.addOption(size_option);
    command.parser.addOption(force);
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

    const QString out = command.Argument(1);
    if (QFileInfo::exists(out) && !command.parser.isSet(force))
    {
        Error(QStringLiteral("%1: not written: the file exists (--force replaces it)").arg(out));
        return Rejected;
    }

    Options options;
    const Stored_Record stored = Stored_Record::Read(options, course);
    if (!stored.Is_Ok() || stored.m_ghost.isEmpty())
    {
        Error(QStringLiteral("%1: no lap of %2 to draw: %3")
                  .arg(options.m_settings.fileName(), Get_Track_Name(course),
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
                      .arg(path, record.m_course != course ? "a lap of " + Get_Track_Name(record.m_course)
                                                           : QStringLiteral("the lap has no ghost")));
            return Rejected;
        }
        rival_run = Record_Picture::Run{QFileInfo(path).completeBaseName(), record.m_time, record.m_ghost};
        rival = &rival_run;
    }

    const QImage image = Record_Picture::Render(course, run, rival, size);
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
    {
        Error(QStringLiteral("%1: cannot write: %2").arg(out, file.errorString()));
        return Rejected;
    }
    Print(QStringLiteral("Drew %1 (%2) to %3\n")
              .arg(Get_Track_Name(course), Race_Clock::Format_Time(stored.m_time), out));
    return Done;
}
