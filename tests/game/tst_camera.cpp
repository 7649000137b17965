// The camera: the shortest-way follow with its wrap, and where the ship lands on screen.
#include "Game.h"
#include "Portable_Math.h"

#include <QtTest>

#include <cmath>

namespace
{
// How many floats apart a result is from the exact value.
double Units_Off(float result, double exact)
{
    const float nearest = std::fabs(static_cast<float>(exact));
    const double unit = std::nextafter(nearest, INFINITY) - nearest;
    return std::fabs(result - exact) / unit;
}
} // namespace

class Test_Camera : public QObject
{
    Q_OBJECT

private slots:
    void the_camera_turns_a_tenth_of_the_short_way_data()
    {
        QTest::addColumn<float>("camera");
        QTest::addColumn<float>("heading");
        QTest::addColumn<float>("expected");
        QTest::newRow("across zero, wrapped") << 0.005f << 6.2f << 6.2793665f;
        QTest::newRow("already there") << 1.0f << 1.0f << 1.0f;
        QTest::newRow("negative heading") << 0.0f << -1.0f << 6.183185f;
        QTest::newRow("heading crosses zero upwards") << 6.2f << 0.1f << 6.2183185f;
        QTest::newRow("half a turn ahead") << 0.0f << 3.1415925f << 0.31415925f;
        QTest::newRow("half a turn behind") << 3.1415925f << 0.0f << 2.8274333f;
        QTest::newRow("not a number heading") << 1.0f << std::numeric_limits<float>::quiet_NaN() << 0.9f;
        QTest::newRow("infinite heading") << 1.0f << std::numeric_limits<float>::infinity() << 0.9f;
    }
    void the_camera_turns_a_tenth_of_the_short_way()
    {
        QFETCH(float, camera);
        QFETCH(float, heading);
        QFETCH(float, expected);
        const float angle = Game::Follow_Camera_Angle(camera, heading);
        QVERIFY2(qAbs(angle - expected) < 2e-6f, qPrintable(QString::number(angle, 'g', 9)));
        QVERIFY(angle >= 0.0f && angle < 6.283185f);
    }

    void the_ship_is_drawn_at_its_anchor_with_120_units_across_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QPointF>("anchor");
        QTest::addColumn<QPointF>("ahead");
        QTest::newRow("landscape 800x480") << 800 << 480 << QPointF(160, 240) << QPointF(200, 240);
        QTest::newRow("portrait 480x800") << 480 << 800 << QPointF(240, 640) << QPointF(240, 600);
    }
    void the_ship_is_drawn_at_its_anchor_with_120_units_across()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QPointF, anchor);
        QFETCH(QPointF, ahead);
        const QPointF ship(2200, 1500);
        const QTransform world_to_screen = Game::Screen_To_World(ship, 0.0f, width, height).inverted();
        const QPointF drawn = world_to_screen.map(ship);
        QVERIFY(qAbs(drawn.x() - anchor.x()) < 1e-3 && qAbs(drawn.y() - anchor.y()) < 1e-3);
        // Ten units along the heading (+x at camera angle 0) is 40 pixels away:
        // to the right on a wide view, upwards on a tall one.
        const QPointF forward = world_to_screen.map(ship + QPointF(10, 0));
        QVERIFY2(qAbs(forward.x() - ahead.x()) < 1e-3 && qAbs(forward.y() - ahead.y()) < 1e-3,
                 qPrintable(QString("%1,%2").arg(forward.x()).arg(forward.y())));
    }

    // The camera's turn and the craft's heading use the game's own
    // trigonometry: it must stay as close to the exact values as the C
    // library's float functions, in every quarter and at the turns' edges.
    void the_own_trigonometry_is_within_three_floats_of_exact_data()
    {
        QTest::addColumn<float>("from");
        QTest::addColumn<float>("to");
        QTest::newRow("a turn and a quarter either way") << -7.9f << 7.9f;
        QTest::newRow("near zero") << -1e-3f << 1e-3f;
        QTest::newRow("around a quarter turn") << 1.5706f << 1.571f;
        QTest::newRow("around half a turn") << 3.1414f << 3.1418f;
    }
    void the_own_trigonometry_is_within_three_floats_of_exact()
    {
        QFETCH(float, from);
        QFETCH(float, to);
        double worst = 0.0;
        for (int i = 0; i <= 20000; ++i)
        {
            const float angle = from + (to - from) * static_cast<float>(i) / 20000.0f;
            const float s = Portable_Math::Sin(angle);
            const float c = Portable_Math::Cos(angle);
            worst =
                std::max({worst, Units_Off(s, std::sin(double(angle))), Units_Off(c, std::cos(double(angle))),
                          Units_Off(Portable_Math::Atan2(s, c), std::atan2(double(s), double(c)))});
        }
        QVERIFY2(worst <= 3.0, qPrintable(QString::number(worst)));
        // Signs of zero and the ends of the range, as the C library gives them.
        QCOMPARE(std::signbit(Portable_Math::Atan2(-0.0f, 1.0f)), true);
        QCOMPARE(Portable_Math::Atan2(0.0f, -1.0f), 3.14159274f);
        QCOMPARE(Portable_Math::Atan2(-0.0f, -1.0f), -3.14159274f);
    }

    void a_view_of_no_size_still_gets_an_invertible_camera()
    {
        QVERIFY(Game::Screen_To_World(QPointF(1, 1), 0.5f, 0, 0).isInvertible());
        QVERIFY(Game::Screen_To_World(QPointF(1, 1), 0.5f, 1, 5000).isInvertible());
    }
};

QTEST_GUILESS_MAIN(Test_Camera)
#include "tst_camera.moc"
