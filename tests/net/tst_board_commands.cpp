// tavrelo-records board against a real tavrelo-board: each subcommand's exit status and what it says, in
// order, from no board kept to a lap fetched back as a file.
#include "Board_Process.h"
#include "Options.h"
#include "Test_Support.h"

#include <QRegularExpression>
#include <QtTest>

class Test_Board_Commands : public QObject
{
    Q_OBJECT

    Temporary_Settings m_settings;
    QTemporaryDir m_data;
    Board_Process m_board{m_data.path() + "/board"};

private slots:
    void initTestCase()
    {
        QVERIFY(m_settings.Is_Valid() && m_data.isValid());
        QVERIFY(m_board.Start());
        const Headless_Lap lap = Drive_Headless_Lap(0, QSize(800, 480));
        Options options;
        QVERIFY(options.Write_Record(0, lap.time, lap.ghost, lap.inputs));
        QCOMPARE(m_board.Post_Lap(1, Drive_Headless_Lap(1, QSize(800, 480)), "Taken",
                                  "another-install-0123456789"),
                 201);
    }

    void each_command_answers_with_its_status_data()
    {
        QTest::addColumn<QStringList>("arguments"); // {url}: the board's, {file}: a lap file's path
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // matched in what it wrote to either stream

        QTest::newRow("no board yet")
            << QStringList{"board", "top", "1"} << 2 << "no board: give --board URL";
        QTest::newRow("no subcommand") << QStringList{"board"} << 2 << "Subcommands:";
        QTest::newRow("no such subcommand")
            << QStringList{"board", "rank"} << 2 << "no board subcommand 'rank'";
        QTest::newRow("a wrong address") << QStringList{"board", "url", "ftp://x"} << 2 << "not an http";
        QTest::newRow("the address kept")
            << QStringList{"board", "url", "{url}"} << 0 << "^Board: http://127";
        QTest::newRow("the address shown")
            << QStringList{"board", "url"} << 0 << "^http://127.0.0.1:\\d+\\n$";
        QTest::newRow("an empty course")
            << QStringList{"board", "top", "1"} << 0 << "^Primus: 0 on the board\\n$";
        QTest::newRow("no name yet") << QStringList{"board", "submit"} << 2 << "no name to stand under";
        QTest::newRow("an invisible name") << QStringList{"board", "name", QString("a") + QChar(0x200B)} << 2
                                           << "invisible character \\(U\\+200B\\)";
        QTest::newRow("the name kept") << QStringList{"board", "name", "Zoë"} << 0 << "^Name: Zoë\\n$";
        QTest::newRow("the bests sent")
            << QStringList{"board", "submit"} << 0
            << "Primus \\d\\d:\\d\\d:\\d\\d: taken: 1st on the board \\(lap 2\\)\\n"
               "Secundus: not sent: no best lap";
        QTest::newRow("sent again") << QStringList{"board", "submit", "primus"} << 0 << "1st on the board";
        QTest::newRow("a course without a lap")
            << QStringList{"board", "submit", "3"} << 1 << "Tertius: not sent: no best lap";
        QTest::newRow("the standings")
            << QStringList{"board", "top", "2", "--limit", "5"} << 0
            << "Secundus: 1 on the board\\n   1  Taken\\s+\\d\\d:\\d\\d:\\d\\d  lap 1\\n";
        QTest::newRow("a limit out of range")
            << QStringList{"board", "top", "1", "--limit", "501"} << 2 << "--limit";
        QTest::newRow("a lap fetched") << QStringList{"board", "fetch", "1", "{file}"} << 0
                                       << "^Saved lap 1 \\(Secundus, \\d\\d:\\d\\d:\\d\\d\\) to ";
        QTest::newRow("not over a file") << QStringList{"board", "fetch", "1", "{file}"} << 1
                                         << "not written: the file exists \\(--force replaces it\\)";
        QTest::newRow("over it when forced")
            << QStringList{"board", "fetch", "2", "{file}", "--force"} << 0 << "Saved lap 2 \\(Primus";
        QTest::newRow("no such lap") << QStringList{"board", "fetch", "99", "{file}.2"} << 1 << "no lap 99";
        QTest::newRow("no lap id") << QStringList{"board", "fetch", "01", "{file}.2"} << 2 << "no lap id";
        QTest::newRow("render not over a file") << QStringList{"render", "1", "{file}"} << 1 << "file exists";
        QTest::newRow("another install's name")
            << QStringList{"board", "name", "taken"} << 0 << "Name: taken";
        QTest::newRow("refused with the reason")
            << QStringList{"board", "submit", "1"} << 1 << "refused: the name belongs to another player";
        QTest::newRow("a board out of reach")
            << QStringList{"board", "top", "1", "--board", "http://127.0.0.1:1"} << 3
            << "the board cannot be reached";
        QTest::newRow("a board that is not one")
            << QStringList{"board", "top", "1", "--board", "{url}/nothing"} << 1 << "the board answered 404";
    }

    void each_command_answers_with_its_status()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        for (QString& argument : arguments)
            argument.replace("{url}", m_board.Url()).replace("{file}", m_data.path() + "/lap.json");
        const Tool_Run run = Run_Records_Tool(arguments);
        const QString text = run.output + run.errors;
        QVERIFY2(QRegularExpression(said).match(text).hasMatch(), qPrintable(text));
        QCOMPARE(run.exit_code, status);
    }
};

QTEST_MAIN(Test_Board_Commands)
#include "tst_board_commands.moc"
