// Playing the real game with mouse events on its view: the menu, a held press, quitting, and whole laps.
#include "Float_Point.h"
#include "Game.h"
#include "Game_Scene.h"
#include "Ghost_Ship.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Movement_Control.h"
#include "Pursuit_Driver.h"
#include "Ship.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <algorithm>

namespace
{
QPoint Center_Of(const UI_Button& button)
{
    return button.m_rect.center().toPoint();
}

template <typename T> void Add(QCryptographicHash& hash, T value)
{
    hash.addData(QByteArray(reinterpret_cast<const char*>(&value), sizeof value));
}

void Add(QCryptographicHash& hash, const QPointF& p)
{
    Add(hash, p.x());
    Add(hash, p.y());
}

// The whole race state after a frame, to the bit: craft, thrusts, nearest
// piece, clock, camera and ghost (its newest recorded sample included).
void Add_Frame(QCryptographicHash& hash, Game& game)
{
    const Ship& ship = *game.m_ship.Get();
    for (const QPointF& p : {ship.m_left, ship.m_left_previous, ship.m_right, ship.m_right_previous,
                             ship.m_position, ship.m_direction})
        Add(hash, p);
    for (float f : {ship.m_left_thrust, ship.m_right_thrust, ship.m_friction, ship.m_angle,
                    game.m_movement_control->m_left_thrust, game.m_movement_control->m_right_thrust,
                    game.m_segment_fraction, game.m_closest_distance, game.m_lap_timer->m_elapsed,
                    game.m_lap_timer->m_best, game.m_camera_angle, game.m_ghost_ship->m_angle})
        Add(hash, f);
    for (int i :
         {game.m_state, game.m_closest_segment, int(game.m_on_last_segment), int(game.m_lap_timer->m_running),
          game.m_ghost_ship->m_read_pos, int(game.m_ghost_ship->m_record.size())})
        Add(hash, i);
    const QTransform& t = game.m_scene->m_world_to_screen;
    for (qreal m : {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()})
        Add(hash, m);
    Add(hash, game.m_ghost_ship->m_position);
    Add(hash, game.m_ghost_ship->m_record_position);
    hash.addData(game.m_ghost_ship->m_record.right(10).toLatin1());
}

// Touches that a restless finger might make: jumps, lifts and presses at
// pseudo-random points of the view, the same on every run. Returns the
// farthest the craft got from the centre line.
float Touch_Erratically(Game& game, int frames, QCryptographicHash& hash)
{
    float farthest = 0.0f;
    quint32 seed = 12345;
    const auto next = [&seed](int bound)
    {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % quint32(bound));
    };
    QWidget* view = game.viewport();
    QPoint pixel(400, 240);
    bool pressed = false;
    for (int frame = 0; frame < frames && game.m_state == Game::State_Race; ++frame)
    {
        if (frame % 25 == 0)
        {
            // Kept clear of the race's "QUIT" in the bottom-left corner.
            pixel = QPoint(80 + next(view->width() - 83), 2 + next(view->height() - 60));
            if (pressed && next(4) == 0)
            {
                QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, pixel);
                pressed = false;
            }
            else if (!pressed)
            {
                QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, pixel);
                pressed = true;
            }
        }
        QMouseEvent move(QEvent::MouseMove, pixel, view->mapToGlobal(pixel), Qt::NoButton,
                         pressed ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        game.Advance_Frame();
        Add_Frame(hash, game);
        farthest = std::max(farthest, game.m_closest_distance);
    }
    if (pressed)
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, pixel);
    return farthest;
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

        // The menu's "QUIT" ends the event loop with status 0.
        QTRY_VERIFY(!game.m_quit_button->m_rect.isEmpty());
        QTimer::singleShot(0, &game,
                           [&game]
                           {
                               QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                                                 Center_Of(*game.m_quit_button.Get()));
                           });
        QCOMPARE(QApplication::exec(), 0);
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

    // The same game on every build: each frame's race state over a driven lap
    // of each course, and over erratic touches that leave the road while the
    // first course's ghost replays, hashed and checked against hashes that
    // never change. Both the Qt 5 and the Qt 6 build must give them.
    void a_lap_is_driven_with_the_mouse_on_every_course_data()
    {
        QTest::addColumn<int>("course");
        QTest::addColumn<bool>("erratic");
        QTest::addColumn<QByteArray>("frames_hash");
        QTest::newRow("Primus") << 0 << false
                                << QByteArray(
                                       "019910077c803333eb1cc7012be7cf2e1e4d469d71a9f890739449b1e37db0f4");
        QTest::newRow("Secundus") << 1 << false
                                  << QByteArray(
                                         "e1bbc320d906103a626cd52d94eb8e47426ddb590891ec266059d277ac6f734b");
        QTest::newRow("Tertius") << 2 << false
                                 << QByteArray(
                                        "58f4b57ab83b6aaf691dbc68e128b7942faa376ed9d297c0aad5ceb2a764ffa2");
        QTest::newRow("erratic touches off the road")
            << 0 << true << QByteArray("125247c92e68a8cef2a0b8678d0be2004b6ea576e27554b0bdaedf3108c8c784");
    }
    void a_lap_is_driven_with_the_mouse_on_every_course()
    {
        QFETCH(int, course);
        QFETCH(bool, erratic);
        QFETCH(QByteArray, frames_hash);
        Temporary_Settings settings_dir; // no record of another row replays here
        QVERIFY(settings_dir.Is_Valid());
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        // The hashes are of an 800x480 view, the screen scripts/test gives the window tests.
        QTRY_COMPARE(game.size(), QSize(800, 480));
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
        // From here on only the frames below run: the race starts afresh
        // whatever the timer did while the menu faded.
        game.Set_State(Game::State_Race);

        QCryptographicHash hash(QCryptographicHash::Sha256);
        Pursuit_Driver driver(game);
        driver.Press();
        int frames = 0;
        while (game.m_state == Game::State_Race && frames < 90 * 60)
        {
            driver.Step();
            Add_Frame(hash, game);
            ++frames;
        }
        QCOMPARE(game.m_state, int(Game::State_Menu));
        const float lap = game.m_lap_timer->m_elapsed;
        QVERIFY2(lap > 0.0f, "the race ended without a finish");
        QCOMPARE(game.m_lap_timer->m_best, lap);
        QSettings settings(settings_dir.File(), QSettings::IniFormat);
        QCOMPARE(settings.value(QString("level%1/time").arg(course)).toFloat(), lap);
        qInfo("lap of course %d driven by the pursuit: %s s (%d frames)", course,
              qPrintable(QString::number(lap, 'f', 2)), frames);

        if (erratic)
        {
            game.Set_State(Game::State_Race);
            QVERIFY(!game.m_ghost_ship->m_playback.isEmpty());
            const float farthest = Touch_Erratically(game, 1200, hash);
            QVERIFY2(farthest > 17.5f, qPrintable(QString::number(farthest)));
        }
        const QByteArray result = hash.result().toHex();
        qInfo("frames hash: %s", result.constData());
        QCOMPARE(result, frames_hash);
    }
};

QTEST_MAIN(Test_Window_Play)
#include "tst_window_play.moc"
