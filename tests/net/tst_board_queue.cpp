// Board_Queue against a board that is down, in trouble or busy: no best lap is lost, the waits between tries
// grow up to their cap, and a newer best that comes while one is on its way goes after it.
#include "Board_Client.h"
#include "Board_Process.h"
#include "Board_Queue.h"
#include "Board_Settings.h"
#include "Preferences.h"
#include "Record_File.h"
#include "Test_Support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace
{
// A board that answers each lap sent with the next of its statuses (the last one for good): a real board
// cannot be made to answer 500 or 503 when a test asks, as one restarting or without its database does.
class Scripted_Board
{
public:
    explicit Scripted_Board(const QList<int>& statuses) : m_statuses(statuses)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server,
                         [this]()
                         {
                             while (QTcpSocket* socket = m_server.nextPendingConnection())
                             {
                                 QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                                  [this, socket]() { Read(socket); });
                                 QObject::connect(socket, &QTcpSocket::disconnected, socket,
                                                  [this, socket]()
                                                  {
                                                      m_requests.erase(socket);
                                                      socket->deleteLater();
                                                  });
                             }
                         });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    // The bodies of the laps sent so far, in order.
    const QList<QByteArray>& Bodies() const { return m_bodies; }

private:
    void Read(QTcpSocket* socket)
    {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        const int end = request.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = request.left(end).toLower();
        const int at = head.indexOf("content-length:");
        const int length =
            at < 0 ? 0 : head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toInt();
        if (request.size() < end + 4 + length)
            return;
        m_bodies << request.mid(end + 4, length);
        request.clear();
        const int status = m_statuses[std::min(int(m_bodies.size()), int(m_statuses.size())) - 1];
        const QByteArray body =
            status < 300 ? QByteArray(R"({"id":7,"rank":1})") : QByteArray(R"({"error":"scripted trouble"})");
        socket->write(
            "HTTP/1.1 " + QByteArray::number(status) + " Scripted\r\nContent-Type: application/json\r\n" +
            "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QList<int> m_statuses;
    QTcpServer m_server;
    std::map<QTcpSocket*, QByteArray> m_requests;
    QList<QByteArray> m_bodies;
};

// The time of the lap a board has for a player on a course (from 0), or 0 when it has none.
double Time_On_Board(Board_Process& board, int course, const QString& name)
{
    QByteArray answer;
    board.Request("GET",
                  QStringLiteral("/api/v1/courses/%1/laps?player=%2")
                      .arg(course + 1)
                      .arg(QString::fromLatin1(QUrl::toPercentEncoding(name))),
                  QByteArray(), &answer);
    return QJsonDocument::fromJson(answer).object().value("player").toObject().value("time").toDouble();
}
} // namespace

class Test_Board_Queue : public QObject
{
    Q_OBJECT

    Temporary_Settings m_settings;
    QTemporaryDir m_data;
    Board_Process m_board{m_data.path() + "/board"};
    // Each test's own preferences: a lap one leaves waiting is not sent by the next.
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_preferences;
    // Each test's player: a name is its first key's on the board, and each test makes a key of its own.
    QString m_name;
    int m_tests = 0;
    // What the queue did: each wait it started, each answer that ended a lap's wait.
    std::vector<int> m_waits;
    std::vector<std::pair<int, Board_Client::Outcome>> m_answers;

