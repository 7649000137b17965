// The real Game in a real window: full screen, titled, painted by its own timer, and closed cleanly.
#include "Board_Line.h"
#include "Board_Notice.h"
#include "Fade_Plane.h"
#include "Finish_Panel.h"
#include "Game.h"
#include "Game_Scene.h"
#include "Ghost_Ship.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Movement_Control.h"
#include "Name_Entry.h"
#include "Pause_Notice.h"
#include "Qt_Bridge.h"
#include "Ship.h"
#include "Sound_Notice.h"
#include "Split_Notice.h"
#include "Stars.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <cmath>

namespace
{
class Paint_Counter : public QObject
{
public:
    int m_paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }
};
} // namespace

class Test_Window_Game : public QObject
{
    Q_OBJECT

    Temporary_Settings m_settings;

private slots:
    void initTestCase() { QVERIFY(m_settings.Is_Valid()); }

    void the_game_opens_full_screen_and_is_drawn_by_its_timer()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QCOMPARE(game.windowTitle(), QString("Tavrelo"));
        QCOMPARE(Qt_Bridge::Is_GL_Viewport(game.viewport()),
                 Surface_Choice::Pick(Surface_Choice::Renderer::Auto) == Surface_Choice::Surface::OpenGL);
        QTRY_VERIFY(game.isFullScreen());
        QTRY_COMPARE(game.size(), Qt_Bridge::Screen_Size());

