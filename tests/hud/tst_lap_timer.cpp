// Lap timer: counting in frame steps, the clock text for any float, and where it is drawn.
#include "Hud_Palette.h"
#include "Lap_Timer.h"
#include "Race_Clock.h"
#include "Test_Support.h"

#include <QPainter>
#include <QtTest>

#include <cfloat>
#include <cmath>
#include <limits>

namespace
{
const float Step = 1.0f / 60.0f;
}

class tst_Lap_Timer : public QObject
{
    Q_OBJECT

private slots:
    void format_time_data();
    void format_time();
    void text_shows_elapsed_and_best();
    void running_clock_adds_one_step_per_update();
    void stopped_clock_keeps_its_time();
    void draws_shadowed_line_at_top_left_data();
    void draws_shadowed_line_at_top_left();
};

void tst_Lap_Timer::format_time_data()
{
    QTest::addColumn<float>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0f << "00:00:00";
    QTest::newRow("hundredths truncated") << 83.456f << "01:23:45";
    QTest::newRow("just under a minute") << 59.999f << "00:59:99";
    QTest::newRow("minutes uncapped") << 6000.0f << "100:00:00";
    QTest::newRow("largest clock kept") << 2.1e7f << "350000:00:00";
    QTest::newRow("sliver below zero truncates to zero") << -0.001f << "00:00:00";

    // Nothing a float can hold may reach an out-of-range conversion: these
    // show as an unknown time.
    const QString unknown = QStringLiteral("--:--:--");
    QTest::newRow("negative") << -5.0f << unknown;
    QTest::newRow("one hundredth below zero") << -0.01f << unknown;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << unknown;
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << unknown;
    QTest::newRow("minus infinity") << -std::numeric_limits<float>::infinity() << unknown;
    QTest::newRow("1e30") << 1e30f << unknown;
    QTest::newRow("largest float") << FLT_MAX << unknown;
    QTest::newRow("hundredths reach 2^31") << 21474837.0f << unknown;
}

void tst_Lap_Timer::format_time()
{
    QFETCH(float, seconds);
    QFETCH(QString, text);
    QCOMPARE(Race_Clock::Format_Time(seconds), text);
}

void tst_Lap_Timer::text_shows_elapsed_and_best()
{
    Race_Clock clock;
    Lap_Timer timer(&clock);
    QCOMPARE(timer.Text(), QStringLiteral("00:00:00, best: 00:00:00"));
    clock.m_elapsed = 83.456f;
    clock.m_best = 59.999f;
    QCOMPARE(timer.Text(), QStringLiteral("01:23:45, best: 00:59:99"));
    clock.m_best = std::numeric_limits<float>::quiet_NaN();
    QCOMPARE(timer.Text(), QStringLiteral("01:23:45, best: --:--:--"));
}

void tst_Lap_Timer::running_clock_adds_one_step_per_update()
{
    Race_Clock clock;
    clock.m_running = true;
    for (int i = 0; i < 60; ++i)
        clock.Tick(Step);
    // Sixty float steps fall just short of a second.
    QVERIFY(clock.m_elapsed < 1.0f);
    QCOMPARE(clock.m_elapsed, 0.9999997f);
    QCOMPARE(Race_Clock::Format_Time(clock.m_elapsed), QStringLiteral("00:00:99"));

    clock.m_elapsed = 0.0f;
    for (int i = 0; i < 600; ++i)
        clock.Tick(Step);
    QCOMPARE(Race_Clock::Format_Time(clock.m_elapsed), QStringLiteral("00:10:00"));
}

void tst_Lap_Timer::stopped_clock_keeps_its_time()
{
    Race_Clock clock;
    Lap_Timer timer(&clock);
    clock.m_elapsed = 12.5f;
    for (int i = 0; i < 100; ++i)
    {
        clock.Tick(Step);
        timer.Update(Step);
    }
    QCOMPARE(clock.m_elapsed, 12.5f);
    // The opacity smoothing runs whether or not the clock does, and a fade out ends at nothing, not on a
    // subnormal float that every later step would work on.
    QVERIFY(timer.Get_Visible_Alpha() > 0.99f);
    timer.Set_Visible(false);
    for (int i = 0; i < 2000; ++i)
        timer.Update(Step);
    QCOMPARE(std::fpclassify(timer.Get_Visible_Alpha()), FP_ZERO);
}

void tst_Lap_Timer::draws_shadowed_line_at_top_left_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<float>("rival"); // another player's lap time to beat, 0 for none
    QTest::addColumn<QString>("drawn");
    QTest::addColumn<bool>("below"); // the time to beat on a line of its own under the clock's
    QTest::newRow("own ghost") << 800 << 0.0f << "01:23:45, best: 00:00:00" << false;
    QTest::newRow("a rival beside the best")
        << 800 << 58.125f << "01:23:45, best: 00:00:00, to beat: 00:58:12 Zoë" << false;
    QTest::newRow("a rival on a narrow screen")
        << 320 << 58.125f << "01:23:45, best: 00:00:00to beat: 00:58:12 Zoë" << true;
}

void tst_Lap_Timer::draws_shadowed_line_at_top_left()
{
    QFETCH(int, width);
    QFETCH(float, rival);
    QFETCH(QString, drawn);
    QFETCH(bool, below);
    Race_Clock clock;
    Lap_Timer timer(&clock);
    timer.Set_Visible_Alpha(1.0f);
    timer.m_rival_time = rival;
    timer.m_rival_name = QStringLiteral("Zoë");
    clock.m_elapsed = 83.456f;
    // The gap drawn after it, in a colour of its own, as when racing a ghost.
    clock.m_gap_known = rival > 0.0f;
    clock.m_gap = 1.25f;

    Recording_Device device(width, 480);
    QPainter painter(&device);
    timer.Draw(&painter);
    painter.end();

    // The line may come in pieces (the running time a character at a time):
    // the whole shadow first, 2 pixels down and right, then the whole line.
    QVector<Painter_Call> calls = device.Calls();
    // The gap, after the line whichever way it is laid out.
    QString gap;
    while (!calls.isEmpty() && calls.last().pen.color() == Hud_Palette::Behind())
        gap.prepend(calls.takeLast().text);
    QCOMPARE(gap, QString(rival > 0.0f ? "+1.25" : ""));
    calls.remove(calls.size() - gap.size(), gap.size()); // its shadow
    QVERIFY(calls.size() >= 2 && calls.size() % 2 == 0);
    QCOMPARE(calls.last().text.startsWith("to beat") && calls.last().point.y() > 30, below);
    QString shadow;
    QString line;
    for (int i = 0; i < calls.size(); ++i)
    {
        const bool is_shadow = i < calls.size() / 2;
        QCOMPARE(calls[i].pen.color(), is_shadow ? QColor(0, 0, 0, 255) : QColor(100, 230, 130, 255));
        (is_shadow ? shadow : line) += calls[i].text;
        if (is_shadow)
            QCOMPARE(calls[i].point, calls[i + calls.size() / 2].point + QPointF(2, 2));
    }
    QCOMPARE(calls[calls.size() / 2].point, QPointF(10, 20));
    QCOMPARE(line, drawn);
    QCOMPARE(shadow, line);
}

QTEST_MAIN(tst_Lap_Timer)
#include "tst_lap_timer.moc"
