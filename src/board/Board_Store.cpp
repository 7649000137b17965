#include "Board_Store.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include "Name_Skeleton.h"

#include <libpq-fe.h>

#include <algorithm>

namespace
{
// Each step takes the schema one version forward; a step never changes once released.
// ID stands for the engine's own column of growing keys, BYTES for its type of raw bytes.
const std::vector<std::vector<const char*>> Migrations = {
    {
        "CREATE TABLE players (id ID, name TEXT NOT NULL, name_folded TEXT NOT NULL UNIQUE, "
        "key_hash TEXT NOT NULL, created BIGINT NOT NULL)",
        "CREATE TABLE laps (id ID, player_id BIGINT NOT NULL REFERENCES players (id), "
        "course INTEGER NOT NULL, time DOUBLE PRECISION NOT NULL, ghost TEXT NOT NULL, "
        "inputs TEXT NOT NULL, inputs_hash TEXT NOT NULL UNIQUE, submitted BIGINT NOT NULL)",
        "CREATE TABLE best (course INTEGER NOT NULL, player_id BIGINT NOT NULL REFERENCES players (id), "
        "lap_id BIGINT NOT NULL REFERENCES laps (id), time DOUBLE PRECISION NOT NULL, "
        "PRIMARY KEY (course, player_id))",
        "CREATE INDEX best_by_time ON best (course, time, lap_id)",
    },
    {
        // What each name looks like, filled in on the way for the names already here.
        "ALTER TABLE players ADD COLUMN name_skeleton TEXT",
        "CREATE INDEX players_by_skeleton ON players (name_skeleton)",
        // Submissions' buckets by address, which the boards on one database share.
        "CREATE TABLE submission_rate (address TEXT PRIMARY KEY, tokens DOUBLE PRECISION NOT NULL, "
        "updated BIGINT NOT NULL)",
    },
    {
        // The standings read the ranking rows alone: a lap's date kept beside its time, so that no read of
        // the standings walks the lap's ghost and inputs, and an index that holds all a page of them needs.
        "ALTER TABLE best ADD COLUMN submitted BIGINT",
        "UPDATE best SET submitted = (SELECT submitted FROM laps WHERE laps.id = best.lap_id)",
        "DROP INDEX best_by_time",
        "CREATE INDEX best_standings ON best (course, time, lap_id, player_id, submitted)",
    },
    {
        // Each lap's picture, drawn once when it is stored: a request for it is then a read.
        "CREATE TABLE lap_pictures (lap_id BIGINT PRIMARY KEY REFERENCES laps (id), png BYTES NOT NULL)",
    },
};

// The native error codes the store tells apart, as Qt's drivers give them: SQLite's result codes (extended
// where SQLite gives one) and PostgreSQL's SQLSTATE.
namespace Sqlite
{
constexpr const char* Busy = "5";
constexpr const char* Locked = "6";
constexpr const char* Read_Only = "8";
constexpr const char* Full = "13";
constexpr const char* Constraint = "19";
constexpr const char* Primary_Key = "1555";
constexpr const char* Unique = "2067";
} // namespace Sqlite
namespace Postgres
{
constexpr const char* Unique_Violation = "23505";
constexpr const char* Read_Only_Transaction = "25006";
constexpr const char* Disk_Full = "53100";
} // namespace Postgres

bool Is_Clash(const QString& code)
{
    return code == Sqlite::Constraint || code == Sqlite::Unique || code == Sqlite::Primary_Key ||
           code == Postgres::Unique_Violation;
}
bool Is_Full(const QString& code)
{
    return code == Sqlite::Full || code == Postgres::Disk_Full;
}
bool Is_Read_Only(const QString& code)
{
    return code == Sqlite::Read_Only || code == Postgres::Read_Only_Transaction;
}
// Busy and locked leave the connection sound.
bool Is_Busy(const QString& code)
{
    return code == Sqlite::Busy || code == Sqlite::Locked;
}

Board_Store::Entry Standing_Of(const QSqlQuery& query, int course, int rank)
{
    Board_Store::Entry entry;
    entry.id = query.value(0).toLongLong();
    entry.course = course;
    entry.rank = rank;
    entry.name = query.value(1).toString();
    entry.time = static_cast<float>(query.value(2).toDouble());
    entry.date = QDateTime::fromMSecsSinceEpoch(query.value(3).toLongLong(), Qt::UTC);
    return entry;
}
} // namespace

QSqlQuery& Board_Store::Prepare(QSqlDatabase& database, const char* text)
{
    // Prepared once a connection and kept, rather than prepared, run and dropped on every request. Only this
    // thread uses its entry; the lock guards the map itself.
    std::map<QByteArray, QSqlQuery>* prepared = nullptr;
    QSqlQuery* failed = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        Thread_Connection& connection = m_connections[QThread::currentThreadId()];
        prepared = &connection.prepared;
        failed = &connection.failed;
    }
    const QByteArray key(text);
    auto kept = prepared->find(key);
    if (kept != prepared->end())
    {
        kept->second.finish();
        return kept->second;
    }
    QSqlQuery& query = prepared->emplace(key, QSqlQuery(database)).first->second;
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromLatin1(text)))
    {
        // Not kept: the error stays on the query for this one call to read.
        *failed = std::move(query);
        prepared->erase(key);
        return *failed;
    }
    return query;
}

