#include "Board_Client.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <memory>

namespace
{
Board_Client::Entry Entry_Of(const QJsonObject& object)
{
    Board_Client::Entry entry;
    entry.id = static_cast<qint64>(object.value(QStringLiteral("id")).toDouble());
    entry.rank = object.value(QStringLiteral("rank")).toInt();
    entry.name = object.value(QStringLiteral("name")).toString();
    entry.time = static_cast<float>(object.value(QStringLiteral("time")).toDouble());
    entry.lap = object.value(QStringLiteral("lap")).toString();
    return entry;
}
} // namespace

QUrl Board_Client::Parse_Address(const QString& text, QString& error)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (text.trimmed().isEmpty())
        error = QStringLiteral("no address given");
    else if (!url.isValid())
        error = QStringLiteral("'%1' is not an address: %2").arg(text, url.errorString());
    else if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        error = QStringLiteral("'%1' is not an http:// or https:// address").arg(text);
    else if (url.host().isEmpty())
        error = QStringLiteral("'%1' names no host").arg(text);
    else if (url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        error = QStringLiteral("'%1': a board's address has no query, fragment or password").arg(text);
    else
        return url;
    return QUrl();
}

Board_Client::Board_Client(const QUrl& address) : m_address(address)
{
    // A board moved to https is followed there, and never from https back to http.
    m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

Board_Client::~Board_Client()
{
    for (QNetworkReply* reply : m_replies)
    {
        QObject::disconnect(reply, nullptr, nullptr, nullptr);
        reply->abort();
        delete reply;
    }
}

QUrl Board_Client::Url(const QString& path) const
{
    // A board may sit under a folder of its host (behind a proxy): its paths go after it.
    QUrl url = m_address;
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + path);
    return url;
}

void Board_Client::Send(QNetworkReply* reply, std::function<void(const Reply&)> done)
{
    m_replies.push_back(reply);
    auto too_large = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, too_large](qint64 received, qint64)
                     {
                         if (received <= Max_Answer || *too_large)
                             return;
                         *too_large = true;
                         reply->abort();
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [this, reply, too_large, done]()
                     {
                         m_replies.erase(std::remove(m_replies.begin(), m_replies.end(), reply),
                                         m_replies.end());
                         const Reply answer = Read(reply, *too_large);
                         reply->deleteLater();
                         done(answer);
                     });
}

Board_Client::Reply Board_Client::Read(QNetworkReply* reply, bool too_large)
{
    Reply answer{Unreachable, 0, QString(), QByteArray(), QJsonObject()};
    if (too_large)
    {
        answer.reason = QStringLiteral("the board's answer is larger than any board sends");
        return answer;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
    {
        answer.reason = reply->error() == QNetworkReply::OperationCanceledError
                            ? QStringLiteral("the board did not answer within %1 s").arg(Timeout_Ms / 1000)
                            : QStringLiteral("the board cannot be reached: %1").arg(reply->errorString());
        return answer;
    }
    answer.status = status.toInt();
    answer.body = reply->readAll();
    const QJsonDocument document = QJsonDocument::fromJson(answer.body);
    if (document.isObject())
        answer.json = document.object();
    const QString said = answer.json.value(QStringLiteral("error")).toString();
    if (answer.status >= 200 && answer.status < 300)
    {
        answer.outcome = Answered;
        return answer;
    }
    answer.reason = said.isEmpty()
                        ? QStringLiteral("the board answered %1 %2")
                              .arg(answer.status)
                              .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                              .trimmed()
                        : said;
    // Too busy, too many at once, or in trouble: the same request may be taken later.
    const bool later = answer.status == 408 || answer.status == 429 || answer.status >= 500;
    answer.outcome = later || answer.status < 400 ? Unreachable : Refused;
    return answer;
}

void Board_Client::Submit(const QByteArray& lap_file, const QString& name, const QString& key,
                          std::function<void(const Submitted&)> done)
{
    QNetworkRequest request(Url(QStringLiteral("/api/v1/laps")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setTransferTimeout(Timeout_Ms);
    const QJsonObject body{{QStringLiteral("name"), name},
                           {QStringLiteral("key"), key},
                           {QStringLiteral("lap"), QJsonDocument::fromJson(lap_file).object()}};
    Send(m_manager.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact)),
         [done](const Reply& reply)
         {
             Submitted submitted;
             submitted.outcome = reply.outcome;
             submitted.reason = reply.reason;
             if (reply.outcome == Answered)
             {
                 submitted.id = static_cast<qint64>(reply.json.value(QStringLiteral("id")).toDouble());
                 submitted.rank = reply.json.value(QStringLiteral("rank")).toInt();
                 submitted.kept = reply.json.value(QStringLiteral("kept")).toString();
                 if (submitted.id <= 0)
                 {
                     // Something answered, but not a board: the lap waits for the real one.
                     submitted.outcome = Unreachable;
                     submitted.reason = QStringLiteral("the address answers, but not as a board");
                 }
             }
             done(submitted);
         });
}

void Board_Client::Get_Standings(int course, int limit, const QString& player,
                                 std::function<void(const Standings&)> done)
{
    QUrl url = Url(QStringLiteral("/api/v1/courses/%1/laps").arg(course + 1));
    // Encoded by hand: QUrlQuery leaves a '+' in a name as it is, and a board reads that as a space.
    QString query = QStringLiteral("limit=%1").arg(limit);
    if (!player.isEmpty())
        query += QStringLiteral("&player=") + QString::fromLatin1(QUrl::toPercentEncoding(player));
    url.setQuery(query, QUrl::StrictMode);
    QNetworkRequest request(url);
    request.setTransferTimeout(Timeout_Ms);
    Send(m_manager.get(request),
         [done](const Reply& reply)
         {
             Standings standings;
             standings.outcome = reply.outcome;
             standings.reason = reply.reason;
             const QJsonValue laps = reply.json.value(QStringLiteral("laps"));
             if (reply.outcome == Answered && !laps.isArray())
             {
                 standings.outcome = Unreachable;
                 standings.reason = QStringLiteral("the address answers, but not as a board");
             }
             if (standings.outcome != Answered)
             {
                 done(standings);
                 return;
             }
             standings.total = reply.json.value(QStringLiteral("total")).toInt();
             for (const QJsonValue lap : laps.toArray())
                 standings.laps.push_back(Entry_Of(lap.toObject()));
             const QJsonValue player_value = reply.json.value(QStringLiteral("player"));
             standings.has_player = player_value.isObject();
             if (standings.has_player)
                 standings.player = Entry_Of(player_value.toObject());
             done(standings);
         });
}

void Board_Client::Fetch_Lap(qint64 id, std::function<void(const Lap&)> done)
{
    QNetworkRequest request(Url(QStringLiteral("/api/v1/laps/%1").arg(id)));
    request.setTransferTimeout(Timeout_Ms);
    Send(m_manager.get(request),
         [done](const Reply& reply)
         {
             Lap lap;
             lap.outcome = reply.outcome;
             lap.reason = reply.reason;
             if (reply.outcome == Answered)
                 lap.file = reply.body;
             done(lap);
         });
}
