// The star field: layer values, the scatter, the drift against the camera and the recycling ring.
#include "Stars.h"
#include "Test_Support.h"

#include <QPainter>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
const int Device_W = 800;
const int Device_H = 480;
const double Tolerance = 2e-3;

// The camera as the scene sets it: world units to device pixels, turned and
// scaled about the followed point.
QTransform Camera(double x, double y)
{
    QTransform t;
    t.translate(Device_W * 0.5, Device_H * 0.5);
    t.rotate(30.0);
    t.scale(4.0, 4.0);
    t.translate(-x, -y);
    return t;
}

struct View
{
    QPointF centre;
    double inner; // half-diagonal of the visible area, world units
    double outer;
};

View View_Of(const QTransform& camera)
{
    const QTransform inverse = camera.inverted();
    const QPointF centre = inverse.map(QPointF(Device_W * 0.5, Device_H * 0.5));
    const QPointF corner = inverse.map(QPointF(0, 0));
    const double inner = std::hypot(corner.x() - centre.x(), corner.y() - centre.y());
    return View{centre, inner, 1.25 * inner};
}

double Distance(const QPointF& s)
{
    return std::hypot(s.x(), s.y());
}

bool Near(const QPointF& a, const QPointF& b)
{
    return std::fabs(a.x() - b.x()) <= Tolerance && std::fabs(a.y() - b.y()) <= Tolerance;
}

QString Describe(const QPointF& p)
{
    return QString("(%1, %2)").arg(p.x(), 0, 'g', 9).arg(p.y(), 0, 'g', 9);
}

QVector<Painter_Call> Record(Stars& stars, const QTransform& camera)
{
    Recording_Device device(Device_W, Device_H);
    QPainter painter(&device);
    painter.setWorldTransform(camera);
    stars.Draw(&painter);
    painter.end();
    return device.Calls();
}

// Every star that reaches the device is painted where its offset puts it, in
// its layer's size and colour, and no other.
void Check_Dots(const Stars& stars, const QVector<Painter_Call>& calls, const QPointF& centre,
                const QTransform& camera)
{
    int drawn = 0;
    for (int i = 0; i < Stars::Star_Count; ++i)
    {
        const int layer = i % Stars::Layer_Count;
        const double r = 1.5 * stars.m_layer_depths[layer];
        // The dot, a circle on the device too, within 2 pixels of it.
        const QPointF c = camera.map(centre + stars.m_star_offsets[i]);
        const double reach = r * std::sqrt(std::fabs(camera.determinant())) + 2.0;
        const double off_x = std::max({0.0, -c.x(), c.x() - Device_W});
        const double off_y = std::max({0.0, -c.y(), c.y() - Device_H});
        if (off_x * off_x + off_y * off_y > reach * reach)
            continue;
        QVERIFY(drawn < calls.size());
        const Painter_Call& call = calls[drawn++];
        QCOMPARE(call.kind, Painter_Call::Polygon);
        QCOMPARE(call.pen.style(), Qt::NoPen);
        QCOMPARE(call.brush.style(), Qt::SolidPattern);
        QCOMPARE(call.brush.color(), stars.m_layer_colors[layer]);
        const QRectF rect = call.rects[0];
        // The outline's corners lie just outside the circle, its edges' middles as far inside.
        QVERIFY(std::fabs(rect.width() - 2 * r) < 0.02 * r && std::fabs(rect.height() - 2 * r) < 0.02 * r);
        QVERIFY2(Near(rect.center(), centre + stars.m_star_offsets[i]),
                 qPrintable(QString("star %1 at %2").arg(i).arg(Describe(rect.center()))));
    }
    QCOMPARE(calls.size(), drawn);
}
} // namespace

