// Buttons: layout from the anchor, painting, and the press rules.
#include "Test_Support.h"
#include "UI_Button.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QtTest>

namespace
{
// Lays the button out (first Draw) on a screen of the given size and returns what it painted.
QVector<Painter_Call> Draw_Button(UI_Button& button, int w = 800, int h = 480)
{
    Recording_Device device(w, h);
    QPainter painter(&device);
    button.Draw(&painter);
    painter.end();
    return device.Calls();
}

float Caption_Width(const QString& text)
{
    return static_cast<float>(QFontMetricsF(QApplication::font()).horizontalAdvance(text));
}
float Caption_Height()
{
    return static_cast<float>(QFontMetricsF(QApplication::font()).height());
}
float Caption_Ascent()
{
    return static_cast<float>(QFontMetricsF(QApplication::font()).ascent());
}

class Counting_Button : public UI_Button
{
public:
    Counting_Button() : UI_Button(QStringLiteral("Start a new game"), QPointF(400, 240), 10) {}
    void Button_Pressed() override
    {
        ++m_hook_calls;
        m_flag_set_at_hook = m_flag_set_at_hook && m_was_pressed;
    }
    int m_hook_calls = 0;
    bool m_flag_set_at_hook = true;
};
} // namespace

class tst_UI_Button : public QObject
{
    Q_OBJECT

private slots:
    void anchor_bits_place_the_box_data();
    void anchor_bits_place_the_box();
    void start_button_is_centred_on_the_screen();
    void quit_box_ends_at_the_screen_bottom_data();
    void quit_box_ends_at_the_screen_bottom();
    void layout_is_kept_after_the_first_draw();
    void paints_fill_frame_and_truncated_text();
    void held_button_is_filled_red_and_fades_with_opacity();

    void down_and_up_inside_give_one_press();
    void release_outside_gives_no_press();
    void sliding_out_and_back_in_still_counts();
    void edges_count_as_inside();
    void never_drawn_button_ignores_touches();
    void set_visible_drops_a_pending_press_data();
    void set_visible_drops_a_pending_press();
    void several_presses_before_a_poll_read_as_one();
    void hook_runs_once_per_press_after_the_flag_is_set();
};

void tst_UI_Button::anchor_bits_place_the_box_data()
{
    QTest::addColumn<int>("flags");
    // Fractions of the caption's width and height that lie left of / above the anchor.
    QTest::addColumn<float>("left_share");
    QTest::addColumn<float>("top_share");

    QTest::newRow("none: left end, top") << 0 << 0.0f << 0.0f;
    QTest::newRow("centre x") << 2 << 0.5f << 0.0f;
    QTest::newRow("right") << 4 << 1.0f << 0.0f;
    QTest::newRow("centre x wins over right") << (2 | 4) << 0.5f << 0.0f;
    QTest::newRow("centre y") << 8 << 0.0f << 0.5f;
    QTest::newRow("bottom") << 16 << 0.0f << 1.0f;
    QTest::newRow("centre y wins over bottom") << (8 | 16) << 0.0f << 0.5f;
    QTest::newRow("right and centre y (>>>)") << (4 | 8) << 1.0f << 0.5f;
    QTest::newRow("other bits ignored") << (1 | 32 | 64) << 0.0f << 0.0f;
}

void tst_UI_Button::anchor_bits_place_the_box()
{
    QFETCH(int, flags);
    QFETCH(float, left_share);
    QFETCH(float, top_share);

    const QString text = QStringLiteral(">>>");
    UI_Button button(text, QPointF(300, 200), flags);
    Draw_Button(button);

    const float w = Caption_Width(text);
    const float h = Caption_Height();
    const float x = 300.0f - w * left_share;
    const float y = 200.0f - h * top_share;
    QCOMPARE(button.m_rect, QRectF(x - 3.0f, y - 3.0f, w + 6.0f, h + 6.0f));
    QCOMPARE(button.m_text_pos, QPointF(x, y + Caption_Ascent()));
    QVERIFY(!button.m_layout_dirty);
}

void tst_UI_Button::start_button_is_centred_on_the_screen()
{
    const QString text = QStringLiteral("Start a new game");
    UI_Button button(text, QPointF(800 / 2, 480 / 2),
                     UI_Button::Anchor_Center_X | UI_Button::Anchor_Center_Y);
    Draw_Button(button);

    QCOMPARE(button.m_rect.center(), QPointF(400, 240));
    QCOMPARE(button.m_rect.width(), double(Caption_Width(text) + 6.0f));
    QCOMPARE(button.m_rect.height(), double(Caption_Height() + 6.0f));
}

