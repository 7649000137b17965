// Touch steering, and keys and sticks as a touch: the thrust rule, press and release, and the mapping of a
// touch through the camera.
#include "Key_Steering.h"
#include "Movement_Control.h"
#include "Race.h"
#include "Ship.h"

#include <QtTest>

#include <cmath>

namespace
{
constexpr float Dt = 1.0f / 60.0f;

QString Pair(float left, float right)
{
    return QString("(%1, %2)")
        .arg(static_cast<double>(left), 0, 'g', 9)
        .arg(static_cast<double>(right), 0, 'g', 9);
}

// The camera as the frame loop builds it for a view wider than high: the
// ship at (0.2 W, 0.5 H), 120 world units across the height, turned by angle.
QTransform Camera(const QPointF& ship, float angle, int width, int height)
{
    const float scale = 120.0f / static_cast<float>(height);
    QTransform transform;
    transform.translate(ship.x(), ship.y());
    transform.rotateRadians(angle, Qt::ZAxis);
    transform.scale(scale, scale);
    transform.translate(-0.2f * static_cast<float>(width), -0.5f * static_cast<float>(height));
    return transform;
}

// What the race's step does with the control's touch: the craft's two thrusts.
void Steer(const QTransform& camera, Ship& ship, const Movement_Control& control)
{
    const Input_Frame input = control.Input(QSize(800, 480));
    Movement_Control::Thrusts(camera, ship, input.held, input.pointer, ship.m_left_thrust,
                              ship.m_right_thrust);
}
} // namespace

class Test_Movement_Control : public QObject
{
    Q_OBJECT

private slots:
    void thrusts_steer_towards_the_touch_data()
    {
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<QPointF>("heading");
        QTest::addColumn<QPoint>("touch");
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("right");
        const QPointF east(1.0, 0.0);
        const QPointF centre(100.0, 50.0);
        QTest::newRow("40 ahead") << centre << east << QPoint(140, 50) << 40.0f << 40.0f;
        QTest::newRow("90 ahead") << centre << east << QPoint(190, 50) << 90.0f << 90.0f;
        QTest::newRow("200 ahead") << centre << east << QPoint(300, 50) << 90.0f << 90.0f;
        QTest::newRow("40 behind") << centre << east << QPoint(60, 50) << -40.0f << -40.0f;
        QTest::newRow("200 behind") << centre << east << QPoint(-100, 50) << -90.0f << -90.0f;
        // Left of a pilot facing +x is -y on a screen whose y grows downwards.
        QTest::newRow("40 to the left") << centre << east << QPoint(100, 10) << -40.0f << 40.0f;
        QTest::newRow("40 to the right") << centre << east << QPoint(100, 90) << 40.0f << -40.0f;
        QTest::newRow("30 degrees left")
            << QPointF(-34.6410141, 20.0) << east << QPoint(0, 0) << 0.0f << 40.0f;
        QTest::newRow("30 degrees right")
            << QPointF(-34.6410141, -20.0) << east << QPoint(0, 0) << 40.0f << 0.0f;
        // Facing down the screen (left is +x), a target behind and to the left:
        // full reverse on the left end, the right end pushed forward a little.
        QTest::newRow("behind and left, facing +y")
            << centre << QPointF(0.0, 1.0) << QPoint(140, 10) << -56.5685425f
            << -56.5685425f * (1.0f - 2.0f * 0.707106769f);
        QTest::newRow("on the centre") << centre << east << QPoint(100, 50) << 0.0f << 0.0f;
        QTest::newRow("within the dead zone")
            << QPointF(100.005, 50.0) << east << QPoint(100, 50) << 0.0f << 0.0f;
        QTest::newRow("just outside it")
            << QPointF(100.02, 50.0) << east << QPoint(100, 50) << (100.0f - 100.02f) << (100.0f - 100.02f);
    }

    void thrusts_steer_towards_the_touch()
    {
        QFETCH(QPointF, centre);
        QFETCH(QPointF, heading);
        QFETCH(QPoint, touch);
        QFETCH(float, left);
        QFETCH(float, right);
        QTransform camera;
        Ship ship;
        ship.Place_At(centre, heading);
        Movement_Control control;
        QVERIFY(control.Mouse_Down(touch));
        Steer(camera, ship, control);
        // Every row is exact in single precision except the diagonal one.
        const float tolerance =
            QByteArray(QTest::currentDataTag()).startsWith("behind and left") ? 1e-4f : 0.0f;
        QVERIFY2(
            std::fabs(ship.m_left_thrust - left) <= tolerance &&
                std::fabs(ship.m_right_thrust - right) <= tolerance,
            qPrintable(Pair(ship.m_left_thrust, ship.m_right_thrust) + " expected " + Pair(left, right)));
    }

