// Screenshots of the real window: the menu over the darkened course, a race with its ghost, and its splits.
// With TAVRELO_SCREENSHOT_DIR set, the pictures are also saved there (scripts/screenshots).
#include "Finish_Panel.h"
#include "Game.h"
#include "Ghost_Ship.h"
#include "Level.h"
#include "Pursuit_Driver.h"
#include "Race_Clock.h"
#include "Record_Picture.h"
#include "Split_Notice.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QScreen>
#include <QtTest>

namespace
{
QImage Screenshot(Game& game)
{
    game.viewport()->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return QGuiApplication::primaryScreen()
        ->grabWindow(game.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

void Save(const QImage& image, const QString& name)
{
    const QString dir = QString::fromLocal8Bit(qgetenv("TAVRELO_SCREENSHOT_DIR"));
    if (!dir.isEmpty())
        QVERIFY(image.save(dir + "/" + name));
}

// How many pixels lie within tolerance of a colour.
int Count_Near(const QImage& image, const QColor& colour, int tolerance)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
    {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAbs(qRed(line[x]) - colour.red()) <= tolerance &&
                qAbs(qGreen(line[x]) - colour.green()) <= tolerance &&
                qAbs(qBlue(line[x]) - colour.blue()) <= tolerance)
                ++count;
    }
    return count;
}

// The brightest green in a small square: the craft's glowing chevron.
bool Green_Craft_At(const QImage& image, const QPoint& centre)
{
    for (int y = centre.y() - 4; y <= centre.y() + 4; ++y)
        for (int x = centre.x() - 4; x <= centre.x() + 4; ++x)
        {
            const QColor c = image.pixelColor(x, y);
            if (c.green() > 150 && c.green() > c.red() + 60 && c.green() > c.blue() + 40)
                return true;
        }
    return false;
}

// The times in the finish panel's line that starts so, in hundredths: "Lap 01:02:29" holds one,
// "Sectors  14.20  15.02  13.11  14.50" four.
QList<int> Hundredths_In(const QStringList& lines, const QString& start)
{
    QList<int> found;
    const QRegularExpression time("(?:(\\d+):)?(\\d+)[.:](\\d\\d)\\b");
    for (const QString& line : lines)
        if (line.startsWith(start))
            for (auto match = time.globalMatch(line); match.hasNext();)
            {
                const QRegularExpressionMatch t = match.next();
                found << (t.captured(1).toInt() * 60 + t.captured(2).toInt()) * 100 + t.captured(3).toInt();
            }
    return found;
}

// Darkening by the fade plane: alpha 178 of black over the colour.
QColor Faded(const QColor& colour)
{
    auto fade = [](int c) { return c * (255 - 178) / 255; };
    return QColor(fade(colour.red()), fade(colour.green()), fade(colour.blue()));
}
} // namespace

class Test_Window_Screenshots : public QObject
{
    Q_OBJECT

    Temporary_Settings m_settings;

private slots:
    void initTestCase() { QVERIFY(m_settings.Is_Valid()); }

