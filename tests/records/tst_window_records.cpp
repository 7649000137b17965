// A best lap written by one game process is read by the next: the time in the clock's text, and the ghost
// drawn from the first frame of the next race, replaying the recorded path.
#include "Finish_Panel.h"
#include "Game.h"
#include "Ghost_Ship.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Options.h"
#include "Pursuit_Driver.h"
#include "Race_Clock.h"
#include "Record_File.h"
#include "Rival_Lap.h"
#include "Ship.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace
{
constexpr double Ghost_Step = 1.0 / 256.0; // the ghost's position unit, world units

QString Path_File(const QString& dir)
{
    return dir + "/recorded_path.txt";
}

void Start_Race(Game& game)
{
    game.Start_Button()->m_was_pressed = true;
    game.Advance_Frame();
}

// Drives a lap and returns the craft's position at every frame that recorded a ghost sample.
QVector<QPointF> Drive_And_Record(Game& game)
{
    QVector<QPointF> path;
    Pursuit_Driver driver(game);
    driver.Press();
    for (int frame = 0; frame < 90 * 60 && game.State() == Game::State_Race; ++frame)
    {
        const int before = game.Ghost()->m_record.size();
        driver.Step();
        if (game.Ghost()->m_record.size() > before)
            path << game.Craft()->m_position;
    }
    return path;
}

// The second process: reads the record the first one left.
int Check_The_Record(const QString& dir, int argc, char** argv)
{
    QApplication app(argc, argv);
    Isolate_Settings(dir);
    QFile file(Path_File(dir));
    if (!file.open(QIODevice::ReadOnly))
        return 10;
    QTextStream in(&file);
    float best = 0.0f;
    in >> best;
    QVector<QPointF> path;
    while (!in.atEnd())
    {
        double x = 0.0;
        double y = 0.0;
        in >> x >> y;
        if (in.status() == QTextStream::Ok)
            path << QPointF(x, y);
    }
    Game game;
    // Nine digits give a float back to the bit.
    if (game.Current_Race().m_clock.m_best != best)
    {
        qWarning("best read as %.9g, written %.9g", double(game.Current_Race().m_clock.m_best), double(best));
        return 15;
    }
    if (game.Timer()->Text() != "00:00:00, best: " + Race_Clock::Format_Time(best))
    {
        qWarning("timer shows '%s' for a best of %f", qPrintable(game.Timer()->Text()), double(best));
        return 11;
    }
    Start_Race(game);
    // Drawn from the first frame: the translucent blue chevron at the start.
    Recording_Device device(800, 480);
    {
        QPainter painter(&device);
        game.Ghost()->Draw(&painter);
    }
    if (device.Count(Painter_Call::Lines) == 0 ||
        device.Calls().first().pen.color() != QColor(130, 160, 255, 190))
        return 12;
    // Driven the same way, the new run replays the old one sample by sample.
    Pursuit_Driver driver(game);
    driver.Press();
    int samples = 0;
    for (int frame = 0; frame < 90 * 60 && game.State() == Game::State_Race; ++frame)
    {
        const int before = game.Ghost()->m_read_pos;
        driver.Step();
        if (game.Ghost()->m_read_pos == before)
            continue;
        const QPointF replayed = game.Ghost()->m_position;
        const QPointF recorded = path.value(samples);
        if (samples >= path.size() || qAbs(replayed.x() - recorded.x()) > Ghost_Step ||
            qAbs(replayed.y() - recorded.y()) > Ghost_Step)
        {
            qWarning("sample %d: replayed (%f, %f), recorded (%f, %f)", samples, replayed.x(), replayed.y(),
                     recorded.x(), recorded.y());
            return 13;
        }
        ++samples;
    }
    if (samples != path.size())
    {
        qWarning("replayed %d samples of %d", samples, int(path.size()));
        return 14;
    }
    return 0;
}
// Drives a lap in a fresh game on the settings in dir and writes, beside
// them, its best time and the path the ghost recorded, for a later process to
// check. Returns 0, or what went wrong.
int Write_Record_And_Path(const QString& dir)
{
    Isolate_Settings(dir);
    float best = 0.0f;
    QVector<QPointF> path;
    {
        Game game;
        Start_Race(game);
        path = Drive_And_Record(game);
        best = game.Current_Race().m_clock.m_best;
        if (game.State() != Game::State_Menu || !(best > 0.0f) ||
            game.Ghost()->m_record.size() != 4 + 10 * path.size() || path.size() <= 1000)
            return 20;
    }
    QFile file(Path_File(dir));
    if (!file.open(QIODevice::WriteOnly))
        return 21;
    QTextStream out(&file);
    out.setRealNumberPrecision(9);
    out << best << '\n';
    for (const QPointF& p : path)
        out << p.x() << ' ' << p.y() << '\n';
    out.flush();
    return out.status() == QTextStream::Ok ? 0 : 22;
}

// The same test program in another build, when there is one: the other Qt
// major version's (TAVRELO_OTHER_BUILD) or an ARM build run under emulation
// (TAVRELO_ARM_BUILD, set by scripts/test).
QString Other_Build_File(const char* variable, const QString& name)
{
    const QString other = qEnvironmentVariable(variable);
    return other.isEmpty() ? QString() : other + "/" + name;
}

} // namespace

