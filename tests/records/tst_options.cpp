// Options: key names, a quiet start, the one-instance guard, and reading user-editable values.
#include "Options.h"
#include "Preferences.h"
#include "Test_Support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <limits>
#include <memory>

namespace
{
// Set in the environment of a child run of this binary that must stop on the guard.
const char* const Second_Instance_Variable = "TAVRELO_TST_OPTIONS_SECOND_INSTANCE";

struct Logged_Message
{
    QtMsgType type;
    QString text;
};
QVector<Logged_Message> g_messages;

void Record_Message(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    g_messages.append(Logged_Message{type, text});
}

// Writes values the way another program (or a user) would, beside the game's own store.
QSettings Store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Norvikk", "Tavrelo");
}

QByteArray Read_File(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 Bits(float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
} // namespace

class tst_Options : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void name_level_value_data();
    void name_level_value();
    void first_run_reads_no_time_and_no_ghost();
    void construction_logs_nothing();
    void second_live_instance_stops_the_program();
    void new_instance_after_the_first_is_gone();
    void read_best_time_data();
    void read_best_time();
    void read_ghost_data();
    void read_ghost();
    void a_best_time_is_written_as_qsettings_writes_a_float();
    void preferences_read_and_write_beside_the_records_data();
    void preferences_read_and_write_beside_the_records();
    void a_backup_keeps_the_newest_ten_data();
    void a_backup_keeps_the_newest_ten();

private:
    // Each test gets a settings folder of its own: its file starts absent.
    std::unique_ptr<QTemporaryDir> m_dir;
    QString Ini_Path() const { return m_dir->path() + "/Norvikk/Tavrelo.ini"; }
    void Write_Ini(const QByteArray& text, const char* name = "Tavrelo.ini") const;
};

void tst_Options::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    Isolate_Settings(m_dir->path());
}

void tst_Options::Write_Ini(const QByteArray& text, const char* name) const
{
    QVERIFY(QDir().mkpath(m_dir->path() + "/Norvikk"));
    QFile file(m_dir->path() + "/Norvikk/" + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

void tst_Options::name_level_value_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("key");

    QTest::newRow("first course time") << 0 << QByteArray("time") << "level0/time";
    QTest::newRow("two digits") << 12 << QByteArray("ghost") << "level12/ghost";
    QTest::newRow("name with a placeholder stays literal") << 2 << QByteArray("a%1") << "level2/a%1";
}

void tst_Options::name_level_value()
{
    QFETCH(int, level);
    QFETCH(QByteArray, name);
    QFETCH(QString, key);
    Options options;
    QCOMPARE(options.Name_Level_Value(level, name.constData()), key);
}

void tst_Options::first_run_reads_no_time_and_no_ghost()
{
    QVERIFY(!QFile::exists(Ini_Path()));
    Options options;
    for (int course = 0; course < 3; ++course)
    {
        QCOMPARE(options.Read_Best_Time(course), 0.0f);
        QCOMPARE(options.Read_Ghost(course), QString());
    }
    QCOMPARE(options.m_settings.format(), QSettings::IniFormat);
    QCOMPARE(options.m_settings.scope(), QSettings::UserScope);
    QCOMPARE(options.m_settings.organizationName(), QStringLiteral("Norvikk"));
    QCOMPARE(options.m_settings.applicationName(), QStringLiteral("Tavrelo"));
}

void tst_Options::construction_logs_nothing()
{
    Write_Ini("[level0]\ntime=42.5\n");
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Record_Message);
    {
        Options options;
        options.Read_Best_Time(0);
        options.Read_Ghost(0);
        QCOMPARE(options.m_settings.fileName(), Ini_Path());
    }
    qInstallMessageHandler(previous);
    // Standard error is for what a player must know.
    QCOMPARE(g_messages.size(), 0);
}

void tst_Options::second_live_instance_stops_the_program()
{
    const Child_Run child = Run_Self_As_Child(Second_Instance_Variable, m_dir->path());
    QVERIFY(child.finished);
    const QString& errors = child.errors;
    QCOMPARE(child.status, QProcess::CrashExit);
    QVERIFY2(errors.contains(QStringLiteral("*Get_Global_Ptr() == 0")), qPrintable(errors));
    QVERIFY2(!errors.contains(QStringLiteral("second instance built")), qPrintable(errors));
}

void tst_Options::new_instance_after_the_first_is_gone()
{
    {
        Options first;
        QCOMPARE(*Options::Get_Global_Ptr(), &first);
    }
    QCOMPARE(*Options::Get_Global_Ptr(), static_cast<Options*>(nullptr));
    Options second;
    QCOMPARE(*Options::Get_Global_Ptr(), &second);
}