quint64 Board_Store::Version()
{
    // A SQLite file has this board alone: nothing changes but what it takes.
    if (!Is_Postgres())
        return m_version.load();
    const qint64 now = QDeadlineTimer::current().deadline();
    qint64 asked = m_version_asked_ms.load();
    if (now - asked >= Version_Poll_Ms && m_version_asked_ms.compare_exchange_strong(asked, now))
    {
        // Every change to the standings comes with a new lap, and lap ids only grow.
        const qint64 last = With_Connection(
            [this](QSqlDatabase& database)
            {
                bool clash = false;
                QSqlQuery& query = Prepare(database, "SELECT COALESCE(MAX(id), 0) FROM laps");
                if (!query.exec() || !query.next())
                    return Classify(query.lastError(), database, clash), qint64(-1);
                const qint64 id = query.value(0).toLongLong();
                query.finish();
                return id;
            },
            qint64(-1));
        if (last >= 0 && m_last_lap_id.exchange(last) != last)
            ++m_version;
    }
    return m_version.load();
}

std::shared_ptr<const Course_Ranking> Board_Store::Ranking(int course)
{
    // Read first: a lap taken while the rows are read leaves this ranking unkept.
    const quint64 generation = m_generation.load();
    const quint64 version = Version();
    {
        QMutexLocker lock(&m_ranking_mutex);
        for (;;)
        {
            Kept_Ranking& kept = m_rankings[course];
            const bool good = kept.ranking && kept.generation == generation;
            if (good && (kept.version == version || kept.reading))
                return kept.ranking;
            if (good || !kept.reading)
            {
                // Another board's lap, or none kept: this caller reads the course again, and the others use
                // the last meanwhile (another board's lap) or wait for this one (none that they may use).
                kept.reading = true;
                break;
            }
            // A course of many players takes a while to read: one caller reads it, not each of them.
            if (!m_ranking_read.wait(&m_ranking_mutex, Pool_Wait_Ms))
                break;
        }
    }
    std::vector<std::pair<double, qint64>> laps;
    const bool read = With_Connection(
        [&](QSqlDatabase& database)
        {
            QSqlQuery& query = Prepare(database, "SELECT time, lap_id FROM best WHERE course = ?");
            query.addBindValue(course);
            if (!query.exec())
            {
                bool clash = false;
                return Classify(query.lastError(), database, clash), false;
            }
            laps.clear();
            while (query.next())
                laps.emplace_back(query.value(0).toDouble(), query.value(1).toLongLong());
            query.finish();
            return true;
        },
        false);
    auto ranking = read ? std::make_shared<const Course_Ranking>(std::move(laps)) : nullptr;
    QMutexLocker lock(&m_ranking_mutex);
    Kept_Ranking& kept = m_rankings[course];
    kept.reading = false;
    if (ranking && generation == m_generation.load())
        kept = Kept_Ranking{ranking, generation, version, false};
    m_ranking_read.wakeAll();
    return ranking;
}

bool Board_Store::Rank_Of(QSqlDatabase& database, int course, double time, qint64 lap_id, int& rank, int* row)
{
    // Both in one read of the rows ahead in the standings' order, which the index holds.
    QSqlQuery& query = Prepare(database, "SELECT COALESCE(SUM(CASE WHEN time < ? THEN 1 ELSE 0 END), 0), "
                                         "COUNT(*) FROM best WHERE course = ? AND "
                                         "(time < ? OR (time = ? AND lap_id < ?))");
    query.addBindValue(time);
    query.addBindValue(course);
    query.addBindValue(time);
    query.addBindValue(time);
    query.addBindValue(lap_id);
    if (!query.exec() || !query.next())
        return false;
    rank = query.value(0).toInt() + 1;
    if (row != nullptr)
        *row = query.value(1).toInt() + 1;
    return true;
}

// The players' bests on a course that the WHERE clause picks, as the standings list them (read by
// Standing_Of).
QSqlQuery& Board_Store::Prepare_Standings(QSqlDatabase& database, const char* where)
{
    return Prepare(database, QByteArray("SELECT b.lap_id, p.name, b.time, b.submitted FROM best b "
                                        "JOIN players p ON p.id = b.player_id ")
                                 .append(where)
                                 .constData());
}

Board_Store::Location Board_Store::Sqlite(const QString& file)
{
    Location location;
    location.driver = QStringLiteral("QSQLITE");
    location.database = file;
    return location;
}

