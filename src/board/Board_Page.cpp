#include "Board_Page.h"

#include "Level.h"
#include "Race_Clock.h"
#include "Track_List.h"

#include <QRectF>
#include <QStringList>

#include <algorithm>
#include <cmath>

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

// A time as the clock shows it, in whole hundredths (cut, not rounded): a gap is then the difference of the
// two times shown beside it. Board laps are proven, so finite and far from any overflow.
qint64 Shown_Hundredths(float seconds)
{
    return static_cast<qint64>(seconds * 100.0f);
}

// Seconds behind the leader, "7.72"; empty for none.
QString Gap(const Board_Store::Entry& lap, const Board_Store::Entry& leader)
{
    const qint64 gap = Shown_Hundredths(lap.time) - Shown_Hundredths(leader.time);
    if (leader.id == 0 || gap <= 0)
        return QString();
    return QStringLiteral("%1.%2").arg(gap / 100).arg(gap % 100, 2, 10, QLatin1Char('0'));
}

QString Course_Link(int course, qint64 page)
{
    return QStringLiteral("/courses/%1?page=%2").arg(QString::number(course + 1), QString::number(page));
}

// A course's heading, its standings and the ways through them: the same on the front page and its own.
// Each text is filled in by one arg(): a later arg() would read a name's own "%1" as its place.
QString Section(const Board_Page::Course_Standings& standings, const QString& outline)
{
    const QString number = QString::number(standings.course + 1);
    const QString name = Escaped(Get_Track_Name(standings.course));
    if (standings.total == 0)
        return QStringLiteral(
                   "<section id=\"course-%1\" class=\"course empty\">\n<h2>%2<a href=\"/courses/%1\">"
                   "%3</a></h2>\n<p>No lap yet.</p>\n</section>\n")
            .arg(number, outline, name);
    // A GET form: the answer is a page like any other, to keep or to share.
    QString html =
        QStringLiteral("<section id=\"course-%1\" class=\"course\">\n<h2>%2<a href=\"/courses/%1\">%3</a> "
                       "<span class=\"entrants\">%4</span></h2>\n<form class=\"find\" action=\"/courses/%1\" "
                       "method=\"get\"><input type=\"search\" name=\"player\" value=\"%5\" maxlength=\"%6\" "
                       "aria-label=\"A player's name\"> <button>Find a player</button></form>\n")
            .arg(number, outline, name,
                 standings.total == 1 ? QStringLiteral("1 entrant")
                                      : QStringLiteral("%1 entrants").arg(standings.total),
                 Escaped(standings.sought), QString::number(Board_Page::Max_Sought));
    if (!standings.sought.isEmpty())
    {
        const auto found =
            std::find_if(standings.entries.begin(), standings.entries.end(),
                         [&](const Board_Store::Entry& entry) { return entry.id == standings.found; });
        html += found == standings.entries.end()
                    ? QStringLiteral("<p class=\"sought\">No lap of %1 on %2.</p>\n")
                          .arg(Escaped(standings.sought), name)
                    : QStringLiteral("<p class=\"sought\"><a href=\"#found\">%1</a>: place %2 of %3, "
                                     "highlighted below.</p>\n")
                          .arg(Escaped(found->name), QString::number(found->rank),
                               QString::number(standings.total));
    }
    html += QStringLiteral("<table>\n<thead><tr><th>#</th><th>Name</th><th>Time</th><th>Gap</th><th>Date</th>"
                           "</tr></thead>\n<tbody>\n");
    for (const Board_Store::Entry& entry : standings.entries)
    {
        const QString gap = Gap(entry, standings.leader);
        html +=
            QStringLiteral("<tr%1><td>%2</td><td><a href=\"/laps/%3\">%4</a></td><td class=\"time\">%5</td>"
                           "<td class=\"time\">%6</td><td>%7</td></tr>\n")
                .arg(entry.id == standings.found ? QStringLiteral(" id=\"found\" class=\"found\"")
                                                 : QString(),
                     QString::number(entry.rank), QString::number(entry.id), Escaped(entry.name),
                     Race_Clock::Format_Time(entry.time), gap.isEmpty() ? gap : QLatin1Char('+') + gap,
                     entry.date.toString(QStringLiteral("yyyy-MM-dd")));
    }
    html += QStringLiteral("</tbody>\n</table>\n");
    const qint64 page = standings.offset / Board_Page::Rows + 1;
    const qint64 pages = (standings.total + Board_Page::Rows - 1) / Board_Page::Rows;
    if (pages > 1)
        html += QStringLiteral("<nav class=\"pages\">%1<span>Page %2 of %3</span>%4</nav>\n")
                    .arg(page > 1 ? QStringLiteral("<a rel=\"prev\" href=\"%1\">Previous</a>")
                                        .arg(Course_Link(standings.course, page - 1))
                                  : QString(),
                         QString::number(page), QString::number(pages),
                         page < pages ? QStringLiteral("<a rel=\"next\" href=\"%1\">Next</a>")
                                            .arg(Course_Link(standings.course, page + 1))
                                      : QString());
    return html + QStringLiteral("</section>\n");
}
} // namespace