class Test_Stars : public QObject
{
    Q_OBJECT

private slots:
    void construction_sets_the_four_layers()
    {
        Stars stars;
        QVERIFY(stars.m_reset_stars);
        const int expected[4][3] = {{100, 105, 115}, {66, 70, 76}, {44, 46, 51}, {29, 31, 34}};
        const float depths[4] = {0.75f, 0.6f, 0.48f, 0.384f};
        for (int layer = 0; layer < 4; ++layer)
        {
            const QColor c = stars.m_layer_colors[layer];
            QVERIFY2(std::abs(c.red() - expected[layer][0]) <= 1 &&
                         std::abs(c.green() - expected[layer][1]) <= 1 &&
                         std::abs(c.blue() - expected[layer][2]) <= 1 && c.alpha() == 255,
                     qPrintable(
                         QString("layer %1: %2 %3 %4").arg(layer).arg(c.red()).arg(c.green()).arg(c.blue())));
            QVERIFY(std::fabs(stars.m_layer_depths[layer] - depths[layer]) < 1e-6f);
        }
        // Each depth is the previous one times 0.8 in single precision.
        QCOMPARE(stars.m_layer_depths[3], 0.75f * 0.8f * 0.8f * 0.8f);
        for (const QPointF& s : stars.m_star_offsets)
            QCOMPARE(s, QPointF(0, 0));
        QCOMPARE(stars.m_last_center, QPointF(0, 0));

        stars.Update(1.0f / 60.0f);
        QVERIFY(stars.m_reset_stars);
        QCOMPARE(stars.m_star_offsets[0], QPointF(0, 0));
    }

    void first_draw_scatters_over_the_disc_around_the_camera()
    {
        Stars stars;
        // The camera is far from where the previous draw saw it: the jump must
        // not carry the fresh scatter away.
        const QTransform camera = Camera(2200, 1500);
        const View view = View_Of(camera);
        const QVector<Painter_Call> calls = Record(stars, camera);

        QVERIFY(!stars.m_reset_stars);
        QVERIFY(Near(stars.m_last_center, view.centre));
        int in_view = 0;
        for (const QPointF& s : stars.m_star_offsets)
        {
            QVERIFY2(Distance(s) <= view.outer + Tolerance, qPrintable(Describe(s)));
            if (Distance(s) < view.inner)
                ++in_view;
        }
        // The full disc, not just the recycling ring.
        QVERIFY(in_view > 10);
        Check_Dots(stars, calls, view.centre, camera);
        // Those out of sight are not painted.
        QVERIFY2(calls.size() >= 8 && calls.size() < 35, qPrintable(QString::number(calls.size())));
    }

    void still_camera_keeps_the_stars()
    {
        Stars stars;
        const QTransform camera = Camera(700, 1000);
        const QVector<Painter_Call> first = Record(stars, camera);
        QPointF before[Stars::Star_Count];
        std::copy(stars.m_star_offsets, stars.m_star_offsets + Stars::Star_Count, before);
        const QVector<Painter_Call> second = Record(stars, camera);
        for (int i = 0; i < Stars::Star_Count; ++i)
        {
            QCOMPARE(stars.m_star_offsets[i], before[i]);
            QVERIFY(i >= first.size() || second[i].rects[0] == first[i].rects[0]);
        }
    }

    void a_resized_view_is_scattered_afresh_over_its_new_area()
    {
        Stars stars;
        {
            // The window's first frame, before it goes full screen.
            Recording_Device small(Device_W / 4, Device_H / 4);
            QPainter painter(&small);
            painter.setWorldTransform(Camera(700, 1000));
            stars.Draw(&painter);
        }
        Record(stars, Camera(700, 1000));
        const View view = View_Of(Camera(700, 1000));
        // Merely drifting, the small field would stay within 0.7 of the new
        // outer radius; scattered afresh, some stars reach its rim.
        int near_the_rim = 0;
        for (int i = 0; i < Stars::Star_Count; ++i)
        {
            QVERIFY(Distance(stars.m_star_offsets[i]) <= view.outer + Tolerance);
            near_the_rim += Distance(stars.m_star_offsets[i]) > 0.9 * view.outer;
        }
        QVERIFY(near_the_rim > 0);
        QVERIFY(!stars.m_reset_stars);
    }