    void release_and_idle_give_zero_thrust()
    {
        QTransform camera;
        Ship ship;
        ship.Place_At(QPointF(100.0, 50.0), QPointF(1.0, 0.0));
        Movement_Control control;
        QVERIFY(!control.m_pressed);

        // Not pressed: whatever the ship had is overwritten.
        ship.m_left_thrust = 55.0f;
        ship.m_right_thrust = -12.0f;
        Steer(camera, ship, control);
        QCOMPARE(ship.m_left_thrust, 0.0f);
        QCOMPARE(ship.m_right_thrust, 0.0f);

        // A move without a press only remembers where the finger is.
        control.Mouse_Move(QPoint(140, 50));
        QCOMPARE(control.m_touch, QPoint(140, 50));
        QVERIFY(!control.m_pressed);
        Steer(camera, ship, control);
        QCOMPARE(ship.m_left_thrust, 0.0f);
        QCOMPARE(ship.m_right_thrust, 0.0f);

        // Press, drag, then the release sent on a change of state.
        QVERIFY(control.Mouse_Down(QPoint(130, 50)));
        control.Mouse_Move(QPoint(150, 50));
        QVERIFY(control.m_pressed);
        Steer(camera, ship, control);
        QCOMPARE(ship.m_left_thrust, 50.0f);
        QCOMPARE(ship.m_right_thrust, 50.0f);
        control.Mouse_Up(QPoint(-999, -999));
        QVERIFY(!control.m_pressed);
        QCOMPARE(control.m_touch, QPoint(150, 50));
        Steer(camera, ship, control);
        QCOMPARE(ship.m_left_thrust, 0.0f);
        QCOMPARE(ship.m_right_thrust, 0.0f);
        QCOMPARE(ship.m_left_thrust, 0.0f);
        QCOMPARE(ship.m_right_thrust, 0.0f);
    }

    void update_also_fades_the_control_in()
    {
        Movement_Control control;
        QCOMPARE(control.m_visible_alpha, 0.0f);
        control.Update(Dt);
        QCOMPARE(control.m_visible_alpha, 0.08f);
    }

    void touch_in_pixels_is_mapped_through_the_camera_data()
    {
        QTest::addColumn<QPoint>("touch");
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("right");
        // 800 x 480 view: 0.25 world units per pixel, the ship drawn at (160, 240).
        QTest::newRow("160 px right of the ship: 40 ahead") << QPoint(320, 240) << 40.0f << 40.0f;
        QTest::newRow("far right: capped") << QPoint(799, 240) << 90.0f << 90.0f;
        QTest::newRow("160 px up: 40 to the left") << QPoint(160, 80) << -40.0f << 40.0f;
        QTest::newRow("160 px down: 40 to the right") << QPoint(160, 400) << 40.0f << -40.0f;
        QTest::newRow("160 px left: 40 behind") << QPoint(0, 240) << -40.0f << -40.0f;
        QTest::newRow("under the ship") << QPoint(160, 240) << 0.0f << 0.0f;
    }

    void touch_in_pixels_is_mapped_through_the_camera()
    {
        QFETCH(QPoint, touch);
        QFETCH(float, left);
        QFETCH(float, right);
        // A ship heading down the world (+y) with the camera caught up: its
        // heading points to the right of the screen.
        Ship ship;
        ship.Place_At(QPointF(2200.0, 1500.0), QPointF(0.0, 1.0));
        QTransform camera;
        camera = Camera(ship.m_position, ship.m_angle, 800, 480);
        Movement_Control control;
        control.Mouse_Down(touch);
        Steer(camera, ship, control);
        QVERIFY2(std::fabs(ship.m_left_thrust - left) < 1e-3f &&
                     std::fabs(ship.m_right_thrust - right) < 1e-3f,
                 qPrintable(Pair(ship.m_left_thrust, ship.m_right_thrust)));
    }

