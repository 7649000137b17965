#include "Board_Api.h"

#include "Board_Page.h"
#include "Board_Store.h"
#include "Board_Wire.h"
#include "Lap_Verifier.h"
#include "Player_Name.h"
#include "Race_Clock.h"
#include "Record_File.h"
#include "Track_List.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QStringList>

#include <openssl/evp.h>

#include <algorithm>
#include <limits>

namespace
{
const QRegularExpression Standings_Path(QStringLiteral("^/api/v1/courses/([^/]+)/laps$"));
const QRegularExpression Lap_Path(QStringLiteral("^/api/v1/laps/([^/.]+)$"));
const QRegularExpression Picture_Path(QStringLiteral("^/api/v1/laps/([^/.]+)\\.png$"));
const QRegularExpression Page_Path(QStringLiteral("^/laps/([^/.]+)$"));
const QRegularExpression Course_Path(QStringLiteral("^/courses/([^/]+)$"));
const QRegularExpression Key_Text(QStringLiteral("^[\\x21-\\x7e]+$"));
const QRegularExpression Number_Text(QStringLiteral("^[0-9]{1,9}$"));

Board_Response Json(int status, const QJsonObject& object)
{
    return Board_Response{status, "application/json",
                          QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n'};
}

Board_Response Error(int status, const QString& reason)
{
    return Json(status, QJsonObject{{QStringLiteral("error"), reason}});
}

Board_Response Unavailable(Board_Store::Outcome outcome = Board_Store::Unavailable)
{
    if (outcome == Board_Store::Full)
        return Error(507, QStringLiteral("the board's storage is full"));
    if (outcome == Board_Store::Read_Only)
        return Error(503, QStringLiteral("the board's database takes no writes now"));
    return Error(503, QStringLiteral("the board's database cannot be reached"));
}

// Whether a JSON text escapes half of a UTF-16 pair alone (\ud800), which a parser would keep as another
// character.
bool Has_Lone_Surrogate(const QByteArray& json)
{
    const auto unit = [&json](qsizetype at, ushort& value)
    {
        if (at + 6 > json.size() || json[at] != '\\' || json[at + 1] != 'u')
            return false;
        bool ok = false;
        value = json.mid(at + 2, 4).toUShort(&ok, 16);
        return ok;
    };
    for (qsizetype at = 0; at < json.size(); ++at)
    {
        if (json[at] != '\\')
            continue;
        ushort value = 0;
        if (!unit(at, value))
        {
            ++at; // an escaped character, the backslash's own among them
            continue;
        }
        if (QChar::isLowSurrogate(value))
            return true;
        if (QChar::isHighSurrogate(value))
        {
            ushort next = 0;
            if (!unit(at + 6, next) || !QChar::isLowSurrogate(next))
                return true;
            at += 6;
        }
        at += 5;
    }
    return false;
}

// SHA-256 in hex. OpenSSL's, not Qt's: every lap sent has its inputs hashed, and Qt's portable code took
// several times as long, a fifteenth of what a submission cost the board.
QString Hash(const QByteArray& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.constData(), static_cast<size_t>(bytes.size()), digest, &length, EVP_sha256(),
                   nullptr) != 1)
        return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char*>(digest), static_cast<int>(length)).toHex());
}

// A lap id in a path: digits only, no sign, no leading zero.
qint64 Lap_Id(const QString& text)
{
    if (!Board_Wire::Is_Lap_Id(text))
        return 0;
    return text.toLongLong();
}

QJsonObject Lap_Json(const Board_Store::Entry& entry)
{
    return QJsonObject{
        {QStringLiteral("id"), entry.id},
        {QStringLiteral("rank"), entry.rank},
        {QStringLiteral("name"), entry.name},
        {QStringLiteral("course"), entry.course + 1},
        {QStringLiteral("time"), static_cast<double>(entry.time)},
        {QStringLiteral("lap"), Race_Clock::Format_Time(entry.time)},
        {QStringLiteral("date"), entry.date.toString(Qt::ISODate)},
    };
}
} // namespace

