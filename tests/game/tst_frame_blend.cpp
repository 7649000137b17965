// Drawing between two steps: poses half way, headings across the wrap, and a race that is never touched.
#include "Frame_Blend.h"
#include "Game_Scene.h"
#include "Ghost_Ship.h"
#include "Level.h"
#include "Race.h"
#include "Ship.h"
#include "Test_Support.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

namespace
{
const QSize View(400, 240);

QImage Draw(Game_Scene& scene)
{
    QImage image(View, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    scene.Draw_Passes(&painter);
    return image;
}

// Everything of the craft a step may change, to the bit.
QByteArray State_Of(const Race& race)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    const Ship& s = *race.m_ship;
    out << s.m_left << s.m_right << s.m_left_previous << s.m_right_previous << s.m_position << s.m_angle
        << race.m_ghost_ship->m_position << race.m_ghost_ship->m_angle << race.m_camera_angle
        << race.m_world_to_screen << qint32(s.m_travelled_points.size());
    for (const Ship::Travelled_Point& point : s.m_travelled_points)
        out << point.position << point.age;
    return bytes;
}
} // namespace

class Test_Frame_Blend : public QObject
{
    Q_OBJECT

private slots:
    void a_pose_between_two_steps_data()
    {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<float>("from_angle");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<float>("to_angle");
        QTest::addColumn<float>("t");
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<float>("angle");
        QTest::newRow("half way") << QPointF(0, 0) << 1.0f << QPointF(2, -4) << 2.0f << 0.5f << QPointF(1, -2)
                                  << 1.5f;
        QTest::newRow("a quarter") << QPointF(10, 10) << 0.0f << QPointF(14, 10) << 0.4f << 0.25f
                                   << QPointF(11, 10) << 0.1f;
        // The camera's headings, in [0, 2*pi): the short way over zero.
        QTest::newRow("up across 2 pi, half way")
            << QPointF() << 6.2f << QPointF() << 0.1f << 0.5f << QPointF() << 0.0084073f;
        QTest::newRow("up across 2 pi, a quarter")
            << QPointF() << 6.2f << QPointF() << 0.1f << 0.25f << QPointF() << 6.2457957f;
        QTest::newRow("down across 0, a quarter")
            << QPointF() << 0.1f << QPointF() << 6.2f << 0.25f << QPointF() << 0.0542037f;
        // The craft's headings, in [-pi, pi]: the short way over pi.
        QTest::newRow("across pi") << QPointF() << 3.0f << QPointF() << -3.0f << 0.5f << QPointF()
                                   << 3.1415927f;
        QTest::newRow("across -pi") << QPointF() << -3.0f << QPointF() << 3.0f << 0.5f << QPointF()
                                    << 3.1415927f;
        // At either end the pose is the step's own, to the bit, wherever its heading lies.
        QTest::newRow("at the step before")
            << QPointF(1, 1) << -1.0f << QPointF(5, 5) << 7.0f << 0.0f << QPointF(1, 1) << -1.0f;
        QTest::newRow("at the last step")
            << QPointF(1, 1) << -1.0f << QPointF(5, 5) << -0.5f << 1.0f << QPointF(5, 5) << -0.5f;
    }
    void a_pose_between_two_steps()
    {
        QFETCH(QPointF, from);
        QFETCH(float, from_angle);
        QFETCH(QPointF, to);
        QFETCH(float, to_angle);
        QFETCH(float, t);
        QFETCH(QPointF, position);
        QFETCH(float, angle);
        const Frame_Blend::Pose pose = Frame_Blend::Between({from, from_angle}, {to, to_angle}, t);
        QCOMPARE(pose.position, position);
        QVERIFY2(std::fabs(pose.angle - angle) < 2e-6f, qPrintable(QString::number(pose.angle, 'g', 9)));
        if (t == 0.0f || t == 1.0f)
            QCOMPARE(pose.angle, angle);
    }

    // Half way between two steps the scene draws copies at the blended pose;
    // afterwards the scene is as it was, and the race never changed.
    void a_blended_frame_draws_copies_and_leaves_the_race_alone()
    {
        Headless_Race headless(0);
        auto& [level, ship, ghost, race] = headless;
        race.Reset(QString(), 0.0f, View);
        Game_Scene scene;
        scene.m_world_elements = {&level, &ghost, &ship};
        Frame_Blend blend;
        const Input_Frame finger{true, QPoint(300, 100), View};
        for (int i = 0; i < 40; ++i)
        {
            race.Step(finger);
            blend.Keep(race);
        }
        scene.m_world_to_screen = race.m_world_to_screen;
        const QByteArray before = State_Of(race);
        const QPointF previous = ship.m_position;
        race.Step(finger);
        blend.Keep(race);
        scene.m_world_to_screen = race.m_world_to_screen;
        const QByteArray stepped = State_Of(race);
        QVERIFY(stepped != before);
        const std::vector<Scene_Element*> list = scene.m_world_elements;
        const QImage last = Draw(scene);

        blend.Begin(scene, race, 0.5f, View);
        QCOMPARE(scene.m_world_elements[0], static_cast<Scene_Element*>(&level));
        Ship* drawn = dynamic_cast<Ship*>(scene.m_world_elements[2]);
        QVERIFY(drawn != nullptr && drawn != &ship &&
                dynamic_cast<Ghost_Ship*>(scene.m_world_elements[1]) != &ghost);
        QCOMPARE(drawn->m_position, (previous + ship.m_position) / 2.0);
        QCOMPARE(drawn->m_travelled_points.back().position, drawn->m_position);
        QVERIFY(scene.m_world_to_screen != race.m_world_to_screen);
        QVERIFY(Draw(scene) != last);
        blend.End(scene);
        QVERIFY(scene.m_world_elements == list);
        QCOMPARE(scene.m_world_to_screen, race.m_world_to_screen);
        QCOMPARE(State_Of(race), stepped);

        // At the last step's own time the picture is the unblended one, pixel for pixel.
        blend.Begin(scene, race, 1.0f, View);
        QCOMPARE(Draw(scene), last);
        blend.End(scene);

        // A new race puts the craft at the start: that step is not blended across.
        race.Reset(QString(), 0.0f, View);
        race.Step(Input_Frame{false, QPoint(), View});
        blend.Keep(race);
        blend.Begin(scene, race, 0.5f, View);
        QVERIFY(scene.m_world_elements == list);
        blend.End(scene);
        // Nor is a race stepped without the blend keeping it (the first step
        // only takes the finger; the second moves).
        blend.Keep(race);
        race.Step(finger);
        race.Step(finger);
        blend.Begin(scene, race, 0.5f, View);
        QVERIFY(scene.m_world_elements == list);
        blend.End(scene);
    }
};

QTEST_MAIN(Test_Frame_Blend)
#include "tst_frame_blend.moc"
