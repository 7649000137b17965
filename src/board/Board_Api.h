// Board_Api: the board's answer to each request: the JSON API, the health check and the web pages.
#ifndef TAVRELO_BOARD_API_H
#define TAVRELO_BOARD_API_H

#include "Answer_Cache.h"
#include "Picture_Maker.h"
#include "Player_Name.h"
#include "Rate_Limiter.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <functional>
#include <list>
#include <utility>
#include <vector>

class Board_Store;

struct Board_Request
{
    QByteArray method;
    QString path;
    QHash<QString, QString> query;
    QByteArray body;
    bool body_too_large = false; // the body was cut off at Board_Wire::Max_Body
    QString address;             // the client's
};

struct Board_Response
{
    int status = 200;
    QByteArray type;
    QByteArray body;
};

class Board_Api
{
public:
    static constexpr int Max_Name = Player_Name::Max_Length;
    static constexpr int Min_Key = 16;
    static constexpr int Max_Key = 256;
    static constexpr int Default_Limit = 50;
    static constexpr int Max_Limit = 500;

    Board_Api(Board_Store& store, int submissions_per_minute);

    Board_Response Handle(const Board_Request& request);
    // Whether answering request means racing a lap again: the server gives those threads of their own.
    static bool Races(const Board_Request& request);

    // Empty when name may stand on the board (as given: names are not trimmed or changed), else why not.
    static QString Name_Problem(const QString& name);
    // The course numbered 1 to 3 in paths, as an index; -1 for none.
    static int Course_Of(const QString& text);

private:
    Board_Response Submit(const Board_Request& request);
    Board_Response Standings(const QString& course, const QHash<QString, QString>& query);
    Board_Response Lap_File(const QString& id);
    Board_Response Lap_Picture(const QString& id);
    Board_Response Front_Page();
    Board_Response Course_Page(const QString& course, const QHash<QString, QString>& query);
    Board_Response Lap_Page(const QString& id);
    // The answer kept for request while it is good, else the one make gives (kept when it is a success).
    Board_Response Kept_Or_Made(const Board_Request& request, const std::function<Board_Response()>& make);

    Board_Store& m_store;
    int m_per_minute;
    Rate_Limiter m_limiter;
    Answer_Cache m_answers;
    Picture_Maker m_pictures;
    // Each course's outline for its heading, drawn once: the courses never change while the board runs.
    std::vector<QString> m_outlines;
};

#endif
