// The road drawing: kerb marks, the two bands and the start line, their pens, culling and stacking.
#include "Level.h"
#include "Test_Support.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

namespace
{
bool Near(const QPointF& a, const QPointF& b, double tolerance = 1e-3)
{
    return std::fabs(a.x() - b.x()) <= tolerance && std::fabs(a.y() - b.y()) <= tolerance;
}

bool Near(const QLineF& a, const QLineF& b)
{
    return Near(a.p1(), b.p1()) && Near(a.p2(), b.p2());
}

bool Near_Color(const QColor& c, int r, int g, int b, int tolerance = 0)
{
    return std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance &&
           std::abs(c.blue() - b) <= tolerance && c.alpha() == 255;
}

QString Describe(const QColor& c)
{
    return QString("(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

QLineF Across(const Level& level, int k)
{
    const QPointF half = level.m_normals[k] * 17.5;
    return QLineF(level.m_points[k] - half, level.m_points[k] + half);
}

// Draws the level on a recording device under the given world transform.
QVector<Painter_Call> Record(Level& level, const QTransform& transform, int w, int h,
                             const QRect& viewport = QRect())
{
    Recording_Device device(w, h);
    QPainter painter(&device);
    if (!viewport.isNull())
    {
        painter.setViewport(viewport);
        painter.setWindow(QRect(QPoint(0, 0), viewport.size()));
    }
    painter.setWorldTransform(transform);
    level.Draw(&painter);
    painter.end();
    return device.Calls();
}

void Check_Pen(const Painter_Call& call, int r, int g, int b, double width, const char* what)
{
    QVERIFY2(call.kind == Painter_Call::Lines && call.lines.size() == 1, what);
    QVERIFY2(Near_Color(call.pen.color(), r, g, b),
             qPrintable(QString(what) + " " + Describe(call.pen.color())));
    QVERIFY2(call.pen.widthF() == width,
             qPrintable(QString(what) + " " + QString::number(call.pen.widthF())));
    QVERIFY2(call.pen.capStyle() == Qt::RoundCap && call.pen.style() == Qt::SolidLine, what);
}
} // namespace

class Test_Level_Draw : public QObject
{
    Q_OBJECT

private slots:
    void unculled_course_draws_every_mark_and_piece_data()
    {
        QTest::addColumn<int>("course");
        QTest::newRow("Primus") << 0;
        QTest::newRow("Secundus") << 1;
        QTest::newRow("Tertius") << 2;
    }
    void unculled_course_draws_every_mark_and_piece()
    {
        QFETCH(int, course);
        Level level;
        level.Init(course);
        const int n = int(level.m_points.size());
        // The whole course lies within 3000 units of the origin of a large device.
        const QVector<Painter_Call> calls = Record(level, QTransform(), 4000, 4000);
        QCOMPARE(calls.size(), n + 2 * (n - 1) + 1);

        for (int k = 0; k < n; ++k)
        {
            const Painter_Call& call = calls[k];
            Check_Pen(call, 150, 170, 40, 7.0, "kerb");
            QVERIFY2(Near(call.lines[0], Across(level, k)), qPrintable(QString("kerb %1").arg(k)));
        }
        const QColor inner = calls[n + n - 1].pen.color();
        QVERIFY2(Near_Color(inner, 100, 92, 56, 1), qPrintable(Describe(inner)));
        for (int band = 0; band < 2; ++band)
        {
            for (int k = 1; k < n; ++k)
            {
                const Painter_Call& call = calls[n + band * (n - 1) + k - 1];
                if (band == 0)
                    Check_Pen(call, 250, 230, 140, 35.0, "road");
                else
                    Check_Pen(call, inner.red(), inner.green(), inner.blue(), 31.5, "inner band");
                QCOMPARE(call.lines[0], QLineF(level.m_points[k - 1], level.m_points[k]));
            }
            // The last piece closes the loop at the start point.
            QCOMPARE(calls[n + band * (n - 1) + n - 2].lines[0].p2(), level.m_points[0]);
        }
        const Painter_Call& start = calls.last();
        Check_Pen(start, 230, 245, 210, 1.0, "start line");
        QVERIFY(Near(start.lines[0], Across(level, 0)));
        QVERIFY(Near(start.lines[0].center(), level.m_points[0]));
        QVERIFY(std::fabs(start.lines[0].length() - 35.0) < 1e-3);
    }

    void far_away_course_draws_only_the_start_line()
    {
        Level level;
        level.Init(0);
        QTransform far;
        far.translate(1e6, -1e6);
        const QVector<Painter_Call> calls = Record(level, far, 800, 480);
        QCOMPARE(calls.size(), 1);
        Check_Pen(calls[0], 230, 245, 210, 1.0, "start line");
        QVERIFY(Near(calls[0].lines[0], Across(level, 0)));
    }

    void kerbs_cull_by_viewport_and_bands_by_enlarged_device()
    {
        Level level;
        level.Init(0);
        QTransform camera;
        camera.translate(-2000, -1400);
        // Viewport 500 x 400 inside a 1000 x 800 device; window equal to the
        // viewport, so the world transform alone maps to device pixels.
        const QVector<Painter_Call> calls = Record(level, camera, 1000, 800, QRect(0, 0, 500, 400));

        const double kerb_reach = 500.0 * 500.0 + 400.0 * 400.0;
        const double band_reach = 1100.0 * 1100.0 + 900.0 * 900.0;
        const auto distance_squared = [&](int k)
        {
            const QPointF q = camera.map(level.m_points[k]);
            return q.x() * q.x() + q.y() * q.y();
        };
        // Past the coarse tests, a line whose stroke cannot reach the device
        // (1000 x 800) is skipped too: it would paint nothing.
        const auto reaches_device = [&](const QLineF& line, double width)
        {
            const QLineF mapped = camera.map(line);
            const QRectF box = QRectF(mapped.p1(), mapped.p2())
                                   .normalized()
                                   .adjusted(-width / 2 - 2, -width / 2 - 2, width / 2 + 2, width / 2 + 2);
            return box.intersects(QRectF(0, 0, 1000, 800));
        };
        QVector<QLineF> kerbs, road, inner;
        int skipped_off_device = 0;
        for (int k = 0; k < 205; ++k)
        {
            if (distance_squared(k) <= kerb_reach)
            {
                if (reaches_device(Across(level, k), 7.0))
                    kerbs.append(Across(level, k));
                else
                    ++skipped_off_device;
            }
            // Only the start of a piece decides the coarse test.
            if (k > 0 && distance_squared(k - 1) <= band_reach)
            {
                const QLineF piece(level.m_points[k - 1], level.m_points[k]);
                if (reaches_device(piece, 35.0))
                    road.append(piece);
                else
                    ++skipped_off_device;
                if (reaches_device(piece, 31.5))
                    inner.append(piece);
            }
        }
        // A test that culls something of each kind, but not everything.
        QVERIFY(kerbs.size() > 10 && kerbs.size() < 150);
        QVERIFY(road.size() > kerbs.size() && road.size() < 204);
        QVERIFY(skipped_off_device > 0);

        QCOMPARE(calls.size(), kerbs.size() + road.size() + inner.size() + 1);
        int i = 0;
        for (const QLineF& line : kerbs)
            QVERIFY(Near(calls[i++].lines[0], line));
        for (const QLineF& line : road)
            QCOMPARE(calls[i++].lines[0], line);
        for (const QLineF& line : inner)
            QCOMPARE(calls[i++].lines[0], line);
        QVERIFY(Near(calls[i].lines[0], Across(level, 0)));
    }

    void road_covers_kerbs_and_inner_band_leaves_light_edges()
    {
        Level level;
        level.Init(0);
        const int k = 10;
        const QPointF p = level.m_points[k];
        const QPointF n = level.m_normals[k];
        QImage image(600, 600, QImage::Format_RGB32);
        image.fill(Qt::black);
        QTransform camera;
        camera.translate(300.0 - p.x(), 300.0 - p.y());
        QPainter painter(&image);
        painter.setWorldTransform(camera);
        level.Draw(&painter);
        painter.end();

        const auto pixel = [&](double along_normal)
        {
            const QPointF q = camera.map(p + n * along_normal);
            return image.pixelColor(int(std::floor(q.x())), int(std::floor(q.y())));
        };
        const QColor centre = pixel(0.0);
        QVERIFY2(Near_Color(centre, 100, 92, 56, 1), qPrintable(Describe(centre)));
        const QColor edge = pixel(16.6);
        QVERIFY2(Near_Color(edge, 250, 230, 140), qPrintable(Describe(edge)));
        const QColor kerb = pixel(19.3);
        QVERIFY2(Near_Color(kerb, 150, 170, 40), qPrintable(Describe(kerb)));
        const QColor outside = pixel(23.0);
        QVERIFY2(Near_Color(outside, 0, 0, 0), qPrintable(Describe(outside)));
        const QColor other_edge = pixel(-16.6);
        QVERIFY2(Near_Color(other_edge, 250, 230, 140), qPrintable(Describe(other_edge)));
    }

    void empty_level_draws_nothing()
    {
        Level level;
        QCOMPARE(Record(level, QTransform(), 800, 480).size(), 0);
    }
};

QTEST_MAIN(Test_Level_Draw)

#include "tst_level_draw.moc"