bool Board_Store::Parse_Url(const QString& text, Location& location, QString& error)
{
    const QString usage = QStringLiteral(
        "--database takes postgresql://[USER[:PASSWORD]@][HOST][:PORT]/DATABASE[?PARAMETER=VALUE...]");
    if (!text.startsWith(QLatin1String("postgresql://")) && !text.startsWith(QLatin1String("postgres://")))
    {
        error = usage;
        return false;
    }
    // libpq reads its own URIs: every parameter it documents means here what it means to psql.
    char* reason = nullptr;
    PQconninfoOption* options = PQconninfoParse(text.toUtf8().constData(), &reason);
    if (options == nullptr)
    {
        error = QStringLiteral("%1: %2").arg(usage, reason ? QString::fromUtf8(reason).trimmed() : QString());
        PQfreemem(reason);
        return false;
    }
    location = Location();
    location.driver = QStringLiteral("QPSQL");
    QStringList rest;
    bool quotable = true;
    for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option)
    {
        if (option->val == nullptr)
            continue;
        const QString key = QString::fromUtf8(option->keyword);
        const QString value = QString::fromUtf8(option->val);
        if (key == QLatin1String("dbname"))
            location.database = value;
        else if (key == QLatin1String("host"))
            location.host = value;
        else if (key == QLatin1String("port"))
            location.port = value.contains(',') ? -1 : value.toInt();
        else if (key == QLatin1String("user"))
            location.user = value;
        else if (key == QLatin1String("password"))
            location.password = value;
        else
        {
            // Qt hands its connection options to libpq with each ';' made a space.
            quotable = quotable && !value.contains(';');
            rest << key + "='" + QString(value).replace('\\', "\\\\").replace('\'', "\\'") + "'";
        }
        // A list of ports, one a host, goes to libpq as it is.
        if (key == QLatin1String("port") && value.contains(','))
            rest << "port='" + value + "'";
    }
    PQconninfoFree(options);
    location.options = rest.join(';');
    if (!quotable)
    {
        error = QStringLiteral("--database: a parameter's value holds a ';', which cannot be passed on");
        return false;
    }
    if (location.database.isEmpty())
    {
        error = QStringLiteral("--database names no database: %1").arg(usage);
        return false;
    }
    return true;
}

void Board_Store::Finish_Prepared()
{
    std::map<QByteArray, QSqlQuery>* prepared = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        auto found = m_connections.find(QThread::currentThreadId());
        if (found == m_connections.end())
            return;
        prepared = &found->second.prepared;
    }
    for (auto& kept : *prepared)
        kept.second.finish();
}

void Board_Store::Roll_Back(QSqlDatabase& database)
{
    Finish_Prepared();
    QSqlQuery(database).exec(QStringLiteral("ROLLBACK"));
}

Board_Store::Board_Store(const Location& location, int connections)
    : m_location(location), m_pool(new Work_Queue(connections, [this] { Forget_Connection(); }))
{
}

void Board_Store::Forget_Connection()
{
    Thread_Connection connection;
    {
        QMutexLocker lock(&m_mutex);
        auto found = m_connections.find(QThread::currentThreadId());
        if (found == m_connections.end())
            return;
        connection = std::move(found->second);
        m_connections.erase(found);
    }
    // Let go of on the thread that made it, its statements first.
    connection.prepared.clear();
    QSqlDatabase::database(connection.name, false).close();
    QSqlDatabase::removeDatabase(connection.name);
}

Board_Store::~Board_Store()
{
    m_pool.reset();
    // The threads that used them have ended: only their names are left to let go.
    for (auto& connection : m_connections)
    {
        connection.second.prepared.clear();
        QSqlDatabase::removeDatabase(connection.second.name);
    }
}

QString Board_Store::Description() const
{
    if (!Is_Postgres())
        return QStringLiteral("SQLite %1").arg(m_location.database);
    return QStringLiteral("PostgreSQL database %1 on %2")
        .arg(m_location.database,
             m_location.host.isEmpty() ? QStringLiteral("the local socket") : m_location.host);
}

bool Board_Store::Is_Postgres() const
{
    return m_location.driver == QLatin1String("QPSQL");
}

