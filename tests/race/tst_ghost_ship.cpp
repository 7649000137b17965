// Ghost ship: drawn only with a stored run, as a translucent chevron at the replayed position and heading.
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Test_Support.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

namespace
{
bool Near(const QPointF& a, const QPointF& b)
{
    return std::fabs(a.x() - b.x()) < 1e-5 && std::fabs(a.y() - b.y()) < 1e-5;
}

QVector<Painter_Call> Draw_Recorded(Ghost_Ship& ghost, const QTransform& world = QTransform())
{
    Recording_Device device(200, 200);
    {
        QPainter painter(&device);
        painter.setTransform(world);
        ghost.Draw(&painter);
    }
    return device.Calls();
}
} // namespace

class Test_Ghost_Ship : public QObject
{
    Q_OBJECT

private slots:
    void starts_empty_and_update_changes_nothing()
    {
        Ghost_Ship ghost;
        QVERIFY(ghost.m_playback.isEmpty());
        QVERIFY(ghost.m_record.isEmpty());
        QCOMPARE(ghost.m_read_pos, 0);
        QCOMPARE(ghost.m_position, QPointF(0.0, 0.0));
        QCOMPARE(ghost.m_angle, 0.0f);
        QCOMPARE(ghost.m_record_position, QPointF(0.0, 0.0));
        ghost.Update(1.0f / 60.0f);
        QCOMPARE(ghost.m_position, QPointF(0.0, 0.0));
        QCOMPARE(ghost.m_read_pos, 0);
    }

    void draws_nothing_without_a_stored_run()
    {
        Ghost_Ship ghost;
        Ghost_Start(ghost, QString(), QPointF(40.0, 50.0), 1.0f, 1);
        QVERIFY(Draw_Recorded(ghost).isEmpty());
        // A stored run for other course data is dropped, so nothing is drawn either.
        Ghost_Start(ghost, "baaa", QPointF(40.0, 50.0), 1.0f, 1);
        QVERIFY(Draw_Recorded(ghost).isEmpty());
    }

    void draws_a_translucent_chevron_with_a_stored_run()
    {
        Ghost_Ship ghost;
        Ghost_Start(ghost, "baba", QPointF(40.0, 50.0), 0.0f, 1);
        const QVector<Painter_Call> calls = Draw_Recorded(ghost);
        QCOMPARE(calls.size(), 1);
        const Painter_Call& call = calls[0];
        QCOMPARE(call.kind, Painter_Call::Lines);
        QCOMPARE(call.pen.color(), QColor(130, 160, 255, 190));
        QCOMPARE(call.pen.widthF(), 1.0);
        QCOMPARE(call.pen.capStyle(), Qt::RoundCap);
        QCOMPARE(call.lines.size(), 2);
        QCOMPARE(call.lines[0], QLineF(-1, -1, 1, 0));
        QCOMPARE(call.lines[1], QLineF(-1, 1, 1, 0));
    }

    void chevron_points_along_the_replayed_heading_data()
    {
        QTest::addColumn<float>("angle");
        QTest::addColumn<QPointF>("tip");
        QTest::newRow("angle 0: along +x") << 0.0f << QPointF(2.0 * 41.0, 2.0 * 50.0);
        QTest::newRow("angle pi/2: along +y") << 1.5707964f << QPointF(2.0 * 40.0, 2.0 * 51.0);
        QTest::newRow("angle pi: along -x") << 3.1415927f << QPointF(2.0 * 39.0, 2.0 * 50.0);
    }

    void chevron_points_along_the_replayed_heading()
    {
        QFETCH(float, angle);
        QFETCH(QPointF, tip);
        Ghost_Ship ghost;
        Ghost_Start(ghost, "baba", QPointF(40.0, 50.0), angle, 1);
        const QTransform camera = QTransform::fromScale(2.0, 2.0);
        const QVector<Painter_Call> calls = Draw_Recorded(ghost, camera);
        QCOMPARE(calls.size(), 1);
        const QTransform& t = calls[0].transform;
        QVERIFY(Near(t.map(QPointF(0.0, 0.0)), QPointF(80.0, 100.0)));
        QVERIFY(Near(t.map(QPointF(1.0, 0.0)), tip));
    }

    void stays_drawn_where_the_replay_ran_out()
    {
        Ghost_Ship ghost;
        Ghost_Start(ghost, "baba" + QString("aibaampppd"), QPointF(10.0, 10.0), 0.0f, 1);
        Ghost_Play_Sample(ghost);
        Ghost_Play_Sample(ghost);
        QCOMPARE(ghost.m_read_pos, ghost.m_playback.size());
        const QVector<Painter_Call> calls = Draw_Recorded(ghost);
        QCOMPARE(calls.size(), 1);
        QVERIFY(Near(calls[0].transform.map(QPointF(0.0, 0.0)), QPointF(11.5, 9.75)));
    }

    void pixels_show_the_tip_below_the_centre_at_a_quarter_turn()
    {
        Ghost_Ship ghost;
        Ghost_Start(ghost, "baba", QPointF(10.0, 10.0), 1.5707964f, 1);
        QImage image(40, 40, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setTransform(QTransform::fromScale(2.0, 2.0));
            ghost.Draw(&painter);
        }
        // Tip at world (10, 11); nothing at (11, 10), where it would be at angle 0.
        QCOMPARE(image.pixelColor(20, 22), QColor(130, 160, 255, 190));
        QCOMPARE(qAlpha(image.pixel(22, 20)), 0);
    }
};

QTEST_MAIN(Test_Ghost_Ship)
#include "tst_ghost_ship.moc"