class Test_Window_Records : public QObject
{
    Q_OBJECT

private slots:
    // The next process reads the best time to the bit and replays the ghost
    // along the recorded path, whether it is the same build or the one with
    // the other Qt major version (Qt 5 and Qt 6 share their records) or an
    // ARM build; and that build's tavrelo starts on the file and leaves it as it was.
    void a_best_lap_is_kept_for_the_next_process_data()
    {
        QTest::addColumn<QByteArray>("other_build");
        QTest::addColumn<bool>("other_reads");
        QTest::addColumn<bool>("other_writes");
        QTest::newRow("same build") << QByteArray("TAVRELO_OTHER_BUILD") << false << false;
        QTest::newRow("the other Qt build reads") << QByteArray("TAVRELO_OTHER_BUILD") << true << false;
        QTest::newRow("the other Qt build writes") << QByteArray("TAVRELO_OTHER_BUILD") << false << true;
        QTest::newRow("an ARM build reads") << QByteArray("TAVRELO_ARM_BUILD") << true << false;
        QTest::newRow("an ARM build writes") << QByteArray("TAVRELO_ARM_BUILD") << false << true;
    }
    void a_best_lap_is_kept_for_the_next_process()
    {
        QFETCH(QByteArray, other_build);
        QFETCH(bool, other_reads);
        QFETCH(bool, other_writes);
        const QString other_test = Other_Build_File(other_build.constData(), "tests/tst_window_records");
        const QString other_game = Other_Build_File(other_build.constData(), "tavrelo");
        if ((other_reads || other_writes) && (other_test.isEmpty() || !QFileInfo(other_test).isExecutable() ||
                                              !QFileInfo(other_game).isExecutable()))
            QSKIP(qPrintable(QString("no such build: %1=<its build folder> names it (scripts/test sets it)")
                                 .arg(QString::fromLatin1(other_build))));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const Child_Run write =
            !other_writes ? Child_Run{true, QProcess::NormalExit, Write_Record_And_Path(dir.path()), {}}
                          : Run_Self_As_Child("TAVRELO_WRITE_RECORD", dir.path(), 180000, other_test);
        QVERIFY2(write.finished && write.status == QProcess::NormalExit, qPrintable(write.errors));
        QVERIFY2(write.exit_code == 0, qPrintable(write.errors));
        const Child_Run read = Run_Self_As_Child("TAVRELO_CHECK_RECORD", dir.path(), 180000,
                                                 other_reads ? other_test : QString());
        QVERIFY2(read.finished && read.status == QProcess::NormalExit, qPrintable(read.errors));
        QVERIFY2(read.exit_code == 0, qPrintable(read.errors));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.path());
        // The reading build's records tool finds the whole record, at the time the lap set, and
        // races the lap's inputs to exactly that time and ghost.
        QFile path_file(Path_File(dir.path()));
        QVERIFY(path_file.open(QIODevice::ReadOnly));
        const float best = QString::fromLatin1(path_file.readLine()).trimmed().toFloat();
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(other_reads ? Other_Build_File(other_build.constData(), "tavrelo-records")
                               : qEnvironmentVariable("TAVRELO_RECORDS_EXE"),
                   {"list"});
        QVERIFY(tool.waitForFinished(20000));
        const QString listed = QString::fromUtf8(tool.readAllStandardOutput());
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY2(listed.contains(QRegularExpression(
                     "\\nPrimus +" + QRegularExpression::escape(Race_Clock::Format_Time(best)) +
                     " .* ok, verified\\n")),
                 qPrintable(listed));
        if (!other_reads && !other_writes)
            return;

