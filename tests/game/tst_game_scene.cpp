// The two drawing passes and the touch routing, with elements that log what reaches them.
#include "Game_Scene.h"
#include "Scene_UI_Element.h"
#include "Test_Support.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

namespace
{
QStringList g_log;

class Logged_World : public Scene_Element
{
public:
    explicit Logged_World(const QString& name) : m_name(name) {}
    void Update(float) override {}
    bool Can_Darken() const override { return m_darkens; }
    void Draw(QPainter* painter) override
    {
        g_log << m_name + (m_kept != 255 ? QString(" kept %1").arg(m_kept) : QString());
        m_transform = painter->transform();
        m_pen = painter->pen().color();
        m_brush = painter->brush().color();
        // Left changed on purpose: the pass must restore it.
        painter->setPen(Qt::red);
        painter->setBrush(Qt::green);
        painter->translate(1000, 1000);
    }
    QString m_name;
    bool m_darkens = true;
    QTransform m_transform;
    QColor m_pen;
    QColor m_brush;
};

class Logged_UI : public Scene_UI_Element
{
public:
    Logged_UI(const QString& name, bool takes) : m_name(name), m_takes(takes) {}
    bool Can_Darken() const override { return m_darkens; }
    int Kept_Under() const override { return m_kept_under; }
    void Draw(QPainter* painter) override
    {
        g_log << "draw " + m_name + (m_kept != 255 ? QString(" kept %1").arg(m_kept) : QString());
        m_transform = painter->transform();
        m_pen = painter->pen().color();
        painter->setPen(Qt::red);
        painter->translate(500, 500);
    }
    bool Mouse_Down(const QPoint& p) override
    {
        g_log << QString("down %1 %2,%3").arg(m_name).arg(p.x()).arg(p.y());
        return m_takes;
    }
    void Mouse_Move(const QPoint& p) override
    {
        g_log << QString("move %1 %2,%3").arg(m_name).arg(p.x()).arg(p.y());
    }
    void Mouse_Up(const QPoint& p) override
    {
        g_log << QString("up %1 %2,%3").arg(m_name).arg(p.x()).arg(p.y());
    }
    QString m_name;
    bool m_takes;
    bool m_darkens = false;
    int m_kept_under = 255;
    QTransform m_transform;
    QColor m_pen;
};

// An element with a frame's work of its own besides the fade.
class Ticking_UI : public Logged_UI
{
public:
    using Logged_UI::Logged_UI;
    void Update(float step) override { Scene_UI_Element::Update(step); }
};
} // namespace

class Test_Game_Scene : public QObject
{
    Q_OBJECT

private slots:
    void init() { g_log.clear(); }

    void world_pass_uses_the_camera_and_ui_pass_uses_pixels()
    {
        Game_Scene scene;
        Logged_World stars("stars");
        Logged_World level("level");
        Logged_UI timer("timer", false);
        timer.Set_Visible_Alpha(1.0f);
        scene.m_world_elements = {&stars, &level};
        scene.m_ui_elements = {&timer};
        scene.m_world_to_screen = QTransform().translate(10, 20).scale(4, 4);

        QImage image(64, 48, QImage::Format_ARGB32);
        QPainter painter(&image);
        painter.translate(7, 7); // whatever the view set is replaced, not combined
        painter.setPen(Qt::blue);
        painter.setBrush(Qt::yellow);
        scene.Draw_Passes(&painter);
        QCOMPARE(painter.transform(), QTransform().translate(7, 7));
        QCOMPARE(painter.pen().color(), QColor(Qt::blue));
        QCOMPARE(painter.brush().color(), QColor(Qt::yellow));
        painter.end();

        QCOMPARE(g_log, QStringList({"stars", "level", "draw timer"}));
        QCOMPARE(stars.m_transform, scene.m_world_to_screen);
        // Each element gets the pass's state, not what the one before it left.
        QCOMPARE(level.m_transform, scene.m_world_to_screen);
        QCOMPARE(level.m_pen, QColor(Qt::blue));
        QCOMPARE(level.m_brush, QColor(Qt::yellow));
        QVERIFY(timer.m_transform.isIdentity());
        QCOMPARE(timer.m_pen, QColor(Qt::blue));
    }

    void ui_elements_at_or_below_the_alpha_threshold_are_skipped_data()
    {
        QTest::addColumn<float>("alpha");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("zero") << 0.0f << false;
        QTest::newRow("exactly 0.02") << 0.02f << false;
        QTest::newRow("0.0201") << 0.0201f << true;
        QTest::newRow("full") << 1.0f << true;
    }
    void ui_elements_at_or_below_the_alpha_threshold_are_skipped()
    {
        QFETCH(float, alpha);
        QFETCH(bool, drawn);
        Game_Scene scene;
        Logged_UI element("e", false);
        element.Set_Visible(false); // the flag does not matter for drawing, the alpha does
        element.Set_Visible_Alpha(alpha);
        scene.m_ui_elements = {&element};
        QImage image(8, 8, QImage::Format_ARGB32);
        QPainter painter(&image);
        scene.Draw_Passes(&painter);
        QCOMPARE(g_log.contains("draw e"), drawn);
    }

