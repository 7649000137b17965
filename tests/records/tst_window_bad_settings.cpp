// The game against a settings store it cannot trust: read-only, a folder, random bytes, wrong types.
// Runs as an unprivileged user: root would ignore the file modes.
#include "Game.h"
#include "Ghost_Ship.h"
#include "Lap_Timer.h"
#include "Pursuit_Driver.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QRect>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace
{
// Races one lap with the mouse, then leaves through the menu's QUIT.
float Play_A_Lap_And_Quit(Game& game)
{
    game.Start_Button()->m_was_pressed = true;
    game.Advance_Frame();
    Pursuit_Driver driver(game);
    driver.Drive_Lap(90 * 60);
    const float lap = game.Current_Race().m_clock.m_elapsed;
    game.Quit_Button()->m_was_pressed = true;
    game.Advance_Frame();
    return lap;
}

QByteArray Read_All(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Warnings about records, and those about the preferences beside them.
QStringList g_warnings;
QStringList g_preference_warnings;
void Keep_Warnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg && text.startsWith("tavrelo: warning"))
        (text.contains("Tavrelo-preferences.ini") ? g_preference_warnings : g_warnings) << text;
}

QStringList Files_In(const QString& dir)
{
    QStringList names;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    names.sort();
    return names;
}
} // namespace

class Test_Window_Bad_Settings : public QObject
{
    Q_OBJECT