QSqlDatabase Board_Store::Connection()
{
    const Qt::HANDLE thread = QThread::currentThreadId();
    QString name;
    bool fresh = false;
    {
        QMutexLocker lock(&m_mutex);
        auto found = m_connections.find(thread);
        if (found == m_connections.end())
        {
            name = QStringLiteral("tavrelo-board-%1-%2")
                       .arg(reinterpret_cast<quintptr>(this), 0, 16)
                       .arg(reinterpret_cast<quintptr>(thread), 0, 16);
            m_connections[thread].name = name;
            fresh = true;
        }
        else
        {
            name = found->second.name;
        }
    }
    QSqlDatabase database;
    if (fresh)
    {
        database = QSqlDatabase::addDatabase(m_location.driver, name);
        database.setDatabaseName(m_location.database);
        if (Is_Postgres())
        {
            database.setHostName(m_location.host);
            database.setPort(m_location.port);
            database.setUserName(m_location.user);
            database.setPassword(m_location.password);
            // The URI's own parameters come after, so that one of its own (connect_timeout) stands.
            database.setConnectOptions(QStringLiteral("connect_timeout=3;") + m_location.options);
        }
        else
        {
            // Writers queue for the file's one write lock rather than fail at once.
            database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }
    }
    else
    {
        database = QSqlDatabase::database(name, false);
    }
    if (!database.isOpen())
    {
        // Statements prepared on a connection since lost are of no use on the next.
        QMutexLocker lock(&m_mutex);
        m_connections[thread].prepared.clear();
    }
    if (!database.isOpen() && database.open() && !Is_Postgres())
    {
        // Readers never wait for a writer, and a lap answered 201 is on the disk.
        QSqlQuery pragma(database);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        pragma.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        pragma.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    }
    return database;
}

Board_Store::Outcome Board_Store::Classify(const QSqlError& error, QSqlDatabase& database, bool& clash)
{
    const QString code = error.nativeErrorCode();
    clash = Is_Clash(code);
    if (clash)
        return Unavailable;
    if (Is_Full(code))
        return Full;
    if (Is_Read_Only(code))
        return Read_Only;
    // A lost server leaves the connection looking open: open it anew next time.
    if (!Is_Busy(code))
        database.close();
    return Unavailable;
}

void Board_Store::Writes_Failed(Outcome outcome)
{
    const QString problem = outcome == Full ? QStringLiteral("the storage is full")
                                            : QStringLiteral("the database takes no writes (read-only)");
    QMutexLocker lock(&m_mutex);
    if (m_write_problem == problem)
        return;
    m_write_problem = problem;
    m_write_probed_ms = QDateTime::currentMSecsSinceEpoch();
    qWarning().noquote()
        << QStringLiteral("tavrelo-board: writes fail: %1: laps are refused until it has room").arg(problem);
}

void Board_Store::Writes_Work()
{
    QMutexLocker lock(&m_mutex);
    if (m_write_problem.isEmpty())
        return;
    m_write_problem.clear();
    qWarning().noquote() << QStringLiteral("tavrelo-board: writes work again");
}

bool Board_Store::Open(QString& error)
{
    bool opened = false;
    if (!m_pool->Run([&] { opened = Open_Here(error); }, Pool_Wait_Ms))
        error = QStringLiteral("cannot open %1: no connection was free").arg(Description());
    return opened;
}

