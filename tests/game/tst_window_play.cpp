// Playing the real game with mouse events on its view: the menu, a held press, quitting, and whole laps.
#include "Float_Point.h"
#include "Game.h"
#include "Game_Scene.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Movement_Control.h"
#include "Pursuit_Driver.h"
#include "Ship.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QSettings>
#include <QtTest>

namespace
{
QPoint Center_Of(const UI_Button& button)
{
    return button.m_rect.center().toPoint();
}

} // namespace

class Test_Window_Play : public QObject
{
    Q_OBJECT

    Temporary_Settings m_settings;

private slots:
    void initTestCase() { QVERIFY(m_settings.Is_Valid()); }

    void start_hold_and_quit_with_the_mouse()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTRY_VERIFY(!game.m_start_button->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(*game.m_start_button.Get()));
        QTRY_COMPARE(game.m_state, int(Game::State_Race));
        QVERIFY(game.m_ingame_instructions->Is_Visible());
        QVERIFY(!game.m_lap_timer->m_running);

        const Float_Point ahead =
            Float_Point(game.m_ship->m_position) + 40.0f * Float_Point(game.m_ship->m_direction);
        const QPoint pixel = game.m_scene->m_world_to_screen.map(ahead.To_QPointF()).toPoint();
        QTest::mousePress(game.viewport(), Qt::LeftButton, Qt::NoModifier, pixel);
        QVERIFY(game.m_scene->m_mouse_owner == game.m_movement_control.Get());
        QTRY_VERIFY(game.m_lap_timer->m_running);
        QVERIFY(!game.m_ingame_instructions->Is_Visible());
        QTRY_VERIFY(game.m_lap_timer->m_elapsed > 0.1f);
        QVERIFY(game.m_ship->m_position != game.m_level->m_points[0]);
        QTest::mouseRelease(game.viewport(), Qt::LeftButton, Qt::NoModifier, pixel);

        QTRY_VERIFY(!game.m_ingame_quit_button->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(*game.m_ingame_quit_button.Get()));
        QTRY_COMPARE(game.m_state, int(Game::State_Menu));
        QCOMPARE(game.m_lap_timer->m_elapsed, 0.0f);
        QVERIFY(!game.m_lap_timer->m_running);
    }

    void the_course_arrows_step_and_wrap()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTRY_VERIFY(!game.m_prev_track_button->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(*game.m_prev_track_button.Get()));
        QTRY_COMPARE(game.m_level->m_track_index, 2);
        QCOMPARE(game.m_main_menu->m_caption, QString("Track #3. Tertius"));
        QCOMPARE(game.m_ship->m_position, QPointF(1000, 1000));
        QTRY_VERIFY(!game.m_next_track_button->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(*game.m_next_track_button.Get()));
        QTRY_COMPARE(game.m_level->m_track_index, 0);
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(*game.m_next_track_button.Get()));
        QTRY_COMPARE(game.m_level->m_track_index, 1);
        QCOMPARE(game.m_main_menu->m_caption, QString("Track #2. Secundus"));
        QCOMPARE(game.m_ship->m_position, QPointF(700, 1000));
    }

    void a_lap_is_driven_with_the_mouse_on_every_course_data()
    {
        QTest::addColumn<int>("course");
        QTest::newRow("Primus") << 0;
        QTest::newRow("Secundus") << 1;
        QTest::newRow("Tertius") << 2;
    }
    void a_lap_is_driven_with_the_mouse_on_every_course()
    {
        QFETCH(int, course);
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTRY_VERIFY(!game.m_next_track_button->m_rect.isEmpty());
        for (int i = 0; i < course; ++i)
        {
            const int before = game.m_level->m_track_index;
            QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                              Center_Of(*game.m_next_track_button.Get()));
            QTRY_COMPARE(game.m_level->m_track_index, before + 1);
        }
        QTRY_VERIFY(!game.m_start_button->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(*game.m_start_button.Get()));
        QTRY_COMPARE(game.m_state, int(Game::State_Race));

        Pursuit_Driver driver(game);
        const int frames = driver.Drive_Lap(90 * 60);
        QCOMPARE(game.m_state, int(Game::State_Menu));
        const float lap = game.m_lap_timer->m_elapsed;
        QVERIFY2(lap > 0.0f, "the race ended without a finish");
        QCOMPARE(game.m_lap_timer->m_best, lap);
        QSettings settings(m_settings.File(), QSettings::IniFormat);
        QCOMPARE(settings.value(QString("level%1/time").arg(course)).toFloat(), lap);
        qInfo("lap of course %d driven by the pursuit: %s s (%d frames)", course,
              qPrintable(QString::number(lap, 'f', 2)), frames);
    }
};

QTEST_MAIN(Test_Window_Play)
#include "tst_window_play.moc"
