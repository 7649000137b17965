// Board_Store: the board's players and proven laps in one SQL database, SQLite or PostgreSQL, a connection
// per thread.
#ifndef TAVRELO_BOARD_STORE_H
#define TAVRELO_BOARD_STORE_H

#include <QDateTime>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QWaitCondition>

#include "Course_Ranking.h"
#include "Work_Queue.h"

#include <atomic>
#include <map>
#include <memory>
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
        QString options; // PostgreSQL: the URI's other parameters, as libpq takes them
    };
    static Location Sqlite(const QString& file);
    // A PostgreSQL URI as libpq reads it, with every parameter it documents (host, port, sslmode ...).
    static bool Parse_Url(const QString& url, Location& location, QString& error);

    // The schema this board writes; older ones are migrated forward on start.
    static constexpr int Schema_Version = 4;
    // A request waits this long for a connection of the pool before the board answers that it is unavailable.
    static constexpr int Pool_Wait_Ms = 10000;
    // Free bytes a SQLite board's disk needs, after it was full, before writes are tried again: a few laps.
    static constexpr qint64 Room_For_Writes = 1024 * 1024;

    // At most connections open to the database at once, shared by every request.
    explicit Board_Store(const Location& location, int connections = 4);
    ~Board_Store();
    Board_Store(const Board_Store&) = delete;
    Board_Store& operator=(const Board_Store&) = delete;

    // Creates the schema or migrates it forward; false with the reason when the
    // database cannot be reached or holds a newer schema.
    bool Open(QString& error);
    QString Description() const;

    enum Outcome
    {
        Stored,         // a new best lap for its player and course
        Same_Lap,       // this very lap was already stored for this player
        Not_Faster,     // the player's best on the course is at least as fast: kept
        Name_Taken,     // the name belongs to another key
        Name_Lookalike, // a new name that reads as another player's
        Name_Mixed,     // a new name whose letters mix scripts, as look-alikes do
        Lap_Taken,      // these inputs are on the board under another name
        Unavailable,
        Full,      // the storage has no room left
        Read_Only, // the database takes no writes
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
        qint64 id = 0;              // the lap stored, or the player's best
        int rank = 0;               // its place on its course
        QString detail = QString(); // Name_Mixed: the scripts it mixes
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
    // The best lap of each player on course, fastest first (equal times in the order they came, sharing a
    // rank); with leader, the course's fastest lap too, whichever page this is (an id of 0 when there is
    // none). False when unavailable.
    bool Standings(int course, int limit, int offset, std::vector<Entry>& entries, int& total,
                   Entry* leader = nullptr);
    enum Found
    {
        Found_Lap,
        No_Lap,
        Lookup_Failed,
    };
    Found Lap(qint64 id, Entry& entry);
    // A player's best lap on course, found by name in any case, with its rank; total counts every
    // player's best there; row, when given, is where the standings list it (from 1).
    Found Player_Best(int course, const QString& name, Entry& entry, int& total, int* row = nullptr);
    // A lap's picture as kept by Keep_Picture; No_Lap when none is kept for it (yet).
    Found Picture(qint64 id, QByteArray& png);
    // Keeps a stored lap's picture, once: false when it could not be written (it can be drawn again), or when
    // a SQLite board's disk would keep less than Room_For_Laps free after it.
    bool Keep_Picture(qint64 id, const QByteArray& png);
    // A picture is several times a lap's size: pictures, which can be drawn again, never take the room that
    // laps, which cannot, need.
    static constexpr qint64 Room_For_Laps = 64 * 1024 * 1024;
    // How many laps are stored in all; -1 when unavailable.
    qint64 Lap_Count();
    // Empty when the database answers and, as far as the last writes tell, takes writes; else why not.
    QString Health_Problem();

    enum Allowance
    {
        Allowed,
        Refused,
        Not_Known, // the database did not answer
    };
    // Takes one of address's submissions_per_minute from its bucket in the database, which every board on it
    // shares (PostgreSQL; a SQLite file has one board, whose own count is enough).
    Allowance Take_Submission(const QString& address, int per_minute);
    bool Shares_Rate() const { return Is_Postgres(); }

    // How often a board on PostgreSQL asks whether another has taken a lap: what is kept from the database is
    // read again only after it has changed, and a lap another board takes shows here within about this long
    // (and the time to read the course again).
    static constexpr qint64 Version_Poll_Ms = 200;
    // What the database held as far as this board knows: grows when a lap is taken here or another board's
    // lap is seen (asked at most every Version_Poll_Ms, by one caller, the others not waiting). What is made
    // from the database after reading it is good until it grows.
    quint64 Version();
    // Grows only with laps taken here: what was made before one is never given again, since the player who
    // sent it may be the next to ask.
    quint64 Generation() const { return m_generation.load(); }

private:
    // This thread's open connection, opened (again) when needed; invalid when it cannot be.
    QSqlDatabase Connection();
    // Runs work on a connection of the pool, on the pool's thread that holds it, waiting Pool_Wait_Ms at
    // most for one to be free.
    template <typename Work, typename Answer> Answer With_Connection(Work work, Answer unavailable)
    {
        Answer answer = unavailable;
        m_pool->Run([&] { answer = On_Connection(work, unavailable); }, Pool_Wait_Ms);
        return answer;
    }
    // Runs work on this thread's connection; when work finds it lost (and closes it), once more on a new one,
    // so that the first request after a database server's restart is answered too. A transaction cut off
    // that way was never committed, or is found committed: a lap's second try is answered as the same lap.
    template <typename Work, typename Answer> Answer On_Connection(Work work, Answer unavailable)
    {
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            QSqlDatabase database = Connection();
            if (!database.isOpen())
                return unavailable;
            const Answer answer = work(database);
            Finish_Prepared();
            if (database.isOpen())
                return answer;
        }
        return unavailable;
    }
    // After an error: whether it is a clash of unique keys, and what else to answer.
    Outcome Classify(const QSqlError& error, QSqlDatabase& database, bool& clash);
    bool Is_Postgres() const;
    // A kept picture read from PostgreSQL as it is kept, in binary.
    Found Postgres_Picture(QSqlDatabase& database, qint64 id, QByteArray& png);
    Result Try_Submit(QSqlDatabase& database, const Submission& submission, bool& clash);
    bool Open_Here(QString& error);
    // What the last write told of the storage: a problem is logged once when it starts and once when it ends.
    void Writes_Failed(Outcome outcome);
    void Writes_Work();

    // The statement prepared on this thread's connection, ready for its values.
    QSqlQuery& Prepare(QSqlDatabase& database, const char* text);
    // The players' bests on a course that the WHERE clause picks, as the standings list them.
    QSqlQuery& Prepare_Standings(QSqlDatabase& database, const char* where);
    // A lap's place: one after every best lap that is faster, so that equal times share it, as in a race;
    // row, when given, is where the standings list it: after those as fast and stored earlier too.
    bool Rank_Of(QSqlDatabase& database, int course, double time, qint64 lap_id, int& rank,
                 int* row = nullptr);
    // The course's best laps as last read: read again after a lap is taken here, or after another board's
    // (one caller reads, the others use the last meanwhile, or wait for it holding no connection). Null when
    // the database does not answer. Never called on a connection: it takes one of its own to read.
    std::shared_ptr<const Course_Ranking> Ranking(int course);
    // Closes this thread's connection as its thread ends.
    void Forget_Connection();
    // Ends what this thread's kept statements still hold (a SQLite read left open would pin its snapshot).
    void Finish_Prepared();
    void Roll_Back(QSqlDatabase& database);

    struct Thread_Connection
    {
        QString name;
        std::map<QByteArray, QSqlQuery> prepared; // by statement, used by its own thread alone
        QSqlQuery failed;                         // the last statement that could not be prepared
    };
    Location m_location;
    QMutex m_mutex;
    std::map<Qt::HANDLE, Thread_Connection> m_connections;
    QString m_write_problem;
    qint64 m_write_probed_ms = 0;
    qint64 m_rate_pruned_ms = 0;
    std::unique_ptr<Work_Queue> m_pool;

    struct Kept_Ranking
    {
        std::shared_ptr<const Course_Ranking> ranking;
        quint64 generation = 0;
        quint64 version = 0;
        bool reading = false; // a caller is reading it again
    };
    QMutex m_ranking_mutex;
    QWaitCondition m_ranking_read;          // a course's ranking was read again (or could not be)
    std::map<int, Kept_Ranking> m_rankings; // by course
    std::atomic<quint64> m_generation{1};   // one more after each submission taken here
    std::atomic<quint64> m_version{1};      // one more after each change seen, here or elsewhere
    std::atomic<qint64> m_version_asked_ms{-Version_Poll_Ms};
    std::atomic<qint64> m_last_lap_id{-1};
};

#endif
