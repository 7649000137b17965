// Main menu: where the title, the course caption and the board's lines are drawn.
#include "Board_Line.h"
#include "Main_Menu.h"
#include "Test_Support.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

namespace
{
struct Drawn_Menu
{
    QVector<Painter_Call> calls;
    int caption_width;
    int line_height;
};

Drawn_Menu Draw_Menu(Main_Menu& menu, int w, int h)
{
    Recording_Device device(w, h);
    QPainter painter(&device);
    Drawn_Menu drawn;
    drawn.caption_width = painter.fontMetrics().horizontalAdvance(menu.m_caption);
    drawn.line_height = painter.fontMetrics().height();
    menu.Draw(&painter);
    painter.end();
    drawn.calls = device.Calls();
    return drawn;
}
} // namespace

class tst_Main_Menu : public QObject
{
    Q_OBJECT

private slots:
    void title_and_caption_baselines_data();
    void title_and_caption_baselines();
    void caption_wider_than_screen_starts_left_of_it();
    void texts_fade_with_the_menu();
    void no_text_of_the_menu_overlaps_another_data();
    void no_text_of_the_menu_overlaps_another();
};

void tst_Main_Menu::title_and_caption_baselines_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("title_y");
    QTest::addColumn<double>("middle");

    QTest::newRow("800x480") << 800 << 480 << 96 << 240.0;
    QTest::newRow("height 479 truncates") << 800 << 479 << 95 << 239.5;
    QTest::newRow("1024x600") << 1024 << 600 << 120 << 300.0;
}

void tst_Main_Menu::title_and_caption_baselines()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, title_y);
    QFETCH(double, middle);

    Main_Menu menu;
    menu.Set_Visible_Alpha(1.0f);
    menu.m_caption = QStringLiteral("Track #1. Primus");
    const Drawn_Menu drawn = Draw_Menu(menu, width, height);

    QCOMPARE(drawn.calls.size(), 4);
    QCOMPARE(drawn.calls[0].point, QPointF(32, title_y + 2));
    QCOMPARE(drawn.calls[1].point, QPointF(30, title_y));
    QCOMPARE(drawn.calls[1].text, QStringLiteral("Tavrelo"));
    QCOMPARE(drawn.calls[1].pen.color(), QColor(160, 250, 190, 255));

    const int x = static_cast<int>((width - drawn.caption_width) * 0.5);
    const int y = static_cast<int>(middle - drawn.line_height);
    QCOMPARE(drawn.calls[3].point, QPointF(x, y));
    QCOMPARE(drawn.calls[2].point, QPointF(x + 2, y + 2));
    QCOMPARE(drawn.calls[3].text, menu.m_caption);
    QCOMPARE(drawn.calls[3].pen.color(), QColor(160, 250, 190, 255));
}

void tst_Main_Menu::caption_wider_than_screen_starts_left_of_it()
{
    Main_Menu menu;
    menu.Set_Visible_Alpha(1.0f);
    menu.m_caption = QStringLiteral("Track #1. A course whose name is far too long for a narrow screen");
    const Drawn_Menu drawn = Draw_Menu(menu, 100, 480);

    QVERIFY(drawn.caption_width > 100);
    const int x = static_cast<int>((100 - drawn.caption_width) * 0.5);
    QVERIFY(x < 0);
    QCOMPARE(drawn.calls[3].point.x(), double(x));
}

void tst_Main_Menu::texts_fade_with_the_menu()
{
    Main_Menu menu;
    menu.Set_Visible_Alpha(0.5f);
    menu.m_caption = QStringLiteral("Track #3. Tertius");
    const Drawn_Menu drawn = Draw_Menu(menu, 800, 480);

    for (const Painter_Call& call : drawn.calls)
        QVERIFY2(qAbs(call.pen.color().alphaF() - 0.5) < 0.01, qPrintable(call.text));
    QCOMPARE(drawn.calls[3].pen.color().rgb(), QColor(160, 250, 190).rgb());
}

void tst_Main_Menu::no_text_of_the_menu_overlaps_another_data()
{
    QTest::addColumn<QSize>("view"); // in the UI's pixels
    QTest::newRow("320x240") << QSize(320, 240);
    QTest::newRow("800x480") << QSize(800, 480);
    QTest::newRow("1920x1080") << QSize(853, 480);
    QTest::newRow("480x800") << QSize(480, 800);
}

void tst_Main_Menu::no_text_of_the_menu_overlaps_another()
{
    QFETCH(QSize, view);
    Main_Menu menu;
    menu.Set_Visible_Alpha(1.0f);
    menu.m_caption = QStringLiteral("Track #2. Secundus");
    menu.m_under_board = true;
    // A refusal's reason, wider than a small screen, and the board and name under it.
    Board_Line line(nullptr);
    line.Set_Visible_Alpha(1.0f);
    line.m_text = QStringLiteral("Board: Secundus refused: the name belongs to another player");
    line.m_name = QString::fromUtf8("Zoë");
    line.m_host = QStringLiteral("board.example.org");
    Recording_Device device(view.width(), view.height());
    QPainter painter(&device);
    const QFontMetrics metrics = painter.fontMetrics();
    line.Draw(&painter);
    menu.Draw(&painter);
    painter.end();
    QVector<QRect> boxes;
    for (const Painter_Call& call : device.Calls())
        if (call.kind == Painter_Call::Text && call.pen.color() != Qt::black) // a shadow lies under its text
            boxes.push_back(metrics.boundingRect(call.text).translated(call.point.toPoint()));
    QVERIFY(boxes.size() >= 4);
    for (int i = 0; i < boxes.size(); ++i)
    {
        QVERIFY(QRect(QPoint(0, 0), view).contains(boxes[i]));
        for (int j = i + 1; j < boxes.size(); ++j)
            QVERIFY2(!boxes[i].intersects(boxes[j]),
                     qPrintable(QString("text %1 over text %2").arg(j).arg(i)));
    }
}

QTEST_MAIN(tst_Main_Menu)
#include "tst_main_menu.moc"