        // The real game of the reading build, on the file the other one wrote.
        const QString settings = dir.path() + "/Norvikk/Tavrelo.ini";
        QFile before_file(settings);
        QVERIFY(before_file.open(QIODevice::ReadOnly));
        const QByteArray before = before_file.readAll();
        QProcess game;
        game.setProcessEnvironment(env);
        game.start(other_reads ? other_game : qEnvironmentVariable("TAVRELO_EXE"), QStringList());
        QVERIFY(game.waitForStarted());
        // The game says nothing on a good start: its window on the screen shows it got past the records.
        // Looked for again and again, not with --sync: xdotool stops at an X error when a window it walks
        // past goes away meanwhile, as windows do while a program starts.
        QElapsedTimer looked;
        looked.start();
        bool shown = false;
        QByteArray why;
        while (!shown && looked.elapsed() < 30000 && game.state() == QProcess::Running)
        {
            QProcess window;
            window.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(game.processId()),
                                     "--name", "^Tavrelo$"});
            shown = window.waitForFinished(10000) && window.exitCode() == 0 &&
                    !window.readAllStandardOutput().isEmpty();
            why = window.readAllStandardError();
            if (window.state() != QProcess::NotRunning)
            {
                window.kill();
                window.waitForFinished();
            }
            if (!shown)
                QTest::qWait(100);
        }
        QVERIFY2(shown, (game.readAllStandardError() + why).constData());
        QTest::qWait(1000);
        QCOMPARE(game.state(), QProcess::Running);
        game.terminate();
        QVERIFY(game.waitForFinished(10000));
        QFile after_file(settings);
        QVERIFY(after_file.open(QIODevice::ReadOnly));
        QCOMPARE(after_file.readAll(), before);
    }

    // A lap file's ghost (tavrelo --ghost) is raced only when its inputs prove it, and racing it
    // leaves the player's record file as it was, to the byte.
    void a_lap_files_ghost_is_raced_and_the_record_kept_data()
    {
        QTest::addColumn<QString>("fault"); // what is wrong with the lap file
        QTest::addColumn<QString>("reason");
        QTest::newRow("a proven lap") << QString() << QString();
        QTest::newRow("inputs of another lap") << "inputs"
                                               << "failed: ";
        QTest::newRow("no inputs") << "no inputs"
                                   << "no inputs to verify it";
    }
    void a_lap_files_ghost_is_raced_and_the_record_kept()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        Temporary_Settings settings;
        QVERIFY(settings.Is_Valid());
        // The player keeps the faster of two laps of Secundus; a friend sent the slower one.
        const Headless_Lap first = Drive_Headless_Lap(1, QSize(800, 480), 70.0f);
        const Headless_Lap second = Drive_Headless_Lap(1, QSize(800, 480), 50.0f);
        QVERIFY(first.finished && second.finished && first.time != second.time);
        const bool first_faster = first.time < second.time;
        const Headless_Lap& own = first_faster ? first : second;
        const Headless_Lap& friends = first_faster ? second : first;
        {
            Options options;
            QVERIFY(options.Write_Record(1, own.time, own.ghost, own.inputs));
        }
        const QString lap_file = settings.Path() + "/friend.json";
        {
            QFile file(lap_file);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(Record_File::Write(1, friends.time, friends.ghost,
                                          fault == "inputs"      ? own.inputs
                                          : fault == "no inputs" ? QString()
                                                                 : friends.inputs));
        }
        QFile settings_file(settings.File());
        QVERIFY(settings_file.open(QIODevice::ReadOnly));
        const QByteArray before = settings_file.readAll();
        settings_file.close();

        Rival_Lap rival;
        QString why;
        QCOMPARE(rival.Load(lap_file, why), reason.isEmpty());
        QVERIFY2(why.contains(reason), qPrintable(why));
        {
            Game game;
            game.Race_Against(rival);
            QCOMPARE(game.Course()->m_track_index, reason.isEmpty() ? 1 : 0);
            if (reason.isEmpty())
            {
                // The friend's ghost against the player's own best on the clock.
                QCOMPARE(game.Ghost()->m_playback, friends.ghost);
                QCOMPARE(game.Current_Race().m_clock.m_best, own.time);
                // The friend's time to beat after it, and at the finish the gap to them by name.
                QVERIFY(game.Timer()->Text().endsWith(", to beat: " + Race_Clock::Format_Time(friends.time) +
                                                      " " + rival.m_name));
                Start_Race(game);
                Pursuit_Driver(game, first_faster ? 50.0f : 70.0f).Drive_Lap(90 * 60);
                QCOMPARE(game.State(), int(Game::State_Menu));
                QVERIFY(game.Current_Race().m_clock.m_elapsed > own.time);
                QVERIFY(game.Finish()->Lines().contains(
                    Ghost_Gap::Text(game.Current_Race().m_clock.m_elapsed - friends.time).mid(1) + " s " +
                    (game.Current_Race().m_clock.m_elapsed > friends.time ? "behind " : "ahead of ") +
                    rival.m_name));
            }
        }
        QVERIFY(settings_file.open(QIODevice::ReadOnly));
        QCOMPARE(settings_file.readAll(), before);
    }

    // The menu's best time says when the record has no inputs to prove it, until a lap of the
    // player's own replaces it.
    void the_menu_marks_an_unverified_best_data()
    {
        QTest::addColumn<bool>("inputs"); // whether the stored best keeps its inputs
        QTest::addColumn<bool>("beaten"); // whether a lap is then driven that beats it
        QTest::newRow("proven") << true << false;
        QTest::newRow("imported unverified") << false << false;
        QTest::newRow("unverified, then beaten") << false << true;
    }
    void the_menu_marks_an_unverified_best()
    {
        QFETCH(bool, inputs);
        QFETCH(bool, beaten);
        Temporary_Settings settings;
        QVERIFY(settings.Is_Valid());
        const Headless_Lap lap = Drive_Headless_Lap(0, QSize(800, 480));
        QVERIFY(lap.finished);
        // A beaten best is a slow one, kept before laps kept their inputs.
        const float best = beaten ? 500.0f : lap.time;
        {
            Options options;
            QVERIFY(options.Write_Record(0, best, beaten ? QString() : lap.ghost,
                                         inputs ? lap.inputs : QString()));
        }
        Game game;
        QCOMPARE(game.Course()->m_track_index, 0);
        QCOMPARE(game.Timer()->Text(), "00:00:00, best: " + Race_Clock::Format_Time(best) +
                                           (inputs ? QString() : QStringLiteral(" (unverified)")));
        if (!beaten)
            return;
        Start_Race(game);
        Pursuit_Driver(game).Drive_Lap(90 * 60);
        QCOMPARE(game.State(), int(Game::State_Menu));
        QCOMPARE(game.Timer()->Text(),
                 Race_Clock::Format_Time(game.Current_Race().m_clock.m_elapsed) +
                     ", best: " + Race_Clock::Format_Time(game.Current_Race().m_clock.m_elapsed));
    }
};

int main(int argc, char** argv)
{
    const QString dir = QString::fromLocal8Bit(qgetenv("TAVRELO_CHECK_RECORD"));
    if (!dir.isEmpty())
        return Check_The_Record(dir, argc, argv);
    const QString write_dir = QString::fromLocal8Bit(qgetenv("TAVRELO_WRITE_RECORD"));
    if (!write_dir.isEmpty())
    {
        QApplication app(argc, argv);
        return Write_Record_And_Path(write_dir);
    }
    QApplication app(argc, argv);
    Test_Window_Records test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_records.moc"