QByteArray Board_Page::Front(const std::vector<Course_Standings>& courses,
                             const std::vector<QString>& outlines)
{
    QString body = QStringLiteral("<header><h1>Tavrelo board</h1><p>Every lap here was raced again from its "
                                  "inputs before it was taken.</p></header>\n<main>\n");
    for (const Course_Standings& standings : courses)
        body += Section(standings, outlines.at(static_cast<size_t>(standings.course)));
    body += QStringLiteral("</main>\n");
    return Page(QStringLiteral("Tavrelo board"), body);
}

QByteArray Board_Page::Course(const Course_Standings& standings, const QString& outline)
{
    return Page(QStringLiteral("%1 - Tavrelo board").arg(Get_Track_Name(standings.course)),
                QStringLiteral("<header><p><a href=\"/\">Tavrelo board</a></p></header>\n<main>\n%1</main>\n")
                    .arg(Section(standings, outline)));
}

QByteArray Board_Page::Lap(const Board_Store::Entry& lap, const Board_Store::Entry* leader)
{
    const QString course = Get_Track_Name(lap.course);
    QString place;
    if (lap.rank == 1)
        place = QStringLiteral("The fastest lap of %1.").arg(Escaped(course));
    else if (lap.rank > 1 && leader != nullptr)
        place = QStringLiteral("Place %1, %2 s behind the leader, %3.")
                    .arg(QString::number(lap.rank), Gap(lap, *leader), Escaped(leader->name));
    else
        place =
            QStringLiteral("No longer on the board: its driver has a faster lap of %1.").arg(Escaped(course));
    const QString title = QStringLiteral("%1 on %2").arg(lap.name, course);
    // A downloaded lap is raced as a rival's ghost; importing it would make it the player's own record.
    const QString body =
        QStringLiteral(
            "<header><p><a href=\"/\">Tavrelo board</a></p><h1>%1</h1></header>\n<main>\n"
            "<p class=\"lap\"><span class=\"time\">%2</span> on %3, %4</p>\n<p id=\"place\">%5</p>\n"
            "<p><img src=\"/api/v1/laps/%6.png\" width=\"1024\" height=\"768\" "
            "alt=\"The lap's line over %3, coloured by speed\"></p>\n"
            "<p><a href=\"/api/v1/laps/%6\" download=\"%7\">Download the lap</a> and race against its "
            "ghost: <code>tavrelo --ghost %7</code>. Your own best and ghost stay as they "
            "are.</p>\n</main>\n")
            .arg(Escaped(title), Race_Clock::Format_Time(lap.time), Escaped(course),
                 lap.date.toString(QStringLiteral("yyyy-MM-dd")), place, QString::number(lap.id),
                 QStringLiteral("tavrelo-%1-%2.json").arg(course.toLower(), QString::number(lap.id)));
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
           "h2 a { color: inherit; text-decoration: none; }\n"
           "main { display: flex; flex-wrap: wrap; gap: 1em 2em; align-items: flex-start; }\n"
           "section { flex: 1 1 24em; }\n"
           "section.empty { flex: 0 0 auto; color: #909090; }\n"
           "svg.outline { vertical-align: middle; margin-right: 0.4em; }\n"
           "svg.outline polyline { fill: none; stroke: currentColor; stroke-width: 2; "
           "vector-effect: non-scaling-stroke; stroke-linejoin: round; }\n"
           ".entrants { font-size: 0.7em; color: #909090; }\n"
           "form.find { margin: 0 0 0.6em; }\n"
           "input, button { font: inherit; }\n"
           "table { border-collapse: collapse; width: 100%; }\n"
           "th, td { text-align: left; padding: 0.2em 0.5em; border-bottom: 1px solid #2a3038; }\n"
           "td:first-child, .time { font-variant-numeric: tabular-nums; }\n"
           "td:nth-child(n+3) { white-space: nowrap; }\n"
           "tr.found { background: #2c4a3a; outline: 2px solid #a0fabe; }\n"
           "nav.pages { display: flex; gap: 1em; justify-content: center; margin: 0.6em 0; }\n"
           "img { max-width: 100%; height: auto; background: #000; }\n"
           "main > p { flex: 1 1 100%; margin: 0.3em 0; }\n";
}

