// tavrelo-records as a player meets it: a record exported, cleared and imported back on a temporary
// settings folder, every reason a record file is refused, and wrong usage.
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Level.h"
#include "Options.h"
#include "Race_Clock.h"
#include "Record_Check.h"
#include "Record_File.h"
#include "Record_Picture.h"
#include "Test_Support.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>

namespace
{
// A lap of Secundus as a player drives it, with the inputs that prove it.
using Lap = Headless_Lap;
Lap Make_Lap(float lookahead = 70.0f)
{
    return Drive_Headless_Lap(1, QSize(800, 480), lookahead);
}

void Store(const Lap& lap)
{
    Options options;
    QVERIFY(options.Write_Record(1, lap.time, lap.ghost, lap.inputs));
}

QByteArray Read_All(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write_All(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}
} // namespace

class Test_Records_Tool : public QObject
{
    Q_OBJECT

    std::unique_ptr<Temporary_Settings> m_settings;
    Lap m_lap;
    Lap m_tertius;

private slots:
    void initTestCase()
    {
        m_lap = Make_Lap();
        QVERIFY(m_lap.finished && !m_lap.inputs.isEmpty());
        m_tertius = Drive_Headless_Lap(2, QSize(800, 480));
        QVERIFY(m_tertius.finished && !m_tertius.inputs.isEmpty());
    }
    void init()
    {
        m_settings.reset(new Temporary_Settings);
        QVERIFY(m_settings->Is_Valid());
    }

    void export_clear_and_import_give_back_the_record_bit_for_bit()
    {
        Store(m_lap);
        Tool_Run run = Run_Records_Tool({"list"});
        QCOMPARE(run.exit_code, 0);
        const int samples = Ghost_Sample_Count(m_lap.ghost);
        QVERIFY2(run.output.contains(
                     QRegularExpression(QStringLiteral("\\nSecundus +%1 +%2 +%3 +ok, verified\\n")
                                            .arg(Race_Clock::Format_Time(m_lap.time))
                                            .arg(samples)
                                            .arg(Race_Clock::Format_Time(Clock_After(samples - 1))))),
                 qPrintable(run.output));
        QVERIFY2(run.output.contains(QRegularExpression("\\nPrimus .* none\\n")), qPrintable(run.output));
        QVERIFY(run.output.endsWith(m_settings->File() + "\n"));

        // Names a player may well use: spaces and letters beyond ASCII.
        const QString folder = m_settings->Path() + QStringLiteral("/Rundenzeiten für Åsa");
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/Secundus – beste Runde.json");
        run = Run_Records_Tool({"export", "SECUNDUS", file});
        QCOMPARE(run.exit_code, 0);
        // A file already there (a friend's lap, say) is replaced only when asked.
        const QByteArray friends_lap("{\"a friend's\": \"lap\"}");
        Write_All(file, friends_lap);
        run = Run_Records_Tool({"export", "2", file});
        QVERIFY2(run.exit_code == 1 && run.errors.count('\n') == 1 && run.errors.contains(file) &&
                     run.errors.contains("exists"),
                 qPrintable(run.errors));
        QCOMPARE(Read_All(file), friends_lap);
        QCOMPARE(Run_Records_Tool({"export", "2", file, "--force"}).exit_code, 0);
        QVERIFY(Read_All(file) != friends_lap);

        run = Run_Records_Tool({"clear", "2", "--yes"});
        QCOMPARE(run.exit_code, 0);
        const QStringList backups = QDir(m_settings->Path() + "/Norvikk").entryList({"Tavrelo.ini.*.bak"});
        QCOMPARE(backups.size(), 1);
        QVERIFY2(run.output.contains(backups[0]), qPrintable(run.output));
        QVERIFY(Run_Records_Tool({"list"}).output.contains(QRegularExpression("\\nSecundus .* none\\n")));

        run = Run_Records_Tool({"import", file});
        QCOMPARE(run.exit_code, 0);
        {
            QSettings settings(m_settings->File(), QSettings::IniFormat);
            const QVariant time = settings.value("level1/time");
            // Each Qt stores a float its own way: a typed value (Qt 5) or decimal text (Qt 6).
            QVERIFY(time.userType() == QMetaType::Float || time.userType() == QMetaType::QString);
            const float imported =
                time.userType() == QMetaType::Float ? time.toFloat() : time.toString().toFloat();
            QCOMPARE(std::memcmp(&imported, &m_lap.time, sizeof imported), 0);
            QCOMPARE(settings.value("level1/ghost").toString(), m_lap.ghost);
        }

        // The same lap again is no faster; another, forced, replaces the record
        // after a backup that holds the file as it was before.
        run = Run_Records_Tool({"import", file});
        QCOMPARE(run.exit_code, 1);
        QVERIFY2(run.errors.contains("not faster"), qPrintable(run.errors));
        const Lap other = Make_Lap(50.0f);
        const QString other_file = m_settings->Path() + "/other.json";
        Write_All(other_file, Record_File::Write(1, other.time, other.ghost, other.inputs));
        const QByteArray before = Read_All(m_settings->File());
        run = Run_Records_Tool({"import", other_file, "--force"});
        QCOMPARE(run.exit_code, 0);
        QVERIFY2(run.output.contains("kept in") && run.output.contains("verified"), qPrintable(run.output));
        const QStringList now = QDir(m_settings->Path() + "/Norvikk").entryList({"Tavrelo.ini.*.bak"});
        QCOMPARE(now.size(), 2);
        QCOMPARE(Read_All(m_settings->Path() + "/Norvikk/" + (now[0] == backups[0] ? now[1] : now[0])),
                 before);
        QVERIFY(Run_Records_Tool({"verify", "2"}).output.contains("Secundus: verified\n"));
        // A lap kept before laps kept their inputs is taken only when asked, and stays unverified.
        Write_All(other_file, Record_File::Write(1, other.time, other.ghost));
        QCOMPARE(Run_Records_Tool({"import", other_file, "--force", "--unverified"}).exit_code, 0);
        QVERIFY(Run_Records_Tool({"verify", "secundus"}).output.contains("Secundus: unverified\n"));
    }

