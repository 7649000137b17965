// Playing the real game with mouse events on its view: the menu, a held press, quitting, and whole laps.
#include "Finish_Panel.h"
#include "Float_Point.h"
#include "Game.h"
#include "Game_Scene.h"
#include "Ghost_Ship.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Movement_Control.h"
#include "Pause_Notice.h"
#include "Pursuit_Driver.h"
#include "Qt_Bridge.h"
#include "Ship.h"
#include "Test_Support.h"
#include "UI_Button.h"

#ifdef TAVRELO_PAD
#include "Pad_Input.h"

#include <SDL.h>
#endif

#include <QCryptographicHash>
#include <QDataStream>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(Surface_Choice::Renderer)

namespace
{
// Where a button is on the screen: buttons are laid out at the HUD's scale.
QPoint Center_Of(Game& game, const UI_Button& button)
{
    return (button.m_rect.center() * game.Scene()->m_ui_scale).toPoint();
}

// The whole race state after a frame, to the bit: craft, thrusts, nearest
// piece, clock, camera and ghost (its newest recorded sample included).
void Add_Frame(QCryptographicHash& hash, Game& game)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_5_15);
    const Ship& s = *game.Craft();
    const Ghost_Ship& g = *game.Ghost();
    out << s.m_left << s.m_left_previous << s.m_right << s.m_right_previous << s.m_position << s.m_direction
        << s.m_left_thrust << s.m_right_thrust << s.m_friction
        << s.m_angle
        // The thrusts the steering asked for, as the hashes were first taken: a put-back clears the craft's
        // own, not these.
        << game.Current_Race().m_steered_left << game.Current_Race().m_steered_right << game.State()
        << game.Current_Race().m_closest_segment << game.Current_Race().m_segment_fraction
        << game.Current_Race().m_closest_distance << game.Current_Race().m_on_last_segment
        << game.Current_Race().m_clock.m_running << game.Current_Race().m_clock.m_elapsed
        << game.Current_Race().m_clock.m_best << game.Current_Race().m_camera_angle
        << game.Scene()->m_world_to_screen << g.m_position << g.m_angle << g.m_read_pos << g.m_record_position
        << g.m_record.right(10) << qint32(g.m_record.size());
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
    for (int frame = 0; frame < frames && game.State() == Game::State_Race; ++frame)
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
        farthest = std::max(farthest, game.Current_Race().m_closest_distance);
    }
    return farthest;
}

