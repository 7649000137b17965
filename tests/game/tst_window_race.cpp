// The race rules on the real Game: start, nearest piece, road, put-back, finish, quit, and the records on
// disk.
#include "Fade_Plane.h"
#include "Finish_Panel.h"
#include "Float_Point.h"
#include "Game.h"
#include "Game_Scene.h"
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Options.h"
#include "Ship.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace
{
// A square course 1000 units a side, so distances from it are exact.
void Make_Square_Course(Level& level)
{
    level.m_points = {QPointF(0, 0), QPointF(1000, 0), QPointF(1000, 1000), QPointF(0, 1000), QPointF(0, 0)};
    level.m_directions = {QPointF(1, 0), QPointF(0, 1), QPointF(-1, 0), QPointF(0, -1), QPointF(1, 0)};
    level.m_normals = {QPointF(0, -1), QPointF(1, 0), QPointF(0, 1), QPointF(-1, 0), QPointF(0, -1)};
    level.m_lengths = {1000, 1000, 1000, 1000, 1000};
}

// Twenty pieces of 10 units along the x axis.
void Make_Straight_Course(Level& level)
{
    level.m_points.clear();
    for (int i = 0; i <= 20; ++i)
        level.m_points.push_back(QPointF(10 * i, 0));
    level.m_directions.assign(level.m_points.size(), QPointF(1, 0));
    level.m_normals.assign(level.m_points.size(), QPointF(0, -1));
    level.m_lengths.assign(level.m_points.size(), 10.0f);
}

// Follows the course point by point, one frame each, standing the craft
// just past every point: a deterministic lap, whatever the steering.
int Follow_Course(Game& game, int max_frames)
{
    Level& level = *game.Course();
    const int count = static_cast<int>(level.m_points.size());
    int frames = 0;
    for (int k = 0; frames < max_frames && game.State() == Game::State_Race; ++frames)
    {
        const int piece = std::min(k, count - 1);
        const Float_Point along =
            Float_Point(level.m_points[piece]) + 1.0f * Float_Point(level.m_directions[piece]);
        game.Craft()->Place_At(along.To_QPointF(), level.m_directions[piece]);
        game.Current_Race().m_clock.m_running = true;
        game.Advance_Frame();
        ++k;
    }
    return frames;
}

// A velocity (x, y) whose squared length is exactly target in single precision.
Float_Point Velocity_Whose_Square_Is(float target)
{
    float x = 0.06f;
    for (int i = 0; i < 100000; ++i, x = std::nextafter(x, 1.0f))
    {
        const float y = std::sqrt(target - x * x);
        for (float candidate : {std::nextafter(y, 0.0f), y, std::nextafter(y, 1.0f)})
            if (x * x + candidate * candidate == target)
                return Float_Point(x, candidate);
    }
    return Float_Point(-1.0f, -1.0f);
}
} // namespace

class Test_Window_Race : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_settings;

    QString Settings_File() const { return m_settings->path() + "/Norvikk/Tavrelo.ini"; }