    void a_rejected_file_changes_nothing_and_says_why_data()
    {
        QTest::addColumn<QByteArray>("raw"); // the file as it is, when not empty
        QTest::addColumn<QString>("field");  // else the exported file with this field changed
        QTest::addColumn<QVariant>("value"); // (to this value)
        QTest::addColumn<QString>("reason");

        const Lap lap = Make_Lap();
        const auto ghost = [&lap](int keep, const QString& tail)
        { return QVariant(lap.ghost.left(keep) + tail); };
        const QString none;
        QTest::newRow("not JSON") << QByteArray("{\"format\": ") << none << QVariant() << "not a record file";
        QTest::newRow("no object") << QByteArray("[1, 2]") << none << QVariant() << "no JSON object";
        QTest::newRow("too large") << QByteArray(Record_File::Max_File_Size + 1, ' ') << none << QVariant()
                                   << "too large";
        QTest::newRow("other format")
            << QByteArray() << "format" << QVariant("tavrelo-ghost") << "its format is not";
        QTest::newRow("newer layout")
            << QByteArray() << "format_version" << QVariant(2) << "format version 2";
        QTest::newRow("unknown course")
            << QByteArray() << "course" << QVariant("Quartus") << "unknown course";
        QTest::newRow("other course data")
            << QByteArray() << "course_version" << QVariant(2) << "wrong course version";
        QTest::newRow("time zero") << QByteArray() << "time" << QVariant(0.0)
                                   << "not a finite number above zero";
        QTest::newRow("time negative") << QByteArray() << "time" << QVariant(-3.3) << "not a finite number";
        QTest::newRow("time as text") << QByteArray() << "time" << QVariant("3.3") << "not a finite number";
        // A lap of no frames at all: one sample, and a time that beats every real lap.
        QTest::newRow("time below a frame") << Record_File::Write(1, 1e-30f, "baba" + QString(10, QChar('a')))
                                            << none << QVariant() << "1 samples cannot belong";
        QTest::newRow("time beyond float")
            << QByteArray() << "time" << QVariant(1e39) << "not a finite number";
        QTest::newRow("ghost not text") << QByteArray() << "ghost" << QVariant(12) << "ghost is not text";
        QTest::newRow("bad header") << QByteArray() << "ghost" << ghost(0, "ab" + lap.ghost.mid(2))
                                    << "bad header";
        QTest::newRow("outside the code")
            << QByteArray() << "ghost" << ghost(10, "q" + lap.ghost.mid(11)) << "characters outside the code";
        QTest::newRow("ghost of other course data")
            << QByteArray() << "ghost" << ghost(2, "ca" + lap.ghost.mid(4)) << "wrong course version";
        QTest::newRow("cut sample") << QByteArray() << "ghost" << ghost(lap.ghost.size() - 3, none)
                                    << "a cut sample";
        QTest::newRow("past the cap")
            << QByteArray() << "ghost" << ghost(4, QString(Ghost_Record_Cap + 5 - 4, QChar('a')))
            << "past the cap";
        const int samples = Ghost_Sample_Count(lap.ghost);
        QTest::newRow("a sample short") << QByteArray() << "ghost" << ghost(lap.ghost.size() - 10, none)
                                        << QString::number(samples - 1) + " samples cannot belong";
        QTest::newRow("no faster") << QByteArray() << none << QVariant() << "not faster";
        // The longest ghost the game keeps, and one sample more; the longest
        // lap that keeps a ghost, and one frame more (it keeps none).
        const QString longest = "baba" + QString(10 * 5399, QChar('a'));
        QTest::newRow("5399 samples are whole") << Record_File::Write(1, Clock_After(5398), longest) << none
                                                << QVariant() << "no inputs to verify";
        QTest::newRow("5400 samples are past the cap")
            << Record_File::Write(1, Clock_After(5399), longest + QString(10, QChar('a'))) << none
            << QVariant() << "past the cap";
        QTest::newRow("5398 frames need a ghost") << Record_File::Write(1, Clock_After(5398), none) << none
                                                  << QVariant() << "0 samples cannot belong";
        QTest::newRow("5399 frames keep none")
            << Record_File::Write(1, Clock_After(5399), none) << none << QVariant() << "no inputs to verify";
        // Laps that are no longer what was raced, though time and ghost still fit together.
        const Lap primus = Drive_Headless_Lap(0, QSize(800, 480));
        const int last_run = lap.inputs.lastIndexOf('.', lap.inputs.lastIndexOf('.') - 1);
        QString steered = lap.inputs;
        steered.replace(steered.indexOf(".1p", 20), 3, ".1p-");
        QString sample = lap.ghost;
        sample[sample.size() - 20] = sample[sample.size() - 20] == 'a' ? 'b' : 'a';
        QTest::newRow("time lowered, ghost cut to fit")
            << Record_File::Write(1, Clock_After(samples - 2), lap.ghost.left(lap.ghost.size() - 10),
                                  lap.inputs)
            << none << QVariant() << "failed: the inputs finish at";
        QTest::newRow("a ghost sample moved") << Record_File::Write(1, lap.time, sample, lap.inputs) << none
                                              << QVariant() << "failed: another ghost";
        QTest::newRow("one input frame changed")
            << QByteArray() << "inputs" << QVariant(steered) << "failed: ";
        QTest::newRow("inputs of another course")
            << QByteArray() << "inputs" << QVariant(primus.inputs) << "failed: ";
        QTest::newRow("inputs that stop before the finish")
            << QByteArray() << "inputs" << QVariant(lap.inputs.left(last_run))
            << "failed: the lap does not finish";
        QTest::newRow("inputs that do not decode")
            << QByteArray() << "inputs" << QVariant("i1.v800x480.x") << "failed: inputs that do not decode";
        QTest::newRow("inputs not text") << QByteArray() << "inputs" << QVariant(7) << "inputs are not text";
        // 3 ms off (45.516 s to 45.513 s), 00:45:51 on the clock either way: only the exact time proves it.
        const float lowered = lap.time - 0.003f;
        QTest::newRow("time lowered within its hundredth")
            << Record_File::Write(1, lowered, lap.ghost, lap.inputs) << none << QVariant()
            << "failed: the inputs finish at";
        // Refused as it is read, with no race run over its 10801 frames.
        QTest::newRow("input runs past the cap")
            << QByteArray() << "inputs" << QVariant("i1.v800x480.6000p400:240.4801-")
            << "failed: inputs that do not decode: more than 10800 frames";
        // Past the cap a lap keeps no inputs: it is taken only as unverified.
        QTest::newRow("a lap longer than the inputs' cap")
            << Record_File::Write(1, Clock_After(10801), none) << none << QVariant() << "no inputs to verify";
        QTest::newRow("no inputs") << Record_File::Write(1, lap.time, lap.ghost) << none << QVariant()
                                   << "no inputs to verify";
    }

