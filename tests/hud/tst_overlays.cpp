// Fade plane, race hint, finish panel and name entry: how dark the screen is, where the hint sits, what a
// lap's result shows, what a name may become.
#include "Fade_Plane.h"
#include "Finish_Panel.h"
#include "Ingame_Instructions.h"
#include "Name_Entry.h"
#include "Player_Name.h"
#include "Race_Clock.h"
#include "Test_Support.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <limits>

namespace
{
QVector<Painter_Call> Draw_Element(Scene_UI_Element& element, int w, int h)
{
    Recording_Device device(w, h);
    QPainter painter(&device);
    element.Draw(&painter);
    painter.end();
    return device.Calls();
}

// The colour of the plane's fills, if they tile the whole w x h screen in
// rows from top to bottom (each row blended once) without a pen; else none.
QColor Plane_Colour(const QVector<Painter_Call>& calls, int w, int h)
{
    qreal y = 0.0;
    for (const Painter_Call& call : calls)
    {
        if (call.kind != Painter_Call::Rects || call.rects.size() != 1 || call.pen.style() != Qt::NoPen ||
            call.brush.color() != calls[0].brush.color() ||
            call.rects[0] != QRectF(0, y, w, call.rects[0].height()))
            return QColor();
        y += call.rects[0].height();
    }
    return y == h ? calls[0].brush.color() : QColor();
}
} // namespace

class tst_Overlays : public QObject
{
    Q_OBJECT

private slots:
    void fade_plane_starts_at_full_strength();
    void fade_alpha_follows_opacity_data();
    void fade_alpha_follows_opacity();
    void fade_plane_darkens_pixels();
    void hint_baseline_data();
    void hint_baseline();
    void the_hint_fits_every_screen_data();
    void the_hint_fits_every_screen();
    void the_finish_panel_shows_the_result_data();
    void the_finish_panel_shows_the_result();
    void the_name_entry_lets_in_what_the_rule_takes_data();
    void the_name_entry_lets_in_what_the_rule_takes();
};

void tst_Overlays::fade_plane_starts_at_full_strength()
{
    Fade_Plane plane;
    QCOMPARE(plane.Get_Visible_Alpha(), 1.0f);
    QVERIFY(plane.Is_Visible());

    QCOMPARE(Plane_Colour(Draw_Element(plane, 800, 480), 800, 480), QColor(0, 0, 0, 178));
}

void tst_Overlays::fade_alpha_follows_opacity_data()
{
    QTest::addColumn<float>("opacity");
    QTest::addColumn<int>("alpha");

    QTest::newRow("full") << 1.0f << 178;
    QTest::newRow("half") << 0.5f << 89;
    QTest::newRow("faintest still drawn") << 0.021f << 3;
    QTest::newRow("none") << 0.0f << 0;
    // The base stores any opacity; the fill must stay a valid colour.
    QTest::newRow("above one") << 2.0f << 178;
    QTest::newRow("below zero") << -1.0f << 0;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 0;
}

void tst_Overlays::fade_alpha_follows_opacity()
{
    QFETCH(float, opacity);
    QFETCH(int, alpha);

    Fade_Plane plane;
    plane.Set_Visible_Alpha(opacity);
    const QColor colour = Plane_Colour(Draw_Element(plane, 641, 361), 641, 361);
    QVERIFY(colour.isValid());
    QCOMPARE(colour.alpha(), alpha);
    QCOMPARE(colour.rgb(), QColor(0, 0, 0).rgb());
}

void tst_Overlays::fade_plane_darkens_pixels()
{
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(QColor(255, 255, 255));
    Fade_Plane plane;
    QPainter painter(&image);
    plane.Draw(&painter);
    painter.end();

    // 178 of 255 black over white leaves about 77 in every channel, everywhere.
    for (const QPoint& p : {QPoint(0, 0), QPoint(39, 29), QPoint(20, 15)})
    {
        const QColor c = image.pixelColor(p);
        QVERIFY2(qAbs(c.red() - 77) <= 1 && c.red() == c.green() && c.green() == c.blue(),
                 qPrintable(c.name()));
    }
}

void tst_Overlays::hint_baseline_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("y");
    QTest::newRow("480") << 480 << 345;
    QTest::newRow("479 truncates") << 479 << 344;
}

