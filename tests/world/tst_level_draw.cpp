// The road drawing: kerb marks, the two bands and the start line, their pens, culling and stacking.
#include "Level.h"
#include "Test_Support.h"
#include "Track_List.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <algorithm>
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
    void unculled_course_fills_kerbs_road_and_inner_band_then_draws_the_start_line_data()
    {
        QTest::addColumn<int>("course");
        QTest::newRow("Primus") << 0;
        QTest::newRow("Secundus") << 1;
        QTest::newRow("Tertius") << 2;
    }
    void unculled_course_fills_kerbs_road_and_inner_band_then_draws_the_start_line()
    {
        QFETCH(int, course);
        Level level;
        level.Init(course);
        // The whole course lies within 3000 units of the origin of a large device.
        const QVector<Painter_Call> calls = Record(level, QTransform(), 4000, 4000);
        QVERIFY((calls.size() - 1) % 3 == 0 && calls.size() > 4);
        const int runs = (calls.size() - 1) / 3;
        for (int i = 0; i < 3 * runs; ++i)
        {
            const Painter_Call& call = calls[i];
            QVERIFY(call.kind == Painter_Call::Path && call.pen.style() == Qt::NoPen);
            const QColor c = call.brush.color();
            if (i < runs)
                QVERIFY2(Near_Color(c, 150, 170, 40), qPrintable("kerb " + Describe(c)));
            else if (i < 2 * runs)
                QVERIFY2(Near_Color(c, 250, 230, 140), qPrintable("road " + Describe(c)));
            else
                QVERIFY2(Near_Color(c, 100, 92, 56, 1) && c == QColor(250, 230, 140).darker(250),
                         qPrintable("inner band " + Describe(c)));
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

    void culling_drops_nothing_that_reaches_the_device_data()
    {
        QTest::addColumn<QTransform>("camera");
        QTest::addColumn<int>("culled_least");
        QTest::addColumn<qreal>("ratio");
        QVector<QPair<QByteArray, QPair<QTransform, int>>> cameras;
        QTransform straight;
        straight.translate(-2000, -1400);
        cameras.append({"straight", {straight, 40}});
        // As the game's camera: turned and enlarged.
        QTransform turned;
        turned.translate(160, 240).rotate(-37).scale(4, 4).translate(-2300, -1600);
        cameras.append({"turned, enlarged", {turned, 60}});
        // The course's point 10 sits beyond the bottom-right corner, farther
        // than the device's diagonal from its origin, its kerb mark pointing
        // back into view: the end of the mark beyond the road's edge shows.
        Level level;
        level.Init(0);
        const QPointF n = level.m_normals[10];
        QTransform corner;
        corner.translate(840, 520)
            .rotate(-135.0 - std::atan2(n.y(), n.x()) * 180.0 / M_PI)
            .scale(9, 9)
            .translate(-level.m_points[10].x(), -level.m_points[10].y());
        cameras.append({"just past the corner", {corner, 60}});
        // Enlarged, the device just left of the road's leftmost point: only the
        // round end of the kerb mark there, which reaches beyond the road, shows.
        const auto left = std::min_element(level.m_points.begin(), level.m_points.end(),
                                           [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
        QTransform beyond;
        beyond.translate(800, 240).scale(9, 9).translate(18.0 - left->x(), -left->y());
        cameras.append({"a kerb mark beyond the road's box", {beyond, 60}});
        // At each pixel density: the device's pixels are then not the painter's.
        for (const qreal ratio : {1.0, 1.5, 2.0})
            for (const auto& camera : cameras)
                QTest::newRow(camera.first + QByteArray(", ratio ") + QByteArray::number(ratio))
                    << camera.second.first << camera.second.second << ratio;
    }
    void culling_drops_nothing_that_reaches_the_device()
    {
        QFETCH(QTransform, camera);
        QFETCH(int, culled_least);
        QFETCH(qreal, ratio);
        Level level;
        level.Init(0);
        const auto paint = [&](int w, int h)
        {
            QImage image(qRound(w * ratio), qRound(h * ratio), QImage::Format_RGB32);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::black);
            QPainter painter(&image);
            painter.setWorldTransform(camera);
            level.Draw(&painter);
            return image;
        };
        // The same picture as on a device so large that nothing is culled.
        const QImage small = paint(800, 480);
        const int large = qRound(6000 / ratio);
        QCOMPARE(small, paint(large, large).copy(0, 0, small.width(), small.height()));
        QImage black = small;
        black.fill(Qt::black);
        QVERIFY(small != black);
        // Yet far fewer fills than for the whole course.
        const int fills = Record(level, camera, 800, 480).size() - 1;
        const int all = Record(level, QTransform(), 4000, 4000).size() - 1;
        QVERIFY2(fills > 0 && fills + culled_least <= all,
                 qPrintable(QString("%1 of %2").arg(fills).arg(all)));
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

    void open_polyline_fills_its_round_ends_whole()
    {
        // Not a course, but a polyline that is not a loop ends round: the end
        // disc laid over the band's last piece must not cut a hole in it.
        const Track_Segment piece[1] = {{1.0f, 1.0f, 3.0f, 1.0f}};
        Level level;
        level.Build(piece, 1);
        QImage image(500, 200, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        level.Draw(&painter);
        painter.end();
        // The line runs from (100, 100) to (300, 100), the road 35 wide.
        for (const int x : {85, 95, 105, 200, 295, 305, 314})
        {
            const QColor inner = image.pixelColor(x, 100);
            QVERIFY2(Near_Color(inner, 100, 92, 56, 1),
                     qPrintable(QString::number(x) + " " + Describe(inner)));
        }
        for (const int x : {110, 290})
        {
            const QColor edge = image.pixelColor(x, 116);
            QVERIFY2(Near_Color(edge, 250, 230, 140), qPrintable(QString::number(x) + " " + Describe(edge)));
        }
    }

    void empty_level_draws_nothing()
    {
        Level level;
        QCOMPARE(Record(level, QTransform(), 800, 480).size(), 0);
    }
};

QTEST_MAIN(Test_Level_Draw)

#include "tst_level_draw.moc"