QString Board_Page::Outline(int course)
{
    // Whole units of a drawing Units across, points kept only where the line bends by more than Tolerance
    // of them: the heading's picture is a few hundred bytes, sent with every page, and still true to the
    // pixel.
    constexpr double Units = 120.0;
    constexpr double Tolerance = 0.5;
    constexpr double Margin = 4.0;
    constexpr int Height = 32; // pixels, beside a heading's text
    Level level;
    level.Init(course, Level::Course_Only);
    QRectF bounds(level.m_points.front(), QSizeF());
    for (const QPointF& point : level.m_points)
        bounds |= QRectF(point, QSizeF(0.001, 0.001));
    const double scale = Units / std::max(bounds.width(), bounds.height());
    std::vector<QPointF> line;
    for (const QPointF& point : level.m_points)
        line.push_back(QPointF(Margin, Margin) + (point - bounds.topLeft()) * scale);
    const auto off_chord = [](const QPointF& point, const QPointF& from, const QPointF& to)
    {
        const QPointF chord = to - from;
        const double length = QPointF::dotProduct(chord, chord);
        const double along =
            length > 0.0 ? std::clamp(QPointF::dotProduct(point - from, chord) / length, 0.0, 1.0) : 0.0;
        const QPointF apart = point - (from + chord * along);
        return std::hypot(apart.x(), apart.y());
    };
    QStringList points;
    const auto keep = [&points](const QPointF& point)
    {
        const QString xy = QStringLiteral("%1,%2").arg(std::lround(point.x())).arg(std::lround(point.y()));
        if (points.isEmpty() || points.back() != xy)
            points << xy;
    };
    keep(line.front());
    size_t anchor = 0;
    for (size_t next = 2; next < line.size(); ++next)
        for (size_t between = anchor + 1; between < next; ++between)
            if (off_chord(line[between], line[anchor], line[next]) > Tolerance)
            {
                anchor = next - 1;
                keep(line[anchor]);
                break;
            }
    keep(line.back());
    // The start, where every lap begins and ends, as a dot.
    const QStringList start = points.front().split(QLatin1Char(','));
    const double width = 2 * Margin + bounds.width() * scale;
    const double height = 2 * Margin + bounds.height() * scale;
    return QStringLiteral(
               "<svg class=\"outline\" viewBox=\"0 0 %1 %2\" width=\"%3\" height=\"%4\" role=\"img\" "
               "aria-label=\"The outline of %5\"><polyline points=\"%6\"/><circle cx=\"%7\" cy=\"%8\" "
               "r=\"3\" fill=\"currentColor\"/></svg>")
        .arg(QString::number(std::lround(width)), QString::number(std::lround(height)),
             QString::number(std::lround(width * Height / height)), QString::number(Height),
             Escaped(Get_Track_Name(course)), points.join(QLatin1Char(' ')), start.at(0), start.at(1));
}