void tst_Overlays::hint_baseline()
{
    QFETCH(int, height);
    QFETCH(int, y);

    Ingame_Instructions hint;
    QCOMPARE(hint.Get_Visible_Alpha(), 0.0f);
    hint.Set_Visible_Alpha(1.0f);
    const QVector<Painter_Call> calls = Draw_Element(hint, 800, height);

    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].point, QPointF(32, y + 2));
    QCOMPARE(calls[0].pen.color(), QColor(0, 0, 0, 255));
    QCOMPARE(calls[1].point, QPointF(30, y));
    QCOMPARE(calls[1].pen.color(), QColor(160, 250, 190, 255));
    QCOMPARE(calls[1].text, QStringLiteral("Press and hold on the screen to race to the finish."));
}

void tst_Overlays::the_hint_fits_every_screen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("device"); // the hint for the device used last
    QTest::newRow("320x240") << QSize(320, 240) << int(Ingame_Instructions::Touch);
    QTest::newRow("240x320") << QSize(240, 320) << int(Ingame_Instructions::Touch);
    QTest::newRow("240x320, keys") << QSize(240, 320) << int(Ingame_Instructions::Keys);
    QTest::newRow("320x240, pad") << QSize(320, 240) << int(Ingame_Instructions::Pad);
}

void tst_Overlays::the_hint_fits_every_screen()
{
    QFETCH(QSize, screen);
    QFETCH(int, device);
    // The light of the hint's letters, summed: on a screen wide enough for any
    // line, and on the screen of the row, where none of it may be cut off.
    qint64 light[2] = {0, 0};
    for (const QSize& size : {QSize(4000, screen.height()), screen})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::black);
        Ingame_Instructions hint;
        hint.Set_Visible_Alpha(1.0f);
        hint.m_device = device;
        QPainter painter(&image);
        hint.Draw(&painter);
        painter.end();
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                light[size == screen] += qGreen(image.pixel(x, y));
    }
    QVERIFY2(light[0] > 0 && std::abs(light[1] - light[0]) < light[0] / 50,
             qPrintable(QString("%1 of %2").arg(light[1]).arg(light[0])));
}

void tst_Overlays::the_finish_panel_shows_the_result_data()
{
    QTest::addColumn<float>("time");
    QTest::addColumn<float>("previous");
    QTest::addColumn<bool>("new_best");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("lines"); // the title, the gap and the record's fate
    QTest::addColumn<QColor>("gap_colour");
    QTest::newRow("new best") << 61.25f << 62.5f << true << QString()
                              << QStringList{"New best", "-1.25 on the best before, 01:02:50", "Record saved"}
                              << Finish_Panel::Ahead_Colour;
    QTest::newRow("first lap") << 75.0f << 0.0f << true << QString()
                               << QStringList{"New best", "First lap", "Record saved"} << QColor();
    QTest::newRow("new best not written")
        << 61.25f << 62.5f << true << QStringLiteral("the folder is read-only")
        << QStringList{"New best", "-1.25 on the best before, 01:02:50", "Not saved: the folder is read-only"}
        << Finish_Panel::Ahead_Colour;
    QTest::newRow("not a new best") << 63.5f << 62.5f << false << QString()
                                    << QStringList{"Finished", "+1.00 on the best before, 01:02:50",
                                                   "Not saved: the best stays 01:02:50"}
                                    << Finish_Panel::Behind_Colour;
}