    // A queue for three courses whose waits run on the test's clock: they end when the test calls Send_Now.
    std::unique_ptr<Board_Queue> Make_Queue(Board_Client& client)
    {
        std::unique_ptr<Board_Queue> queue(new Board_Queue(*m_preferences, client, 3));
        queue->m_start_wait = [this](int milliseconds) { m_waits.push_back(milliseconds); };
        queue->m_on_answer = [this](int course, const Board_Client::Submitted& submitted)
        { m_answers.emplace_back(course, submitted.outcome); };
        return queue;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settings.Is_Valid() && m_data.isValid());
        QVERIFY(m_board.Start());
    }

    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        m_preferences.reset(new Preferences(m_dir->path() + "/Tavrelo.ini"));
        m_name = QStringLiteral("Queued %1").arg(++m_tests);
        QVERIFY(m_preferences->Write(Preferences::Board_Name_Key, m_name));
        m_waits.clear();
        m_answers.clear();
    }

    void each_wait_doubles_up_to_five_minutes_and_the_board_back_takes_the_lap()
    {
        // The board's port, with nothing listening there: every try is refused a connection at once.
        m_board.Stop();
        Board_Client client(QUrl(m_board.Url()));
        const std::unique_ptr<Board_Queue> queue = Make_Queue(client);
        const Headless_Lap lap = Drive_Headless_Lap(0, QSize(800, 480));
        QVERIFY(lap.finished);
        queue->Add(0, Record_File::Write(0, lap.time, lap.ghost, lap.inputs));
        const int seconds[] = {2, 4, 8, 16, 32, 64, 128, 256, 300, 300, 300};
        for (size_t i = 0; i < std::size(seconds); ++i)
        {
            if (i > 0)
                queue->Send_Now(); // the wait is over
            QTRY_COMPARE(m_waits.size(), i + 1);
            // A little more, never less, so that games cut off together spread out.
            const int wait = m_waits[i];
            const int least = seconds[i] * 1000;
            QVERIFY2(wait >= least && wait <= least + least / 4,
                     qPrintable(QStringLiteral("try %1 waited %2 ms").arg(i + 1).arg(wait)));
            QVERIFY(queue->Is_Waiting(0) && m_answers.empty());
        }

        QVERIFY(m_board.Start());
        queue->Send_Now();
        QTRY_COMPARE(m_answers.size(), size_t(1));
        QCOMPARE(m_answers[0].second, Board_Client::Answered);
        QVERIFY(!queue->Is_Waiting(0));
        QCOMPARE(Time_On_Board(m_board, 0, m_name), double(lap.time));
        QCOMPARE(m_waits.size(), std::size(seconds));
    }

    void a_newer_best_during_a_send_goes_after_it()
    {
        // Two laps of one course by two ways of steering: the faster is the newer best.
        Headless_Lap older = Drive_Headless_Lap(1, QSize(800, 480), 70.0f);
        Headless_Lap newer = Drive_Headless_Lap(1, QSize(800, 480), 45.0f);
        QVERIFY(older.finished && newer.finished && older.time != newer.time);
        if (newer.time > older.time)
            std::swap(older, newer);
        Board_Client client(QUrl(m_board.Url()));
        const std::unique_ptr<Board_Queue> queue = Make_Queue(client);
        queue->Add(1, Record_File::Write(1, older.time, older.ghost, older.inputs));
        // Add sends at once: the older lap is on its way, with no answer yet, when the newer comes.
        QVERIFY(queue->Is_Waiting(1) && m_answers.empty());
        queue->Add(1, Record_File::Write(1, newer.time, newer.ghost, newer.inputs));
        QTRY_COMPARE(m_answers.size(), size_t(2));
        QCOMPARE(m_answers[1].second, Board_Client::Answered);
        QVERIFY(!queue->Is_Waiting(1));
        QCOMPARE(Time_On_Board(m_board, 1, m_name), double(newer.time));
        // Nothing is left for the next start to send again.
        QCOMPARE(Board_Queue(*m_preferences, client, 3).Waiting(), 0);
    }

    void a_board_in_trouble_keeps_the_lap_until_it_answers_data()
    {
        // The board's statuses, one a try; whether the last one takes the lap or refuses it, both ending its
        // wait.
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<int>("outcome");
        QTest::newRow("restarting (503), then taken") << QList<int>{503, 201} << int(Board_Client::Answered);
        QTest::newRow("failing (500), then taken") << QList<int>{500, 201} << int(Board_Client::Answered);
        QTest::newRow("503, 500, busy (429), then taken")
            << QList<int>{503, 500, 429, 201} << int(Board_Client::Answered);
        QTest::newRow("500, then refused (422)") << QList<int>{500, 422} << int(Board_Client::Refused);
    }
    void a_board_in_trouble_keeps_the_lap_until_it_answers()
    {
        QFETCH(QList<int>, statuses);
        QFETCH(int, outcome);
        Scripted_Board board(statuses);
        Board_Client client(QUrl(board.Url()));
        const std::unique_ptr<Board_Queue> queue = Make_Queue(client);
        const Headless_Lap lap = Drive_Headless_Lap(2, QSize(800, 480));
        queue->Add(2, Record_File::Write(2, lap.time, lap.ghost, lap.inputs));
        for (int i = 0; i + 1 < statuses.size(); ++i)
        {
            QTRY_COMPARE(m_waits.size(), size_t(i + 1));
            QVERIFY2(queue->Is_Waiting(2) && m_answers.empty(), qPrintable(QString::number(statuses[i])));
            // Kept across a restart of the game, too.
            QCOMPARE(Board_Queue(*m_preferences, client, 3).Waiting(), 1);
            queue->Send_Now();
        }
        QTRY_COMPARE(m_answers.size(), size_t(1));
        QCOMPARE(int(m_answers[0].second), outcome);
        QCOMPARE(m_answers[0].first, 2);
        QVERIFY(!queue->Is_Waiting(2));
        QCOMPARE(board.Bodies().size(), statuses.size());
        for (const QByteArray& body : board.Bodies())
            QCOMPARE(body, board.Bodies().first());
    }
};

QTEST_MAIN(Test_Board_Queue)
#include "tst_board_queue.moc"
