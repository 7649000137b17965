// The board as clients meet it over HTTP: one table of requests and answers, run against SQLite and against a
// real PostgreSQL, with how many laps are stored after each; hostile requests; the schema's versions; the
// command line.
#include "Board_Api.h"
#include "Board_Server.h"
#include "Board_Store.h"
#include "Png_Writer.h"
#include "Record_Check.h"
#include "Record_File.h"
#include "Record_Picture.h"
#include "Test_Support.h"

#include <QHostAddress>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <map>
#include <memory>

#include <unistd.h>

namespace
{
struct Reply
{
    int status = 0; // 0: no answer before the connection closed
    QByteArray type;
    QByteArray body;
};

Reply Parse_Reply(const QByteArray& bytes)
{
    Reply reply;
    const int end = bytes.indexOf("\r\n\r\n");
    if (!bytes.startsWith("HTTP/1.1 ") || end < 0)
        return reply;
    reply.status = bytes.mid(9, 3).toInt();
    for (const QByteArray& line : bytes.left(end).split('\n'))
        if (line.toLower().startsWith("content-type:"))
            reply.type = line.mid(13).trimmed();
    reply.body = bytes.mid(end + 4);
    return reply;
}

// Sends each request to its port at once, as far as one thread can, and reads every answer until the board
// closes its connection.
std::vector<Reply> Exchange_Together(const std::vector<std::pair<int, QByteArray>>& requests,
                                     int timeout_ms = 20000)
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (const auto& request : requests)
    {
        sockets.emplace_back(new QTcpSocket);
        sockets.back()->connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(request.first));
    }
    for (size_t i = 0; i < requests.size(); ++i)
        if (sockets[i]->waitForConnected(5000))
            sockets[i]->write(requests[i].second);
    std::vector<QByteArray> bytes(requests.size());
    QDeadlineTimer deadline(timeout_ms);
    for (bool open = true; open && !deadline.hasExpired();)
    {
        open = false;
        for (size_t i = 0; i < requests.size(); ++i)
        {
            QTcpSocket& socket = *sockets[i];
            if (socket.state() != QAbstractSocket::ConnectedState)
                continue;
            open = true;
            socket.waitForReadyRead(10);
            bytes[i] += socket.readAll();
        }
    }
    std::vector<Reply> replies;
    for (size_t i = 0; i < requests.size(); ++i)
        replies.push_back(Parse_Reply(bytes[i] + sockets[i]->readAll()));
    return replies;
}

// Sends raw as it is and reads the answer until the board closes the connection.
Reply Exchange(int port, const QByteArray& raw, int timeout_ms = 20000)
{
    return Exchange_Together({{port, raw}}, timeout_ms).front();
}

// The same lap as inputs of another text: the view said again at the start changes nothing of the race, so
// the lap proves the same time under another hash, as many times as a test needs.
QJsonObject Variant(QJsonObject lap, int variant)
{
    QString inputs = lap.value("inputs").toString();
    const int view_end = inputs.indexOf('.', 3);
    inputs.insert(view_end, inputs.mid(2, view_end - 2).repeated(variant));
    lap.insert("inputs", inputs);
    return lap;
}

QByteArray Request(const QByteArray& method, const QString& path, const QByteArray& body)
{
    return method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
           (body.isEmpty() && method == "GET" ? QByteArray()
                                              : "Content-Type: application/json\r\nContent-Length: " +
                                                    QByteArray::number(body.size()) + "\r\n") +
           "\r\n" + body;
}

QJsonObject Lap_Object(const Headless_Lap& lap, int course = 1)
{
    return QJsonDocument::fromJson(Record_File::Write(course, lap.time, lap.ghost, lap.inputs)).object();
}

QByteArray Submission(const QString& name, const QString& key, const QJsonObject& lap)
{
    return QJsonDocument(QJsonObject{{"name", name}, {"key", key}, {"lap", lap}})
        .toJson(QJsonDocument::Compact);
}

QJsonObject With(QJsonObject object, const QString& field, const QJsonValue& value)
{
    object.insert(field, value);
    return object;
}

// A board in this process on a free port of the loopback, over its own database.
struct Board
{
    std::unique_ptr<Board_Store> store;
    std::unique_ptr<Board_Api> api;
    std::unique_ptr<Board_Server> server;
    std::map<QString, QString> ids; // lap ids the table remembered, by the name it gave them
};

const char* const Key_A = "alice-key-0123456789abcdef";
const char* const Key_B = "bob-key-0123456789abcdef";
} // namespace