        Paint_Counter counter;
        game.viewport()->installEventFilter(&counter);
        const float menu_alpha = game.Menu()->Get_Visible_Alpha();
        // About 60 frames a second at 16 ms; software OpenGL on a loaded machine
        // manages far fewer, and under emulation barely one.
        QTRY_VERIFY2_WITH_TIMEOUT(counter.m_paints >= 3, qPrintable(QString::number(counter.m_paints)),
                                  10000);
        QVERIFY(game.Menu()->Get_Visible_Alpha() > menu_alpha);
        game.viewport()->removeEventFilter(&counter);
    }

    // 60 steps in each second of wall time, whatever the screen's rate and the timers' grain; on a busy
    // machine, in each second that was not given up to a stall.
    void five_seconds_of_wall_time_run_three_hundred_steps()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTest::qWait(500);
        QElapsedTimer clock;
        const qint64 steps_before = game.Steps_Run();
        const qint64 dropped_before = game.Time_Dropped_Ns();
        clock.start();
        QTest::qWait(5000);
        const qint64 steps = game.Steps_Run() - steps_before;
        const qint64 raced_ns = clock.nsecsElapsed() - (game.Time_Dropped_Ns() - dropped_before);
        const double expected = 60.0 * static_cast<double>(raced_ns) / 1e9;
        qInfo("%lld steps in %.3f s of wall time, %.3f s of it not given up", steps,
              static_cast<double>(clock.nsecsElapsed()) / 1e9, static_cast<double>(raced_ns) / 1e9);
        QVERIFY(steps > 0);
        QVERIFY2(std::fabs(static_cast<double>(steps) - expected) <= 0.02 * 300.0,
                 qPrintable(QString("%1 steps where %2 were due").arg(steps).arg(expected)));
    }

    // Frames between steps are drawn on a screen faster than the steps, unless the player's preference says
    // not.
    void frames_are_blended_on_faster_screens_unless_turned_off_data()
    {
        QTest::addColumn<QByteArray>("rate");
        QTest::addColumn<QString>("preference");
        QTest::addColumn<bool>("blended");
        QTest::newRow("144 Hz") << QByteArray("144") << QString() << true;
        QTest::newRow("144 Hz, turned off") << QByteArray("144") << QString("false") << false;
        QTest::newRow("144 Hz, a preference that is no answer")
            << QByteArray("144") << QString("maybe") << true;
        QTest::newRow("60 Hz") << QByteArray("60") << QString("true") << false;
        QTest::newRow("reported 0 Hz: 60") << QByteArray("0") << QString() << false;
    }
    void frames_are_blended_on_faster_screens_unless_turned_off()
    {
        QFETCH(QByteArray, rate);
        QFETCH(QString, preference);
        QFETCH(bool, blended);
        Temporary_Settings settings;
        QVERIFY(settings.Is_Valid());
        if (!preference.isEmpty())
            QSettings(QFileInfo(settings.File()).absolutePath() + "/Tavrelo-preferences.ini",
                      QSettings::IniFormat)
                .setValue("video/interpolation", preference);
        qputenv("TAVRELO_REFRESH_RATE", rate);
        Game game;
        qunsetenv("TAVRELO_REFRESH_RATE");
        QCOMPARE(game.Interpolates(), blended);
        game.Set_Interpolation(false);
        QVERIFY(!game.Interpolates());
        Isolate_Settings(m_settings.Path());
    }

    void the_game_is_built_in_the_stated_order()
    {
        Game game;
        QCOMPARE(game.State(), int(Game::State_Menu));
        QCOMPARE(game.Course()->m_track_index, 0);
        QCOMPARE(game.Fade()->Get_Visible_Alpha(), 1.0f);
        const std::vector<Scene_Element*> world = {game.Star_Field(), game.Course(), game.Ghost(),
                                                   game.Craft()};
        QVERIFY(game.Scene()->m_world_elements == world);
        const std::vector<Scene_UI_Element*> ui = {
            game.Steering(),       game.Timer(),         game.Instructions(),  game.Race_Quit_Button(),
            game.Fade(),           game.Menu(),          game.Start_Button(),  game.Previous_Button(),
            game.Next_Button(),    game.Quit_Button(),   game.Paused_Notice(), game.Mute_Notice(),
            game.Board_Standing(), game.Leader_Button(), game.Name_Button(),   game.Board_Notices(),
            game.Splits_Notice(),  game.Finish(),        game.Name_Choice()};
        QVERIFY(game.Scene()->m_ui_elements == ui);
        QCOMPARE(game.Menu()->m_caption, QString("Track #1. Primus"));
        // The menu shows its elements and hides the race's.
        QVERIFY(game.Start_Button()->Is_Visible());
        QVERIFY(!game.Leader_Button()->Is_Visible()); // no board
        QVERIFY(!game.Name_Button()->Is_Visible() && !game.Name_Choice()->Is_Visible());
        QVERIFY(!game.Steering()->Is_Visible());
        QVERIFY(!game.Race_Quit_Button()->Is_Visible());
        QVERIFY(game.Fade()->Is_Visible());
    }

    void buttons_are_placed_from_the_screen_size()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        const QSize screen = Qt_Bridge::Screen_Size();
        const int w = screen.width();
        const int h = screen.height();
        // Laid out at their first drawing, once they have faded in a little.
        QTRY_VERIFY(!game.Quit_Button()->m_rect.isEmpty());
        QTRY_VERIFY(!game.Next_Button()->m_rect.isEmpty());
        QCOMPARE(game.Start_Button()->m_rect.center(), QPointF(w / 2, h / 2));
        QCOMPARE(game.Previous_Button()->m_rect.left(), 17.0);
        QCOMPARE(game.Next_Button()->m_rect.right(), w - 20 + 3.0);
        QCOMPARE(game.Quit_Button()->m_rect.bottom(), double(h));
        QCOMPARE(game.Quit_Button()->m_rect.left(), 0.0);
    }

    // The HUD and the menu grow with the view's short side past 480 pixels, and
    // the buttons follow the view, for drawing and for touches alike.
    void buttons_and_text_follow_the_view_data()
    {
        QTest::addColumn<QSize>("view");
        QTest::addColumn<double>("scale");
        QTest::newRow("800x480 as made") << QSize(800, 480) << 1.0;
        QTest::newRow("320x240 never smaller") << QSize(320, 240) << 1.0;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 2.25;
        QTest::newRow("1080x1920 portrait") << QSize(1080, 1920) << 2.25;
    }
    void buttons_and_text_follow_the_view()
    {
        QFETCH(QSize, view);
        QFETCH(double, scale);
        Game game;
        for (Scene_UI_Element* element : {static_cast<Scene_UI_Element*>(game.Start_Button()),
                                          static_cast<Scene_UI_Element*>(game.Quit_Button()),
                                          static_cast<Scene_UI_Element*>(game.Menu())})
            element->Set_Visible_Alpha(1.0f);
        game.Ghost()->m_playback = "ghost"; // and a leader's name in orange, its ghost translucent
        game.Ghost()->Set_Look(QColor(255, 190, 70, 190), "Leader");
        game.Ghost()->m_position = game.Scene()->m_world_to_screen.inverted().map(QPointF(100, 100));
        game.Fade()->Set_Visible_Alpha(0.0f);
        game.Lay_Out(QSize(800, 480));
        QImage image(view, QImage::Format_RGB32);
        QPainter painter(&image);
        // The rows of the menu's pale green texts, in the view's pixels.
        const auto text_rows = [&image](const QColor& colour = QColor(160, 250, 190))
        {
            int rows = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == colour)
                    {
                        ++rows;
                        break;
                    }
            return rows;
        };
        image.fill(Qt::black);
        game.Scene()->Draw_Passes(&painter);
        const QRectF made = game.Start_Button()->m_rect;
        const int made_rows = text_rows();
        const int made_name_rows = text_rows(QColor(255, 190, 70));
        game.Lay_Out(view);
        QCOMPARE(game.Scene()->m_ui_scale, scale);
        image.fill(Qt::black);
        game.Scene()->Draw_Passes(&painter);
        painter.end();
        const QRectF rect = game.Start_Button()->m_rect;
        // In UI pixels: the same box; on the view, scaled and centred.
        QCOMPARE(rect.size(), made.size());
        QVERIFY(qAbs(rect.center().x() * scale - view.width() / 2) <= scale);
        QVERIFY(qAbs(rect.center().y() * scale - view.height() / 2) <= scale);
        QVERIFY(qAbs(game.Quit_Button()->m_rect.bottom() * scale - view.height()) <= scale);
        // The texts grow with the scale.
        const int rows = text_rows();
        QVERIFY2(made_rows > 3 && (scale == 1.0 ? rows == made_rows : rows >= 2 * made_rows),
                 qPrintable(QString("%1 rows, %2 as made").arg(rows).arg(made_rows)));
        QVERIFY(made_name_rows > 3 && text_rows(QColor(255, 190, 70)) >= made_name_rows * std::floor(scale));
        // A tap at the view's centre presses the start button.
        game.Scene()->Press(QPoint(view.width() / 2, view.height() / 2));
        game.Scene()->Release(QPoint(view.width() / 2, view.height() / 2));
        QVERIFY(game.Start_Button()->Poll_Was_Pressed());
    }

    void right_button_events_reach_no_element()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        game.Set_State(Game::State_Race);
        QTest::mousePress(game.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(400, 200));
        QVERIFY(game.Scene()->m_mouse_owner == nullptr);
        QTest::mousePress(game.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 200));
        QVERIFY(game.Scene()->m_mouse_owner == game.Steering());
        QTest::mouseRelease(game.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(400, 200));
        QVERIFY(game.Scene()->m_mouse_owner == game.Steering());
        QVERIFY(game.Steering()->m_pressed);
        // Leaving the race ends the held press at a point outside everything.
        game.Set_State(Game::State_Menu);
        QVERIFY(game.Scene()->m_mouse_owner == nullptr);
        QVERIFY(!game.Steering()->m_pressed);
    }

    void closing_the_window_ends_the_event_loop_cleanly()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTimer::singleShot(300, &game, [&game] { game.close(); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(Test_Window_Game)
#include "tst_window_game.moc"