Board_Api::Board_Api(Board_Store& store, int submissions_per_minute)
    : m_store(store), m_per_minute(submissions_per_minute), m_limiter(submissions_per_minute),
      m_pictures(store)
{
    for (int course = 0; course < Get_Track_Count(); ++course)
        m_outlines.push_back(Board_Page::Outline(course));
}

bool Board_Api::Races(const Board_Request& request)
{
    return request.method == "POST" && request.path == QLatin1String("/api/v1/laps") &&
           !request.body_too_large;
}

QString Board_Api::Name_Problem(const QString& name)
{
    return Player_Name::Problem(name);
}

int Board_Api::Course_Of(const QString& text)
{
    if (!QRegularExpression(QStringLiteral("^[1-9]$")).match(text).hasMatch())
        return -1;
    const int course = text.toInt() - 1;
    return course < Get_Track_Count() ? course : -1;
}

Board_Response Board_Api::Handle(const Board_Request& request)
{
    const QString& path = request.path;
    const bool get = request.method == "GET" || request.method == "HEAD";
    if (path == QLatin1String("/api/v1/laps"))
        return request.method == "POST" ? Submit(request)
                                        : Error(405, QStringLiteral("laps are sent with POST"));
    if (!get)
        return Error(405, QStringLiteral("only GET here"));
    if (path == QLatin1String("/healthz"))
    {
        const QString problem = m_store.Health_Problem();
        return problem.isEmpty() ? Board_Response{200, "text/plain; charset=utf-8", "ok\n"}
                                 : Board_Response{503, "text/plain; charset=utf-8", problem.toUtf8() + '\n'};
    }
    if (path == QLatin1String("/"))
        return Kept_Or_Made(request, [this] { return Front_Page(); });
    if (path == QLatin1String("/style.css"))
        return Board_Response{200, "text/css; charset=utf-8", Board_Page::Style()};
    if (path == QLatin1String("/favicon.ico"))
        return Board_Response{204, "image/x-icon", QByteArray()};
    QRegularExpressionMatch match;
    if ((match = Standings_Path.match(path)).hasMatch())
        return Kept_Or_Made(request, [&] { return Standings(match.captured(1), request.query); });
    if ((match = Lap_Path.match(path)).hasMatch())
        return Lap_File(match.captured(1));
    if ((match = Picture_Path.match(path)).hasMatch())
        return Lap_Picture(match.captured(1));
    if ((match = Page_Path.match(path)).hasMatch())
        return Kept_Or_Made(request, [&] { return Lap_Page(match.captured(1)); });
    if ((match = Course_Path.match(path)).hasMatch())
        return Kept_Or_Made(request, [&] { return Course_Page(match.captured(1), request.query); });
    if (path.startsWith(QLatin1String("/api/")))
        return Error(404, QStringLiteral("no such resource"));
    return Board_Response{404, "text/html; charset=utf-8", Board_Page::Not_Found()};
}

Board_Response Board_Api::Kept_Or_Made(const Board_Request& request,
                                       const std::function<Board_Response()>& make)
{
    // The query's parameters in a fixed order, each told apart from the next by its length.
    QStringList parameters = request.query.keys();
    parameters.sort();
    QString key = request.path;
    for (const QString& parameter : parameters)
    {
        const QString value = request.query.value(parameter);
        key += QLatin1Char('\n') + QString::number(parameter.size()) + QLatin1Char(':') + parameter +
               QLatin1Char('=') + QString::number(value.size()) + QLatin1Char(':') + value;
    }
    // Read first: a lap taken while the answer is made leaves it old.
    const quint64 generation = m_store.Generation();
    const quint64 version = m_store.Version();
    Board_Response response;
    if (m_answers.Find(key, generation, version, QDeadlineTimer::current().deadline(), response.type,
                       response.body))
        return response;
    response = make();
    if (response.status == 200)
        m_answers.Keep(key, generation, version, response.type, response.body);
    else
        m_answers.Give_Up(key);
    return response;
}