private slots:
    void init()
    {
        m_settings.reset(new QTemporaryDir);
        QVERIFY(m_settings->isValid());
        Isolate_Settings(m_settings->path());
    }

    void a_ship_at_rest_does_not_start_the_race()
    {
        Game game;
        game.Set_State(Game::State_Race);
        for (int i = 0; i < 120; ++i)
            game.Advance_Frame();
        QVERIFY(!game.Current_Race().m_clock.m_running);
        QCOMPARE(game.Current_Race().m_clock.m_elapsed, 0.0f);
        QCOMPARE(game.Current_Race().m_closest_segment, 0);
        QCOMPARE(game.Ghost()->m_record, QString("baba"));
        QVERIFY(game.Instructions()->Is_Visible());
    }

    void the_race_starts_only_above_the_threshold_data()
    {
        QTest::addColumn<bool>("above");
        QTest::newRow("exactly 0.01") << false;
        QTest::newRow("just above") << true;
    }
    void the_race_starts_only_above_the_threshold()
    {
        QFETCH(bool, above);
        Game game;
        game.Set_State(Game::State_Race);
        Float_Point v = Velocity_Whose_Square_Is(0.01f);
        QVERIFY(v.x > 0.0f);
        // The smallest step that makes the square larger.
        while (above && v.x * v.x + v.y * v.y <= 0.01f)
            v.x = std::nextafter(v.x, 1.0f);
        // The craft facing +x with its left end on the origin, all the motion on that end.
        game.Craft()->Place_At(QPointF(0, 5), QPointF(1, 0));
        QCOMPARE(game.Craft()->m_left, QPointF(0, 0));
        game.Craft()->m_left_previous = QPointF(-v.x, -v.y);
        game.Current_Race().Update_Rules();
        QCOMPARE(game.Current_Race().m_clock.m_running, above);
    }

    void the_nearest_piece_is_searched_around_the_last_one_data()
    {
        QTest::addColumn<bool>("square");
        QTest::addColumn<int>("last");
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<int>("piece");
        QTest::addColumn<float>("fraction");
        QTest::addColumn<float>("distance");
        QTest::newRow("tie at a corner: lower index") << true << 0 << QPointF(1000, 0) << 0 << 1.0f << 0.0f;
        QTest::newRow("just past the corner") << true << 0 << QPointF(1000, 1) << 1 << 0.001f << 0.0f;
        // On a straight of 10-unit pieces, last piece 10: the window is pieces 7 to 15.
        QTest::newRow("five pieces ahead") << false << 10 << QPointF(155, 0) << 15 << 0.5f << 0.0f;
        QTest::newRow("six pieces ahead is out") << false << 10 << QPointF(165, 0) << 15 << 1.0f << 5.0f;
        QTest::newRow("three pieces back") << false << 10 << QPointF(75, 0) << 7 << 0.5f << 0.0f;
        QTest::newRow("four pieces back is out") << false << 10 << QPointF(65, 0) << 7 << 0.0f << 5.0f;
    }
    void the_nearest_piece_is_searched_around_the_last_one()
    {
        QFETCH(bool, square);
        QFETCH(int, last);
        QFETCH(QPointF, position);
        QFETCH(int, piece);
        QFETCH(float, fraction);
        QFETCH(float, distance);
        Game game;
        game.Set_State(Game::State_Race);
        Level& level = *game.Course();
        if (square)
            Make_Square_Course(level);
        else
            Make_Straight_Course(level);
        game.Current_Race().m_closest_segment = last;
        game.Current_Race().m_clock.m_running = true;
        game.Craft()->Place_At(position, QPointF(1, 0));
        game.Current_Race().Update_Rules();
        QCOMPARE(game.Current_Race().m_closest_segment, piece);
        QCOMPARE(game.Current_Race().m_segment_fraction, fraction);
        QCOMPARE(game.Current_Race().m_closest_distance, distance);
    }

    void leaving_the_road_slows_and_straying_puts_back_data()
    {
        QTest::addColumn<float>("offset");
        QTest::addColumn<float>("friction");
        QTest::addColumn<bool>("put_back");
        QTest::newRow("on the road, 10") << 10.0f << 0.0f << false;
        QTest::newRow("half way out, 26.25") << 26.25f << 0.05f << false;
        QTest::newRow("just inside, 34.8") << 34.8f << 0.09885715f << false;
        QTest::newRow("too far, 35") << 35.0f << 0.0f << true;
    }
    void leaving_the_road_slows_and_straying_puts_back()
    {
        QFETCH(float, offset);
        QFETCH(float, friction);
        QFETCH(bool, put_back);
        Game game;
        game.Set_State(Game::State_Race);
        Make_Square_Course(*game.Course());
        game.Current_Race().m_clock.m_running = true;
        game.Craft()->Place_At(QPointF(500, offset), QPointF(1, 0));
        game.Current_Race().Update_Rules();
        QVERIFY(qAbs(game.Current_Race().m_closest_distance - offset) < 1e-4f);
        QVERIFY2(qAbs(game.Craft()->m_friction - friction) < 1e-7f,
                 qPrintable(QString::number(game.Craft()->m_friction)));
        if (put_back)
        {
            QCOMPARE(game.Craft()->m_position, QPointF(500, 0));
            QCOMPARE(game.Craft()->m_direction, QPointF(1, 0));
            QCOMPARE(game.Craft()->m_left_previous, game.Craft()->m_left);
            QVERIFY(game.Current_Race().m_clock.m_running);
        }
        else
        {
            QVERIFY(qAbs(game.Craft()->m_position.y() - offset) < 1e-4);
        }
    }

    void a_lap_finishes_only_after_the_whole_course()
    {
        Game game;
        game.Set_State(Game::State_Race);
        const int frames = Follow_Course(game, 1000);
        QCOMPARE(game.State(), int(Game::State_Menu));
        // 205 points: the finish piece is seen from the frame on the copy of the start.
        QVERIFY2(frames >= 204 && frames <= 206, qPrintable(QString::number(frames)));
        QVERIFY(!game.Current_Race().m_clock.m_running);
        QVERIFY(game.Current_Race().m_clock.m_elapsed > 3.0f);
        QCOMPARE(game.Craft()->m_friction, 0.15f);
        QCOMPARE(game.Current_Race().m_clock.m_best, game.Current_Race().m_clock.m_elapsed);
        // The result stands over the race; a key sends it away to the menu.
        QVERIFY(game.Finish()->Is_Visible() && game.Finish()->m_new_best);
        QVERIFY(game.Finish()->Lines().contains("Record saved"));
        QVERIFY(!game.Start_Button()->Is_Visible() && !game.Fade()->Is_Visible());
        QTest::keyClick(&game, Qt::Key_Escape);
        game.Advance_Frame();
        QCOMPARE(game.State(), int(Game::State_Menu));
        QVERIFY(!game.Finish()->Is_Visible() && game.Start_Button()->Is_Visible());
        QVERIFY(!game.Quit_Button()->m_was_pressed);
    }

    void reversing_over_the_start_does_not_finish()
    {
        Game game;
        game.Set_State(Game::State_Race);
        Level& level = *game.Course();
        const Float_Point start(level.m_points[0]);
        const Float_Point back = Float_Point(0, 0) - Float_Point(level.m_directions[0]);
        bool put_back = false;
        for (int i = 1; i <= 40 && !put_back; ++i)
        {
            game.Craft()->Place_At((start + float(i) * back).To_QPointF(), level.m_directions[0]);
            game.Current_Race().m_clock.m_running = true;
            game.Current_Race().Update_Rules();
            QCOMPARE(game.Current_Race().m_closest_segment, 0);
            QVERIFY(!game.Current_Race().m_on_last_segment);
            put_back = game.Craft()->m_position == level.m_points[0];
            QCOMPARE(put_back, i >= 35);
        }
        QVERIFY(put_back);
        QCOMPARE(game.State(), int(Game::State_Race));
    }

    void quitting_a_race_keeps_no_record()
    {
        Game game;
        game.Set_State(Game::State_Race);
        game.Craft()->m_left_previous = game.Craft()->m_left - QPointF(1, 1);
        for (int i = 0; i < 30; ++i)
            game.Advance_Frame();
        QVERIFY(game.Current_Race().m_clock.m_elapsed > 0.0f);
        game.Race_Quit_Button()->m_was_pressed = true;
        game.Advance_Frame();
        QCOMPARE(game.State(), int(Game::State_Menu));
        QCOMPARE(game.Current_Race().m_clock.m_elapsed, 0.0f);
        QVERIFY(!game.Current_Race().m_clock.m_running);
        QCOMPARE(game.Craft()->m_friction, 0.15f);
        QVERIFY(!QFile::exists(Settings_File()) ||
                !QSettings(Settings_File(), QSettings::IniFormat).contains("level0/time"));
    }

    void a_new_best_is_written_and_read_back_by_a_restarted_game()
    {
        float time = 0.0f;
        QString ghost;
        {
            Game game;
            game.Set_State(Game::State_Race);
            Follow_Course(game, 1000);
            time = game.Current_Race().m_clock.m_elapsed;
            ghost = game.Ghost()->m_record;
        }
        QVERIFY(time > 0.0f);
        QVERIFY(ghost.startsWith("baba") && ghost.size() > 1000);
        QFile file(Settings_File());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray contents = file.readAll();
        QVERIFY(contents.contains("[level0]"));
        QVERIFY(contents.contains("\ntime="));

        Game restarted;
        QCOMPARE(restarted.Current_Race().m_clock.m_best, time);
        QCOMPARE(restarted.Ghost()->m_playback, ghost);
        QCOMPARE(restarted.Ghost()->m_read_pos, 4);
    }

    void only_a_faster_lap_replaces_the_record_data()
    {
        QTest::addColumn<float>("stored_offset");
        QTest::addColumn<bool>("written");
        QTest::newRow("stored slower") << 1.0f << true;
        QTest::newRow("stored equal") << 0.0f << false;
        QTest::newRow("stored faster") << -1.0f << false;
    }
    void only_a_faster_lap_replaces_the_record()
    {
        QFETCH(float, stored_offset);
        QFETCH(bool, written);
        float lap = 0.0f;
        {
            QTemporaryDir scratch;
            Isolate_Settings(scratch.path());
            Game game;
            game.Set_State(Game::State_Race);
            Follow_Course(game, 1000);
            lap = game.Current_Race().m_clock.m_elapsed;
            Isolate_Settings(m_settings->path());
        }
        {
            QSettings settings(Settings_File(), QSettings::IniFormat);
            settings.setValue("level0/time", QVariant(lap + stored_offset));
            settings.setValue("level0/ghost", QString("bababbbbbbbbbb"));
        }
        Game game;
        QCOMPARE(game.Current_Race().m_clock.m_best, lap + stored_offset);
        game.Set_State(Game::State_Race);
        Follow_Course(game, 1000);
        QCOMPARE(game.Current_Race().m_clock.m_elapsed, lap);
        QSettings settings(Settings_File(), QSettings::IniFormat);
        QCOMPARE(settings.value("level0/time").toFloat(), written ? lap : lap + stored_offset);
        QCOMPARE(settings.value("level0/ghost").toString() == "bababbbbbbbbbb", !written);
        QCOMPARE(game.Current_Race().m_clock.m_best, written ? lap : lap + stored_offset);
    }

    void a_bad_stored_time_never_locks_the_course_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("negative") << QVariant(-5.0f);
        QTest::newRow("not a number") << QVariant(std::numeric_limits<float>::quiet_NaN());
        QTest::newRow("infinite") << QVariant(std::numeric_limits<float>::infinity());
        QTest::newRow("text") << QVariant(QString("fast"));
        QTest::newRow("negative text") << QVariant(QString("-3"));
        QTest::newRow("list") << QVariant(QStringList{"1", "2"});
    }
    void a_bad_stored_time_never_locks_the_course()
    {
        QFETCH(QVariant, stored);
        {
            QDir().mkpath(m_settings->path() + "/Norvikk");
            QSettings settings(Settings_File(), QSettings::IniFormat);
            settings.setValue("level0/time", stored);
            settings.setValue("level0/ghost", QString::fromUtf8("zzzz\xc3\xa9\xc3\xa9"));
        }
        Game game;
        QCOMPARE(game.Current_Race().m_clock.m_best, 0.0f);
        QVERIFY(game.Ghost()->m_playback.isEmpty());
        game.Set_State(Game::State_Race);
        Follow_Course(game, 1000);
        QSettings settings(Settings_File(), QSettings::IniFormat);
        QCOMPARE(settings.value("level0/time").toFloat(), game.Current_Race().m_clock.m_elapsed);
        QVERIFY(settings.value("level0/ghost").toString().startsWith("baba"));
    }

    void odd_ghosts_replay_without_harm_data()
    {
        QTest::addColumn<QString>("ghost");
        QTest::newRow("other characters") << QString("baba") + QString("zZ9!~").repeated(400);
        QTest::newRow("a megabyte") << QString("baba") + QString("abcdefghijklmnop").repeated(65536);
        QTest::newRow("header only") << QString("baba");
        QTest::newRow("cut mid-sample") << QString("babaaibaa");
    }
    void odd_ghosts_replay_without_harm()
    {
        QFETCH(QString, ghost);
        {
            QDir().mkpath(m_settings->path() + "/Norvikk");
            QSettings settings(Settings_File(), QSettings::IniFormat);
            settings.setValue("level0/ghost", ghost);
        }
        Game game;
        QCOMPARE(game.Ghost()->m_playback, ghost);
        game.Set_State(Game::State_Race);
        Follow_Course(game, 1000);
        QCOMPARE(game.State(), int(Game::State_Menu));
        const QPointF ghost_position = game.Ghost()->m_position;
        QVERIFY(std::isfinite(ghost_position.x()) && std::isfinite(ghost_position.y()));
        QVERIFY(std::isfinite(game.Ghost()->m_angle));
    }
};

QTEST_MAIN(Test_Window_Race)
#include "tst_window_race.moc"
