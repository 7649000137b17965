// The level geometry: the closed polyline and its directions, normals and lengths.
#include "Level.h"
#include "Track_List.h"

#include <QtTest>

#include <cmath>

namespace
{
bool Near(double a, double b, double tolerance)
{
    return std::fabs(a - b) <= tolerance;
}

QString Describe(const QPointF& p)
{
    return QString("(%1, %2)").arg(p.x(), 0, 'g', 9).arg(p.y(), 0, 'g', 9);
}

bool All_Finite(const Level& level)
{
    for (size_t k = 0; k < level.m_points.size(); ++k)
    {
        if (!std::isfinite(level.m_directions[k].x()) || !std::isfinite(level.m_directions[k].y()) ||
            !std::isfinite(level.m_normals[k].x()) || !std::isfinite(level.m_normals[k].y()) ||
            !std::isfinite(level.m_lengths[k]))
            return false;
    }
    return true;
}
} // namespace

class Test_Level : public QObject
{
    Q_OBJECT

private slots:
    void a_point_ahead_follows_the_centre_line_across_pieces()
    {
        Level level;
        level.Init(0);
        QCOMPARE(level.Point_Ahead(0, 0.0f, 0.0f), level.m_points[0]);
        // Half way along piece 0, then one unit into piece 1.
        const float half = 0.5f * level.m_lengths[0];
        const QPointF ahead = level.Point_Ahead(0, 0.5f, half + 1.0f);
        const QPointF expected = level.m_points[1] + level.m_directions[1];
        QVERIFY(qAbs(ahead.x() - expected.x()) < 1e-3 && qAbs(ahead.y() - expected.y()) < 1e-3);
        // Past the end it runs on along the last piece instead of wrapping.
        const QPointF beyond = level.Point_Ahead(203, 0.0f, 10000.0f);
        QVERIFY(QLineF(level.m_points[204], beyond).length() > 9000.0);
        QCOMPARE(Level().Point_Ahead(5, 0.5f, 10.0f), QPointF(0, 0));
    }

    void construction_leaves_course_zero_empty()
    {
        Level level;
        QCOMPARE(level.m_track_index, 0);
        QVERIFY(level.m_points.empty() && level.m_directions.empty());
        QVERIFY(level.m_normals.empty() && level.m_lengths.empty());
        level.Update(1.0f / 60.0f);
        QVERIFY(level.m_points.empty());
    }

    void init_builds_the_closed_course_data()
    {
        QTest::addColumn<int>("course");
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<double>("shortest");
        QTest::addColumn<double>("longest");
        QTest::addColumn<double>("total");
        QTest::newRow("Primus") << 0 << QPointF(2200, 1500) << 8.24 << 48.52 << 5563.82;
        QTest::newRow("Secundus") << 1 << QPointF(700, 1000) << 4.09 << 57.31 << 3741.13;
        QTest::newRow("Tertius") << 2 << QPointF(1000, 1000) << 3.03 << 53.07 << 3710.80;
    }
    void init_builds_the_closed_course()
    {
        QFETCH(int, course);
        QFETCH(QPointF, first);
        QFETCH(double, shortest);
        QFETCH(double, longest);
        QFETCH(double, total);
        Level level;
        level.Init(course);
        QCOMPARE(level.m_track_index, course);
        QCOMPARE(level.m_points.size(), size_t(205));
        QCOMPARE(level.m_directions.size(), size_t(205));
        QCOMPARE(level.m_normals.size(), size_t(205));
        QCOMPARE(level.m_lengths.size(), size_t(205));
        QCOMPARE(level.m_points[0], first);
        QCOMPARE(level.m_points[204], first);

        // Every point is a segment start scaled to world units, exactly in float.
        const Track_Segment* t = Get_Track_Info(course)->segments;
        for (int k = 0; k < 204; ++k)
        {
            const QPointF expected(t[k].x1 * 100.0f, t[k].y1 * 100.0f);
            if (level.m_points[k] != expected)
                QFAIL(qPrintable(QString("point %1 is %2").arg(k).arg(Describe(level.m_points[k]))));
        }

        double sum = 0.0, lo = 1e9, hi = 0.0;
        for (int k = 0; k < 205; ++k)
        {
            const QPointF d = level.m_directions[k];
            const QPointF n = level.m_normals[k];
            QVERIFY(Near(d.x() * d.x() + d.y() * d.y(), 1.0, 1e-6));
            QVERIFY(Near(n.x(), d.y(), 1e-6) && Near(n.y(), -d.x(), 1e-6));
            // The direction points at the next point, the length reaches it.
            const int next = k == 204 ? 1 : k + 1;
            const QPointF reached = level.m_points[k] + d * level.m_lengths[k];
            QVERIFY2(Near(reached.x(), level.m_points[next].x(), 1e-3) &&
                         Near(reached.y(), level.m_points[next].y(), 1e-3),
                     qPrintable(QString("piece %1 ends at %2").arg(k).arg(Describe(reached))));
            if (k < 204)
            {
                sum += level.m_lengths[k];
                lo = std::min(lo, double(level.m_lengths[k]));
                hi = std::max(hi, double(level.m_lengths[k]));
            }
        }
        QVERIFY2(Near(sum, total, 0.005), qPrintable(QString::number(sum, 'f', 4)));
        QVERIFY2(Near(lo, shortest, 0.005), qPrintable(QString::number(lo, 'f', 4)));
        QVERIFY2(Near(hi, longest, 0.005), qPrintable(QString::number(hi, 'f', 4)));

        // The closing copy of the start repeats the first piece exactly.
        QCOMPARE(level.m_directions[204], level.m_directions[0]);
        QCOMPARE(level.m_normals[204], level.m_normals[0]);
        QCOMPARE(level.m_lengths[204], level.m_lengths[0]);
    }