void tst_UI_Button::quit_box_ends_at_the_screen_bottom_data()
{
    QTest::addColumn<int>("screen_height");
    QTest::newRow("480") << 480;
    QTest::newRow("479") << 479;
}

void tst_UI_Button::quit_box_ends_at_the_screen_bottom()
{
    QFETCH(int, screen_height);
    UI_Button button(QStringLiteral("QUIT"), QPointF(3, screen_height - 3), UI_Button::Anchor_Bottom);
    Draw_Button(button, 800, screen_height);

    QCOMPARE(button.m_rect.bottom(), double(screen_height));
    QCOMPARE(button.m_rect.top(), double(screen_height - 6.0f - Caption_Height()));
    QCOMPARE(button.m_rect.left(), 0.0);
}

void tst_UI_Button::layout_is_kept_after_the_first_draw()
{
    UI_Button button(QStringLiteral("<<<"), QPointF(20, 240), UI_Button::Anchor_Center_Y);
    Draw_Button(button);
    const QRectF first = button.m_rect;

    button.m_anchor = QPointF(500, 100);
    button.m_text = QStringLiteral("a much longer caption");
    Draw_Button(button);
    QCOMPARE(button.m_rect, first);
}

void tst_UI_Button::paints_fill_frame_and_truncated_text()
{
    // An anchor off the pixel grid: the caption is drawn on whole pixels, the box is not.
    UI_Button button(QStringLiteral("QUIT"), QPointF(100.7, 50.2), 0);
    button.Set_Visible_Alpha(1.0f);
    const QVector<Painter_Call> calls = Draw_Button(button);

    QCOMPARE(calls.size(), 3);
    const Painter_Call& fill = calls[0];
    QCOMPARE(fill.kind, Painter_Call::Rects);
    QCOMPARE(fill.rects, QVector<QRectF>{button.m_rect});
    QCOMPARE(fill.pen.style(), Qt::NoPen);
    QCOMPARE(fill.brush.color(), QColor(55, 15, 10, 150));

    const Painter_Call& frame = calls[1];
    QCOMPARE(frame.kind, Painter_Call::Rects);
    QCOMPARE(frame.rects, QVector<QRectF>{button.m_rect});
    QCOMPARE(frame.brush.style(), Qt::NoBrush);
    QCOMPARE(frame.pen.widthF(), 2.0);
    QCOMPARE(frame.pen.capStyle(), Qt::RoundCap);
    QCOMPARE(frame.pen.color(), QColor(200, 255, 200, 255));

    const Painter_Call& text = calls[2];
    QCOMPARE(text.kind, Painter_Call::Text);
    QCOMPARE(text.text, QStringLiteral("QUIT"));
    QCOMPARE(text.pen.color(), QColor(200, 255, 200, 255));
    QCOMPARE(text.pen.capStyle(), QPen().capStyle());
    const float baseline = 50.2f + Caption_Ascent();
    QCOMPARE(text.point, QPointF(100, static_cast<int>(baseline)));
    QVERIFY(button.m_text_pos.x() != text.point.x());
}

void tst_UI_Button::held_button_is_filled_red_and_fades_with_opacity()
{
    UI_Button button(QStringLiteral("QUIT"), QPointF(3, 477), UI_Button::Anchor_Bottom);
    button.Set_Visible_Alpha(1.0f);
    Draw_Button(button);
    QVERIFY(button.Mouse_Down(button.m_rect.center().toPoint()));

    QCOMPARE(Draw_Button(button)[0].brush.color(), QColor(255, 60, 50, 190));

    button.Set_Visible_Alpha(0.5f);
    const QVector<Painter_Call> faded = Draw_Button(button);
    QCOMPARE(faded[0].brush.color().rgb(), QColor(255, 60, 50).rgb());
    QVERIFY(qAbs(faded[0].brush.color().alphaF() - 190.0 / 255.0 * 0.5) < 0.01);
    QVERIFY(qAbs(faded[1].pen.color().alphaF() - 0.5) < 0.01);
    QVERIFY(qAbs(faded[2].pen.color().alphaF() - 0.5) < 0.01);
}

void tst_UI_Button::down_and_up_inside_give_one_press()
{
    UI_Button button(QStringLiteral("Start a new game"), QPointF(400, 240), 10);
    Draw_Button(button);

    QVERIFY(button.Mouse_Down(QPoint(400, 240)));
    QVERIFY(button.m_held);
    button.Mouse_Up(QPoint(401, 241));
    QVERIFY(!button.m_held);
    QVERIFY(button.Poll_Was_Pressed());
    QVERIFY(!button.Poll_Was_Pressed());
}