    void a_rejected_file_changes_nothing_and_says_why()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QString, reason);

        Store(m_lap);
        if (raw.isEmpty())
        {
            QJsonObject object =
                QJsonDocument::fromJson(Record_File::Write(1, m_lap.time, m_lap.ghost, m_lap.inputs))
                    .object();
            if (!field.isEmpty())
                object.insert(field, QJsonValue::fromVariant(value));
            raw = QJsonDocument(object).toJson();
        }
        const QString file = m_settings->Path() + "/lap.json";
        Write_All(file, raw);
        const QByteArray before = Read_All(m_settings->File());
        const QStringList files = QDir(m_settings->Path() + "/Norvikk").entryList(QDir::Files);

        // --force overrides only "not faster", and --unverified only a lap with no inputs.
        for (const QStringList& options : {QStringList(), {"--force"}, {"--force", "--unverified"}})
        {
            const Tool_Run run = Run_Records_Tool(QStringList{"import", file} + options);
            const bool taken = (options.contains("--force") && reason == "not faster") ||
                               (options.contains("--unverified") && reason == "no inputs to verify");
            QVERIFY2(run.exit_code == (taken ? 0 : 1), qPrintable(options.join(' ') + ": " + run.errors));
            if (taken)
                continue;
            QCOMPARE(run.errors.count('\n'), 1);
            QVERIFY2(run.errors.contains(file) && run.errors.contains(reason), qPrintable(run.errors));
            QCOMPARE(Read_All(m_settings->File()), before);
            QCOMPARE(QDir(m_settings->Path() + "/Norvikk").entryList(QDir::Files), files);
        }
        if (!reason.startsWith("failed: "))
            return;