    void primus_first_piece_figures()
    {
        Level level;
        level.Init(0);
        QVERIFY2(Near(level.m_points[1].x(), 2216.399, 5e-4) && Near(level.m_points[1].y(), 1518.254, 5e-4),
                 qPrintable(Describe(level.m_points[1])));
        QVERIFY2(Near(level.m_directions[0].x(), 0.66830, 5e-6) &&
                     Near(level.m_directions[0].y(), 0.74389, 5e-6),
                 qPrintable(Describe(level.m_directions[0])));
        QVERIFY2(Near(level.m_normals[0].x(), 0.74389, 5e-6) && Near(level.m_normals[0].y(), -0.66830, 5e-6),
                 qPrintable(Describe(level.m_normals[0])));
        QVERIFY2(Near(level.m_lengths[0], 24.538, 5e-4),
                 qPrintable(QString::number(level.m_lengths[0], 'g', 9)));
    }

    void init_again_rebuilds_the_same_in_the_same_storage()
    {
        Level level;
        level.Init(0);
        const std::vector<QPointF> points = level.m_points;
        const std::vector<QPointF> directions = level.m_directions;
        const std::vector<QPointF> normals = level.m_normals;
        const std::vector<float> lengths = level.m_lengths;
        const QPointF* point_storage = level.m_points.data();
        const float* length_storage = level.m_lengths.data();

        level.Init(0);
        QVERIFY(level.m_points == points && level.m_directions == directions);
        QVERIFY(level.m_normals == normals && level.m_lengths == lengths);

        level.Init(2);
        QCOMPARE(level.m_track_index, 2);
        QCOMPARE(level.m_points[0], QPointF(1000, 1000));
        level.Init(0);
        QCOMPARE(level.m_track_index, 0);
        QVERIFY(level.m_points == points && level.m_directions == directions);
        QVERIFY(level.m_normals == normals && level.m_lengths == lengths);
        // A course of the same size needs no new memory.
        QCOMPARE(level.m_points.data(), point_storage);
        QCOMPARE(level.m_lengths.data(), length_storage);
    }

    void only_points_closer_than_a_thousandth_are_dropped()
    {
        // Two unchained segments: both ends of each are kept. The second
        // segment starts 0.0005 world units after the first one's end (dropped)
        // and its end lies 0.002 units further on (kept).
        const Track_Segment segments[3] = {
            {0.0f, 0.0f, 1.0f, 0.0f},
            {1.0f, 1.0f, 2.0f, 1.0f},
            {2.000005f, 1.0f, 2.00002f, 1.0f},
        };
        Level level;
        level.Build(segments, 3);
        QCOMPARE(level.m_points.size(), size_t(5));
        QCOMPARE(level.m_points[0], QPointF(0, 0));
        QCOMPARE(level.m_points[1], QPointF(100, 0));
        QCOMPARE(level.m_points[2], QPointF(100, 100));
        QCOMPARE(level.m_points[3], QPointF(200, 100));
        QCOMPARE(level.m_points[4], QPointF(2.00002f * 100.0f, 100));
        // The last point's piece runs to point 1, whatever the data.
        const QPointF reached = level.m_points[4] + level.m_directions[4] * level.m_lengths[4];
        QVERIFY2(Near(reached.x(), 100, 1e-4) && Near(reached.y(), 0, 1e-4), qPrintable(Describe(reached)));
        QCOMPARE(level.m_directions[1], QPointF(0, 1));
        QCOMPARE(level.m_normals[1], QPointF(1, 0));
        QVERIFY(All_Finite(level));

        level.Build(segments, 0);
        QVERIFY(level.m_points.empty() && level.m_lengths.empty());
        level.Build(segments, -1);
        QVERIFY(level.m_points.empty() && level.m_normals.empty());
    }

    void data_too_short_for_a_loop_gives_no_nan()
    {
        // Not in the catalogue, but a lone point or a single piece must not
        // read past the vectors or divide by zero.
        const Track_Segment dot[1] = {{3.0f, 4.0f, 3.0f, 4.0f}};
        Level level;
        level.Build(dot, 1);
        QCOMPARE(level.m_points.size(), size_t(1));
        QCOMPARE(level.m_lengths[0], 0.0f);
        QCOMPARE(level.m_directions[0], QPointF(0, 0));
        QVERIFY(All_Finite(level));

        const Track_Segment piece[1] = {{0.0f, 0.0f, 0.0f, 2.0f}};
        level.Build(piece, 1);
        QCOMPARE(level.m_points.size(), size_t(2));
        QCOMPARE(level.m_directions[0], QPointF(0, 1));
        QCOMPARE(level.m_normals[0], QPointF(1, 0));
        QCOMPARE(level.m_lengths[0], 200.0f);
        QCOMPARE(level.m_lengths[1], 0.0f);
        QVERIFY(All_Finite(level));
    }
};

QTEST_GUILESS_MAIN(Test_Level)

#include "tst_level.moc"
