// Board_Store: the board's players and proven laps in one SQL database, SQLite or PostgreSQL, a connection
// per thread.
#ifndef TAVRELO_BOARD_STORE_H
#define TAVRELO_BOARD_STORE_H

#include <QDateTime>
#include <QMutex>
#include <QSqlDatabase>
#include <QString>

#include <map>
#include <vector>

class QSqlError;

class Board_Store
{
public:
    // Where the database is: a SQLite file, or a PostgreSQL server.
    struct Location
    {
        QString driver; // QSQLITE or QPSQL
        QString database;
        QString host; // PostgreSQL: a name, an address or a socket folder
        int port = -1;
        QString user;
        QString password;
    };
    static Location Sqlite(const QString& file);
    // postgresql://[user[:password]@][host][:port]/database[?host=/socket/folder]
    static bool Parse_Url(const QString& url, Location& location, QString& error);

    // The schema this board writes; older ones are migrated forward on start.
    static constexpr int Schema_Version = 1;

    explicit Board_Store(const Location& location);
    ~Board_Store();
    Board_Store(const Board_Store&) = delete;
    Board_Store& operator=(const Board_Store&) = delete;

    // Creates the schema or migrates it forward; false with the reason when the
    // database cannot be reached or holds a newer schema.
    bool Open(QString& error);
    QString Description() const;

    enum Outcome
    {
        Stored,     // a new best lap for its player and course
        Same_Lap,   // this very lap was already stored for this player
        Not_Faster, // the player's best on the course is at least as fast: kept
        Name_Taken, // the name belongs to another key
        Lap_Taken,  // these inputs are on the board under another name
        Unavailable,
        Full, // the storage has no room left
    };
    struct Submission
    {
        int course;
        float time;
        QString ghost;
        QString inputs;
        QString name;
        QString key_hash;
        QString inputs_hash;
    };
    struct Result
    {
        Outcome outcome;
        qint64 id = 0; // the lap stored, or the player's best
        int rank = 0;  // its place on its course
    };
    Result Submit(const Submission& submission);

    struct Entry
    {
        qint64 id = 0;
        int course = 0;
        int rank = 0; // 0: not (or no longer) a best lap on the board
        QString name;
        float time = 0.0f;
        QDateTime date;
        QString ghost;
        QString inputs;
    };
    // The best lap of each player on course, fastest first; false when unavailable.
    bool Standings(int course, int limit, int offset, std::vector<Entry>& entries, int& total);
    enum Found
    {
        Found_Lap,
        No_Lap,
        Lookup_Failed,
    };
    Found Lap(qint64 id, Entry& entry);
    // A player's best lap on course, found by name in any case, with its rank; total counts every
    // player's best there.
    Found Player_Best(int course, const QString& name, Entry& entry, int& total);
    // How many laps are stored in all; -1 when unavailable.
    qint64 Lap_Count();
    bool Healthy();

private:
    // This thread's open connection, opened (again) when needed; invalid when it cannot be.
    QSqlDatabase Connection();
    // Runs work on this thread's connection; when work finds it lost (and closes it), once more on a new one,
    // so that the first request after a database server's restart is answered too. A transaction cut off
    // that way was never committed, or is found committed: a lap's second try is answered as the same lap.
    template <typename Work, typename Answer> Answer With_Connection(Work work, Answer unavailable)
    {
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            QSqlDatabase database = Connection();
            if (!database.isOpen())
                return unavailable;
            const Answer answer = work(database);
            if (database.isOpen())
                return answer;
        }
        return unavailable;
    }
    // After an error: whether it is a clash of unique keys, and what else to answer.
    Outcome Classify(const QSqlError& error, QSqlDatabase& database, bool& clash);
    bool Is_Postgres() const;
    Result Try_Submit(QSqlDatabase& database, const Submission& submission, bool& clash);

    Location m_location;
    QMutex m_mutex;
    std::map<Qt::HANDLE, QString> m_connections; // thread: its connection's name
};

#endif
