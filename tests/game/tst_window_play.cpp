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
#include "Qt_Bridge.h"
#include "Ship.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <algorithm>

Q_DECLARE_METATYPE(Surface_Choice::Renderer)

namespace
{
QPoint Center_Of(const UI_Button& button)
{
    return button.m_rect.center().toPoint();
}

// The whole race state after a frame, to the bit: craft, thrusts, nearest
// piece, clock, camera and ghost (its newest recorded sample included).
void Add_Frame(QCryptographicHash& hash, Game& game)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_5_15);
    const Ship& s = *game.m_ship.Get();
    const Ghost_Ship& g = *game.m_ghost_ship.Get();
    out << s.m_left << s.m_left_previous << s.m_right << s.m_right_previous << s.m_position << s.m_direction
        << s.m_left_thrust << s.m_right_thrust << s.m_friction << s.m_angle
        << game.m_movement_control->m_left_thrust << game.m_movement_control->m_right_thrust << game.m_state
        << game.m_closest_segment << game.m_segment_fraction << game.m_closest_distance
        << game.m_on_last_segment << game.m_lap_timer->m_running << game.m_lap_timer->m_elapsed
        << game.m_lap_timer->m_best << game.m_camera_angle << game.m_scene->m_world_to_screen << g.m_position
        << g.m_angle << g.m_read_pos << g.m_record_position << g.m_record.right(10)
        << qint32(g.m_record.size());
    hash.addData(bytes);
}

// A restless finger, the same on every run: every 25 frames it jumps to a
// pseudo-random point (clear of the race's "QUIT"), mostly held, lifted now
// and then. Returns the farthest the craft got from the centre line.
float Touch_Erratically(Game& game, int frames, QCryptographicHash& hash)
{
    QWidget* view = game.viewport();
    quint32 seed = 12345;
    QPoint pixel;
    bool pressed = false;
    float farthest = 0.0f;
    for (int frame = 0; frame < frames && game.m_state == Game::State_Race; ++frame)
    {
        if (frame % 25 == 0)
        {
            seed = seed * 1103515245u + 12345u;
            pixel = QPoint(80 + int(seed >> 8) % 700, 2 + int(seed >> 20) % 400);
            const bool press = !pressed || seed % 4 != 0;
            if (press != pressed)
                QTest::mouseEvent(press ? QTest::MousePress : QTest::MouseRelease, view, Qt::LeftButton,
                                  Qt::NoModifier, pixel);
            pressed = press;
        }
        QMouseEvent move(QEvent::MouseMove, pixel, view->mapToGlobal(pixel), Qt::NoButton,
                         pressed ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        game.Advance_Frame();
        Add_Frame(hash, game);
        farthest = std::max(farthest, game.m_closest_distance);
    }
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
    // never change. Both Qt builds must give them on every processor (amd64 with
    // and without fused multiply-adds, armhf and arm64), on either surface the view paints through.
    void a_lap_is_driven_with_the_mouse_on_every_course_data()
    {
        using Renderer = Surface_Choice::Renderer;
        QTest::addColumn<int>("course");
        QTest::addColumn<bool>("erratic");
        QTest::addColumn<Renderer>("renderer");
        QTest::addColumn<QByteArray>("frames_hash");
        const QByteArray primus("db59d25696b9e60a4088761dc9a0a8060ec104fd");
        QTest::newRow("Primus") << 0 << false << Renderer::Auto << primus;
        QTest::newRow("Primus on OpenGL") << 0 << false << Renderer::OpenGL << primus;
        QTest::newRow("Primus on raster") << 0 << false << Renderer::Raster << primus;
        QTest::newRow("Secundus") << 1 << false << Renderer::Auto
                                  << QByteArray("78d08fda45e053396626d6f40b830201a3cc1df9");
        QTest::newRow("Tertius") << 2 << false << Renderer::Auto
                                 << QByteArray("2beaf596cb36e474b58461b45d69b55b92684f34");
        QTest::newRow("erratic touches off the road")
            << 0 << true << Renderer::Auto << QByteArray("2ec214dcaf65c1203be84bead9b6f5c0657c74bf");
    }
    void a_lap_is_driven_with_the_mouse_on_every_course()
    {
        QFETCH(int, course);
        QFETCH(bool, erratic);
        QFETCH(Surface_Choice::Renderer, renderer);
        QFETCH(QByteArray, frames_hash);
        Temporary_Settings settings_dir; // no record of another row replays here
        QVERIFY(settings_dir.Is_Valid());
        Game game(renderer);
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        if (renderer != Surface_Choice::Renderer::Auto)
            QCOMPARE(Qt_Bridge::Is_GL_Viewport(game.viewport()),
                     renderer == Surface_Choice::Renderer::OpenGL);
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

        QCryptographicHash hash(QCryptographicHash::Sha1);
        const int frames = Pursuit_Driver(game).Drive_Lap(90 * 60, [&] { Add_Frame(hash, game); });
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