void tst_Options::read_best_time_data()
{
    // Either a value written through QSettings or, when raw is set, the file
    // as a user would edit it by hand.
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<float>("best");

    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("valid") << QVariant(42.5f) << QByteArray() << 42.5f;
    QTest::newRow("zero") << QVariant(0.0f) << QByteArray() << 0.0f;
    QTest::newRow("negative") << QVariant(-5.0f) << QByteArray() << 0.0f;
    QTest::newRow("NaN") << QVariant(std::numeric_limits<float>::quiet_NaN()) << QByteArray() << 0.0f;
    QTest::newRow("infinity") << QVariant(inf) << QByteArray() << 0.0f;
    QTest::newRow("minus infinity") << QVariant(-inf) << QByteArray() << 0.0f;
    QTest::newRow("double beyond float") << QVariant(1e300) << QByteArray() << 0.0f;
    QTest::newRow("text") << QVariant(QStringLiteral("fast")) << QByteArray() << 0.0f;
    QTest::newRow("list") << QVariant(QStringList{"1", "2"}) << QByteArray() << 0.0f;
    QTest::newRow("hand-edited negative") << QVariant() << QByteArray("time=-5") << 0.0f;
    QTest::newRow("hand-edited nan") << QVariant() << QByteArray("time=nan") << 0.0f;
    QTest::newRow("hand-edited inf") << QVariant() << QByteArray("time=inf") << 0.0f;
    QTest::newRow("hand-edited too small for float") << QVariant() << QByteArray("time=1e-50") << 0.0f;
    QTest::newRow("hand-edited number") << QVariant() << QByteArray("time=42.5") << 42.5f;
    // The two forms the builds write for a float: Qt 5 a typed variant, Qt 6 a decimal.
    QTest::newRow("Qt 5 float") << QVariant() << QByteArray("time=@Variant(\\0\\0\\0\\x87\\x42P\\xcc))")
                                << 52.199375f;
    QTest::newRow("Qt 5 float, quoted")
        << QVariant() << QByteArray("time=\"@Variant(\\0\\0\\0\\x87=\\xcc\\xcc\\xcd)\"") << 0.1f;
    QTest::newRow("Qt 6 decimal") << QVariant() << QByteArray("time=52.19937515258789") << 52.199375f;
    QTest::newRow("Qt 6 decimal of 0.1") << QVariant() << QByteArray("time=0.10000000149011612") << 0.1f;
    QTest::newRow("Qt 6 decimal with exponent")
        << QVariant() << QByteArray("time=1.0000000116860974e-07") << 1e-7f;
    QTest::newRow("decimal then text") << QVariant() << QByteArray("time=52.2s") << 0.0f;
    QTest::newRow("hexadecimal") << QVariant() << QByteArray("time=0x10") << 0.0f;
    QTest::newRow("decimal inside spaces") << QVariant() << QByteArray("time=\" 42.5\"") << 0.0f;
}

void tst_Options::read_best_time()
{
    QFETCH(QVariant, stored);
    QFETCH(QByteArray, raw);
    QFETCH(float, best);

    if (raw.isEmpty())
    {
        QSettings store = Store();
        store.setValue("level1/time", stored);
        store.sync();
        QCOMPARE(store.status(), QSettings::NoError);
    }
    else
    {
        Write_Ini("[level1]\n" + raw + "\n");
    }

    Options options;
    // To the bit: a record read back by the other build must be the same float.
    QCOMPARE(Bits(options.Read_Best_Time(1)), Bits(best));
    QCOMPARE(options.Read_Best_Time(0), 0.0f);
}

void tst_Options::read_ghost_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("ghost");
    QTest::addColumn<int>("last_course");

    QTest::newRow("string") << QVariant(QStringLiteral("babaaaaaaaaaaapp")) << QByteArray()
                            << "babaaaaaaaaaaapp" << 0;
    QTest::newRow("empty string") << QVariant(QString()) << QByteArray() << "" << 0;
    QTest::newRow("list") << QVariant(QStringList{"ba", "ba"}) << QByteArray() << "" << 0;
    QTest::newRow("binary") << QVariant(QByteArray("\x01\x02\xff", 3)) << QByteArray() << "" << 0;
    QTest::newRow("float") << QVariant(1.5f) << QByteArray() << "" << 0;
    QTest::newRow("hand-edited") << QVariant() << QByteArray("ghost=babaaaaa") << "babaaaaa" << 0;
    QTest::newRow("hand-edited with a comma (a list)") << QVariant() << QByteArray("ghost=ba,ba") << "" << 0;
    // The course raced last sits beside the records; one the game has not is the first.
    const QByteArray ghost_and_last("ghost=babaaaaa\n[General]\nlast_course=");
    QTest::newRow("last course") << QVariant() << ghost_and_last + "2"
                                 << "babaaaaa" << 2;
    QTest::newRow("last course out of range") << QVariant() << ghost_and_last + "3"
                                              << "babaaaaa" << 0;
    QTest::newRow("last course negative") << QVariant() << ghost_and_last + "-1"
                                          << "babaaaaa" << 0;
    QTest::newRow("last course not a number") << QVariant() << ghost_and_last + "1st"
                                              << "babaaaaa" << 0;
    QTest::newRow("last course a list") << QVariant() << ghost_and_last + "1,2"
                                        << "babaaaaa" << 0;
}