    void moving_camera_leaves_each_layer_behind_by_its_depth()
    {
        Stars stars;
        Record(stars, Camera(1000, 1000));
        for (QPointF& s : stars.m_star_offsets)
            s = QPointF(0, 0);
        const QPointF motion(6, -4);
        const QTransform camera = Camera(1000 + motion.x(), 1000 + motion.y());
        const View view = View_Of(camera);
        const QVector<Painter_Call> calls = Record(stars, camera);
        for (int i = 0; i < Stars::Star_Count; ++i)
        {
            const QPointF expected = -stars.m_layer_depths[i % 4] * motion;
            QVERIFY2(Near(stars.m_star_offsets[i], expected),
                     qPrintable(QString("star %1 at %2").arg(i).arg(Describe(stars.m_star_offsets[i]))));
        }
        // Layer 0 (stars 0, 4, ...) lags by three quarters of the motion.
        QVERIFY(Near(stars.m_star_offsets[4], QPointF(-4.5, 3)));
        Check_Dots(stars, calls, view.centre, camera);
    }

    void star_leaving_the_disc_is_reborn_out_of_sight()
    {
        Stars stars;
        const QTransform camera = Camera(1500, 2000);
        const View view = View_Of(camera);
        Record(stars, camera);
        // Half of the stars pushed just past the disc, half far beyond it.
        for (int i = 0; i < Stars::Star_Count; ++i)
            stars.m_star_offsets[i] = i % 2 ? QPointF(0, -1.26 * view.inner) : QPointF(40 * view.inner, 0);
        const QVector<Painter_Call> calls = Record(stars, camera);
        for (const QPointF& s : stars.m_star_offsets)
        {
            QVERIFY2(Distance(s) >= view.inner - Tolerance && Distance(s) <= view.outer + Tolerance,
                     qPrintable(Describe(s)));
        }
        Check_Dots(stars, calls, view.centre, camera);

        // A jump of the camera far beyond the disc recycles every star as well.
        const QTransform jumped = Camera(1500 + 10 * view.inner, 2000);
        Record(stars, jumped);
        for (const QPointF& s : stars.m_star_offsets)
            QVERIFY(Distance(s) >= view.inner - Tolerance && Distance(s) <= view.outer + Tolerance);
    }

    void scatter_is_the_same_on_every_run()
    {
        Stars a;
        Stars b;
        const QTransform camera = Camera(2200, 1500);
        Record(a, camera);
        Record(b, camera);
        for (int i = 0; i < Stars::Star_Count; ++i)
            QCOMPARE(a.m_star_offsets[i], b.m_star_offsets[i]);

        // The sequence is that of the unseeded engine, x drawn before y, each
        // attempt a point in the square around the disc.
        std::minstd_rand engine;
        const double outer = View_Of(camera).outer;
        QPointF first;
        do
        {
            const double x = -outer + engine() * 4.656613e-10 * 2 * outer;
            const double y = -outer + engine() * 4.656613e-10 * 2 * outer;
            first = QPointF(x, y);
        } while (Distance(first) > outer);
        QVERIFY2(Near(a.m_star_offsets[0], first), qPrintable(Describe(a.m_star_offsets[0])));

        // A race reset scatters anew, carrying on the same sequence.
        a.m_reset_stars = true;
        Record(a, camera);
        int moved = 0;
        for (int i = 0; i < Stars::Star_Count; ++i)
            moved += a.m_star_offsets[i] != b.m_star_offsets[i];
        QCOMPARE(moved, int(Stars::Star_Count));
    }

    void broken_camera_neither_hangs_nor_moves_the_stars()
    {
        Stars stars;
        // A flattened camera cannot be inverted; it counts as the identity.
        QTransform flat;
        flat.scale(0, 0);
        const QVector<Painter_Call> calls = Record(stars, flat);
        const double half_diagonal = std::hypot(Device_W * 0.5, Device_H * 0.5);
        for (const QPointF& s : stars.m_star_offsets)
            QVERIFY(Distance(s) <= 1.25 * half_diagonal + Tolerance);
        Check_Dots(stars, calls, QPointF(Device_W * 0.5, Device_H * 0.5), flat);

        // A camera placed at NaN paints nothing and keeps a pending scatter pending.
        const double nan = std::numeric_limits<double>::quiet_NaN();
        stars.m_reset_stars = true;
        const QPointF kept = stars.m_star_offsets[0];
        QCOMPARE(Record(stars, QTransform(1, 0, 0, 1, nan, 0)).size(), 0);
        QVERIFY(stars.m_reset_stars);
        QCOMPARE(stars.m_star_offsets[0], kept);
    }
};

QTEST_MAIN(Test_Stars)

#include "tst_stars.moc"