void tst_Overlays::the_finish_panel_shows_the_result()
{
    QFETCH(float, time);
    QFETCH(float, previous);
    QFETCH(bool, new_best);
    QFETCH(QString, error);
    QFETCH(QStringList, lines);
    QFETCH(QColor, gap_colour);
    Finish_Panel panel;
    QVERIFY(!panel.Is_Visible());
    panel.Show(time, previous, new_best, error);
    QVERIFY(panel.Is_Visible());
    const QStringList shown = panel.Lines();
    QCOMPARE(shown.size(), 5);
    QCOMPARE(shown[0], lines[0]);
    QCOMPARE(shown[1], "Lap " + Race_Clock::Format_Time(time));
    QCOMPARE(shown[2], lines[1]);
    QCOMPARE(shown[3], lines[2]);
    QVERIFY(shown[4].startsWith("R: race again"));

    // By pixels: the gold of a new best only for one, and the gap's green or red where there is a gap.
    QImage image(800, 480, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    panel.Draw(&painter);
    painter.end();
    // Pixels of the colour or of a darker shade of it, as a letter's edges over the black box are.
    const auto count = [&image](const QColor& colour)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
            {
                const QColor p = image.pixelColor(x, y);
                const double k = double(p.red() + p.green() + p.blue()) /
                                 double(colour.red() + colour.green() + colour.blue());
                n += k > 0.6 && qAbs(p.red() - k * colour.red()) < 12 &&
                             qAbs(p.green() - k * colour.green()) < 12 &&
                             qAbs(p.blue() - k * colour.blue()) < 12
                         ? 1
                         : 0;
            }
        return n;
    };
    const int gold = count(Finish_Panel::New_Best_Colour);
    QVERIFY2(new_best ? gold > 20 : gold == 0, qPrintable(QString::number(gold)));
    for (const QColor& colour : {Finish_Panel::Ahead_Colour, Finish_Panel::Behind_Colour})
    {
        const int n = count(colour);
        QVERIFY2(colour == gap_colour ? n > 20 : n == 0,
                 qPrintable(colour.name() + " " + QString::number(n)));
    }
    // Any touch sends it away, once.
    QVERIFY(panel.Mouse_Down(QPoint(5, 5)));
    panel.Mouse_Up(QPoint(5, 5));
    QVERIFY(panel.Poll_Dismissed());
    QVERIFY(!panel.Poll_Dismissed());
}

QTEST_MAIN(tst_Overlays)
#include "tst_overlays.moc"

void tst_Overlays::the_name_entry_lets_in_what_the_rule_takes_data()
{
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QStringList>("typed"); // each a key's text; "\b" is Backspace, "\n" Enter
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem"); // shown on screen: the rule's own reason, or nothing
    QTest::addColumn<bool>("open");
    const QString a24(Player_Name::Max_Length, QLatin1Char('a'));
    const QString a23 = a24.left(23);
    QTest::newRow("typed and kept") << "" << QStringList{"Z", "o", "\u00EB", "\n"} << "Zo\u00EB"
                                    << "" << false;
    QTest::newRow("an accent after its letter") << "" << QStringList{"e", "\u0308"} << "\u00EB"
                                                << "" << true;
    QTest::newRow("a space, then a letter") << "" << QStringList{" ", "A"} << " A"
                                            << "" << true;
    QTest::newRow("empty refused") << "Bo" << QStringList{"\b", "\b", "\n"} << "" << Player_Name::Problem("")
                                   << true;
    QTest::newRow("blank refused") << "" << QStringList{" ", "\n"} << " " << Player_Name::Problem(" ")
                                   << true;
    QTest::newRow("the last letter that fits") << a23 << QStringList{"b"} << a23 + "b"
                                               << "" << true;
    QTest::newRow("one too many") << a24 << QStringList{"b"} << a24 << Player_Name::Problem(a24 + "b")
                                  << true;
    QTest::newRow("an invisible character")
        << "Bo" << QStringList{"\u200B"} << "Bo" << Player_Name::Problem("Bo\u200B") << true;
    QTest::newRow("a tab types nothing") << "Bo" << QStringList{"\t"} << "Bo"
                                         << "" << true;
    QTest::newRow("beyond the first plane, deleted whole") << "A\U0001F600" << QStringList{"\b"} << "A"
                                                           << "" << true;
    QTest::newRow("a refusal forgotten at the next key")
        << a24 << QStringList{"b", "\b"} << a23 << "" << true;
}

void tst_Overlays::the_name_entry_lets_in_what_the_rule_takes()
{
    QFETCH(QString, kept);
    QFETCH(QStringList, typed);
    QFETCH(QString, name);
    QFETCH(QString, problem);
    QFETCH(bool, open);
    Name_Entry entry;
    entry.Open(kept);
    for (const QString& text : typed)
        QVERIFY(entry.Key(text == "\b" ? Qt::Key_Backspace : text == "\n" ? Qt::Key_Return : 0, text));
    QCOMPARE(entry.m_name, name);
    QCOMPARE(entry.m_problem, problem);
    QCOMPARE(entry.Is_Open(), open);
    QCOMPARE(entry.Poll_Outcome(), open ? Name_Entry::Editing : Name_Entry::Chosen);
}