Board_Response Board_Api::Submit(const Board_Request& request)
{
    if (request.body_too_large)
        return Error(413, QStringLiteral("a submission is at most %1 bytes").arg(Board_Wire::Max_Body));
    // Before any work: a flood costs the board one lookup a request.
    // This board's own count first, which costs no query; then the one every board on the database shares.
    const QString too_many =
        QStringLiteral("too many submissions from %1: wait a minute").arg(request.address);
    if (!m_limiter.Allow(request.address, QDeadlineTimer::current().deadline()))
        return Error(429, too_many);
    if (m_store.Shares_Rate())
        switch (m_store.Take_Submission(request.address, m_per_minute))
        {
        case Board_Store::Refused:
            return Error(429, too_many);
        case Board_Store::Not_Known:
            return Unavailable();
        case Board_Store::Allowed:
            break;
        }
    if (Has_Lone_Surrogate(request.body))
        return Error(400, QStringLiteral("not JSON: a \\u escape of half a UTF-16 pair alone"));
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &parse_error);
    if (parse_error.error != QJsonParseError::NoError || !document.isObject())
        return Error(400, parse_error.error != QJsonParseError::NoError
                              ? QStringLiteral("not JSON: %1 at byte %2")
                                    .arg(parse_error.errorString())
                                    .arg(parse_error.offset)
                              : QStringLiteral("not a JSON object"));
    const QJsonObject object = document.object();
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue key = object.value(QStringLiteral("key"));
    const QJsonValue lap = object.value(QStringLiteral("lap"));
    if (!name.isString() || !key.isString() || !lap.isObject())
        return Error(400,
                     QStringLiteral("a submission is {\"name\": text, \"key\": text, \"lap\": a lap file}"));
    const QString problem = Name_Problem(name.toString());
    if (!problem.isEmpty())
        return Error(400, problem);
    const QString key_text = key.toString();
    if (key_text.size() < Min_Key || key_text.size() > Max_Key || !Key_Text.match(key_text).hasMatch())
        return Error(
            400, QStringLiteral("the key is %1 to %2 printable ASCII characters").arg(Min_Key).arg(Max_Key));

    Record_File file;
    QString reason;
    if (!file.Read(lap.toObject(), reason))
        return Error(422, reason);
    if (file.m_inputs.isEmpty())
        return Error(422,
                     QStringLiteral("no inputs to verify: the board takes only laps that prove themselves"));
    const Lap_Verifier::Verdict verdict =
        Lap_Verifier::Verify(file.m_course, file.m_time, file.m_ghost, file.m_inputs);
    if (verdict.kind != Lap_Verifier::Verified)
        return Error(422, verdict.Text());

    Board_Store::Submission submission{
        file.m_course,
        file.m_time,
        file.m_ghost,
        file.m_inputs,
        name.toString(),
        Hash(key_text.toUtf8()),
        Hash(QByteArray::number(file.m_course) + ':' + file.m_inputs.toLatin1())};
    const Board_Store::Result result = m_store.Submit(submission);
    QJsonObject answer{{QStringLiteral("id"), result.id},
                       {QStringLiteral("rank"), result.rank},
                       {QStringLiteral("course"), file.m_course + 1},
                       {QStringLiteral("time"), static_cast<double>(file.m_time)},
                       {QStringLiteral("lap"), Race_Clock::Format_Time(file.m_time)}};
    switch (result.outcome)
    {
    case Board_Store::Stored:
    {
        Board_Store::Entry lap;
        lap.id = result.id;
        lap.course = file.m_course;
        lap.name = name.toString();
        lap.time = file.m_time;
        lap.ghost = file.m_ghost;
        m_pictures.Queue(lap);
        return Json(201, answer);
    }
    case Board_Store::Same_Lap:
        if (result.rank > 0)
            return Json(201, answer);
        answer.insert(QStringLiteral("kept"), QStringLiteral("a faster lap of yours is on the board"));
        return Json(200, answer);
    case Board_Store::Not_Faster:
        answer.insert(QStringLiteral("kept"), QStringLiteral("your faster lap stays on the board"));
        return Json(200, answer);
    case Board_Store::Name_Taken:
        return Error(403, QStringLiteral("the name belongs to another player"));
    case Board_Store::Name_Lookalike:
        return Error(403,
                     QStringLiteral("the name looks like another player's: choose one that reads apart"));
    case Board_Store::Name_Mixed:
        return Error(403, QStringLiteral("the name mixes letters of %1, as names made to pass for others do: "
                                         "write it in one script")
                              .arg(result.detail));
    case Board_Store::Lap_Taken:
        return Error(409, QStringLiteral("this lap is on the board under another name"));
    case Board_Store::Unavailable:
    case Board_Store::Full:
    case Board_Store::Read_Only:
        break;
    }
    return Unavailable(result.outcome);
}