    // Keys held (by name) or a pad's stick, as the finger Key_Steering puts down,
    // through the same thrust rule as a touch, on a view wider than high and on one higher than wide.
    void keys_and_sticks_steer_as_a_finger_would_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QPointF>("stick"); // x to the right, y ahead
        QTest::addColumn<bool>("drive");
        QTest::addColumn<QString>("steers");
        QTest::newRow("nothing held") << "" << QPointF() << false << "none";
        QTest::newRow("Up drives") << "Up" << QPointF() << false << "ahead";
        QTest::newRow("W drives") << "W" << QPointF() << false << "ahead";
        QTest::newRow("Up and Left drive left") << "Up,Left" << QPointF() << false << "left";
        QTest::newRow("W and D drive right") << "W,D" << QPointF() << false << "right";
        QTest::newRow("Left alone turns on the spot") << "Left" << QPointF() << false << "spin left";
        QTest::newRow("D alone turns on the spot") << "D" << QPointF() << false << "spin right";
        QTest::newRow("Left and Right cancel") << "Up,Left,Right" << QPointF() << false << "ahead";
        QTest::newRow("Down lets go") << "Down" << QPointF() << false << "none";
        QTest::newRow("Down over Up lets go") << "Up,S,Left" << QPointF() << false << "none";
        QTest::newRow("a letter that steers nothing") << "Q" << QPointF() << false << "none";
        QTest::newRow("stick at rest") << "" << QPointF(0.1, 0.1) << false << "none";
        QTest::newRow("stick ahead") << "" << QPointF(0.0, 1.0) << false << "ahead";
        QTest::newRow("stick to the left") << "" << QPointF(-1.0, 0.0) << false << "spin left";
        QTest::newRow("trigger, stick half right") << "" << QPointF(0.5, 0.0) << true << "right";
        QTest::newRow("trigger, stick back") << "" << QPointF(0.0, -1.0) << true << "ahead";
    }
    void keys_and_sticks_steer_as_a_finger_would()
    {
        QFETCH(QString, keys);
        QFETCH(QPointF, stick);
        QFETCH(bool, drive);
        QFETCH(QString, steers);
        for (const QSize view : {QSize(800, 480), QSize(480, 800)})
        {
            Ship ship;
            ship.Place_At(QPointF(2200.0, 1500.0), QPointF(0.6, 0.8));
            // On the portrait view the camera turns a quarter more: the heading points up the screen.
            const QTransform screen_to_world =
                Race::Screen_To_World(ship.m_position, ship.m_angle, view.width(), view.height());
            Key_Steering held;
            const QHash<QString, int> named{
                {"Up", Qt::Key_Up}, {"Down", Qt::Key_Down}, {"Left", Qt::Key_Left}, {"Right", Qt::Key_Right},
                {"W", Qt::Key_W},   {"S", Qt::Key_S},       {"D", Qt::Key_D},       {"Q", Qt::Key_Q}};
            for (const QString& key : keys.split(',', Qt::SkipEmptyParts))
                held.Press(named.value(key));
            Key_Steering::Intent intent = held.Held_Intent();
            if (!held.Any_Held())
                intent = Key_Steering::Intent{drive, false, float(stick.x()), float(stick.y())};
            const Key_Steering::Touch touch =
                Key_Steering::Place(intent, Key_Steering::Pose{ship.m_position, ship.m_direction,
                                                               screen_to_world.inverted(), view});
            QVERIFY(QRect(QPoint(0, 0), view).contains(touch.point));
            float left = 0.0f;
            float right = 0.0f;
            Movement_Control::Thrusts(screen_to_world, ship, touch.pressed, touch.point, left, right);
            QString seen = "none";
            if (touch.pressed && std::fabs(left + right) < 0.1f * std::fabs(left - right))
                seen = left < right ? "spin left" : "spin right";
            else if (touch.pressed && left > 0.0f && right > 0.0f && std::fabs(left - right) < 1.0f)
                seen = "ahead";
            else if (touch.pressed && std::max(left, right) > 0.0f)
                seen = left < right ? "left" : "right";
            QVERIFY2(seen == steers, qPrintable(seen + " " + Pair(left, right)));
        }
    }
};

QTEST_MAIN(Test_Movement_Control)
#include "tst_movement_control.moc"