void tst_UI_Button::release_outside_gives_no_press()
{
    UI_Button button(QStringLiteral("Start a new game"), QPointF(400, 240), 10);
    Draw_Button(button);

    QVERIFY(!button.Mouse_Down(QPoint(10, 10)));
    QVERIFY(!button.m_held);

    QVERIFY(button.Mouse_Down(QPoint(400, 240)));
    button.Mouse_Move(QPoint(400, 400));
    QVERIFY(!button.m_held);
    button.Set_Visible_Alpha(1.0f);
    QCOMPARE(Draw_Button(button)[0].brush.color(), QColor(55, 15, 10, 150));
    button.Mouse_Up(QPoint(400, 400));
    QVERIFY(!button.Poll_Was_Pressed());

    // The state change's release point lies outside every button.
    QVERIFY(button.Mouse_Down(QPoint(400, 240)));
    button.Mouse_Up(QPoint(-999, -999));
    QVERIFY(!button.Poll_Was_Pressed());
}

void tst_UI_Button::sliding_out_and_back_in_still_counts()
{
    UI_Button button(QStringLiteral("Start a new game"), QPointF(400, 240), 10);
    Draw_Button(button);

    QVERIFY(button.Mouse_Down(QPoint(400, 240)));
    button.Mouse_Move(QPoint(0, 0));
    QVERIFY(!button.m_held);
    button.Mouse_Move(QPoint(405, 242));
    QVERIFY(button.m_held);
    button.Mouse_Up(QPoint(405, 242));
    QVERIFY(button.Poll_Was_Pressed());
}

void tst_UI_Button::edges_count_as_inside()
{
    // Top-left anchored at whole pixels: the box's top-left corner is (7, 7).
    UI_Button button(QStringLiteral("<<<"), QPointF(10, 10), 0);
    Draw_Button(button);
    QCOMPARE(button.m_rect.topLeft(), QPointF(7, 7));

    QVERIFY(!button.Mouse_Down(QPoint(6, 7)));
    QVERIFY(!button.Mouse_Down(QPoint(7, 6)));
    QVERIFY(button.Mouse_Down(QPoint(7, 7)));
    button.Mouse_Up(QPoint(7, 12));
    QVERIFY(button.Poll_Was_Pressed());
}

void tst_UI_Button::never_drawn_button_ignores_touches()
{
    UI_Button button(QStringLiteral("Start a new game"), QPointF(400, 240), 10);
    QVERIFY(button.m_rect.isEmpty());
    QVERIFY(!button.Mouse_Down(QPoint(400, 240)));
    QVERIFY(!button.Mouse_Down(QPoint(0, 0)));
    button.Mouse_Up(QPoint(400, 240));
    button.Mouse_Up(QPoint(0, 0));
    QVERIFY(!button.Poll_Was_Pressed());
}

void tst_UI_Button::set_visible_drops_a_pending_press_data()
{
    QTest::addColumn<bool>("visible");
    QTest::newRow("hidden") << false;
    QTest::newRow("shown again") << true;
}

void tst_UI_Button::set_visible_drops_a_pending_press()
{
    QFETCH(bool, visible);
    UI_Button button(QStringLiteral("QUIT"), QPointF(3, 477), UI_Button::Anchor_Bottom);
    Draw_Button(button);

    QVERIFY(button.Mouse_Down(button.m_rect.center().toPoint()));
    button.Mouse_Up(button.m_rect.center().toPoint());
    button.Set_Visible(visible);
    QCOMPARE(button.Is_Visible(), visible);
    QVERIFY(!button.Poll_Was_Pressed());
}

void tst_UI_Button::several_presses_before_a_poll_read_as_one()
{
    UI_Button button(QStringLiteral(">>>"), QPointF(780, 240), 12);
    Draw_Button(button);
    const QPoint inside = button.m_rect.center().toPoint();
    for (int i = 0; i < 3; ++i)
    {
        QVERIFY(button.Mouse_Down(inside));
        button.Mouse_Up(inside);
    }
    QVERIFY(button.Poll_Was_Pressed());
    QVERIFY(!button.Poll_Was_Pressed());
}

void tst_UI_Button::hook_runs_once_per_press_after_the_flag_is_set()
{
    Counting_Button button;
    Draw_Button(button);
    QVERIFY(button.Mouse_Down(QPoint(400, 240)));
    button.Mouse_Up(QPoint(400, 240));
    QVERIFY(button.Mouse_Down(QPoint(400, 240)));
    button.Mouse_Up(QPoint(0, 0));
    QCOMPARE(button.m_hook_calls, 1);
    QVERIFY(button.m_flag_set_at_hook);
}

QTEST_MAIN(tst_UI_Button)
#include "tst_ui_button.moc"
