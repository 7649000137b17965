// Board_Client: one board's HTTP API, each request in the background and its answer given to a callback.
#ifndef TAVRELO_BOARD_CLIENT_H
#define TAVRELO_BOARD_CLIENT_H

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

class QNetworkReply;

class Board_Client
{
public:
    // A board that says nothing for this long is taken as out of reach.
    static constexpr int Timeout_Ms = 20000;
    // No answer of the board is larger than a lap file; more is not a board talking.
    static constexpr qint64 Max_Answer = 1024 * 1024;

    // An http or https address with a host; on anything else, why not.
    static QUrl Parse_Address(const QString& text, QString& error);

    explicit Board_Client(const QUrl& address);
    // Requests still on their way are dropped: their callbacks are never called.
    ~Board_Client();
    Board_Client(const Board_Client&) = delete;
    Board_Client& operator=(const Board_Client&) = delete;

    QUrl Address() const { return m_address; }

    enum Outcome
    {
        Answered,    // the board did what was asked
        Refused,     // the board said no, and will say it again to the same request
        Unreachable, // no answer, a timeout, a board in trouble or asking to wait: worth trying again
    };
    struct Entry
    {
        qint64 id = 0;
        int rank = 0;
        QString name;
        float time = 0.0f;
        QString lap; // the time as the board writes it
    };
    struct Submitted
    {
        Outcome outcome = Unreachable;
        QString reason; // why it was refused or not answered
        qint64 id = 0;  // the lap that now stands for the player
        int rank = 0;
        QString kept; // set when the board kept a faster lap of the player's instead
    };
    struct Standings
    {
        Outcome outcome = Unreachable;
        QString reason;
        int total = 0; // players with a lap on the course
        std::vector<Entry> laps;
        bool has_player = false; // a player was asked about and has a lap there
        Entry player;
    };
    struct Lap
    {
        Outcome outcome = Unreachable;
        QString reason;
        QByteArray file; // a lap file, as the board keeps it
    };

    void Submit(const QByteArray& lap_file, const QString& name, const QString& key,
                std::function<void(const Submitted&)> done);
    // The first limit laps of course (from 0); with a player's name, where that player stands too.
    void Get_Standings(int course, int limit, const QString& player,
                       std::function<void(const Standings&)> done);
    void Fetch_Lap(qint64 id, std::function<void(const Lap&)> done);

private:
    struct Reply
    {
        Outcome outcome;
        int status;
        QString reason;
        QByteArray body;
        QJsonObject json; // the body, when it is a JSON object
    };
    QUrl Url(const QString& path) const;
    void Send(QNetworkReply* reply, std::function<void(const Reply&)> done);
    static Reply Read(QNetworkReply* reply, bool too_large);

    QUrl m_address;
    QNetworkAccessManager m_manager;
    std::vector<QNetworkReply*> m_replies;
};

#endif
