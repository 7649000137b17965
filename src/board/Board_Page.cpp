#include "Board_Page.h"

#include "Race_Clock.h"
#include "Track_List.h"

namespace
{
QString Escaped(const QString& text)
{
    // toHtmlEscaped leaves the apostrophe, which ends an attribute quoted with it.
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

QByteArray Page(const QString& title, const QString& body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                          "<title>%1</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n</head>\n"
                          "<body>\n%2</body>\n</html>\n")
        .arg(Escaped(title), body)
        .toUtf8();
}
} // namespace

QByteArray Board_Page::Front(const std::vector<std::vector<Board_Store::Entry>>& courses)
{
    QString body = QStringLiteral("<header><h1>Tavrelo board</h1><p>Every lap here was raced again from its "
                                  "inputs before it was taken.</p></header>\n<main>\n");
    for (size_t course = 0; course < courses.size(); ++course)
    {
        const QString name = Get_Track_Name(static_cast<int>(course));
        body +=
            QStringLiteral("<section id=\"course-%1\">\n<h2>%2</h2>\n").arg(course + 1).arg(Escaped(name));
        if (courses[course].empty())
        {
            body += QStringLiteral("<p class=\"empty\">No lap yet.</p>\n</section>\n");
            continue;
        }
        body += QStringLiteral(
            "<table>\n<thead><tr><th>#</th><th>Name</th><th>Time</th><th>Date</th></tr></thead>\n"
            "<tbody>\n");
        for (const Board_Store::Entry& entry : courses[course])
            body +=
                QStringLiteral("<tr><td>%1</td><td><a href=\"/laps/%2\">%3</a></td><td class=\"time\">%4</td>"
                               "<td>%5</td></tr>\n")
                    .arg(entry.rank)
                    .arg(entry.id)
                    .arg(Escaped(entry.name), Race_Clock::Format_Time(entry.time),
                         entry.date.toString(QStringLiteral("yyyy-MM-dd")));
        body += QStringLiteral("</tbody>\n</table>\n</section>\n");
    }
    body += QStringLiteral("</main>\n");
    return Page(QStringLiteral("Tavrelo board"), body);
}

QByteArray Board_Page::Lap(const Board_Store::Entry& lap, const Board_Store::Entry* leader)
{
    const QString course = Get_Track_Name(lap.course);
    QString place;
    if (lap.rank == 1)
        place = QStringLiteral("The fastest lap of %1.").arg(Escaped(course));
    else if (lap.rank > 1 && leader != nullptr)
        place = QStringLiteral("Place %1, %2 s behind the leader, %3.")
                    .arg(lap.rank)
                    .arg(static_cast<double>(lap.time) - static_cast<double>(leader->time), 0, 'f', 2)
                    .arg(Escaped(leader->name));
    else
        place =
            QStringLiteral("No longer on the board: its driver has a faster lap of %1.").arg(Escaped(course));
    const QString title = QStringLiteral("%1 on %2").arg(lap.name, course);
    const QString body =
        QStringLiteral(
            "<header><p><a href=\"/\">Tavrelo board</a></p><h1>%1</h1></header>\n<main>\n"
            "<p class=\"lap\"><span class=\"time\">%2</span> on %3, %4</p>\n<p id=\"place\">%5</p>\n"
            "<p><img src=\"/api/v1/laps/%6.png\" width=\"1024\" height=\"768\" "
            "alt=\"The lap's line over %3, coloured by speed\"></p>\n"
            "<p><a href=\"/api/v1/laps/%6\" download=\"tavrelo-%7-%6.json\">Download the lap</a> "
            "to race against it: <code>tavrelo-records import</code> takes it.</p>\n</main>\n")
            .arg(Escaped(title), Race_Clock::Format_Time(lap.time), Escaped(course),
                 lap.date.toString(QStringLiteral("yyyy-MM-dd")), place)
            .arg(lap.id)
            .arg(course.toLower());
    return Page(title, body);
}

QByteArray Board_Page::Not_Found()
{
    return Page(QStringLiteral("Not found"),
                QStringLiteral("<main><h1>Not found</h1><p><a href=\"/\">The standings</a></p></main>\n"));
}

QByteArray Board_Page::Unavailable()
{
    return Page(
        QStringLiteral("Unavailable"),
        QStringLiteral("<main><h1>The board is unavailable</h1><p>Its database cannot be reached just "
                       "now; try again in a moment.</p></main>\n"));
}

QByteArray Board_Page::Style()
{
    return "body { margin: 0 auto; max-width: 64em; padding: 1em; background: #101418; color: #e8e8e8;\n"
           "  font: 16px/1.4 sans-serif; }\n"
           "a { color: #7fd4ff; }\n"
           "h1, h2 { color: #a0fabe; font-weight: normal; }\n"
           "main { display: flex; flex-wrap: wrap; gap: 1em 2em; }\n"
           "section { flex: 1 1 18em; }\n"
           "table { border-collapse: collapse; width: 100%; }\n"
           "th, td { text-align: left; padding: 0.2em 0.5em; border-bottom: 1px solid #2a3038; }\n"
           "td:first-child, .time { font-variant-numeric: tabular-nums; }\n"
           "td:nth-child(3), td:nth-child(4) { white-space: nowrap; }\n"
           "img { max-width: 100%; height: auto; background: #000; }\n"
           ".empty { color: #909090; }\n"
           "main > p { flex: 1 1 100%; margin: 0.3em 0; }\n";
}