// What an input did, seen after the frame that acts on it (a "quit" is seen
// before: its poll would end the game), "hold": no frame runs, steering let go.
QString Outcome(Game& game, int state)
{
    if (game.Quit_Button()->m_was_pressed)
        return "quit";
    if (game.Is_Paused())
    {
        // The game's own frame timer runs on meanwhile, as it would behind another window.
        const float clock = game.Current_Race().m_clock.m_elapsed;
        const qint64 steps = game.Steps_Run();
        QTest::qWait(300);
        const bool held = clock == game.Current_Race().m_clock.m_elapsed && steps == game.Steps_Run() &&
                          !game.Steering()->m_pressed && game.Paused_Notice()->Is_Visible();
        return held ? "hold" : "frames ran on";
    }
    const int course = game.Course()->m_track_index;
    game.Advance_Frame();
    if (game.State() != state)
        return game.State() == Game::State_Race ? "race" : "menu";
    if (game.Course()->m_track_index != course)
        return QString("course %1").arg(game.Course()->m_track_index);
    const bool at_start = game.Craft()->m_position == game.Course()->m_points[0];
    return at_start && game.Current_Race().m_clock.m_elapsed == 0.0f ? "restart" : "none";
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
        QTRY_VERIFY(!game.Start_Button()->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(game, *game.Start_Button()));
        QTRY_COMPARE(game.State(), int(Game::State_Race));
        QVERIFY(game.Instructions()->Is_Visible());
        QVERIFY(!game.Current_Race().m_clock.m_running);

        const Float_Point ahead =
            Float_Point(game.Craft()->m_position) + 40.0f * Float_Point(game.Craft()->m_direction);
        const QPoint pixel = game.Scene()->m_world_to_screen.map(ahead.To_QPointF()).toPoint();
        QTest::mousePress(game.viewport(), Qt::LeftButton, Qt::NoModifier, pixel);
        QVERIFY(game.Scene()->m_mouse_owner == game.Steering());
        QTRY_VERIFY(game.Current_Race().m_clock.m_running);
        QVERIFY(!game.Instructions()->Is_Visible());
        QTRY_VERIFY(game.Current_Race().m_clock.m_elapsed > 0.1f);
        QVERIFY(game.Craft()->m_position != game.Course()->m_points[0]);
        QTest::mouseRelease(game.viewport(), Qt::LeftButton, Qt::NoModifier, pixel);

        QTRY_VERIFY(!game.Race_Quit_Button()->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(game, *game.Race_Quit_Button()));
        QTRY_COMPARE(game.State(), int(Game::State_Menu));
        QCOMPARE(game.Current_Race().m_clock.m_elapsed, 0.0f);
        QVERIFY(!game.Current_Race().m_clock.m_running);

        // The menu's "QUIT", once its guard after a race is over, ends the event loop with status 0.
        QTRY_VERIFY(!game.Quit_Button()->m_rect.isEmpty() && !game.Quit_Guarded());
        QTimer::singleShot(0, &game,
                           [&game]
                           {
                               QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                                                 Center_Of(game, *game.Quit_Button()));
                           });
        QCOMPARE(QApplication::exec(), 0);
    }

    void the_course_arrows_step_and_wrap()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTRY_VERIFY(!game.Previous_Button()->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(game, *game.Previous_Button()));
        QTRY_COMPARE(game.Course()->m_track_index, 2);
        QCOMPARE(game.Menu()->m_caption, QString("Track #3. Tertius"));
        QCOMPARE(game.Craft()->m_position, QPointF(1000, 1000));
        QTRY_VERIFY(!game.Next_Button()->m_rect.isEmpty());
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(game, *game.Next_Button()));
        QTRY_COMPARE(game.Course()->m_track_index, 0);
        QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                          Center_Of(game, *game.Next_Button()));
        QTRY_COMPARE(game.Course()->m_track_index, 1);
        QCOMPARE(game.Menu()->m_caption, QString("Track #2. Secundus"));
        QCOMPARE(game.Craft()->m_position, QPointF(700, 1000));
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
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("keys"); // started with Enter and steered with the arrows, no pointer at all
        QTest::addColumn<QByteArray>("frames_hash");
        const QByteArray primus("db59d25696b9e60a4088761dc9a0a8060ec104fd");
        QTest::newRow("Primus") << 0 << false << Renderer::Auto << false << false << primus;
        QTest::newRow("Primus on OpenGL") << 0 << false << Renderer::OpenGL << false << false << primus;
        QTest::newRow("Primus on raster") << 0 << false << Renderer::Raster << false << false << primus;
        QTest::newRow("Secundus") << 1 << false << Renderer::Auto << false << false
                                  << QByteArray("78d08fda45e053396626d6f40b830201a3cc1df9");
        QTest::newRow("Tertius") << 2 << false << Renderer::Auto << false << false
                                 << QByteArray("2beaf596cb36e474b58461b45d69b55b92684f34");
        QTest::newRow("erratic touches off the road")
            << 0 << true << Renderer::Auto << false << false
            << QByteArray("2ec214dcaf65c1203be84bead9b6f5c0657c74bf");
        // Held while another window is in front, then pressed again where the finger was: the same frames.
        QTest::newRow("Primus held mid-lap") << 0 << false << Renderer::Auto << true << false << primus;
        // Keys put the finger where a player's would be, and the lap proves itself like any other.
        QTest::newRow("Primus by keys") << 0 << false << Renderer::Auto << false << true
                                        << QByteArray("27754e2d0968777d016f4a8d376c5a4adb278108");
        QTest::newRow("Secundus by keys") << 1 << false << Renderer::Auto << false << true
                                          << QByteArray("9505ce6ab7d2406c86854647aad311f4d5c1a2f0");
        QTest::newRow("Tertius by keys") << 2 << false << Renderer::Auto << false << true
                                         << QByteArray("dd509e6152c0e06627620f90754a3f17fff39b84");
    }
    void a_lap_is_driven_with_the_mouse_on_every_course()
    {
        QFETCH(int, course);
        QFETCH(bool, erratic);
        QFETCH(Surface_Choice::Renderer, renderer);
        QFETCH(bool, held);
        QFETCH(bool, keys);
        QFETCH(QByteArray, frames_hash);
        Temporary_Settings settings_dir; // no record of another row replays here
        QVERIFY(settings_dir.Is_Valid());
        if (course > 0)
            QSettings(settings_dir.File(), QSettings::IniFormat).setValue("last_course", course);
        Game game(renderer);
        // A loaded machine's window manager may take its time to show the window and make it full screen.
        QVERIFY(QTest::qWaitForWindowExposed(&game, 60000));
        if (renderer != Surface_Choice::Renderer::Auto)
            QCOMPARE(Qt_Bridge::Is_GL_Viewport(game.viewport()),
                     renderer == Surface_Choice::Renderer::OpenGL);
        // The hashes are of an 800x480 view, the screen scripts/test gives the window tests.
        QTRY_COMPARE_WITH_TIMEOUT(game.size(), QSize(800, 480), 60000);
        QCOMPARE(game.Course()->m_track_index, course); // raced last, in the file before the game started
        QTRY_VERIFY(!game.Start_Button()->m_rect.isEmpty());
        if (keys)
            QTest::keyClick(game.windowHandle(), Qt::Key_Return);
        else
            QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                              Center_Of(game, *game.Start_Button()));
        QTRY_COMPARE(game.State(), int(Game::State_Race));
        // The hint speaks of what started the race.
        QCOMPARE(game.Instructions()->m_device,
                 int(keys ? Ingame_Instructions::Keys : Ingame_Instructions::Touch));
        // From here on only the frames below run: the race starts afresh
        // whatever the timer did while the menu faded.
        game.Set_State(Game::State_Race);

        QCryptographicHash hash(QCryptographicHash::Sha1);
        game.Set_Paused(keys); // keys pressed on the window spin the event loop: only the frames below race
        Pursuit_Driver driver(game, 70.0f, keys);
        int frame = 0;
        const int frames = driver.Drive_Lap(90 * 60,
                                            [&]
                                            {
                                                Add_Frame(hash, game);
                                                if (!held || ++frame != 600)
                                                    return;
                                                QEvent away(QEvent::WindowDeactivate);
                                                QApplication::sendEvent(&game, &away);
                                                QCOMPARE(Outcome(game, Game::State_Race), QString("hold"));
                                                driver.Press();
                                            });
        QCOMPARE(game.State(), int(Game::State_Menu));
        const float lap = game.Current_Race().m_clock.m_elapsed;
        QVERIFY2(lap > 0.0f, "the race ended without a finish");
        QCOMPARE(game.Current_Race().m_clock.m_best, lap);
        QSettings settings(settings_dir.File(), QSettings::IniFormat);
        QCOMPARE(settings.value(QString("level%1/time").arg(course)).toFloat(), lap);
        QCOMPARE(QSettings(settings_dir.Path() + "/Norvikk/Tavrelo-preferences.ini", QSettings::IniFormat)
                     .value("last_course")
                     .toString(),
                 QString::number(course));
        qInfo("lap of course %d driven by the pursuit%s: %s s (%d frames)", course, keys ? " by keys" : "",
              qPrintable(QString::number(lap, 'f', 2)), frames);
        if (keys)
        {
            const Tool_Run verify = Run_Records_Tool({"verify", QString::number(course + 1)});
            QVERIFY2(verify.exit_code == 0 && verify.output.contains("verified") &&
                         !verify.output.contains("unverified"),
                     qPrintable(verify.output + verify.errors));
        }

        if (erratic)
        {
            game.Set_State(Game::State_Race);
            QVERIFY(!game.Ghost()->m_playback.isEmpty());
            const float farthest = Touch_Erratically(game, 1200, hash);
            QVERIFY2(farthest > 17.5f, qPrintable(QString::number(farthest)));
        }
        const QByteArray result = hash.result().toHex();
        qInfo("frames hash: %s", result.constData());
        QCOMPARE(result, frames_hash);
    }

    // One action per press of a key or tap, none on its release or the
    // keyboard's repeats; a race holds whenever the game leaves the front.
    void an_input_acts_once_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("after_race"); // -1: in a race; else frames since a race came back to the menu
        QTest::addColumn<QString>("outcome");
        QTest::newRow("R restarts") << "key" << int(Qt::Key_R) << -1 << "restart";
        QTest::newRow("Backspace restarts") << "key" << int(Qt::Key_Backspace) << -1 << "restart";
        QTest::newRow("R in the menu") << "key" << int(Qt::Key_R) << 40 << "none";
        QTest::newRow("Enter starts") << "key" << int(Qt::Key_Return) << 40 << "race";
        QTest::newRow("keypad Enter starts") << "key" << int(Qt::Key_Enter) << 40 << "race";
        QTest::newRow("Space starts") << "key" << int(Qt::Key_Space) << 40 << "race";
        QTest::newRow("Escape leaves a race") << "key" << int(Qt::Key_Escape) << -1 << "menu";
        QTest::newRow("Escape just after a race") << "key" << int(Qt::Key_Escape) << 0 << "none";
        QTest::newRow("Escape half a second after") << "key" << int(Qt::Key_Escape) << 32 << "quit";
        QTest::newRow("QUIT just after a race") << "tap QUIT" << 0 << 31 << "none";
        QTest::newRow("QUIT half a second after") << "tap QUIT" << 0 << 32 << "quit";
        // A held race goes on at a tap (key 0) or at any key, as its notice says.
        QTest::newRow("hidden") << "hide" << 0 << -1 << "hold";
        QTest::newRow("minimized") << "minimize" << 0 << -1 << "hold";
        QTest::newRow("application inactive") << "inactive" << 0 << -1 << "hold";
        QTest::newRow("behind another window") << "window in front" << 0 << -1 << "hold";
        QTest::newRow("held, a letter goes on") << "deactivate" << int(Qt::Key_A) << -1 << "hold";
        QTest::newRow("held, Space goes on") << "hide" << int(Qt::Key_Space) << -1 << "hold";
        QTest::newRow("held, an arrow goes on") << "inactive" << int(Qt::Key_Left) << -1 << "hold";
        QTest::newRow("the menu runs on") << "deactivate" << 0 << 40 << "none";
        QTest::newRow("Left picks the course before") << "key" << int(Qt::Key_Left) << 40 << "course 2";
        QTest::newRow("Right picks the next course") << "key" << int(Qt::Key_Right) << 40 << "course 1";
        QTest::newRow("Right in a race") << "key" << int(Qt::Key_Right) << -1 << "none";
    }
    void an_input_acts_once()
    {
        QFETCH(QString, input);
        QFETCH(int, key);
        QFETCH(int, after_race);
        QFETCH(QString, outcome);
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTRY_VERIFY(!game.Quit_Button()->m_rect.isEmpty());
        // A running race, the steering held; then the menu, if the row says so, after that many frames.
        game.Set_State(Game::State_Race);
        Pursuit_Driver driver(game);
        driver.Press();
        for (int i = 0; i < 30; ++i)
            driver.Step();
        QVERIFY(game.Current_Race().m_clock.m_running);
        if (after_race >= 0)
            game.Set_State(Game::State_Menu);
        for (int i = 0; i < after_race; ++i)
            game.Advance_Frame();
        const int state = game.State();

        // A release, then the repeats of a held key: one that Qt flags (at another
        // instant, so that only its flag tells it), and one it misses, as on X11,
        // whose press comes at the same time as the release.
        for (const int kind : {0, 1, 2})
        {
            QKeyEvent held(kind == 0 ? QEvent::KeyRelease : QEvent::KeyPress, key, Qt::NoModifier, QString(),
                           kind == 1);
            held.setTimestamp(kind == 1 ? 1500 : 1000);
            QApplication::sendEvent(&game, &held);
            QVERIFY(!game.Start_Button()->m_was_pressed && !game.Race_Quit_Button()->m_was_pressed &&
                    !game.Quit_Button()->m_was_pressed && !game.Restart_Asked());
        }
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        press.setTimestamp(2000);
        QEvent away(QEvent::WindowDeactivate);
        std::unique_ptr<QWidget> front;
        if (input == "key")
            QApplication::sendEvent(&game, &press);
        else if (input == "tap QUIT")
            QTest::mouseClick(game.viewport(), Qt::LeftButton, Qt::NoModifier,
                              Center_Of(game, *game.Quit_Button()));
        else if (input == "deactivate")
            QApplication::sendEvent(&game, &away);
        else if (input == "hide")
            game.hide();
        else if (input == "minimize")
            game.showMinimized();
        else if (input == "window in front")
        {
            front.reset(new QWidget);
            front->resize(200, 100);
            front->show();
            front->activateWindow();
            QTRY_VERIFY(!game.isActiveWindow());
        }
        else
            emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        QCOMPARE(Outcome(game, state), outcome);
        front.reset();
        game.Quit_Button()->m_was_pressed = false;
        if (outcome != "hold")
            return;

        // The next tap or key, with the game back in front, goes on with the race; a tap, or a steering key
        // held (A, Left), also steers.
        const float clock = game.Current_Race().m_clock.m_elapsed;
        game.showFullScreen();
        QKeyEvent again(QEvent::KeyPress, key, Qt::NoModifier);
        again.setTimestamp(3000);
        if (key == 0)
            driver.Press();
        else
            QApplication::sendEvent(&game, &again);
        QVERIFY(!game.Is_Paused() && !game.Paused_Notice()->Is_Visible());
        QCOMPARE(Outcome(game, state), QString("none"));
        const bool steers = key == 0 || key == Qt::Key_A || key == Qt::Key_Left;
        QVERIFY(game.Steering()->m_pressed == steers && game.Current_Race().m_clock.m_elapsed > clock);
    }

    // A pad made in the process, as SDL plugs in a real one: its D-pad and A in the menu, its stick and
    // trigger over a lap that proves itself, Start holding and going on, and pulled out mid-race.
    void a_pad_plays_the_menu_and_a_lap()
    {
#ifndef TAVRELO_PAD
        QSKIP("built without gamepads");
#else
        Temporary_Settings settings_dir;
        QVERIFY(settings_dir.Is_Valid());
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game, 60000));
        QTRY_COMPARE_WITH_TIMEOUT(game.size(), QSize(800, 480), 60000);
        Pad_Input& pads = *game.Pads();
        QVERIFY(pads.Is_Available());
        int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                               SDL_CONTROLLER_BUTTON_MAX, 0);
        QVERIFY2(device >= 0, SDL_GetError());
        SDL_Joystick* stick = SDL_JoystickOpen(device);
        // The game's own frame loop reads the pads: it finds this one with no poll of the test's.
        QTRY_COMPARE_WITH_TIMEOUT(pads.Pads(), 1, 10000);
        const auto press = [&](SDL_GameControllerButton button)
        {
            SDL_JoystickSetVirtualButton(stick, button, 1);
            pads.Poll();
            SDL_JoystickSetVirtualButton(stick, button, 0);
            pads.Poll();
        };
        const auto tap = [&](SDL_GameControllerButton button)
        {
            press(button);
            game.Advance_Frame();
        };
        tap(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        QCOMPARE(game.Course()->m_track_index, 1);
        tap(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
        QCOMPARE(game.Course()->m_track_index, 0);
        tap(SDL_CONTROLLER_BUTTON_A);
        QCOMPARE(game.State(), int(Game::State_Race));
        QCOMPARE(game.Instructions()->m_device, int(Ingame_Instructions::Pad));

        // The trigger held, the stick towards the centre line ahead as far as it is off the heading.
        SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
        Pursuit_Driver pursuit(game);
        for (int frame = 0; frame < 90 * 60 && game.State() == Game::State_Race; ++frame)
        {
            const Float_Point heading(game.Craft()->m_direction);
            const Float_Point offset =
                Float_Point(pursuit.Point_Ahead()) - Float_Point(game.Craft()->m_position);
            const float right = offset.Dot(Float_Point(-heading.y, heading.x)) /
                                std::sqrt(offset.Length_Squared() * heading.Length_Squared());
            SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTX,
                                       Sint16(std::clamp(right * 4.0f, -1.0f, 1.0f) * 32767.0f));
            pads.Poll();
            if (frame == 300 || frame == 600)
            {
                // Start holds the race, and goes on; pulled out, the pad leaves the race held, let go.
                if (frame == 300)
                    press(SDL_CONTROLLER_BUTTON_START);
                else
                {
                    SDL_JoystickClose(stick);
                    QVERIFY(SDL_JoystickDetachVirtual(device) == 0);
                    pads.Poll();
                    QCOMPARE(pads.Pads(), 0);
                }
                QVERIFY(game.Is_Paused() && game.Paused_Notice()->Is_Visible());
                QVERIFY(!game.Steering()->m_pressed);
                if (frame == 600)
                {
                    device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                                       SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
                    stick = SDL_JoystickOpen(device);
                    pads.Poll();
                    QCOMPARE(pads.Pads(), 1);
                    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
                }
                press(SDL_CONTROLLER_BUTTON_START);
                QVERIFY(!game.Is_Paused());
            }
            game.Advance_Frame();
        }
        QCOMPARE(game.State(), int(Game::State_Menu));
        QVERIFY(game.Finish()->Is_Visible());
        qInfo("lap of course 0 driven by a pad: %s s",
              qPrintable(QString::number(game.Current_Race().m_clock.m_elapsed, 'f', 2)));
        const Tool_Run verify = Run_Records_Tool({"verify", "1"});
        QVERIFY2(verify.exit_code == 0 && verify.output.contains(" verified"), qPrintable(verify.output));
        tap(SDL_CONTROLLER_BUTTON_B);
        QVERIFY(!game.Finish()->Is_Visible() && game.Start_Button()->Is_Visible());
        SDL_JoystickClose(stick);
        SDL_JoystickDetachVirtual(device);
#endif
    }
};

QTEST_MAIN(Test_Window_Play)
#include "tst_window_play.moc"