        // A lap its inputs disprove fails verify as a file, and as a stored record beside a sound one.
        Tool_Run run = Run_Records_Tool({"verify", file});
        QVERIFY2(run.exit_code == 1 && run.output.contains(reason), qPrintable(run.output + run.errors));
        Record_File record;
        QString why;
        QVERIFY2(record.Read(raw, why), qPrintable(why));
        {
            Options options;
            QVERIFY(options.Write_Record(1, record.m_time, record.m_ghost, record.m_inputs));
            QVERIFY(options.Write_Record(2, m_tertius.time, m_tertius.ghost, m_tertius.inputs));
        }
        run = Run_Records_Tool({"list"});
        QVERIFY2(run.output.contains(
                     QRegularExpression("\\nSecundus .* ok, " + QRegularExpression::escape(reason))),
                 qPrintable(run.output));
        run = Run_Records_Tool({"verify"});
        QVERIFY2(run.exit_code == 1 && run.output.contains("Secundus: " + reason) &&
                     run.output.contains("Tertius: verified\n"),
                 qPrintable(run.output));
    }

    void list_says_what_is_wrong_with_a_hand_edited_record_data()
    {
        QTest::addColumn<QByteArray>("section"); // the [level1] lines of the settings file
        QTest::addColumn<QString>("row");        // the course's row of the list, as a pattern

        QTest::newRow("nothing") << QByteArray() << "- +0 +- +none";
        QTest::newRow("time not a number")
            << QByteArray("time=nan\nghost=baba") << "not a finite number above zero";
        QTest::newRow("a ghost but no time") << QByteArray("ghost=baba") << "not a finite number above zero";
        QTest::newRow("ghost not text") << QByteArray("time=100\nghost=ba,ba") << "ghost is not text";
        QTest::newRow("short lap without ghost") << QByteArray("time=10") << "0 samples cannot belong";
        // Past 5399 samples the game saves the time with no ghost.
        QTest::newRow("long lap without ghost") << QByteArray("time=100") << "01:40:00 +0 +- +ok, unverified";
        QTest::newRow("lap past the inputs' cap")
            << QByteArray("time=200") << "03:20:00 +0 +- +ok, unverified";
    }

    void list_says_what_is_wrong_with_a_hand_edited_record()
    {
        QFETCH(QByteArray, section);
        QFETCH(QString, row);
        QVERIFY(QDir().mkpath(m_settings->Path() + "/Norvikk"));
        Write_All(m_settings->File(), "[level1]\n" + section + "\n");
        const Tool_Run run = Run_Records_Tool({});
        QCOMPARE(run.exit_code, 0);
        QVERIFY2(run.output.contains(QRegularExpression("\\nSecundus .*" + row)), qPrintable(run.output));
    }

    // A lap slow for its first stretch and fast after it, along the centre line:
    // the picture's line is in the slow colour on the one, the fast on the other.
    void render_colours_the_line_by_speed()
    {
        Level level;
        level.Init(1);
        Ghost_Ship ghost;
        Ghost_Start(ghost, QString(), level.m_points[0], 0.0f, 1);
        const auto along = [&level](float distance) { return level.Point_Ahead(0, 0.0f, distance); };
        const int slow_frames = 120;
        const int fast_frames = 60;
        for (int frame = 1; frame <= slow_frames + fast_frames; ++frame)
        {
            const float distance =
                1.5f * float(std::min(frame, slow_frames)) + 12.0f * float(std::max(frame - slow_frames, 0));
            Ghost_Record_Sample(ghost, along(distance), 0.0f);
        }
        {
            Options options;
            QVERIFY(options.Write_Record(1, Clock_After(slow_frames + fast_frames - 1), ghost.m_record));
        }
        const QString out = m_settings->Path() + "/lap.png";
        const Tool_Run run = Run_Records_Tool({"render", "secundus", out, "--size", "800x600"});
        QVERIFY2(run.exit_code == 0, qPrintable(run.errors));
        const QImage picture(out);
        QCOMPARE(picture.size(), QSize(800, 600));
        const QTransform fit = Record_Picture::Fit(level, picture.size());
        const auto near = [](const QColor& c, const QColor& g)
        { return qAbs(c.red() - g.red()) + qAbs(c.green() - g.green()) + qAbs(c.blue() - g.blue()) < 40; };
        const QPoint slow = fit.map(along(1.5f * slow_frames / 2)).toPoint();
        const QPoint fast = fit.map(along(1.5f * slow_frames + 12.0f * fast_frames / 2)).toPoint();
        QVERIFY2(near(picture.pixelColor(slow), Record_Picture::Slow_Colour),
                 qPrintable(picture.pixelColor(slow).name()));
        QVERIFY2(near(picture.pixelColor(fast), Record_Picture::Fast_Colour),
                 qPrintable(picture.pixelColor(fast).name()));
    }

    void wrong_usage_is_status_2_help_and_version_status_0()
    {
        const QList<QStringList> wrong = {{"export", "1"},
                                          {"export", "Quartus", "x.json"},
                                          {"frobnicate"},
                                          {"clear", "1"},
                                          {"render", "1", "x.png", "--size", "10x10"},
                                          {"import", "--fast", "x"},
                                          {"verify", "1", "2"}};
        for (const QStringList& arguments : wrong)
        {
            const Tool_Run run = Run_Records_Tool(arguments);
            QVERIFY2(run.exit_code == 2 && !run.errors.isEmpty(), qPrintable(arguments.join(' ')));
        }
        for (const QString command : {"list", "verify", "export", "import", "render", "clear"})
        {
            const Tool_Run run = Run_Records_Tool({command, "--help"});
            QCOMPARE(run.exit_code, 0);
            QVERIFY2(run.output.startsWith("Usage: tavrelo-records " + command), qPrintable(run.output));
        }
        // Both programs name the version the build gives the project.
        for (const QString option : {"--version", "-v"})
        {
            QCOMPARE(Run_Records_Tool({option}).output,
                     QStringLiteral("tavrelo-records " TAVRELO_VERSION "\n"));
            QProcess game;
            game.start(QString::fromLocal8Bit(qgetenv("TAVRELO_EXE")), {option});
            QVERIFY(game.waitForFinished(30000));
            QCOMPARE(game.exitCode(), 0);
            QCOMPARE(game.readAllStandardOutput(), QByteArray("tavrelo " TAVRELO_VERSION "\n"));
        }
    }
};

QTEST_GUILESS_MAIN(Test_Records_Tool)
#include "tst_records_tool.moc"