Board_Response Board_Api::Standings(const QString& course_text, const QHash<QString, QString>& query)
{
    const int course = Course_Of(course_text);
    if (course < 0)
        return Error(
            404, QStringLiteral("no course %1: courses are 1 to %2").arg(course_text).arg(Get_Track_Count()));
    int limit = Default_Limit;
    int offset = 0;
    for (const auto& [parameter, value] :
         {std::make_pair(QStringLiteral("limit"), &limit), std::make_pair(QStringLiteral("offset"), &offset)})
    {
        if (!query.contains(parameter))
            continue;
        const QString text = query.value(parameter);
        if (!Number_Text.match(text).hasMatch())
            return Error(400, QStringLiteral("%1 is a whole number").arg(parameter));
        *value = text.toInt();
    }
    if (limit < 1 || limit > Max_Limit)
        return Error(400, QStringLiteral("limit is 1 to %1").arg(Max_Limit));
    std::vector<Board_Store::Entry> entries;
    int total = 0;
    if (!m_store.Standings(course, limit, offset, entries, total))
        return Unavailable();
    QJsonArray laps;
    for (const Board_Store::Entry& entry : entries)
        laps.append(Lap_Json(entry));
    QJsonObject answer{
        {QStringLiteral("course"), course + 1}, {QStringLiteral("name"), Get_Track_Name(course)},
        {QStringLiteral("total"), total},       {QStringLiteral("limit"), limit},
        {QStringLiteral("offset"), offset},     {QStringLiteral("laps"), laps}};
    // ?player=NAME: where that player stands, wherever it is, so that a game need not page through all.
    if (query.contains(QStringLiteral("player")))
    {
        const QString player = query.value(QStringLiteral("player"));
        if (player.isEmpty() || player.size() > 4 * Max_Name)
            return Error(400, QStringLiteral("player is a name of 1 to %1 characters").arg(Max_Name));
        Board_Store::Entry entry;
        switch (m_store.Player_Best(course, player, entry, total))
        {
        case Board_Store::Lookup_Failed:
            return Unavailable();
        case Board_Store::Found_Lap:
            answer.insert(QStringLiteral("player"), Lap_Json(entry));
            break;
        case Board_Store::No_Lap:
            answer.insert(QStringLiteral("player"), QJsonValue::Null);
            break;
        }
        answer.insert(QStringLiteral("total"), total);
    }
    return Json(200, answer);
}

Board_Response Board_Api::Lap_File(const QString& id_text)
{
    Board_Store::Entry entry;
    const qint64 id = Lap_Id(id_text);
    const Board_Store::Found found = id > 0 ? m_store.Lap(id, entry) : Board_Store::No_Lap;
    if (found == Board_Store::Lookup_Failed)
        return Unavailable();
    if (found == Board_Store::No_Lap)
        return Error(404, QStringLiteral("no lap %1").arg(id_text));
    return Board_Response{200, "application/json",
                          Record_File::Write(entry.course, entry.time, entry.ghost, entry.inputs)};
}