bool Board_Store::Open_Here(QString& error)
{
    QSqlDatabase database = Connection();
    if (!database.isOpen())
    {
        error = QStringLiteral("cannot open %1: %2").arg(Description(), database.lastError().text());
        return false;
    }
    QSqlQuery query(database);
    const auto fail = [&](const QSqlQuery& failed)
    {
        error = QStringLiteral("cannot set up %1: %2").arg(Description(), failed.lastError().text());
        Roll_Back(database);
        return false;
    };
    // Boards starting side by side migrate one after the other.
    if (!query.exec(Is_Postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
        return fail(query);
    if (Is_Postgres() && !query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(8642)")))
        return fail(query);
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS board_schema (version INTEGER NOT NULL)")))
        return fail(query);
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM board_schema")) || !query.next())
        return fail(query);
    const int version = query.value(0).isNull() ? 0 : query.value(0).toInt();
    if (version > Schema_Version)
    {
        Roll_Back(database);
        error = QStringLiteral("%1 holds schema version %2, newer than this board's %3: run a newer board")
                    .arg(Description())
                    .arg(version)
                    .arg(Schema_Version);
        return false;
    }
    const QString id = Is_Postgres() ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                     : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString bytes = Is_Postgres() ? QStringLiteral(" BYTEA ") : QStringLiteral(" BLOB ");
    for (int step = version + 1; step <= Schema_Version; ++step)
    {
        for (const char* statement : Migrations[static_cast<size_t>(step - 1)])
            if (!query.exec(QString::fromLatin1(statement)
                                .replace(QStringLiteral(" ID,"), " " + id + ",")
                                .replace(QStringLiteral(" BYTES "), bytes)))
                return fail(query);
        query.prepare(QStringLiteral("INSERT INTO board_schema (version) VALUES (?)"));
        query.addBindValue(step);
        if (!query.exec())
            return fail(query);
    }
    // Names kept before their look was: computed here, where the confusables are known.
    if (!query.exec(QStringLiteral("SELECT id, name FROM players WHERE name_skeleton IS NULL")))
        return fail(query);
    std::vector<std::pair<qint64, QString>> unmarked;
    while (query.next())
        unmarked.emplace_back(query.value(0).toLongLong(), Name_Skeleton::Of(query.value(1).toString()));
    for (const auto& [id, skeleton] : unmarked)
    {
        query.prepare(QStringLiteral("UPDATE players SET name_skeleton = ? WHERE id = ?"));
        query.addBindValue(skeleton);
        query.addBindValue(id);
        if (!query.exec())
            return fail(query);
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return fail(query);
    return true;
}

Board_Store::Result Board_Store::Submit(const Submission& submission)
{
    const Result answer = With_Connection(
        [&](QSqlDatabase& database)
        {
            // Two submissions racing for one name or one lap: the loser sees the winner's row on its second
            // try.
            for (int attempt = 0; attempt < 3; ++attempt)
            {
                bool clash = false;
                const Result result = Try_Submit(database, submission, clash);
                if (clash)
                    continue;
                if (result.outcome == Full || result.outcome == Read_Only)
                    Writes_Failed(result.outcome);
                else if (result.outcome == Stored)
                    Writes_Work();
                return result;
            }
            return Result{Unavailable};
        },
        Result{Unavailable});
    // Whatever the answer (a lap may be stored though the connection was lost after), what was made before
    // it is old.
    ++m_generation;
    ++m_version;
    return answer;
}

Board_Store::Result Board_Store::Try_Submit(QSqlDatabase& database, const Submission& submission, bool& clash)
{
    clash = false;
    QSqlQuery control(database);
    const auto fail = [&](const QSqlQuery& failed)
    {
        const Outcome outcome = Classify(failed.lastError(), database, clash);
        if (database.isOpen())
            Roll_Back(database);
        return Result{outcome};
    };
    const auto answer = [&](Outcome outcome, qint64 id = 0, int rank = 0)
    {
        Roll_Back(database);
        return Result{outcome, id, rank};
    };
    if (!control.exec(Is_Postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE")))
        return fail(control);

    const QString folded = submission.name.toCaseFolded();
    QSqlQuery& player = Prepare(database, "SELECT id, key_hash FROM players WHERE name_folded = ?");
    player.addBindValue(folded);
    if (!player.exec())
        return fail(player);
    qint64 player_id = 0;
    if (player.next())
    {
        if (player.value(1).toString() != submission.key_hash)
            return answer(Name_Taken);
        player_id = player.value(0).toLongLong();
    }
    else
    {
        // A new name: not one that mixes scripts, nor one that reads as a name another key holds.
        const QString mixed = Name_Skeleton::Mixed_Scripts(submission.name);
        if (!mixed.isEmpty())
        {
            Result result = answer(Name_Mixed);
            result.detail = mixed;
            return result;
        }
        const QString skeleton = Name_Skeleton::Of(submission.name);
        // Two look-alikes sent at once are taken one after the other (SQLite's write lock does it there).
        if (Is_Postgres())
        {
            QSqlQuery& lock = Prepare(database, "SELECT pg_advisory_xact_lock(8643, hashtext(?))");
            lock.addBindValue(skeleton);
            if (!lock.exec())
                return fail(lock);
        }
        QSqlQuery& alike = Prepare(database, "SELECT key_hash FROM players WHERE name_skeleton = ?");
        alike.addBindValue(skeleton);
        if (!alike.exec())
            return fail(alike);
        while (alike.next())
            if (alike.value(0).toString() != submission.key_hash)
                return answer(Name_Lookalike);
        QSqlQuery& insert = Prepare(database, "INSERT INTO players (name, name_folded, key_hash, created, "
                                              "name_skeleton) VALUES (?, ?, ?, ?, ?) RETURNING id");
        insert.addBindValue(submission.name);
        insert.addBindValue(folded);
        insert.addBindValue(submission.key_hash);
        insert.addBindValue(QDateTime::currentMSecsSinceEpoch());
        insert.addBindValue(skeleton);
        if (!insert.exec() || !insert.next())
            return fail(insert);
        player_id = insert.value(0).toLongLong();
    }

    QSqlQuery& known = Prepare(database, "SELECT id, player_id FROM laps WHERE inputs_hash = ?");
    known.addBindValue(submission.inputs_hash);
    if (!known.exec())
        return fail(known);
    if (known.next())
    {
        const qint64 lap_id = known.value(0).toLongLong();
        if (known.value(1).toLongLong() != player_id)
            return answer(Lap_Taken);
        QSqlQuery& best = Prepare(database, "SELECT time FROM best WHERE lap_id = ?");
        best.addBindValue(lap_id);
        int rank = 0;
        if (!best.exec())
            return fail(best);
        if (best.next() && !Rank_Of(database, submission.course, best.value(0).toDouble(), lap_id, rank))
            return fail(best);
        return answer(Same_Lap, lap_id, rank);
    }

    // Two faster laps of one player sent at once: the second waits here, on PostgreSQL, until the first is
    // committed, and then reads the best it left (SQLite's write lock, taken at BEGIN, already orders them).
    QSqlQuery& best =
        Prepare(database, Is_Postgres() ? "SELECT lap_id, time FROM best WHERE course = ? AND player_id = ? "
                                          "FOR UPDATE"
                                        : "SELECT lap_id, time FROM best WHERE course = ? AND player_id = ?");
    best.addBindValue(submission.course);
    best.addBindValue(player_id);
    if (!best.exec())
        return fail(best);
    const bool had_best = best.next();
    if (had_best && best.value(1).toDouble() <= static_cast<double>(submission.time))
    {
        const qint64 best_id = best.value(0).toLongLong();
        int rank = 0;
        if (!Rank_Of(database, submission.course, best.value(1).toDouble(), best_id, rank))
            return fail(best);
        return answer(Not_Faster, best_id, rank);
    }

    QSqlQuery& lap =
        Prepare(database, "INSERT INTO laps (player_id, course, time, ghost, inputs, inputs_hash, "
                          "submitted) VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING id");
    lap.addBindValue(player_id);
    lap.addBindValue(submission.course);
    lap.addBindValue(static_cast<double>(submission.time));
    lap.addBindValue(submission.ghost);
    lap.addBindValue(submission.inputs);
    lap.addBindValue(submission.inputs_hash);
    const qint64 submitted = QDateTime::currentMSecsSinceEpoch();
    lap.addBindValue(submitted);
    if (!lap.exec() || !lap.next())
        return fail(lap);
    const qint64 lap_id = lap.value(0).toLongLong();
    lap.finish();
    // Only ever faster: should a best have changed since it was read, nothing is replaced and the whole
    // submission is tried again from the start, where it then finds the faster lap.
    QSqlQuery& place = Prepare(
        database,
        had_best ? "UPDATE best SET lap_id = ?, time = ?, submitted = ? WHERE course = ? AND player_id = ? "
                   "AND time > ?"
                 : "INSERT INTO best (lap_id, time, submitted, course, player_id) VALUES (?, ?, ?, ?, ?)");
    place.addBindValue(lap_id);
    place.addBindValue(static_cast<double>(submission.time));
    place.addBindValue(submitted);
    place.addBindValue(submission.course);
    place.addBindValue(player_id);
    if (had_best)
        place.addBindValue(static_cast<double>(submission.time));
    if (!place.exec())
        return fail(place);
    if (place.numRowsAffected() != 1)
    {
        clash = true;
        Roll_Back(database);
        return Result{Unavailable};
    }
    int rank = 0;
    if (!Rank_Of(database, submission.course, static_cast<double>(submission.time), lap_id, rank))
        return fail(place);
    // A statement left in the middle of its rows (an INSERT ... RETURNING read once) would hold the commit.
    Finish_Prepared();
    if (!control.exec(QStringLiteral("COMMIT")))
        return fail(control);
    return Result{Stored, lap_id, rank};
}

bool Board_Store::Standings(int course, int limit, int offset, std::vector<Entry>& entries, int& total,
                            Entry* leader)
{
    // Read before a connection is taken: a caller that waits for another's reading of it holds none.
    const std::shared_ptr<const Course_Ranking> ranking = Ranking(course);
    if (!ranking)
        return false;
    return With_Connection(
        [&](QSqlDatabase& database)
        {
            entries.clear();
            bool clash = false;
            total = ranking->Total();
            QSqlQuery& query =
                Prepare_Standings(database, "WHERE b.course = ? ORDER BY b.time, b.lap_id LIMIT ? OFFSET ?");
            // A later page reads the row before its own too: whether the page begins among equal times.
            const int before = offset > 0 ? 1 : 0;
            query.addBindValue(course);
            query.addBindValue(limit + before);
            query.addBindValue(offset - before);
            if (!query.exec())
                return Classify(query.lastError(), database, clash), false;
            double previous = -1.0;
            if (before > 0 && query.next())
                previous = query.value(2).toDouble();
            while (query.next())
                entries.push_back(Standing_Of(query, course, offset + static_cast<int>(entries.size()) + 1));
            query.finish();
            // Equal times share the place of the first of them; where that is on an earlier page, it is
            // counted.
            if (!entries.empty() && previous == static_cast<double>(entries.front().time))
                entries.front().rank = ranking->Rank(previous);
            for (size_t i = 1; i < entries.size(); ++i)
                if (entries[i].time == entries[i - 1].time)
                    entries[i].rank = entries[i - 1].rank;
            if (leader == nullptr)
                return true;
            *leader = Entry();
            if (offset == 0 || entries.empty())
            {
                if (!entries.empty())
                    *leader = entries.front();
                return true;
            }
            QSqlQuery& first =
                Prepare_Standings(database, "WHERE b.course = ? ORDER BY b.time, b.lap_id LIMIT 1");
            first.addBindValue(course);
            if (!first.exec())
                return Classify(first.lastError(), database, clash), false;
            if (first.next())
                *leader = Standing_Of(first, course, 1);
            return true;
        },
        false);
}

Board_Store::Found Board_Store::Lap(qint64 id, Entry& entry)
{
    bool is_best = false;
    const Found found = With_Connection(
        [&](QSqlDatabase& database)
        {
            bool clash = false;
            QSqlQuery& query =
                Prepare(database, "SELECT l.course, p.name, l.time, l.submitted, l.ghost, l.inputs, b.lap_id "
                                  "FROM laps l JOIN players p ON p.id = l.player_id "
                                  "LEFT JOIN best b ON b.lap_id = l.id WHERE l.id = ?");
            query.addBindValue(id);
            if (!query.exec())
                return Classify(query.lastError(), database, clash), Lookup_Failed;
            if (!query.next())
                return No_Lap;
            entry.id = id;
            entry.course = query.value(0).toInt();
            entry.name = query.value(1).toString();
            entry.time = static_cast<float>(query.value(2).toDouble());
            entry.date = QDateTime::fromMSecsSinceEpoch(query.value(3).toLongLong(), Qt::UTC);
            entry.ghost = query.value(4).toString();
            entry.inputs = query.value(5).toString();
            entry.rank = 0;
            is_best = !query.value(6).isNull();
            query.finish();
            return Found_Lap;
        },
        Lookup_Failed);
    if (found != Found_Lap || !is_best)
        return found;
    // Read with no connection held, as the standings do.
    const std::shared_ptr<const Course_Ranking> ranking = Ranking(entry.course);
    if (!ranking)
        return Lookup_Failed;
    entry.rank = ranking->Rank(static_cast<double>(entry.time));
    return Found_Lap;
}

Board_Store::Found Board_Store::Player_Best(int course, const QString& name, Entry& entry, int& total,
                                            int* row)
{
    const std::shared_ptr<const Course_Ranking> ranking = Ranking(course);
    if (!ranking)
        return Lookup_Failed;
    return With_Connection(
        [&](QSqlDatabase& database)
        {
            bool clash = false;
            total = ranking->Total();
            QSqlQuery& query = Prepare_Standings(database, "WHERE b.course = ? AND p.name_folded = ?");
            query.addBindValue(course);
            query.addBindValue(name.toCaseFolded());
            if (!query.exec())
                return Classify(query.lastError(), database, clash), Lookup_Failed;
            if (!query.next())
                return No_Lap;
            entry = Standing_Of(query, course, 0);
            query.finish();
            entry.rank = ranking->Rank(static_cast<double>(entry.time));
            if (row != nullptr)
                *row = ranking->Row(static_cast<double>(entry.time), entry.id);
            // A lap taken on another board since the ranking was read: counted in, wherever it stands.
            total = std::max(total, ranking->Row(static_cast<double>(entry.time), entry.id));
            return Found_Lap;
        },
        Lookup_Failed);
}

Board_Store::Found Board_Store::Picture(qint64 id, QByteArray& png)
{
    return With_Connection(
        [&](QSqlDatabase& database)
        {
            if (Is_Postgres())
                return Postgres_Picture(database, id, png);
            bool clash = false;
            QSqlQuery& query = Prepare(database, "SELECT png FROM lap_pictures WHERE lap_id = ?");
            query.addBindValue(id);
            if (!query.exec())
                return Classify(query.lastError(), database, clash), Lookup_Failed;
            if (!query.next())
                return No_Lap;
            png = query.value(0).toByteArray();
            query.finish();
            return Found_Lap;
        },
        Lookup_Failed);
}

Board_Store::Found Board_Store::Postgres_Picture(QSqlDatabase& database, qint64 id, QByteArray& png)
{
    // Qt's driver asks for every value as text: a picture of a hundred kilobytes comes as hex twice its size,
    // encoded by the server and decoded here, most of what reading it cost. Asked for in binary on the
    // driver's own connection, it comes as it is kept.
    const QVariant handle = database.driver()->handle();
    // Qt 5 names the handle's type as libpq's header does, Qt 6 by the struct it stands for.
    const char* const type = handle.typeName();
    PGconn* const connection =
        handle.isValid() && (qstrcmp(type, "PGconn*") == 0 || qstrcmp(type, "pg_conn*") == 0)
            ? *static_cast<PGconn* const*>(handle.constData())
            : nullptr;
    if (connection == nullptr)
        return Lookup_Failed;
    const QByteArray id_text = QByteArray::number(id);
    const char* const values[] = {id_text.constData()};
    PGresult* const result = PQexecParams(connection, "SELECT png FROM lap_pictures WHERE lap_id = $1", 1,
                                          nullptr, values, nullptr, nullptr, 1);
    Found found = Lookup_Failed;
    if (PQresultStatus(result) == PGRES_TUPLES_OK)
    {
        found = PQntuples(result) == 0 ? No_Lap : Found_Lap;
        if (found == Found_Lap)
            png = QByteArray(PQgetvalue(result, 0, 0), PQgetlength(result, 0, 0));
    }
    else
    {
        bool clash = false;
        Classify(QSqlError(QString(), QString::fromUtf8(PQresultErrorMessage(result)),
                           QSqlError::StatementError,
                           QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE))),
                 database, clash);
    }
    PQclear(result);
    return found;
}

bool Board_Store::Keep_Picture(qint64 id, const QByteArray& png)
{
    if (!Is_Postgres() && QStorageInfo(QFileInfo(m_location.database).absolutePath()).bytesAvailable() <
                              Room_For_Laps + png.size())
        return false;
    return With_Connection(
        [&](QSqlDatabase& database)
        {
            bool clash = false;
            // Boards side by side may draw the same lap: the first one kept stands, and they are the same.
            QSqlQuery& query = Prepare(
                database,
                "INSERT INTO lap_pictures (lap_id, png) VALUES (?, ?) ON CONFLICT (lap_id) DO NOTHING");
            query.addBindValue(id);
            query.addBindValue(png);
            if (!query.exec())
                return Classify(query.lastError(), database, clash), false;
            return true;
        },
        false);
}

qint64 Board_Store::Lap_Count()
{
    return With_Connection(
        [this](QSqlDatabase& database)
        {
            QSqlQuery query(database);
            bool clash = false;
            if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM laps")) || !query.next())
                return Classify(query.lastError(), database, clash), qint64(-1);
            return query.value(0).toLongLong();
        },
        qint64(-1));
}

QString Board_Store::Health_Problem()
{
    return With_Connection(
        [this](QSqlDatabase& database)
        {
            QSqlQuery query(database);
            bool clash = false;
            if (!query.exec(QStringLiteral("SELECT 1")) || !query.next())
            {
                Classify(query.lastError(), database, clash);
                return QStringLiteral("database unavailable");
            }
            query.finish();
            QString problem;
            {
                QMutexLocker lock(&m_mutex);
                const qint64 now = QDateTime::currentMSecsSinceEpoch();
                if (m_write_problem.isEmpty() || now - m_write_probed_ms < 2000)
                    return m_write_problem.isEmpty() ? QString() : "writes fail: " + m_write_problem;
                m_write_probed_ms = now;
                problem = m_write_problem;
            }
            // While writes fail, a write that changes nothing tells (every two seconds at most) when they
            // work again. A small write can still find room in SQLite's log on a full disk: there the disk
            // must have room for a few laps first.
            const bool room = Is_Postgres() ||
                              QStorageInfo(QFileInfo(m_location.database).absolutePath()).bytesAvailable() >
                                  Room_For_Writes;
            if (room && query.exec(QStringLiteral("UPDATE board_schema SET version = version")))
            {
                Writes_Work();
                return QString();
            }
            if (room)
            {
                const Outcome outcome = Classify(query.lastError(), database, clash);
                if (outcome == Full || outcome == Read_Only)
                    Writes_Failed(outcome);
            }
            return "writes fail: " + problem;
        },
        QStringLiteral("database unavailable"));
}

Board_Store::Allowance Board_Store::Take_Submission(const QString& address, int per_minute)
{
    if (per_minute <= 0)
        return Allowed;
    return With_Connection(
        [&](QSqlDatabase& database)
        {
            bool clash = false;
            // One statement, on the database's clock: boards side by side take from one bucket, and never
            // both the last submission in it.
            QSqlQuery& take = Prepare(
                database,
                "INSERT INTO submission_rate AS r (address, tokens, updated) "
                "VALUES (?, CAST(? AS DOUBLE PRECISION) - 1, "
                "CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT)) "
                "ON CONFLICT (address) DO UPDATE SET "
                "tokens = LEAST(CAST(? AS DOUBLE PRECISION), r.tokens + (EXCLUDED.updated - r.updated) * "
                "CAST(? AS DOUBLE PRECISION)) - 1, updated = EXCLUDED.updated "
                "WHERE LEAST(CAST(? AS DOUBLE PRECISION), r.tokens + (EXCLUDED.updated - r.updated) * "
                "CAST(? AS DOUBLE PRECISION)) >= 1 RETURNING tokens");
            const double capacity = per_minute;
            const double per_ms = capacity / 60000.0;
            take.addBindValue(address);
            take.addBindValue(capacity);
            take.addBindValue(capacity);
            take.addBindValue(per_ms);
            take.addBindValue(capacity);
            take.addBindValue(per_ms);
            if (!take.exec())
                return Classify(take.lastError(), database, clash), Not_Known;
            const Allowance allowance = take.next() ? Allowed : Refused;
            take.finish();
            // A bucket a minute untouched is full again: forgotten, once a minute, so that a flood of
            // addresses leaves no table behind.
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            bool prune = false;
            {
                QMutexLocker lock(&m_mutex);
                prune = now - m_rate_pruned_ms > 60000;
                if (prune)
                    m_rate_pruned_ms = now;
            }
            if (prune)
                QSqlQuery(database).exec(
                    QStringLiteral("DELETE FROM submission_rate WHERE updated < "
                                   "CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT) - 60000"));
            return allowance;
        },
        Not_Known);
}
