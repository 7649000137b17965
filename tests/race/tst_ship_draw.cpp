// Ship drawing: the fading trail and the five-pass chevron, checked on recorded painter calls.
#include "Ship.h"
#include "Test_Support.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <limits>

namespace
{
constexpr int Chevron_Lines = 5; // one stroke of both arms per pass

QVector<Painter_Call> Draw_Recorded(Ship& ship, const QTransform& world = QTransform())
{
    Recording_Device device(200, 200);
    {
        QPainter painter(&device);
        painter.setTransform(world);
        ship.Draw(&painter);
    }
    return device.Calls();
}

Ship::Travelled_Point Point(double x, double y, float age)
{
    return Ship::Travelled_Point{QPointF(x, y), age};
}

bool Near(const QPointF& a, const QPointF& b)
{
    return std::fabs(a.x() - b.x()) < 1e-5 && std::fabs(a.y() - b.y()) < 1e-5;
}
} // namespace

class Test_Ship_Draw : public QObject
{
    Q_OBJECT

private slots:
    void short_or_resting_trails_draw_no_trail_line_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("spacing");
        QTest::newRow("empty") << 0 << 1.0;
        QTest::newRow("one point") << 1 << 1.0;
        QTest::newRow("at rest") << 30 << 0.0;
        QTest::newRow("creeping below the threshold") << 30 << 0.000005;
    }

    void short_or_resting_trails_draw_no_trail_line()
    {
        QFETCH(int, points);
        QFETCH(double, spacing);
        Ship ship;
        for (int i = 0; i < points; ++i)
            ship.m_travelled_points.push_back(Point(10.0 + static_cast<float>(i * spacing), 5.0, 0.0f));
        const QVector<Painter_Call> calls = Draw_Recorded(ship);
        QCOMPARE(calls.size(), Chevron_Lines);
    }

    void resting_ship_after_updates_draws_only_its_chevron()
    {
        Ship ship;
        ship.Place_At(QPointF(50.0, 60.0), QPointF(0.0, -1.0));
        for (int i = 0; i < 40; ++i)
            ship.Step(1.0f / 60.0f);
        QCOMPARE(Draw_Recorded(ship).size(), Chevron_Lines);
    }

    void trail_alpha_fades_with_the_newer_point_age_data()
    {
        QTest::addColumn<float>("age");
        QTest::addColumn<int>("alpha");
        QTest::newRow("newest") << 0.0f << 255;
        QTest::newRow("one frame") << 1.0f / 60.0f << 247;
        QTest::newRow("quarter second") << 0.25f << 128;
        QTest::newRow("oldest kept") << 29.0f / 60.0f << 9;
        QTest::newRow("half second") << 0.5f << 0;
        QTest::newRow("older still") << 0.7f << 0;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
    }

    void trail_alpha_fades_with_the_newer_point_age()
    {
        QFETCH(float, age);
        QFETCH(int, alpha);
        Ship ship;
        ship.m_travelled_points.push_back(Point(1.0, 2.0, 0.9f)); // the older point's age is not used
        ship.m_travelled_points.push_back(Point(3.5, 2.25, age));
        const QVector<Painter_Call> calls = Draw_Recorded(ship);
        QCOMPARE(calls.size(), 1 + Chevron_Lines);
        const Painter_Call& trail = calls[0];
        QCOMPARE(trail.kind, Painter_Call::Lines);
        QCOMPARE(trail.pen.color(), QColor(234, 48, 86, alpha));
        QCOMPARE(trail.pen.widthF(), 1.0);
        QCOMPARE(trail.lines.size(), 1);
        QCOMPARE(trail.lines[0], QLineF(1.0, 2.0, 3.5, 2.25));
        QVERIFY(trail.transform.isIdentity());
    }

    void trail_segments_go_oldest_to_newest_in_world_coordinates()
    {
        Ship ship;
        ship.m_travelled_points.push_back(Point(0.0, 0.0, 2.0f / 60.0f));
        ship.m_travelled_points.push_back(Point(2.0, 0.0, 1.0f / 60.0f));
        ship.m_travelled_points.push_back(Point(2.0, 0.0, 0.5f / 60.0f)); // no move: skipped
        ship.m_travelled_points.push_back(Point(4.0, 1.0, 0.0f));
        const QTransform camera = QTransform::fromScale(3.0, 3.0).translate(-1.0, 2.0);
        const QVector<Painter_Call> calls = Draw_Recorded(ship, camera);
        QCOMPARE(calls.size(), 2 + Chevron_Lines);
        QCOMPARE(calls[0].lines[0], QLineF(0.0, 0.0, 2.0, 0.0));
        QCOMPARE(calls[0].pen.color().alpha(), 247);
        QCOMPARE(calls[1].lines[0], QLineF(2.0, 0.0, 4.0, 1.0));
        QCOMPARE(calls[1].pen.color().alpha(), 255);
        QCOMPARE(calls[0].transform, camera);
    }

    void chevron_is_drawn_five_times_with_lighter_thinner_pens()
    {
        Ship ship;
        const QVector<Painter_Call> calls = Draw_Recorded(ship);
        QCOMPARE(calls.size(), Chevron_Lines);
        const QColor colours[5] = {QColor(0, 0, 0, 255), QColor(90, 250, 120, 255),
                                   QColor(137, 255, 159, 255), QColor(188, 255, 200, 255),
                                   QColor(239, 255, 242, 255)};
        const double widths[5] = {1.0, 0.8, 0.48, 0.288, 0.1728};
        for (int pass = 0; pass < 5; ++pass)
        {
            const Painter_Call& call = calls[pass];
            QCOMPARE(call.kind, Painter_Call::Lines);
            QCOMPARE(call.pen.color().rgba(), colours[pass].rgba());
            QVERIFY2(std::fabs(call.pen.widthF() - widths[pass]) < 1e-6,
                     qPrintable(QString::number(call.pen.widthF(), 'g', 9)));
            QCOMPARE(call.pen.capStyle(), Qt::RoundCap);
            QCOMPARE(call.lines, QVector<QLineF>({QLineF(-1, -1, 1, 0), QLineF(-1, 1, 1, 0)}));
        }
    }

    void chevron_sits_at_the_ship_and_points_along_its_heading()
    {
        Ship ship;
        ship.Place_At(QPointF(30.0, 40.0), QPointF(0.0, 1.0)); // heading +y, angle pi/2
        const QTransform camera = QTransform::fromScale(2.0, 2.0);
        const QVector<Painter_Call> calls = Draw_Recorded(ship, camera);
        QCOMPARE(calls.size(), Chevron_Lines);
        const QTransform& t = calls[0].transform;
        // Local origin at the ship's centre, local +x along the heading, both through the camera.
        QVERIFY(Near(t.map(QPointF(0.0, 0.0)), QPointF(60.0, 80.0)));
        QVERIFY(Near(t.map(QPointF(1.0, 0.0)), QPointF(60.0, 82.0)));
        QVERIFY(Near(t.map(QPointF(0.0, 1.0)), QPointF(58.0, 80.0)));
    }

    void chevron_points_along_world_x_at_angle_zero()
    {
        Ship ship;
        ship.Place_At(QPointF(10.0, 10.0), QPointF(1.0, 0.0));
        QImage image(40, 40, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setTransform(QTransform::fromScale(2.0, 2.0));
            ship.Draw(&painter);
        }
        // The tip (11, 10) is painted; the same distance behind the centre, between the arms, is not.
        QVERIFY(qAlpha(image.pixel(22, 20)) > 0);
        QCOMPARE(qAlpha(image.pixel(17, 20)), 0);
    }
};

QTEST_MAIN(Test_Ship_Draw)
#include "tst_ship_draw.moc"