    void a_plane_darkening_all_under_it_is_left_out_where_all_darken_themselves_data()
    {
        QTest::addColumn<bool>("world_darkens");
        QTest::addColumn<bool>("timer_darkens");
        QTest::addColumn<float>("timer_alpha");
        QTest::addColumn<QStringList>("drawn");
        const QStringList blended({"stars", "draw timer", "draw plane", "draw menu"});
        QTest::newRow("all darken") << true << true << 1.0f
                                    << QStringList({"stars kept 77", "draw timer kept 77", "draw menu"});
        QTest::newRow("the world cannot") << false << true << 1.0f << blended;
        QTest::newRow("a drawn element under it cannot") << true << false << 1.0f << blended;
        QTest::newRow("one that cannot is not drawn")
            << true << false << 0.0f << QStringList({"stars kept 77", "draw menu"});
    }
    void a_plane_darkening_all_under_it_is_left_out_where_all_darken_themselves()
    {
        QFETCH(bool, world_darkens);
        QFETCH(bool, timer_darkens);
        QFETCH(float, timer_alpha);
        QFETCH(QStringList, drawn);
        Logged_World stars("stars");
        stars.m_darkens = world_darkens;
        Logged_UI timer("timer", false);
        timer.m_darkens = timer_darkens;
        timer.Set_Visible_Alpha(timer_alpha);
        Logged_UI plane("plane", false);
        plane.m_kept_under = 77;
        plane.Set_Visible_Alpha(1.0f);
        // Over the plane: drawn as it is, whether or not it could darken.
        Logged_UI menu("menu", false);
        menu.m_darkens = true;
        menu.Set_Visible_Alpha(1.0f);
        Game_Scene scene;
        scene.m_world_elements = {&stars};
        scene.m_ui_elements = {&timer, &plane, &menu};
        QImage image(8, 8, QImage::Format_ARGB32);
        QPainter painter(&image);
        // Twice: what one frame sets, the next sets again.
        for (int frame = 0; frame < 2; ++frame)
        {
            g_log.clear();
            scene.Draw_Passes(&painter);
            QCOMPARE(g_log, drawn);
        }
    }

    void a_press_is_offered_last_first_to_visible_elements_until_one_takes_it()
    {
        Game_Scene scene;
        Logged_UI steering("steering", true);
        Logged_UI hidden("hidden", true);
        Logged_UI start("start", true);
        Logged_UI quit("quit", false);
        hidden.Set_Visible(false);
        scene.m_ui_elements = {&steering, &start, &hidden, &quit};

        scene.Press(QPoint(5, 6));
        QCOMPARE(g_log, QStringList({"down quit 5,6", "down start 5,6"}));
        QVERIFY(scene.m_mouse_owner == &start);

        g_log.clear();
        scene.Move(QPoint(700, 9)); // far outside: still only the owner hears of it
        scene.Release(QPoint(8, 9));
        QCOMPARE(g_log, QStringList({"move start 700,9", "up start 8,9"}));
        QVERIFY(scene.m_mouse_owner == nullptr);
    }

    void a_press_nobody_takes_leaves_no_owner_and_moves_do_nothing()
    {
        Game_Scene scene;
        Logged_UI a("a", false);
        scene.m_ui_elements = {&a};
        scene.Press(QPoint(1, 1));
        QVERIFY(scene.m_mouse_owner == nullptr);
        g_log.clear();
        scene.Move(QPoint(2, 2));
        scene.Release(QPoint(2, 2));
        QVERIFY(g_log.isEmpty());
    }

    void a_second_press_ends_the_first_at_the_new_position()
    {
        Game_Scene scene;
        Logged_UI steering("steering", true);
        scene.m_ui_elements = {&steering};
        scene.Press(QPoint(1, 1));
        g_log.clear();
        scene.Press(QPoint(30, 40));
        QCOMPARE(g_log, QStringList({"up steering 30,40", "down steering 30,40"}));
        QVERIFY(scene.m_mouse_owner == &steering);
    }

    void a_cancelled_press_ends_outside_every_element()
    {
        Game_Scene scene;
        Logged_UI steering("steering", true);
        scene.m_ui_elements = {&steering};
        scene.Press(QPoint(1, 1));
        g_log.clear();
        scene.Cancel_Press();
        QCOMPARE(g_log, QStringList({"up steering -999,-999"}));
        QVERIFY(scene.m_mouse_owner == nullptr);
        g_log.clear();
        scene.Cancel_Press();
        QVERIFY(g_log.isEmpty());
    }

    // A frame calls the fade straight only where the element's type has no Update of its own, even
    // when it is listed as a type that has none.
    void only_elements_that_just_fade_are_updated_without_their_table()
    {
        Game_Scene scene;
        Logged_UI plain("plain", false);
        Ticking_UI ticking("ticking", false);
        Ticking_UI listed_as_plain("listed as plain", false);
        scene.Set_UI_Elements(&plain, &ticking, static_cast<Logged_UI*>(&listed_as_plain));
        QCOMPARE(scene.m_ui_elements.size(), size_t(3));
        QVERIFY(plain.m_fade_only);
        QVERIFY(!ticking.m_fade_only);
        QVERIFY(!listed_as_plain.m_fade_only);
    }
};

QTEST_MAIN(Test_Game_Scene)
#include "tst_game_scene.moc"