void tst_Options::read_ghost()
{
    QFETCH(QVariant, stored);
    QFETCH(QByteArray, raw);
    QFETCH(QString, ghost);
    QFETCH(int, last_course);

    if (raw.isEmpty())
    {
        QSettings store = Store();
        store.setValue("level2/ghost", stored);
        store.sync();
    }
    else
    {
        Write_Ini("[level2]\n" + raw + "\n");
    }

    Options options;
    QCOMPARE(options.Read_Ghost(2), ghost);
    QCOMPARE(options.Read_Ghost(1), QString());
    QCOMPARE(Preferences(Ini_Path()).Read_Last_Course(3), last_course);
}

void tst_Options::a_best_time_is_written_as_qsettings_writes_a_float()
{
    const float time = 52.199375f;
    {
        Options options;
        QVERIFY(options.Write_Record(1, time, QStringLiteral("babaaaaa")));
    }
    QFile file(Ini_Path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("[level1]"), text.constData());
    QVERIFY2(text.contains("ghost=babaaaaa"), text.constData());

    // The same float through a plain QSettings of this Qt: the game writes no
    // line of its own making.
    QTemporaryDir other;
    {
        QSettings plain(other.path() + "/plain.ini", QSettings::IniFormat);
        plain.setValue("level1/time", QVariant(time));
    }
    QFile plain_file(other.path() + "/plain.ini");
    QVERIFY(plain_file.open(QIODevice::ReadOnly));
    const QByteArray plain = plain_file.readAll();
    const QByteArray line = plain.mid(plain.indexOf("time="));
    QVERIFY2(line.startsWith("time=") && text.contains(line.trimmed()), text.constData());

    Options options;
    QCOMPARE(Bits(options.Read_Best_Time(1)), Bits(time));
    QCOMPARE(options.Read_Ghost(1), QStringLiteral("babaaaaa"));
}

void tst_Options::preferences_read_and_write_beside_the_records_data()
{
    // The records file and the preferences file as found (null: none), and what is read then:
    // the volume (80 by default, 0 to 100), mute, a name, the first course's best sectors and the course
    // raced last.
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QByteArray>("preferences");
    QTest::addColumn<QString>("read");
    QTest::addColumn<bool>("damaged");
    const QByteArray records("[level0]\ntime=42.5\n"), old = records + "[General]\nlast_course=1\n";
    QTest::newRow("none yet") << records << QByteArray() << "80 0  - 0" << false;
    QTest::newRow("kept") << records
                          << QByteArray("[General]\nlast_course=2\n[sound]\nvolume=35\nmute=true\n"
                                        "[board]\nname=Ann\n[sectors]\nbest\\1=1420 1502 1311 1450\n")
                          << "35 1 Ann 1420+1502+1311+1450 2" << false;
    QTest::newRow("out of range or of the wrong kind")
        << records
        << QByteArray("[General]\nlast_course=1st\n[sound]\nvolume=101\nmute=2\n[board]\nname=a,b\n"
                      "[sectors]\nbest\\1=1420 1502 -3 1450\n")
        << "80 0  - 0" << false;
    QTest::newRow("a course past the last")
        << records
        << QByteArray("[General]\nlast_course=3\n[sound]\nvolume=35\n[sectors]\nbest\\1=2147483647 1 1 1\n")
        << "35 0  - 0" << false;
    QTest::newRow("a course before the first")
        << records << QByteArray("[General]\nlast_course=-1\n[sectors]\nbest\\1=1420 1502 1311\n")
        << "80 0  - 0" << false;
    QTest::newRow("the old course moves over") << old << QByteArray() << "80 0  - 1" << false;
    QTest::newRow("the old course gives way")
        << old << QByteArray("[General]\nlast_course=2\n") << "80 0  - 2" << false;
    QTest::newRow("a broken section line") << old << QByteArray("[sound\nvolume=35\n") << "80 0  - 0" << true;
    QTest::newRow("a line without a value")
        << records << QByteArray("[sound]\nvolume=35\nloud\n") << "80 0  - 0" << true;
    QTest::newRow("binary noise") << records << QByteArray("\x89PNG\r\n\x1a\n\0\0\xff", 11) << "80 0  - 0"
                                  << true;
}