    void the_menu_shows_the_darkened_course_and_its_caption()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTRY_VERIFY(game.isFullScreen());
        for (int i = 0; i < 90; ++i) // the menu fades fully in
            game.Advance_Frame();
        const QImage shot = Screenshot(game);
        if (game.width() >= game.height())
            Save(shot, "menu.png");
        QCOMPARE(shot.size(), game.size());
        // The road's light edges and dark band, both under the fade plane.
        QVERIFY(Count_Near(shot, Faded(QColor(250, 230, 140)), 6) > 200);
        QVERIFY(Count_Near(shot, Faded(QColor(100, 92, 56)), 4) > 5000);
        // The menu's texts stand above the fade in pale green: title and caption.
        const int caption_y = game.height() / 2 - 10;
        QImage caption_band = shot.copy(0, caption_y - 20, shot.width(), 24);
        QVERIFY(Count_Near(caption_band, QColor(160, 250, 190), 40) > 30);
    }

    void a_race_shows_the_road_the_craft_and_the_ghost()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        QTRY_VERIFY(game.isFullScreen());
        // A first lap stores a ghost; the second race replays it beside the craft.
        Pursuit_Driver driver(game);
        game.Start_Button()->m_was_pressed = true;
        game.Advance_Frame();
        driver.Drive_Lap(90 * 60);
        QVERIFY(game.Current_Race().m_clock.m_best > 0.0f);
        game.Start_Button()->m_was_pressed = true;
        game.Advance_Frame();
        QVERIFY(!game.Ghost()->m_playback.isEmpty());
        Pursuit_Driver slower(game, 66.0f);
        slower.Press();
        // The game's own timer would step frames between the driver's, as many as the machine's
        // speed allows; held, only the driver steps the race, so every machine shoots the same frame.
        game.Set_Paused(true);
        for (int i = 0; i < 300; ++i)
            slower.Step();
        const QImage shot = Screenshot(game);
        Save(shot, game.width() >= game.height() ? "race.png" : "race-portrait.png");
        QVERIFY(Count_Near(shot, QColor(250, 230, 140), 6) > 300);
        QVERIFY(Count_Near(shot, QColor(100, 92, 56), 6) > 20000);
        // The picture is in the screen's pixels, the window's size in independent ones.
        const bool landscape = game.width() >= game.height();
        const QPoint craft = landscape ? QPoint(shot.width() / 5, shot.height() / 2)
                                       : QPoint(shot.width() / 2, shot.height() * 4 / 5);
        QVERIFY(Green_Craft_At(shot, craft));
        // The road ahead reaches the far side of the screen at any pixel ratio.
        const QImage far = landscape ? shot.copy(shot.width() * 19 / 20, 0, shot.width() / 20, shot.height())
                                     : shot.copy(0, 0, shot.width(), shot.height() / 20);
        const int far_road = Count_Near(far, QColor(100, 92, 56), 6);
        QVERIFY2(far_road * 10 > far.width() * far.height(), qPrintable(QString::number(far_road)));
        // The clock in the top-left corner, light green, and beside it the gap to the ghost: red, behind it.
        QVERIFY(
            Count_Near(shot.copy(0, 0, 240 * shot.width() / game.width(), 30 * shot.height() / game.height()),
                       QColor(100, 230, 130), 40) > 20);
        QVERIFY(game.Current_Race().m_clock.m_gap_known && game.Current_Race().m_clock.m_gap > 0.0f);
        QVERIFY(Count_Near(shot.copy(0, 0, shot.width(), 30 * shot.height() / game.height()),
                           QColor(255, 90, 80), 30) > 10);
        // Stars over the whole screen, at any pixel ratio: some of their grey in every quarter.
        QString stars;
        for (int quarter = 0; quarter < 4; ++quarter)
        {
            const QImage part = shot.copy((quarter % 2) * shot.width() / 2, (quarter / 2) * shot.height() / 2,
                                          shot.width() / 2, shot.height() / 2);
            int grey = 0;
            for (const QColor& layer : {QColor(100, 105, 115), QColor(66, 70, 76), QColor(44, 46, 51)})
                grey += Count_Near(part, layer, 3);
            stars += QString::number(grey) + " ";
        }
        qInfo("star pixels per quarter: %s", qPrintable(stars));
        QVERIFY2(!stars.split(' ').contains("0"), qPrintable(stars));

        // Another window in front: the race holds under its notice, pale green in a dark box.
        game.Set_Paused(false);
        QEvent away(QEvent::WindowDeactivate);
        QApplication::sendEvent(&game, &away);
        QVERIFY(game.Is_Paused());
        const QImage held = Screenshot(game);
        if (game.size() == QSize(800, 480))
            Save(held, "race-paused.png");
        QVERIFY(Count_Near(held.copy(0, held.height() / 3, held.width(), 40), QColor(160, 250, 190), 40) >
                30);
        slower.Release();

        // On to the finish, held again: at each quarter of the course's length the gap to the ghost at that
        // place shows large in the upper middle, red behind and green ahead, with its sign.
        const QStringList first_lap = game.Finish()->Lines();
        game.Set_Paused(true);
        slower.Press();
        const Level& level = *game.Course();
        float length = 0.0f;
        for (size_t k = 0; k + 1 < level.m_points.size(); ++k)
            length += level.m_lengths[k];
        const Split_Notice& notice = *game.Splits_Notice();
        const QRect middle(shot.width() / 4, shot.height() / 5 - 10, shot.width() / 2, shot.height() / 6);
        int crossed = 0;
        slower.Drive_Lap(90 * 60,
                         [&]
                         {
                             const Race& race = game.Current_Race();
                             const float progress = float(race.m_closest_segment) + race.m_segment_fraction;
                             if (crossed == 3 || progress < game.Splits().Line(crossed))
                                 return;
                             const int sector = crossed++;
                             const int piece = race.m_closest_segment;
                             float along = race.m_segment_fraction * level.m_lengths[size_t(piece)];
                             for (int k = 0; k < piece; ++k)
                                 along += level.m_lengths[size_t(k)];
                             QVERIFY2(qAbs(along - length * (sector + 1) / 4) < 20.0f,
                                      qPrintable(QString("%1 of %2").arg(along).arg(length)));
                             const float gap = race.m_ghost_gap.Gap_At(progress, race.m_clock.m_elapsed);
                             QVERIFY(notice.Is_Visible() && notice.m_sector == sector);
                             QCOMPARE(notice.Text(), Ghost_Gap::Text(gap));
                             QVERIFY(notice.Text().startsWith(gap > 0.0f ? '+' : '-'));
                             const QImage split = Screenshot(game);
                             if (sector == 0 && game.size() == QSize(800, 480))
                                 Save(split, "race-split.png");
                             const QColor side = gap > 0.0f ? QColor(255, 90, 80) : QColor(90, 240, 110);
                             const int lit = Count_Near(split.copy(middle), side, 30);
                             QVERIFY2(lit > 150, qPrintable(QString::number(lit)));
                         });
        QCOMPARE(crossed, 3);
        // The fourth at the finish, against the ghost's lap; the panel's sectors add up to the lap time.
        const float lap = game.Current_Race().m_clock.m_elapsed;
        QVERIFY(notice.Is_Visible() && notice.m_sector == 3);
        QCOMPARE(notice.Text(), Ghost_Gap::Text(lap - game.Current_Race().m_clock.m_best));
        const QStringList lines = game.Finish()->Lines();
        const QList<int> sectors = Hundredths_In(lines, "Sectors");
        QCOMPARE(sectors.size(), 4);
        QCOMPARE(sectors[0] + sectors[1] + sectors[2] + sectors[3], Hundredths_In(lines, "Lap").value(0));
        QCOMPARE(Hundredths_In(lines, "Lap").value(0), int(lap * 100.0f));
        // The best of each sector over both laps, kept with the preferences, and the ideal lap they make.
        const QList<int> before = Hundredths_In(first_lap, "Sectors");
        QCOMPARE(before.size(), 4);
        const QList<int> best = Hundredths_In(lines, "Best") + Hundredths_In(lines, "Ideal lap");
        QCOMPARE(best.size(), 5);
        QStringList kept;
        for (int i = 0; i < 4; ++i)
        {
            QCOMPARE(best[i], std::min(before[i], sectors[i]));
            kept << QString::number(best[i]);
        }
        QCOMPARE(best[4], best[0] + best[1] + best[2] + best[3]);
        QCOMPARE(QSettings(m_settings.Path() + "/Norvikk/Tavrelo-preferences.ini", QSettings::IniFormat)
                     .value("sectors/best/1")
                     .toString(),
                 kept.join(' '));
    }

    void a_drawn_lap_and_a_slower_one_lie_on_the_drawn_road()
    {
        // A folder of its own: no best lap of the other cases to beat.
        Temporary_Settings settings;
        QVERIFY(settings.Is_Valid());
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(&game));
        // The slower lap first: it is the best until the faster one comes.
        game.Start_Button()->m_was_pressed = true;
        game.Advance_Frame();
        Pursuit_Driver(game, 50.0f).Drive_Lap(90 * 60);
        const float slower = game.Current_Race().m_clock.m_best;
        QVERIFY(slower > 0.0f);
        const QString rival = settings.Path() + "/slower lap.json";
        const Tool_Run exported = Run_Records_Tool({"export", "primus", rival});
        QVERIFY2(exported.exit_code == 0, qPrintable(exported.errors));
        game.Start_Button()->m_was_pressed = true;
        game.Advance_Frame();
        Pursuit_Driver(game).Drive_Lap(90 * 60);
        const float best = game.Current_Race().m_clock.m_best;
        QVERIFY2(best > 0.0f && best < slower, qPrintable(QString("%1 then %2").arg(slower).arg(best)));

        const Tool_Run list = Run_Records_Tool({"list"});
        QCOMPARE(list.exit_code, 0);
        QVERIFY2(list.output.contains(QRegularExpression("\\nPrimus +" + Race_Clock::Format_Time(best) +
                                                         " .* ok, verified\\n")),
                 qPrintable(list.output));
        qInfo().noquote() << list.output;

        const QString out = settings.Path() + "/render.png";
        const Tool_Run run = Run_Records_Tool({"render", "1", out, "--vs", rival, "--size", "800x600"});
        QVERIFY2(run.exit_code == 0, qPrintable(run.errors));
        const QImage picture = QImage(out).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.size(), QSize(800, 600));
        if (game.width() >= game.height())
            Save(picture, "records-render.png");

        // The game's road: its kerbs and its dark band.
        QVERIFY(Count_Near(picture, QColor(150, 170, 40), 24) > 200);
        QVERIFY(Count_Near(picture, QColor(100, 92, 56), 6) > 5000);
        // Both laps and the band of who leads, on the road or beside it: within a few pixels of its dark
        // band.
        const QImage course = picture.copy(0, 52, 800, 600 - 52 - 46); // between the title and the legend
        const auto on_road = [&course](int x, int y)
        {
            for (int dy = -9; dy <= 9; ++dy)
                for (int dx = -9; dx <= 9; ++dx)
                {
                    const QPoint p(x + dx, y + dy);
                    if (course.rect().contains(p) && qAbs(course.pixelColor(p).red() - 100) <= 8 &&
                        qAbs(course.pixelColor(p).green() - 92) <= 8 &&
                        qAbs(course.pixelColor(p).blue() - 56) <= 8)
                        return true;
                }
            return false;
        };
        int speed_pixels = 0;
        int speed_on_road = 0;
        int rival_pixels = 0;
        for (int y = 0; y < course.height(); ++y)
            for (int x = 0; x < course.width(); ++x)
            {
                const QColor c = course.pixelColor(x, y);
                bool speed = false;
                for (int f = 0; f <= 20 && !speed; ++f)
                {
                    const QColor g = Record_Picture::Speed_Colour(f / 20.0f);
                    speed =
                        qAbs(c.red() - g.red()) + qAbs(c.green() - g.green()) + qAbs(c.blue() - g.blue()) <
                        24;
                }
                if (speed)
                {
                    ++speed_pixels;
                    speed_on_road += on_road(x, y) ? 1 : 0;
                }
                const QColor r = Record_Picture::Rival_Colour;
                if (qAbs(c.red() - r.red()) + qAbs(c.green() - r.green()) + qAbs(c.blue() - r.blue()) < 24)
                    ++rival_pixels;
            }
        QVERIFY2(speed_pixels > 2000, qPrintable(QString::number(speed_pixels)));
        QVERIFY2(speed_on_road > speed_pixels * 0.9,
                 qPrintable(QString("%1 of %2").arg(speed_on_road).arg(speed_pixels)));
        QVERIFY2(rival_pixels > 500, qPrintable(QString::number(rival_pixels)));
        Isolate_Settings(m_settings.Path());
    }
};

QTEST_MAIN(Test_Window_Screenshots)
#include "tst_window_screenshots.moc"