    QTemporaryDir* m_dir = nullptr;
    QString m_folder;
    QString m_file;

private slots:
    void initTestCase() { QVERIFY2(geteuid() != 0, "must run unprivileged"); }

    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        Isolate_Settings(m_dir->path());
        m_folder = m_dir->path() + "/Norvikk";
        m_file = m_folder + "/Tavrelo.ini";
        QVERIFY(QDir().mkpath(m_folder));
    }
    void cleanup()
    {
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        delete m_dir;
    }

    void a_read_only_folder_keeps_the_old_file_and_the_new_best_until_the_game_ends_data()
    {
        // A comment makes the file one Qt would not write back as it was: it is copied first.
        QTest::addColumn<QByteArray>("comment");
        QTest::newRow("clean") << QByteArray();
        QTest::newRow("with a comment, copied before the write") << QByteArray("; kept by hand\n");
    }
    void a_read_only_folder_keeps_the_old_file_and_the_new_best_until_the_game_ends()
    {
        QFETCH(QByteArray, comment);
        {
            QSettings settings(m_file, QSettings::IniFormat);
            settings.setValue("level0/time", QVariant(500.0f));
            settings.setValue("level0/ghost", QString("baba"));
        }
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::Append) && file.write(comment) == comment.size());
        file.close();
        QVERIFY(QFile::setPermissions(m_file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray before = Read_All(m_file);
        const QStringList files = Files_In(m_folder);
        g_warnings.clear();
        g_preference_warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(Keep_Warnings);
        QString best_ghost;
        {
            Game game;
            QCOMPARE(game.Current_Race().m_clock.m_best, 500.0f);
            const float lap = Play_A_Lap_And_Quit(game);
            QVERIFY(lap > 0.0f && lap < 500.0f);
            best_ghost = game.Ghost()->m_record;
            // The clock shows the new best, and the player is told it is not kept yet.
            QCOMPARE(game.Current_Race().m_clock.m_best, lap);
            QCOMPARE(g_warnings.size(), 1);
            QVERIFY2(g_warnings[0].contains(m_file) && g_warnings[0].contains("Primus"),
                     qPrintable(g_warnings[0]));
            QCOMPARE(Read_All(m_file), before);
            QCOMPARE(Files_In(m_folder), files);

            // The next race still races against it, and its finish tries the file again.
            Play_A_Lap_And_Quit(game);
            QCOMPARE(game.Current_Race().m_clock.m_best, lap);
            QCOMPARE(g_warnings.size(), 2);
            QCOMPARE(Read_All(m_file), before);

            // Writable again by the time the game ends: the record goes out then.
            QVERIFY(QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            QVERIFY(QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner));
        }
        qInstallMessageHandler(previous);
        const QStringList backups = Files_In(m_folder).filter(".bak");
        QCOMPARE(g_warnings.size(), comment.isEmpty() ? 2 : 3);
        QCOMPARE(backups.size(), comment.isEmpty() ? 0 : 1);
        if (!comment.isEmpty())
            QVERIFY2(g_warnings[2].contains(backups[0]) && Read_All(backups[0]) == before,
                     qPrintable(g_warnings.join('\n')));
        QVERIFY(Read_All(m_file).contains("ghost=" + best_ghost.toLatin1() + "\n"));
        // The course raced last could not be kept either: said once, whatever the races.
        QCOMPARE(g_preference_warnings.size(), 1);
    }

    void a_settings_file_that_is_a_folder_is_left_alone()
    {
        QVERIFY(QDir().mkpath(m_file));
        {
            Game game;
            QCOMPARE(game.Current_Race().m_clock.m_best, 0.0f);
            QVERIFY(Play_A_Lap_And_Quit(game) > 0.0f);
        }
        QVERIFY(QFileInfo(m_file).isDir());
        QVERIFY(Files_In(m_file).isEmpty());
    }

    void random_bytes_give_way_to_a_readable_record()
    {
        QByteArray noise(4096, '\0');
        QRandomGenerator random(1234);
        for (char& byte : noise)
            byte = static_cast<char>(random.bounded(256));
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(noise);
        file.close();
        float lap = 0.0f;
        {
            Game game;
            lap = Play_A_Lap_And_Quit(game);
            QVERIFY(lap > 0.0f);
        }
        QSettings settings(m_file, QSettings::IniFormat);
        QCOMPARE(settings.status(), QSettings::NoError);
        QCOMPARE(settings.value("level0/time").toFloat(), lap);
        QVERIFY(settings.value("level0/ghost").toString().startsWith("baba"));
    }

    void a_race_leaves_the_records_file_alone_and_a_new_best_keeps_it_first_data()
    {
        // The file as found, and whether a new best must first copy it aside: Qt would rewrite it
        // and lose what it could not read (lines, bytes that are not UTF-8, comments, a record
        // that fails its checks).
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("kept_first");
        // A real record of the second course, as the game would read it.
        const Headless_Lap lap = Drive_Headless_Lap(1, QSize(800, 480));
        const QByteArray clean = "[level1]\nghost=" + lap.ghost.toLatin1() +
                                 "\ntime=" + QByteArray::number(double(lap.time), 'g', 9) + "\n";
        QByteArray bad_byte = clean;
        bad_byte[bad_byte.indexOf("ghost=") + 20] = '\xff';
        QByteArray noise(4096, '\0');
        QRandomGenerator random(77);
        for (char& byte : noise)
            byte = static_cast<char>(random.bounded(256));
        QByteArray slower = clean;
        slower.replace(slower.indexOf("time=") + 5, 1, "9");

        QTest::newRow("clean, with a record") << clean << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("Windows line ends") << QByteArray(clean).replace("\n", "\r\n") << false;
        QTest::newRow("a key the game does not know") << "[General]\nplayer=Ann\n" + clean << false;
        QTest::newRow("cut short") << clean.left(clean.size() / 2) << true;
        QTest::newRow("a bad byte in the ghost") << bad_byte << true;
        QTest::newRow("Latin-1 text") << "[General]\nplayer=Jos\xe9\n" + clean << true;
        QTest::newRow("a broken section line") << "[level2\ntime=80\n" + clean << true;
        QTest::newRow("a line without a value") << clean + "fastest lap ever\n" << true;
        QTest::newRow("a comment") << "; my best lap, keep it\n" + clean << true;
        QTest::newRow("a hash comment") << "# my best lap\n" + clean << true;
        QTest::newRow("binary noise") << noise << true;
        QTest::newRow("a time that does not fit its ghost") << slower << true;
    }
    void a_race_leaves_the_records_file_alone_and_a_new_best_keeps_it_first()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, kept_first);
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        g_warnings.clear();
        g_preference_warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(Keep_Warnings);
        {
            // Started and left: nothing won, nothing written but the course raced last.
            Game game;
            game.Start_Button()->m_was_pressed = true;
            game.Advance_Frame();
            game.Race_Quit_Button()->m_was_pressed = true;
            game.Advance_Frame();
        }
        QCOMPARE(Read_All(m_file), bytes);
        QCOMPARE(Files_In(m_folder), QStringList({m_folder + "/Tavrelo-preferences.ini", m_file}));
        float lap = 0.0f;
        {
            Game game;
            lap = Play_A_Lap_And_Quit(game);
        }
        qInstallMessageHandler(previous);
        const QStringList backups =
            Files_In(m_folder).filter(QRegularExpression("/Tavrelo\\.ini\\.\\d{8}-\\d{6}\\.bak$"));
        QCOMPARE(backups.size() + g_warnings.size() + g_preference_warnings.size(), kept_first ? 2 : 0);
        if (kept_first)
            QVERIFY2(Read_All(backups[0]) == bytes && g_warnings[0].contains(m_file + " ") &&
                         g_warnings[0].contains(backups[0]),
                     qPrintable(g_warnings.join('\n')));
        QCOMPARE(QSettings(m_file, QSettings::IniFormat).value("level0/time").toFloat(), lap);
    }

    void a_course_the_game_has_not_is_not_raced_data()
    {
        // The course raced last as the preferences file names it, and the one the game shows first.
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<int>("course");
        QTest::newRow("the last") << QByteArray("2") << 2;
        QTest::newRow("one past the last") << QByteArray("3") << 0;
        QTest::newRow("far past the last") << QByteArray("2147483647") << 0;
        QTest::newRow("before the first") << QByteArray("-1") << 0;
    }
    void a_course_the_game_has_not_is_not_raced()
    {
        QFETCH(QByteArray, kept);
        QFETCH(int, course);
        QFile file(m_folder + "/Tavrelo-preferences.ini");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nlast_course=" + kept + "\n");
        file.close();
        {
            Game game;
            QCOMPARE(game.Course()->m_track_index, course);
            QVERIFY(Play_A_Lap_And_Quit(game) > 0.0f);
        }
        QSettings kept_now(m_folder + "/Tavrelo-preferences.ini", QSettings::IniFormat);
        QCOMPARE(kept_now.value("last_course").toInt(), course);
    }

    void values_of_the_wrong_type_are_read_as_none_and_replaced()
    {
        {
            QSettings settings(m_file, QSettings::IniFormat);
            settings.setValue("level0/time", QStringList{"fast", "faster"});
            settings.setValue("level0/ghost", QByteArray("\x01\x02\xff", 3));
            settings.setValue("level1/time", QRect(1, 2, 3, 4));
            settings.setValue("level1/ghost", 12345);
        }
        float lap = 0.0f;
        {
            Game game;
            QCOMPARE(game.Current_Race().m_clock.m_best, 0.0f);
            lap = Play_A_Lap_And_Quit(game);
            game.Next_Button()->m_was_pressed = true;
            game.Advance_Frame();
            QCOMPARE(game.Current_Race().m_clock.m_best, 0.0f);
        }
        QSettings settings(m_file, QSettings::IniFormat);
        QCOMPARE(settings.value("level0/time").toFloat(), lap);
        QCOMPARE(settings.value("level1/time").toRect(), QRect(1, 2, 3, 4));
    }
};

int main(int argc, char** argv)
{
    // Root ignores file modes: become nobody before anything else happens.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
        return 2;
    QApplication app(argc, argv);
    Test_Window_Bad_Settings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_bad_settings.moc"