class Test_Board_Api : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::map<QString, Board> m_boards;         // by name
    std::vector<QString> m_postgres_databases; // made for this run, dropped after it

    // The PostgreSQL scripts/test started, if any: an admin connection to it.
    static QString Postgres_Url() { return qEnvironmentVariable("TAVRELO_TEST_POSTGRES"); }

    // A PostgreSQL database of this run's own, made empty the first time it is asked for, so that tests
    // running side by side share nothing; empty when it cannot be made.
    QString Own_Database(const QString& name)
    {
        const QString database = QStringLiteral("tst_board_api_%1_%2")
                                     .arg(QString(name).replace('-', '_'))
                                     .arg(QCoreApplication::applicationPid());
        if (std::find(m_postgres_databases.begin(), m_postgres_databases.end(), database) !=
            m_postgres_databases.end())
            return database;
        QSqlDatabase admin = QSqlDatabase::contains("admin") ? QSqlDatabase::database("admin")
                                                             : QSqlDatabase::addDatabase("QPSQL", "admin");
        Board_Store::Location server;
        QString error;
        Board_Store::Parse_Url(Postgres_Url(), server, error);
        admin.setDatabaseName(server.database);
        admin.setHostName(server.host);
        admin.setPort(server.port);
        admin.setUserName(server.user);
        if (!admin.isOpen() && !admin.open())
            return QString();
        QSqlQuery(admin).exec("DROP DATABASE IF EXISTS " + database);
        if (!QSqlQuery(admin).exec("CREATE DATABASE " + database))
            return QString();
        m_postgres_databases.push_back(database);
        return database;
    }

    // A board named name over the database of that name's first word (boards "pairs-postgresql a" and
    // "pairs-postgresql b" share one), PostgreSQL where that word says so, SQLite in a file of its own else.
    bool Start(const QString& name, Board& board, int rate, Board_Server::Limits limits)
    {
        const QString database = name.section(' ', 0, 0);
        Board_Store::Location location = Board_Store::Sqlite(m_dir.filePath(database + ".sqlite"));
        if (database.endsWith("postgresql"))
        {
            QString error;
            if (!Board_Store::Parse_Url(Postgres_Url(), location, error))
                return false;
            location.database = Own_Database(database);
            if (location.database.isEmpty())
                return false;
        }
        board.store.reset(new Board_Store(location));
        QString error;
        if (!board.store->Open(error))
            qWarning() << error;
        board.api.reset(new Board_Api(*board.store, rate));
        board.server.reset(new Board_Server(*board.api));
        return board.server->Start("127.0.0.1", 0, limits, error);
    }

    static Board_Server::Limits Test_Limits()
    {
        Board_Server::Limits limits;
        limits.threads = 4;
        limits.timeout_seconds = 2;
        return limits;
    }

    Board* Engine_Board(const QString& name, int rate = 60,
                        const Board_Server::Limits& limits = Test_Limits())
    {
        if (name.section(' ', 0, 0).endsWith("postgresql") && Postgres_Url().isEmpty())
            return nullptr;
        Board& board = m_boards[name];
        if (!board.server && !Start(name, board, rate, limits))
            return nullptr;
        return &board;
    }

    // Connections opened from address, each sending start at once: they stay open until the board ends them.
    static std::vector<std::unique_ptr<QTcpSocket>> Hold(int port, int count, const QString& address,
                                                         const QByteArray& start, int pause_ms = 0)
    {
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < count; ++i)
        {
            sockets.emplace_back(new QTcpSocket);
            QTcpSocket& socket = *sockets.back();
            socket.bind(QHostAddress(address));
            socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
            if (socket.waitForConnected(5000))
            {
                socket.write(start);
                socket.waitForBytesWritten(1000);
            }
            if (pause_ms > 0)
                QTest::qWait(pause_ms);
        }
        return sockets;
    }

    // How many of sockets the board answered 503 and how many it closed; reads what came.
    struct Held
    {
        int refused = 0; // answered 503
        int closed = 0;  // by the board
        int waiting = 0; // open, with nothing said to them
    };
    // Where the board has left each of sockets; reads what came.
    static Held Refused_And_Closed(std::vector<std::unique_ptr<QTcpSocket>>& sockets)
    {
        Held held;
        for (auto& socket : sockets)
        {
            socket->waitForReadyRead(socket->bytesAvailable() > 0 ? 0 : 1);
            const QByteArray said = socket->property("said").toByteArray() + socket->readAll();
            socket->setProperty("said", said);
            held.refused += said.startsWith("HTTP/1.1 503");
            const bool open = socket->state() == QAbstractSocket::ConnectedState;
            held.closed += !open;
            held.waiting += open && said.isEmpty();
        }
        return held;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void cleanupTestCase()
    {
        m_boards.clear();
        for (const QString& database : m_postgres_databases)
            QSqlQuery(QSqlDatabase::database("admin")).exec("DROP DATABASE IF EXISTS " + database);
    }

    void the_board_answers_each_request_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path"); // {name}: the id remembered under name
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("answer"); // in the body
        QTest::addColumn<int>("laps");       // stored after it
        QTest::addColumn<QString>("remember");

        // Laps of Secundus as players drive them, slowest first, and one of Primus.
        std::vector<Headless_Lap> laps;
        for (const float lookahead : {50.0f, 60.0f, 70.0f, 90.0f})
            laps.push_back(Drive_Headless_Lap(1, QSize(800, 480), lookahead));
        std::sort(laps.begin(), laps.end(),
                  [](const Headless_Lap& a, const Headless_Lap& b) { return a.time > b.time; });
        QVERIFY(laps[0].time > laps[1].time && laps[1].time > laps[2].time && laps[2].time > laps[3].time);
        const Headless_Lap primus = Drive_Headless_Lap(0, QSize(800, 480));
        const QJsonObject slow = Lap_Object(laps[0]), middle = Lap_Object(laps[1]),
                          quick = Lap_Object(laps[2]), fastest = Lap_Object(laps[3]),
                          first = Lap_Object(primus, 0);

        // The tampered laps the records tool refuses to import are refused here too.
        const Headless_Lap& lap = laps[1];
        const int samples = Ghost_Sample_Count(lap.ghost);
        QString steered = lap.inputs;
        steered.replace(steered.indexOf(".1p", 20), 3, ".1p-");
        QString moved = lap.ghost;
        moved[moved.size() - 20] = moved[moved.size() - 20] == 'a' ? 'b' : 'a';
        const int last_run = lap.inputs.lastIndexOf('.', lap.inputs.lastIndexOf('.') - 1);
        const std::vector<std::pair<const char*, std::pair<QJsonObject, const char*>>> forged = {
            {"time lowered, ghost cut to fit",
             {QJsonDocument::fromJson(Record_File::Write(1, Clock_After(samples - 2),
                                                         lap.ghost.left(lap.ghost.size() - 10), lap.inputs))
                  .object(),
              "failed: the inputs finish at"}},
            {"a ghost sample moved",
             {QJsonDocument::fromJson(Record_File::Write(1, lap.time, moved, lap.inputs)).object(),
              "failed: another ghost"}},
            {"one input frame changed", {With(middle, "inputs", steered), "failed: "}},
            {"inputs of another course", {With(middle, "inputs", primus.inputs), "failed: "}},
            {"inputs that stop before the finish",
             {With(middle, "inputs", lap.inputs.left(last_run)), "failed: the lap does not finish"}},
            {"inputs that do not decode",
             {With(middle, "inputs", "i1.v800x480.x"), "inputs that do not decode"}},
            {"inputs not text", {With(middle, "inputs", 7), "inputs are not text"}},
            {"no inputs", {With(middle, "inputs", QJsonValue::Undefined), "no inputs to verify"}},
            {"a course that does not exist", {With(middle, "course", "Quartus"), "unknown course 'Quartus'"}},
            {"course data of another version", {With(middle, "course_version", 2), "wrong course version"}},
            {"time as text", {With(middle, "time", "3.3"), "not a finite number"}},
            {"another format", {With(middle, "format", "tavrelo-ghost"), "its format is not"}},
        };

        const QString markup = QStringLiteral("<img src=x onerror=f()>");
        const QString sql = QStringLiteral("x'); DROP TABLE laps;--");
        for (const QString engine : {"sqlite", "postgresql"})
        {
            const auto row = [&engine](const char* name) -> QTestData&
            { return QTest::newRow(qPrintable(engine + ": " + name)) << engine; };
            const QByteArray post = "POST";
            const QByteArray get = "GET";
            const QString laps_path = "/api/v1/laps";
            const QString none;
            row("a first lap") << post << laps_path << Submission("Alice", Key_A, middle) << 1 << 201
                               << "\"rank\":1" << 1 << "alice";
            row("the same lap again: the same answer, no second row")
                << post << laps_path << Submission("Alice", Key_A, middle) << 1 << 201 << "\"rank\":1" << 1
                << none;
            row("a slower lap of the same player is not kept")
                << post << laps_path << Submission("Alice", Key_A, slow) << 1 << 200
                << "your faster lap stays" << 1 << none;
            row("a faster lap replaces the player's best")
                << post << laps_path << Submission("Alice", Key_A, quick) << 1 << 201 << "\"rank\":1" << 2
                << "alice_quick";
            row("the lap it replaced, sent again") << post << laps_path << Submission("Alice", Key_A, middle)
                                                   << 1 << 200 << "a faster lap of yours" << 2 << none;
            row("a stolen name") << post << laps_path << Submission("Alice", Key_B, fastest) << 1 << 403
                                 << "belongs to another player" << 2 << none;
            row("a stolen name in other letters' case")
                << post << laps_path << Submission("ALICE", Key_B, fastest) << 1 << 403
                << "belongs to another player" << 2 << none;
            row("a copied lap under another name") << post << laps_path << Submission("Bob", Key_B, quick)
                                                   << 1 << 409 << "under another name" << 2 << none;
            row("a name with markup is kept as text")
                << post << laps_path << Submission(markup, Key_B, fastest) << 1 << 201 << "\"rank\":1" << 3
                << "markup";
            row("a name with SQL is kept as text")
                << post << laps_path << Submission(sql, "carol-key-0123456789", slow) << 1 << 201
                << "\"rank\":3" << 4 << none;
            row("a lap of another course") << post << laps_path << Submission("Alice", Key_A, first) << 1
                                           << 201 << "\"course\":1" << 5 << "primus";
            for (const auto& [name, lap_and_reason] : forged)
                row(name) << post << laps_path
                          << Submission("Dora", "dora-key-0123456789", lap_and_reason.first) << 1 << 422
                          << lap_and_reason.second << 5 << none;
            row("not JSON") << post << laps_path << QByteArray("{\"name\": ") << 1 << 400 << "not JSON" << 5
                            << none;
            row("no object") << post << laps_path << QByteArray("[1]") << 1 << 400 << "not a JSON object" << 5
                             << none;
            row("no lap") << post << laps_path
                          << QByteArray("{\"name\":\"Eve\",\"key\":\"eve-key-0123456789\"}") << 1 << 400
                          << "a submission is" << 5 << none;
            const std::vector<std::pair<const char*, std::pair<QString, const char*>>> names = {
                {"an empty name", {"", "the name is empty"}},
                {"a name of 25 characters", {QString(25, 'x'), "longer than 24"}},
                {"a name of 25 letters beyond the BMP",
                 {QString::fromUcs4(U"\U0001D4D0").repeated(25), "longer than 24"}},
                {"a name with a control character", {"Eve\aEve", "control or invisible character (U+0007)"}},
                {"a name turned around", {QString::fromUtf8("Eve\u202Eevil"), "(U+202E)"}},
                {"an invisible name", {QString::fromUtf8("\u200B\u200B"), "(U+200B)"}},
                {"a name of spaces", {"   ", "the name shows nothing"}},
                {"a key too short", {"Eve", nullptr}},
            };
            for (const auto& [what, name_and_reason] : names)
                row(what) << post << laps_path
                          << Submission(name_and_reason.first,
                                        name_and_reason.second ? "eve-key-0123456789" : "short", quick)
                          << 1 << 400 << (name_and_reason.second ? name_and_reason.second : "the key is") << 5
                          << none;
            // Strict reading: what two readers could take two ways is refused.
            const QByteArray raw_post =
                "POST /api/v1/laps HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
            row("two Content-Length headers that disagree")
                << QByteArray("RAW") << none
                << raw_post + "Content-Length: 2\r\nContent-Length: 40\r\n\r\n{}" + QByteArray(38, ' ') << 1
                << 400 << "Content-Length given twice" << 5 << none;
            row("a name in letters of another script that reads as a name on the board")
                << post << laps_path
                << Submission(QString::fromUtf8("\u04101\u0456\u0441\u0435"), Key_B, Variant(fastest, 7)) << 1
                << 403 << "looks like another player's" << 5 << none;
            row("a new name mixing scripts")
                << post << laps_path
                << Submission(QString::fromUtf8("Dor\u0430"), "dora-key-0123456789", Variant(quick, 7)) << 1
                << 403 << "mixes letters of Latin and Cyrillic" << 5 << none;
            row("half a UTF-16 pair in a name")
                << post << laps_path
                << QByteArray(Submission("Eve", "eve-key-0123456789", Variant(quick, 8)))
                       .replace("\"Eve\"", "\"Eve\\ud800\"")
                << 1 << 400 << "half a UTF-16 pair" << 5 << none;
            row("a NUL after a lap's id")
                << get << "/api/v1/laps/{alice}%00" << QByteArray() << 1 << 404 << "no lap" << 5 << none;
            row("a byte after a lap's id on its page")
                << get << "/laps/{alice}%00x" << QByteArray() << 1 << 404 << "<html" << 5 << none;
            row("a body over 256 kB")
                << post << laps_path << QByteArray(300 * 1024, ' ') << 1 << 413 << "at most" << 5 << none;
            row("another method") << QByteArray("PUT") << laps_path << QByteArray("{}") << 1 << 405 << "POST"
                                  << 5 << none;
            row("the standings, fastest first") << get << "/api/v1/courses/2/laps" << QByteArray() << 1 << 200
                                                << "\"laps\":[{\"course\":2,\"date\":" << 5 << none;
            row("the standings from the second, one long")
                << get << "/api/v1/courses/2/laps?limit=1&offset=1" << QByteArray() << 1 << 200
                << "\"limit\":1,\"name\":\"Secundus\",\"offset\":1,\"total\":3}" << 5 << none;
            row("a limit of none") << get << "/api/v1/courses/2/laps?limit=0" << QByteArray() << 1 << 400
                                   << "limit is" << 5 << none;
            row("a limit not a number") << get << "/api/v1/courses/2/laps?limit=1e3" << QByteArray() << 1
                                        << 400 << "limit is a whole number" << 5 << none;
            row("the standings of a course that does not exist")
                << get << "/api/v1/courses/4/laps" << QByteArray() << 1 << 404 << "no course 4" << 5 << none;
            row("a lap's file") << get << "/api/v1/laps/{alice_quick}" << QByteArray() << 1 << 200
                                << "\"inputs\": \"i1." << 5 << none;
            row("a lap that does not exist")
                << get << "/api/v1/laps/987654" << QByteArray() << 1 << 404 << "no lap" << 5 << none;
            row("a lap id that is no number")
                << get << "/api/v1/laps/1%20OR%201=1" << QByteArray() << 1 << 404 << "no lap" << 5 << none;
            row("a lap's picture") << get << "/api/v1/laps/{alice_quick}.png" << QByteArray() << 1 << 200
                                   << "PNG" << 5 << none;
            row("the health check") << get << "/healthz" << QByteArray() << 1 << 200 << "ok" << 5 << none;
            row("the page escapes every name")
                << get << "/" << QByteArray() << 1 << 200 << "&lt;img src=x onerror=f()&gt;" << 5 << none;
            row("a lap's page, behind the leader") << get << "/laps/{alice}" << QByteArray() << 1 << 200
                                                   << "No longer on the board" << 5 << none;
            row("a lap's page, the leader") << get << "/laps/{markup}" << QByteArray() << 1 << 200
                                            << "The fastest lap of Secundus" << 5 << none;
            row("a lap as fast as the leader's, sent later, shares its rank")
                << post << laps_path << Submission("Late", "late-key-0123456789", Variant(fastest, 1)) << 1
                << 201 << "\"rank\":1" << 6 << none;
            row("equal times stand in the order they came, and share a rank from any offset")
                << get << "/api/v1/courses/2/laps?limit=1&offset=1" << QByteArray() << 1 << 200
                << "\"name\":\"Late\",\"rank\":1" << 6 << none;
            row("a course's page past its last")
                << get << "/courses/2?page=2" << QByteArray() << 1 << 404 << "Not found" << 6 << none;
            row("a course's page finds a player in any case, escaped")
                << get << "/courses/2?player=%3Cimg%20src%3Dx%20ONERROR%3Df()%3E" << QByteArray() << 1 << 200
                << "class=\"found\"><td>1</td>" << 6 << none;
            // What is left of the minute's 60 submissions goes; then every one is refused unread.
            row("1000 submissions from one address") << post << laps_path << Submission("Alice", Key_A, quick)
                                                     << 1000 << 429 << "too many submissions" << 6 << none;
        }
    }

    void the_board_answers_each_request()
    {
        QFETCH(QString, engine);
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(int, repeat);
        QFETCH(int, status);
        QFETCH(QString, answer);
        QFETCH(int, laps);
        QFETCH(QString, remember);
        Board* board = Engine_Board(engine);
        if (board == nullptr && engine == "postgresql")
            QSKIP("no PostgreSQL was started for this run (scripts/test starts one and sets "
                  "TAVRELO_TEST_POSTGRES)");
        QVERIFY(board != nullptr);
        for (const auto& [name, id] : board->ids)
            path.replace("{" + name + "}", id);
        Reply reply;
        Reply last_refused;
        int refused = 0;
        QElapsedTimer flood;
        flood.start();
        for (int i = 0; i < repeat; ++i)
        {
            reply = Exchange(board->server->Port(), method == "RAW" ? body : Request(method, path, body));
            if (reply.status == 429)
                last_refused = reply;
            refused += reply.status == 429;
        }
        if (repeat > 1)
        {
            // The bucket gains one submission a second: on a slow machine the flood's last one may find it
            // and pass, so every second of the flood lets one more through.
            const int passed_at_most = 60 + static_cast<int>(flood.elapsed() / 1000) + 1;
            QVERIFY2(refused >= repeat - passed_at_most, qPrintable(QString::number(refused)));
            reply = last_refused;
        }
        QVERIFY2(reply.status == status,
                 qPrintable(QString::number(reply.status) + " " + reply.body.left(300)));
        QVERIFY2(reply.body.contains(answer.toUtf8()), reply.body.left(600).constData());
        QCOMPARE(board->store->Lap_Count(), qint64(laps));
        if (!remember.isEmpty())
            board->ids[remember] =
                QString::number(QJsonDocument::fromJson(reply.body).object().value("id").toInteger());
        // A lap taken has its picture drawn and kept as it is stored, before anyone asks for it; asked for,
        // the kept one is sent.
        QByteArray kept_png;
        const auto kept = [&](const QString& id)
        { return board->store->Picture(id.toLongLong(), kept_png) == Board_Store::Found_Lap; };
        if (reply.status == 201 && !remember.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(kept(board->ids[remember]), 60000);
        if (path.endsWith(".png") && reply.status == 200)
        {
            QVERIFY(kept(path.section('/', -1).chopped(4)));
            QCOMPARE(reply.body, kept_png);
            QCOMPARE(QImage::fromData(kept_png, "PNG").size(), QSize(1024, 768));
        }
        if (reply.status == 200 && (path == "/" || path.startsWith("/courses/")))
        {
            // Escaped wherever it stands, and the SQL was only a name.
            QVERIFY(!reply.body.contains("<img src=x"));
            QVERIFY(reply.body.contains("x&#39;); DROP TABLE laps;--"));
        }
    }

    void a_faster_lap_sent_beside_a_slower_one_always_stays_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("SQLite, one board") << "pairs-sqlite"
                                           << "pairs-sqlite";
        QTest::newRow("PostgreSQL, two boards") << "pairs-postgresql a"
                                                << "pairs-postgresql b";
    }

    void a_faster_lap_sent_beside_a_slower_one_always_stays()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        Board* boards[] = {Engine_Board(first, 0), Engine_Board(second, 0)};
        if (boards[0] == nullptr && first.contains("postgresql"))
            QSKIP("no PostgreSQL was started for this run");
        QVERIFY(boards[0] != nullptr && boards[1] != nullptr);
        const Headless_Lap first_best = Drive_Headless_Lap(1, QSize(800, 480), 50.0f);
        const Headless_Lap slow = Drive_Headless_Lap(1, QSize(800, 480), 70.0f);
        const Headless_Lap fast = Drive_Headless_Lap(1, QSize(800, 480), 90.0f);
        QVERIFY(first_best.time > slow.time && slow.time > fast.time);
        std::vector<qint64> seen_after_ms;
        for (int pair = 0; pair < 50; ++pair)
        {
            // Each pair a player of its own, with laps no other pair sent, who has a best already that both
            // beat; which board gets which, in turn.
            const QString name = QStringLiteral("Pair %1").arg(pair);
            const QString key = QStringLiteral("pair-key-%1-0123456789").arg(pair);
            const QByteArray player_path =
                "/api/v1/courses/2/laps?limit=1&player=" + name.toUtf8().toPercentEncoding();
            const auto best_on = [&](int board)
            {
                const Reply standing =
                    Exchange(boards[board]->server->Port(), Request("GET", player_path, QByteArray()));
                return QJsonDocument::fromJson(standing.body).object().value("player");
            };
            // A board that has answered "no lap yet" learns of the lap another board takes soon, not only
            // when its kept answer is pushed out by others.
            if (pair < 3)
                QVERIFY(best_on(1).isNull());
            const Reply first_reply =
                Exchange(boards[0]->server->Port(),
                         Request("POST", "/api/v1/laps",
                                 Submission(name, key, Variant(Lap_Object(first_best), pair))));
            QCOMPARE(first_reply.status, 201);
            QElapsedTimer since_stored;
            since_stored.start();
            const auto total_on = [&](int board)
            {
                const Reply standings =
                    Exchange(boards[board]->server->Port(),
                             Request("GET", "/api/v1/courses/2/laps?limit=1", QByteArray()));
                return QJsonDocument::fromJson(standings.body).object().value("total").toInt();
            };
            if (pair < 3)
            {
                QTRY_COMPARE_WITH_TIMEOUT(
                    best_on(1).toObject().value("id").toInteger(),
                    QJsonDocument::fromJson(first_reply.body).object().value("id").toInteger(), 10000);
                seen_after_ms.push_back(since_stored.elapsed());
                QTRY_COMPARE_WITH_TIMEOUT(total_on(1), pair + 1, 10000);
            }
            const int faster_to = pair % 2;
            const std::vector<Reply> replies = Exchange_Together(
                {{boards[faster_to]->server->Port(),
                  Request("POST", "/api/v1/laps", Submission(name, key, Variant(Lap_Object(fast), pair)))},
                 {boards[1 - faster_to]->server->Port(),
                  Request("POST", "/api/v1/laps", Submission(name, key, Variant(Lap_Object(slow), pair)))}});
            const Reply& faster = replies[0];
            const Reply& slower = replies[1];
            QVERIFY2(faster.status == 201, faster.body.constData());
            QVERIFY2(slower.status == 201 ||
                         (slower.status == 200 && slower.body.contains("faster lap stays")),
                     slower.body.constData());
            const auto id_of = [](const Reply& reply)
            { return QJsonDocument::fromJson(reply.body).object().value("id").toInteger(); };
            const QJsonObject player = best_on(pair % 2).toObject();
            QVERIFY2(
                player.value("id").toInteger() == id_of(faster),
                qPrintable(QStringLiteral("pair %1: the best is lap %2, the faster was %3 (the slower %4, "
                                          "answered %5)")
                               .arg(pair)
                               .arg(player.value("id").toInteger())
                               .arg(id_of(faster))
                               .arg(id_of(slower))
                               .arg(slower.status)));
            // Every lap answered 201 is there to be fetched.
            for (const Reply* stored : {&faster, &slower})
                if (stored->status == 201)
                    QCOMPARE(Exchange(boards[1 - pair % 2]->server->Port(),
                                      Request("GET", QStringLiteral("/api/v1/laps/%1").arg(id_of(*stored)),
                                              QByteArray()))
                                 .status,
                             200);
        }
        // Within a second, read as the middle of three laps: a busy machine may stall one of them.
        std::sort(seen_after_ms.begin(), seen_after_ms.end());
        QVERIFY2(seen_after_ms.size() == 3 && seen_after_ms[1] < 1000,
                 qPrintable(QString::number(seen_after_ms[1])));
    }

    void slow_and_greedy_clients_get_a_bounded_share()
    {
        Board_Server::Limits limits = Test_Limits();
        limits.request_seconds = 3;
        limits.timeout_seconds =
            10; // the idle limit alone would never end a client that sends a byte a second
        Board* board = Engine_Board("slow", 0, limits);
        QVERIFY(board != nullptr);
        const int port = board->server->Port();
        // 600 clients of one other machine (another address of the loopback) that send their headers a byte
        // at a time: beyond the first 16, each is answered 503 at once.
        const QByteArray headers =
            "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + QByteArray(200, 'x');
        auto slow = Hold(port, 600, "127.0.0.2", headers.left(1));
        // Refused at once: told 503, or (once it has had a second to read that) cut off.
        QTRY_VERIFY_WITH_TIMEOUT(Refused_And_Closed(slow).waiting <= limits.per_address, 5000);
        QVERIFY(Refused_And_Closed(slow).refused > 0);
        const Headless_Lap lap = Drive_Headless_Lap(0, QSize(800, 480), 60.0f);
        std::vector<qint64> waits;
        QElapsedTimer run;
        run.start();
        for (int i = 0; i < 100; ++i)
        {
            // A byte more from every slow client, now and then, as a slow client keeps its place.
            if (i % 10 == 0)
                for (auto& socket : slow)
                    if (socket->state() == QAbstractSocket::ConnectedState)
                    {
                        socket->write(headers.mid(1 + i / 10, 1));
                        socket->flush();
                    }
            QElapsedTimer wait;
            wait.start();
            const Reply reply = i % 20 == 0
                                    ? Exchange(port, Request("POST", "/api/v1/laps",
                                                             Submission(QStringLiteral("Honest %1").arg(i),
                                                                        "honest-key-0123456789",
                                                                        Variant(Lap_Object(lap, 0), i))))
                                    : Exchange(port, Request("GET", "/api/v1/courses/1/laps", QByteArray()));
            waits.push_back(wait.elapsed());
            QVERIFY2(
                reply.status == (i % 20 == 0 ? 201 : 200),
                qPrintable(
                    QStringLiteral("honest request %1: %2 %3").arg(i).arg(reply.status).arg(reply.body)));
        }
        std::sort(waits.begin(), waits.end());
        qInfo("honest requests beside 600 slow clients: median %lld ms, p99 %lld ms (over %lld ms)",
              waits[waits.size() / 2], waits[waits.size() * 99 / 100], run.elapsed());
        // Nothing waited for the slow ones: a stall would last their whole deadline.
        QVERIFY2(waits[waits.size() * 99 / 100] < 2000, qPrintable(QString::number(waits.back())));
        // The ones let in are cut off at their deadline, however often they send a byte.
        QTRY_VERIFY_WITH_TIMEOUT(Refused_And_Closed(slow).closed == 600,
                                 limits.request_seconds * 1000 + 5000);

        // Behind a proxy here, whom it names counts: 20 slow bodies of one forwarded address, each sent once
        // the last is in, leave the others' requests alone.
        auto proxied = Hold(port, 20, "127.0.0.1",
                            "POST /api/v1/laps HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Real-IP: 198.51.100.7\r\n"
                            "Content-Length: 5000\r\n\r\n{",
                            20);
        QTRY_VERIFY_WITH_TIMEOUT(Refused_And_Closed(proxied).waiting <= limits.per_address, 5000);
        for (const QByteArray& forwarded : {QByteArray(), QByteArray("X-Real-IP: 198.51.100.8\r\n")})
            QCOMPARE(Exchange(port, "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                                        forwarded + "\r\n")
                         .status,
                     200);

        // Past the total, a new connection is answered 503 at once, not left waiting in the kernel's queue.
        Board_Server::Limits crowded_limits = Test_Limits();
        crowded_limits.connections = 40;
        crowded_limits.per_address = 0;
        // The forty stay open until the refusal: on a busy machine, opening them can outlast the usual
        // idle limit, which would close the first ones and make room for the request meant to be refused.
        crowded_limits.timeout_seconds = 60;
        crowded_limits.request_seconds = 60;
        Board* crowded = Engine_Board("crowded", 0, crowded_limits);
        QVERIFY(crowded != nullptr);
        auto idle = Hold(crowded->server->Port(), 40, "127.0.0.1", "G");
        QElapsedTimer refused_in;
        refused_in.start();
        const Reply last = Exchange(crowded->server->Port(), Request("GET", "/healthz", QByteArray()));
        const qint64 answered_in = refused_in.elapsed();
        QVERIFY2(answered_in < 2000, qPrintable(QString::number(answered_in)));
        // The board takes connections on several threads: the last of the forty, still on its way in on a
        // busy machine, can be counted after this one and be the one refused instead. Either way one, and
        // only one, is refused, and at once.
        if (last.status == 200)
        {
            QTRY_COMPARE_WITH_TIMEOUT(Refused_And_Closed(idle).refused, 1, 2000);
        }
        else
        {
            QCOMPARE(last.status, 503);
            QVERIFY2(last.body.contains("too many connections"), last.body.constData());
            QCOMPARE(Refused_And_Closed(idle).refused, 0);
        }
    }

    void boards_on_one_database_share_the_rate_limit()
    {
        Board* boards[] = {Engine_Board("rate-postgresql a", 10), Engine_Board("rate-postgresql b", 10)};
        if (boards[0] == nullptr && Postgres_Url().isEmpty())
            QSKIP("no PostgreSQL was started for this run");
        QVERIFY(boards[0] != nullptr && boards[1] != nullptr);
        // Bodies that are no submission cost nothing to make: the limit is taken before a body is read.
        int through = 0;
        QElapsedTimer flood;
        flood.start();
        for (int i = 0; i < 20; ++i)
        {
            const Reply reply =
                Exchange(boards[i % 2]->server->Port(), Request("POST", "/api/v1/laps", QByteArray("{}")));
            QVERIFY2(reply.status == 400 || reply.status == 429, reply.body.constData());
            through += reply.status == 400;
        }
        // Ten a minute from one address, whichever board it asks; one more for each six seconds the flood
        // took.
        QVERIFY2(through >= 10 && through <= 10 + flood.elapsed() / 6000,
                 qPrintable(QString::number(through)));
    }

    void the_page_shows_in_chromium()
    {
        if (qEnvironmentVariableIsEmpty("TAVRELO_TEST_CHROMIUM"))
            QSKIP("no Chromium for this run (scripts/test sets TAVRELO_TEST_CHROMIUM when it has one)");
        Board* board = Engine_Board("page", 0);
        QVERIFY(board != nullptr);
        // Laps on Primus and Secundus, none on Tertius; on Secundus, players whose names need escaping (or
        // hold what Qt would fill in), one as fast as the second, and 50 more as slow as the last, so that
        // the second page begins among equal times.
        std::vector<std::pair<Headless_Lap, QString>> secundus;
        const QStringList names = {QString::fromUtf8("\u00c5sa %1"), "<b>Zed</b> & co", "Mika \"M\"", "Noor"};
        const float lookaheads[] = {50.0f, 70.0f, 90.0f, 120.0f};
        const auto send = [&](const QString& name, const QJsonObject& lap)
        {
            return Exchange(board->server->Port(),
                            Request("POST", "/api/v1/laps",
                                    Submission(name, "page-key-0123456789-" + name.toUtf8().toHex(), lap)))
                .status;
        };
        for (int course = 0; course < 2; ++course)
            for (int i = 0; i < 4; ++i)
            {
                const Headless_Lap lap = Drive_Headless_Lap(course, QSize(800, 480), lookaheads[i]);
                QVERIFY(lap.finished && !lap.ghost.isEmpty());
                QCOMPARE(send(names[i], Lap_Object(lap, course)), 201);
                if (course == 1)
                    secundus.emplace_back(lap, names[i]);
            }
        std::sort(secundus.begin(), secundus.end(),
                  [](const auto& a, const auto& b) { return a.first.time < b.first.time; });
        QVERIFY(secundus[0].first.time < secundus[1].first.time &&
                secundus[1].first.time < secundus[2].first.time &&
                secundus[2].first.time < secundus[3].first.time);
        QCOMPARE(send("Tie", Variant(Lap_Object(secundus[1].first, 1), 1)), 201);
        QStringList ranked = {"1:" + secundus[0].second, "2:" + secundus[1].second, "2:Tie",
                              "4:" + secundus[2].second, "5:" + secundus[3].second};
        for (int filler = 1; filler <= 50; ++filler)
        {
            ranked << QStringLiteral("5:Filler %1").arg(filler);
            QCOMPARE(send(ranked.back().mid(2), Variant(Lap_Object(secundus[3].first, 1), filler)), 201);
        }
        QStringList arguments = {QString::fromLocal8Bit(qgetenv("TAVRELO_SOURCE_DIR")) +
                                     "/tests/board/board_page.py",
                                 QStringLiteral("http://127.0.0.1:%1").arg(board->server->Port()), "2", "3"};
        arguments << ranked;
        QProcess browser;
        browser.start("/usr/bin/python3", arguments);
        // The board answers from its own threads while this one waits for the browser.
        QVERIFY(browser.waitForFinished(120000));
        const QString output = browser.readAllStandardOutput() + browser.readAllStandardError();
        QVERIFY2(browser.exitCode() == 0 && output.contains("ok: 55 laps in order"), qPrintable(output));
    }

    void a_slow_request_is_cut_off_unanswered()
    {
        Board* board = Engine_Board("sqlite");
        QVERIFY(board != nullptr);
        const qint64 before = board->store->Lap_Count();
        for (const QByteArray& start :
             {QByteArray("POST /api/v1/laps HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Le"),
              QByteArray("POST /api/v1/laps HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                         "Content-Length: 5000\r\n\r\n{\"name\": \"Slow")})
        {
            QElapsedTimer timer;
            timer.start();
            const Reply reply = Exchange(board->server->Port(), start, 15000);
            // The board's idle limit is 2 s here: the connection ends long before the client's 15 s.
            QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
            QVERIFY(reply.status == 0 || reply.status >= 400);
        }
        QCOMPARE(board->store->Lap_Count(), before);
    }

    void headers_past_their_limit_are_refused()
    {
        Board* board = Engine_Board("sqlite");
        QVERIFY(board != nullptr);
        const Reply reply =
            Exchange(board->server->Port(), "GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Filler: " +
                                                QByteArray(64 * 1024, 'x') + "\r\n\r\n");
        QVERIFY2(reply.status == 0 || reply.status == 431 || reply.status == 413,
                 qPrintable(QString::number(reply.status)));
        QCOMPARE(Exchange(board->server->Port(), Request("GET", "/healthz", QByteArray())).status, 200);
    }

    void the_schema_migrates_forward_and_refuses_a_newer_one()
    {
        const QString file = m_dir.filePath("schema.sqlite");
        {
            Board_Store store(Board_Store::Sqlite(file));
            QString error;
            QVERIFY2(store.Open(error), qPrintable(error));
            QVERIFY2(store.Open(error), qPrintable(error)); // again: nothing to do
            QCOMPARE(store.Lap_Count(), qint64(0));
        }
        {
            QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "schema");
            database.setDatabaseName(file);
            QVERIFY(database.open());
            QSqlQuery query(database);
            QVERIFY(query.exec("SELECT COUNT(*), MAX(version) FROM board_schema") && query.next());
            QCOMPARE(query.value(0).toInt(), Board_Store::Schema_Version);
            QCOMPARE(query.value(1).toInt(), Board_Store::Schema_Version);
            QVERIFY(query.exec(QStringLiteral("INSERT INTO board_schema (version) VALUES (%1)")
                                   .arg(Board_Store::Schema_Version + 1)));
        }
        QSqlDatabase::removeDatabase("schema");
        Board_Store store(Board_Store::Sqlite(file));
        QString error;
        QVERIFY(!store.Open(error));
        QVERIFY2(error.contains("newer than this board's"), qPrintable(error));

        // A board of the first schema, with a lap on it, as boards were written then.
        const QString old_file = m_dir.filePath("schema-1.sqlite");
        {
            QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "schema-1");
            database.setDatabaseName(old_file);
            QVERIFY(database.open());
            QSqlQuery query(database);
            for (const char* statement :
                 {"CREATE TABLE board_schema (version INTEGER NOT NULL)",
                  "INSERT INTO board_schema VALUES (1)",
                  "CREATE TABLE players (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, "
                  "name_folded TEXT "
                  "NOT NULL UNIQUE, key_hash TEXT NOT NULL, created BIGINT NOT NULL)",
                  "CREATE TABLE laps (id INTEGER PRIMARY KEY AUTOINCREMENT, player_id BIGINT NOT NULL, "
                  "course "
                  "INTEGER NOT NULL, time DOUBLE PRECISION NOT NULL, ghost TEXT NOT NULL, inputs TEXT NOT "
                  "NULL, "
                  "inputs_hash TEXT NOT NULL UNIQUE, submitted BIGINT NOT NULL)",
                  "CREATE TABLE best (course INTEGER NOT NULL, player_id BIGINT NOT NULL, lap_id BIGINT NOT "
                  "NULL, "
                  "time DOUBLE PRECISION NOT NULL, PRIMARY KEY (course, player_id))",
                  "CREATE INDEX best_by_time ON best (course, time, lap_id)",
                  "INSERT INTO players VALUES (1, 'Zo\u00eb', 'zo\u00eb', 'hash', 1)",
                  "INSERT INTO laps VALUES (7, 1, 1, 37.5, 'g', 'i', 'h', 1765000000000)",
                  "INSERT INTO best VALUES (1, 1, 7, 37.5)"})
                QVERIFY2(query.exec(QString::fromUtf8(statement)), qPrintable(query.lastError().text()));
        }
        QSqlDatabase::removeDatabase("schema-1");
        Board_Store migrated(Board_Store::Sqlite(old_file));
        QVERIFY2(migrated.Open(error), qPrintable(error));
        std::vector<Board_Store::Entry> entries;
        int total = 0;
        QVERIFY(migrated.Standings(1, 10, 0, entries, total));
        QCOMPARE(total, 1);
        QCOMPARE(entries.at(0).name, QString::fromUtf8("Zo\u00eb"));
        QCOMPARE(entries.at(0).date.toMSecsSinceEpoch(), 1765000000000);
        QCOMPARE(entries.at(0).id, qint64(7));
    }

    void a_picture_packs_to_the_same_pixels_data()
    {
        QTest::addColumn<QImage>("image");
        const Headless_Lap lap = Drive_Headless_Lap(1, QSize(800, 480));
        QTest::newRow("a lap's picture") << Record_Picture::Render(
            1, Record_Picture::Run{"Zoë", lap.time, lap.ghost}, nullptr, QSize(1024, 768));
        // Every value of each channel, on rows of an odd width; a picture with an alpha channel is kept
        // opaque.
        QImage ramp(257, 3, QImage::Format_ARGB32);
        for (int x = 0; x < ramp.width(); ++x)
            for (int y = 0; y < 3; ++y)
                ramp.setPixel(
                    x, y, qRgba(y == 0 ? x % 256 : 7, y == 1 ? x % 256 : 99, y == 2 ? x % 256 : 200, 255));
        QTest::newRow("every channel's every value") << ramp;
        QImage one(1, 1, QImage::Format_RGB32);
        one.fill(qRgb(1, 2, 3));
        QTest::newRow("one pixel") << one;
    }
    void a_picture_packs_to_the_same_pixels()
    {
        QFETCH(QImage, image);
        const QByteArray png = Png_Writer::Encode(image);
        QVERIFY(png.startsWith("\x89PNG\r\n"));
        const QImage read = QImage::fromData(png, "PNG");
        QCOMPARE(read.size(), image.size());
        QCOMPARE(read.convertToFormat(QImage::Format_RGB32), image.convertToFormat(QImage::Format_RGB32));
        QVERIFY(Png_Writer::Encode(QImage()).isEmpty());
    }

    void a_postgresql_uri_means_what_it_means_to_libpq_data()
    {
        QTest::addColumn<QString>("uri"); // {socket}: the test server's socket folder
        QTest::addColumn<bool>("connects");
        QTest::newRow("the socket folder and port in the query")
            << "postgresql://tavrelo@/{database}?host={socket}&port={port}" << true;
        QTest::newRow("another port in the query")
            << "postgresql://tavrelo@/{database}?host={socket}&port=1" << false;
        QTest::newRow("the folder percent-encoded in the host, options and a timeout")
            << "postgres://tavrelo@{encoded}:{port}/"
               "{database}?sslmode=disable&application_name=board&connect_timeout=5"
            << true;
        QTest::newRow("a list of hosts, the first not there")
            << "postgresql://tavrelo@%2Fnowhere,{encoded}:{port},{port}/{database}" << true;
    }

    void a_postgresql_uri_means_what_it_means_to_libpq()
    {
        QFETCH(QString, uri);
        QFETCH(bool, connects);
        Board_Store::Location server;
        QString error;
        if (Postgres_Url().isEmpty() || !Board_Store::Parse_Url(Postgres_Url(), server, error))
            QSKIP("no PostgreSQL was started for this run");
        const QString port = server.port > 0 ? QString::number(server.port) : QStringLiteral("5432");
        const QString database = Own_Database("uri");
        QVERIFY(!database.isEmpty());
        uri.replace("{database}", database)
            .replace("{socket}", server.host)
            .replace("{encoded}", QString::fromLatin1(QUrl::toPercentEncoding(server.host)))
            .replace("{port}", port);
        Board_Store::Location location;
        QVERIFY2(Board_Store::Parse_Url(uri, location, error), qPrintable(error));
        QCOMPARE(location.database, database);
        Board_Store store(location, 1);
        QCOMPARE(store.Open(error), connects);
    }

    void wrong_usage_is_status_2_and_help_is_status_0()
    {
        const QString program = qEnvironmentVariable("TAVRELO_BOARD_EXE");
        QList<QStringList> wrong = {{"--bogus"},
                                    {"extra"},
                                    {"--listen", "8642"},
                                    {"--listen", "127.0.0.1:70000"},
                                    {"--data", m_dir.path(), "--database", "postgresql://x@y/z"},
                                    {"--database", "mysql://x@y/z"},
                                    {"--database", "postgresql://x@y/"},
                                    {"--rate", "-1"},
                                    {"--threads", "0"},
                                    {"--db-connections", "0"},
                                    {"--per-address", "-1"},
                                    {"--user", "no-such-user-here"},
                                    // Root, or a user not root switching to another.
                                    {"--data", m_dir.path(), "--user", ::geteuid() == 0 ? "root" : "nobody"},
                                    {"--database", "postgresql://x@y/z?nonsense=1"}};
        // Started as root and told no one else to be, the board does not start at all.
        if (::geteuid() == 0)
            wrong.append({"--data", m_dir.path()});
        for (const QStringList& arguments : wrong)
        {
            QProcess board;
            board.start(program, arguments);
            QVERIFY(board.waitForFinished(10000));
            QVERIFY2(board.exitCode() == 2 && board.readAllStandardError().contains("--help"),
                     qPrintable(arguments.join(' ')));
        }
        for (const QString option : {"--help", "--version"})
        {
            QProcess board;
            board.start(program, {option});
            QVERIFY(board.waitForFinished(10000));
            QCOMPARE(board.exitCode(), 0);
            const QString said = QString::fromUtf8(board.readAllStandardOutput());
            QVERIFY(said.startsWith(option == "--help" ? "Usage: tavrelo-board" : "tavrelo-board 1"));
            if (option != "--help")
                continue;
            // The help and the manual page give the default the server starts with.
            const QString threads = QString::number(Board_Server::Limits().threads);
            // Its text may wrap: it runs to the next option.
            const QString help_entry =
                said.mid(said.indexOf("--threads")).section("\n  -", 0, 0).simplified();
            QVERIFY2(help_entry.contains("(default " + threads + ")"), qPrintable(help_entry));
            QFile man(qEnvironmentVariable("TAVRELO_SOURCE_DIR") + "/packaging/man/tavrelo-board.1");
            QVERIFY(man.open(QIODevice::ReadOnly));
            const QString page = QString::fromUtf8(man.readAll());
            const int entry = page.indexOf(".BI \\-\\-threads");
            QVERIFY(entry > 0);
            QVERIFY2(page.mid(entry, page.indexOf(".TP", entry) - entry)
                         .contains("The default is " + threads + "."),
                     "the manual page gives another default for --threads");
        }
    }
};

QTEST_MAIN(Test_Board_Api)
#include "tst_board_api.moc"