Board_Response Board_Api::Lap_Picture(const QString& id_text)
{
    const qint64 id = Lap_Id(id_text);
    QByteArray png;
    const Board_Store::Found found = id > 0 ? m_pictures.Picture(id, png) : Board_Store::No_Lap;
    if (found == Board_Store::Lookup_Failed)
        return Unavailable();
    if (found == Board_Store::No_Lap)
        return Error(404, QStringLiteral("no lap %1").arg(id_text));
    return Board_Response{200, "image/png", png};
}

Board_Response Board_Api::Front_Page()
{
    std::vector<Board_Page::Course_Standings> courses(static_cast<size_t>(Get_Track_Count()));
    for (int course = 0; course < Get_Track_Count(); ++course)
    {
        Board_Page::Course_Standings& standings = courses[static_cast<size_t>(course)];
        standings.course = course;
        if (!m_store.Standings(course, Board_Page::Rows, 0, standings.entries, standings.total,
                               &standings.leader))
            return Board_Response{503, "text/html; charset=utf-8", Board_Page::Unavailable()};
    }
    return Board_Response{200, "text/html; charset=utf-8", Board_Page::Front(courses, m_outlines)};
}

Board_Response Board_Api::Course_Page(const QString& course_text, const QHash<QString, QString>& query)
{
    const Board_Response not_found{404, "text/html; charset=utf-8", Board_Page::Not_Found()};
    const Board_Response unavailable{503, "text/html; charset=utf-8", Board_Page::Unavailable()};
    Board_Page::Course_Standings standings;
    standings.course = Course_Of(course_text);
    if (standings.course < 0)
        return not_found;
    qint64 page = 1;
    if (query.contains(QStringLiteral("page")))
    {
        if (!Number_Text.match(query.value(QStringLiteral("page"))).hasMatch())
            return not_found;
        page = query.value(QStringLiteral("page")).toLongLong();
    }
    // A player sought opens the page that holds their row, whatever page was asked for.
    standings.sought = query.value(QStringLiteral("player"));
    if (!standings.sought.isEmpty() && standings.sought.size() <= Board_Page::Max_Sought)
    {
        Board_Store::Entry entry;
        int row = 0;
        switch (m_store.Player_Best(standings.course, standings.sought, entry, standings.total, &row))
        {
        case Board_Store::Lookup_Failed:
            return unavailable;
        case Board_Store::Found_Lap:
            standings.found = entry.id;
            page = (row - 1) / Board_Page::Rows + 1;
            break;
        case Board_Store::No_Lap:
            break;
        }
    }
    const qint64 offset = (page - 1) * Board_Page::Rows;
    if (page < 1 || offset > std::numeric_limits<int>::max())
        return not_found;
    standings.offset = static_cast<int>(offset);
    if (!m_store.Standings(standings.course, Board_Page::Rows, standings.offset, standings.entries,
                           standings.total, &standings.leader))
        return unavailable;
    if (standings.entries.empty() && page > 1)
        return not_found;
    return Board_Response{200, "text/html; charset=utf-8",
                          Board_Page::Course(standings, m_outlines[static_cast<size_t>(standings.course)])};
}

Board_Response Board_Api::Lap_Page(const QString& id_text)
{
    Board_Store::Entry entry;
    const qint64 id = Lap_Id(id_text);
    const Board_Store::Found found = id > 0 ? m_store.Lap(id, entry) : Board_Store::No_Lap;
    std::vector<Board_Store::Entry> leader;
    int total = 0;
    if (found == Board_Store::Lookup_Failed ||
        (found == Board_Store::Found_Lap && !m_store.Standings(entry.course, 1, 0, leader, total)))
        return Board_Response{503, "text/html; charset=utf-8", Board_Page::Unavailable()};
    if (found == Board_Store::No_Lap)
        return Board_Response{404, "text/html; charset=utf-8", Board_Page::Not_Found()};
    return Board_Response{200, "text/html; charset=utf-8",
                          Board_Page::Lap(entry, leader.empty() ? nullptr : &leader.front())};
}