void tst_Options::preferences_read_and_write_beside_the_records()
{
    QFETCH(QByteArray, records);
    QFETCH(QByteArray, preferences);
    QFETCH(QString, read);
    QFETCH(bool, damaged);
    const QString file = m_dir->path() + "/Norvikk/Tavrelo-preferences.ini";
    Write_Ini(records);
    if (!preferences.isNull())
        Write_Ini(preferences, "Tavrelo-preferences.ini");
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Record_Message);
    {
        Preferences kept(Ini_Path());
        QCOMPARE(kept.File_Name(), file);
        int sectors[Preferences::Sector_Count];
        kept.Read_Best_Sectors(0, sectors);
        QStringList best;
        for (const int sector : sectors)
            best << QString::number(sector);
        QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(kept.Read_Int("sound/volume", 80, 0, 100))
                     .arg(int(kept.Read_Bool("sound/mute", false)))
                     .arg(kept.Read_Text("board/name"))
                     .arg(sectors[0] < 0 ? QString("-") : best.join('+'))
                     .arg(kept.Read_Last_Course(3)),
                 read);
        QVERIFY(sectors[0] >= 0 || best.join(' ') == "-1 -1 -1 -1");
        // A choice lasts the session, and goes to the file unless that is damaged.
        QCOMPARE(kept.Write("sound/volume", 55), !damaged);
        QCOMPARE(kept.Read_Int("sound/volume", 80, 0, 100), 55);
    }
    qInstallMessageHandler(previous);
    QCOMPARE(g_messages.size(), int(damaged));
    if (damaged)
        QVERIFY2(g_messages[0].text.contains(file) && Read_File(file) == preferences,
                 qPrintable(g_messages[0].text));
    QCOMPARE(Read_File(Ini_Path()), records);
    Preferences again(Ini_Path());
    QCOMPARE(again.Read_Int("sound/volume", 80, 0, 100), damaged ? 80 : 55);
    QCOMPARE(again.Read_Last_Course(3), read.right(1).toInt());
}

void tst_Options::a_backup_keeps_the_newest_ten_data()
{
    // The files beside the settings file before a backup, and those of them still there after it.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    const auto backups = [](const char* stamp, int first, int last)
    {
        QStringList names;
        for (int i = first; i <= last; ++i)
            names << QStringLiteral("Tavrelo.ini.%1%2.bak").arg(stamp).arg(i, 2, 10, QChar('0'));
        return names;
    };
    QTest::newRow("none yet") << QStringList() << QStringList();
    QTest::newRow("nine kept") << backups("20260101-0000", 1, 9) << backups("20260101-0000", 1, 9);
    QTest::newRow("the oldest three go")
        << backups("20260101-0000", 1, 12) << backups("20260101-0000", 4, 12);
    // Numbered copies of one second come after the unnumbered one, 10 after 2.
    const QStringList numbered{"Tavrelo.ini.20260101-000010.bak", "Tavrelo.ini.20260101-000010-2.bak",
                               "Tavrelo.ini.20260101-000010-10.bak"};
    QTest::newRow("numbered within a second")
        << backups("20260101-0000", 1, 7) + numbered << backups("20260101-0000", 2, 7) + numbered;
    // A clock set back makes the new copy the oldest by its name: it stays all the same.
    QTest::newRow("from a clock ahead") << backups("29990101-0000", 1, 10) << backups("29990101-0000", 2, 10);
    const QStringList others{"Tavrelo-preferences.ini.20200101-000000.bak", "Tavrelo.ini.mine.bak",
                             "Tavrelo.ini.20200101-000000.bak.txt", "Tavrelo.ini.20200101-000000.bak~"};
    QTest::newRow("other files are left alone")
        << others + backups("20260101-0000", 1, 10) << others + backups("20260101-0000", 2, 10);
}

void tst_Options::a_backup_keeps_the_newest_ten()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    Write_Ini("[level0]\ntime=42.5\n");
    for (const QString& name : before)
        Write_Ini("old", qPrintable(name));
    QString backup;
    {
        Options options;
        QString reason;
        backup = options.Back_Up(reason);
        QVERIFY2(!backup.isEmpty(), qPrintable(reason));
    }
    QCOMPARE(Read_File(backup), QByteArray("[level0]\ntime=42.5\n"));
    QStringList expected = after << "Tavrelo.ini" << QFileInfo(backup).fileName();
    expected.sort();
    QStringList found = QDir(m_dir->path() + "/Norvikk").entryList(QDir::Files);
    found.sort();
    QCOMPARE(found, expected);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(Second_Instance_Variable))
    {
        // Child run: the second store must stop the program before the line below.
        Isolate_Settings(qEnvironmentVariable(Second_Instance_Variable));
        Options first;
        Options second;
        fprintf(stderr, "second instance built\n");
        return 0;
    }
    tst_Options test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_options.moc"
