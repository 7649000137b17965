// The game's drawing against the plain way of drawing the same screen, pixel for pixel: whatever the
// drawing code does to be quick, the player must see exactly what the straightforward drawing shows.
#ifdef TAVRELO_ALLOCATIONS_COUNTED
#include "Allocation_Counter.h"
#endif
#include "Fade_Plane.h"
#include "Finish_Panel.h"
#include "Float_Point.h"
#include "Game.h"
#include "Game_Scene.h"
#include "Ghost_Ship.h"
#include "Hud_Palette.h"
#include "Ingame_Instructions.h"
#include "Lap_Timer.h"
#include "Level.h"
#include "Main_Menu.h"
#include "Movement_Control.h"
#include "Race_Clock.h"
#include "Ship.h"
#include "Split_Notice.h"
#include "Stars.h"
#include "UI_Button.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <memory>

namespace
{
constexpr float Step = 1.0f / 60.0f;

// --- The plain drawing: every element drawn the obvious way, one new pen or
// brush per line or dot, each culling test worked out afresh for each point.

QPen Plain_Round_Pen(const QColor& colour, qreal width)
{
    return QPen(QBrush(colour), width, Qt::SolidLine, Qt::RoundCap);
}

// The device distance test of the road, in single precision like the game.
float Plain_Device_Distance_Squared(const QTransform& t, const QPointF& point)
{
    const float px = static_cast<float>(point.x());
    const float py = static_cast<float>(point.y());
    float x =
        static_cast<float>(t.m11()) * px + static_cast<float>(t.m21()) * py + static_cast<float>(t.dx());
    float y =
        static_cast<float>(t.m12()) * px + static_cast<float>(t.m22()) * py + static_cast<float>(t.dy());
    if (t.type() == QTransform::TxProject)
    {
        const float w =
            static_cast<float>(t.m13()) * px + static_cast<float>(t.m23()) * py + static_cast<float>(t.m33());
        x = x / w;
        y = y / w;
    }
    return x * x + y * y;
}

void Plain_Stars(QPainter* painter, const Stars& stars)
{
    // The stars as the game left them: Draw moves them before it paints.
    const Float_Point centre(stars.m_last_center);
    painter->setPen(Qt::NoPen);
    for (int i = 0; i < Stars::Star_Count; ++i)
    {
        const int layer = i % Stars::Layer_Count;
        const Float_Point s(stars.m_star_offsets[i]);
        const float r = 1.5f * stars.m_layer_depths[layer];
        painter->setBrush(QBrush(stars.m_layer_colors[layer], Qt::SolidPattern));
        painter->drawEllipse(QRectF(centre.x + s.x - r, centre.y + s.y - r, 2.0f * r, 2.0f * r));
    }
}

void Plain_Band(QPainter* painter, const Level& level)
{
    const float w = static_cast<float>(painter->device()->width()) + 100.0f;
    const float h = static_cast<float>(painter->device()->height()) + 100.0f;
    for (size_t k = 1; k < level.m_points.size(); ++k)
        if (w * w + h * h >= Plain_Device_Distance_Squared(painter->worldTransform(), level.m_points[k - 1]))
            painter->drawLine(QLineF(level.m_points[k - 1], level.m_points[k]));
}

void Plain_Level(QPainter* painter, const Level& level)
{
    const float vw = static_cast<float>(painter->viewport().width());
    const float vh = static_cast<float>(painter->viewport().height());
    for (size_t k = 0; k < level.m_points.size(); ++k)
    {
        if (vw * vw + vh * vh >= Plain_Device_Distance_Squared(painter->worldTransform(), level.m_points[k]))
        {
            const Float_Point p(level.m_points[k]);
            const Float_Point across = Float_Point(level.m_normals[k]) * 17.5f;
            painter->setPen(Plain_Round_Pen(QColor(150, 170, 40), 7.0));
            painter->drawLine(QLineF((p - across).To_QPointF(), (p + across).To_QPointF()));
        }
    }
    painter->setPen(Plain_Round_Pen(QColor(250, 230, 140), 35.0));
    Plain_Band(painter, level);
    painter->setPen(Plain_Round_Pen(QColor(250, 230, 140).darker(250), 35.0f * 0.9f));
    Plain_Band(painter, level);

    const Float_Point start(level.m_points[0]);
    const Float_Point d = Float_Point(level.m_points[1]) - start;
    const Float_Point across = Float_Point(d.y, -d.x) / d.Length() * 17.5f;
    painter->setPen(Plain_Round_Pen(QColor(230, 245, 210), 1.0));
    painter->drawLine(QLineF((start - across).To_QPointF(), (start + across).To_QPointF()));
}

void Turn_To(QPainter* painter, const QPointF& position, float angle)
{
    QTransform transform;
    transform.translate(position.x(), position.y());
    transform.rotateRadians(angle, Qt::ZAxis);
    painter->setTransform(transform, true);
}

void Plain_Chevron(QPainter* painter)
{
    painter->drawLine(QLine(-1, -1, 1, 0));
    painter->drawLine(QLine(-1, 1, 1, 0));
}

void Plain_Ghost(QPainter* painter, const Ghost_Ship& ghost)
{
    if (ghost.m_playback.isEmpty())
        return;
    Turn_To(painter, ghost.m_position, ghost.m_angle);
    painter->setPen(Plain_Round_Pen(QColor(130, 160, 255, 190), 1.0));
    // Both arms in one call: the translucent tip where they meet is blended once.
    const QLine arms[2] = {QLine(-1, -1, 1, 0), QLine(-1, 1, 1, 0)};
    painter->drawLines(arms, 2);
}

void Plain_Ship(QPainter* painter, const Ship& ship)
{
    for (size_t i = 1; i < ship.m_travelled_points.size(); ++i)
    {
        const QPointF p = ship.m_travelled_points[i - 1].position;
        const QPointF q = ship.m_travelled_points[i].position;
        if (std::fabs(static_cast<float>(p.x() - q.x())) <= 0.00001f &&
            std::fabs(static_cast<float>(p.y() - q.y())) <= 0.00001f)
            continue;
        const double fade = 255.0 - std::trunc(static_cast<double>(ship.m_travelled_points[i].age) * 510.0);
        const int alpha = fade >= 255.0 ? 255 : (fade > 0.0 ? static_cast<int>(fade) : 0);
        QPen pen(QColor(234, 48, 86, alpha));
        pen.setWidthF(1.0);
        painter->setPen(pen);
        painter->drawLine(QLineF(p, q));
    }
    Turn_To(painter, ship.m_position, ship.m_angle);
    QColor colour(0, 0, 0);
    float width = 1.0f;
    for (int pass = 0; pass < 5; ++pass)
    {
        if (pass == 1)
        {
            colour = QColor(90, 250, 120);
            width = width * 0.8f;
        }
        else if (pass > 1)
        {
            colour = colour.lighter(120);
            width = width * 0.6f;
        }
        painter->setPen(Plain_Round_Pen(colour, width));
        Plain_Chevron(painter);
    }
}

QColor Faded(const QColor& colour, float alpha)
{
    QColor faded(colour);
    faded.setAlphaF(colour.alphaF() * alpha);
    return faded;
}

void Plain_Text(QPainter* painter, float alpha, int x, int y, const QColor& colour, const QString& text)
{
    painter->setPen(Faded(QColor(0, 0, 0, colour.alpha()), alpha));
    painter->drawText(QPointF(x + 2, y + 2), text);
    painter->setPen(Faded(colour, alpha));
    painter->drawText(QPointF(x, y), text);
}

void Plain_UI(QPainter* painter, Scene_UI_Element* element)
{
    const float alpha = element->Get_Visible_Alpha();
    const QColor green(160, 250, 190);
    const int w = painter->device()->width();
    const int h = painter->device()->height();
    if (const auto* timer = dynamic_cast<const Lap_Timer*>(element))
    {
        Plain_Text(painter, alpha, 10, 20, QColor(100, 230, 130), timer->Text());
    }
    else if (dynamic_cast<const Ingame_Instructions*>(element))
    {
        Plain_Text(painter, alpha, 30, w >= h ? h / 2 + h * 22 / 100 : static_cast<int>(h * 0.6), green,
                   "Press and hold on the screen to race to the finish.");
    }
    else if (const auto* button = dynamic_cast<const UI_Button*>(element))
    {
        // The box laid out by the game's own first draw.
        const QColor frame = Faded(QColor(200, 255, 200), alpha);
        painter->fillRect(button->m_rect, button->m_held ? Faded(QColor(255, 60, 50, 190), alpha)
                                                         : Faded(QColor(55, 15, 10, 150), alpha));
        painter->setPen(Plain_Round_Pen(frame, 2.0));
        painter->drawRect(button->m_rect);
        painter->setPen(frame);
        painter->drawText(
            QPointF(static_cast<int>(button->m_text_pos.x()), static_cast<int>(button->m_text_pos.y())),
            button->m_text);
    }
    else if (dynamic_cast<const Fade_Plane*>(element))
    {
        const float a = std::min(std::max(alpha, 0.0f), 1.0f);
        painter->fillRect(painter->viewport(), QColor(0, 0, 0, static_cast<int>(a * 178.5f)));
    }
    else if (const auto* menu = dynamic_cast<const Main_Menu*>(element))
    {
        Plain_Text(painter, alpha, 30, static_cast<int>(h * 0.2), green, "Tavrelo");
        const QFontMetrics metrics = painter->fontMetrics();
        Plain_Text(painter, alpha, static_cast<int>((w - metrics.horizontalAdvance(menu->m_caption)) * 0.5),
                   static_cast<int>(h * 0.5 - metrics.height()), green, menu->m_caption);
    }
    else if (const auto* panel = dynamic_cast<const Finish_Panel*>(element))
    {
        const QStringList lines = panel->Lines();
        const QFontMetrics metrics = painter->fontMetrics();
        int text_width = 0;
        for (const QString& line : lines)
            text_width = std::max(text_width, metrics.horizontalAdvance(line));
        const int pad = std::max(metrics.lineSpacing() / 2, 8);
        const int box_width = std::min(text_width + 2 * pad, w - 8);
        const int box_height = static_cast<int>(lines.size()) * metrics.lineSpacing() + 2 * pad;
        const QRect box((w - box_width) / 2, (h - box_height) / 2, box_width, box_height);
        painter->fillRect(box, Faded(QColor(0, 0, 0, 200), alpha));
        painter->setPen(Faded(Hud_Palette::Text(), alpha));
        painter->drawRect(box.adjusted(0, 0, -1, -1));
        for (int i = 0; i < lines.size(); ++i)
        {
            painter->setPen(Faded(panel->Line_Colour(i), alpha));
            const int x = box.left() + (box.width() - metrics.horizontalAdvance(lines[i])) / 2;
            // Laid out whole, which at a fractional pixel ratio places glyphs as the game does, unlike
            // drawText.
            painter->drawStaticText(QPointF(x, box.top() + pad + metrics.ascent() +
                                                   i * metrics.lineSpacing() -
                                                   QFontMetricsF(painter->font()).ascent()),
                                    QStaticText(lines[i]));
        }
    }
    // The steering control draws nothing.
}

// --- A whole game screen built from the real elements, in the game's order.
struct Screen
{
    Screen()
        : timer(&clock), race_quit("QUIT", QPointF(3.0, 477.0), UI_Button::Anchor_Bottom),
          start("Start a new game", QPointF(400.0, 240.0),
                UI_Button::Anchor_Center_X | UI_Button::Anchor_Center_Y),
          previous("<<<", QPointF(20.0, 240.0), UI_Button::Anchor_Center_Y),
          next(">>>", QPointF(780.0, 240.0), UI_Button::Anchor_Right | UI_Button::Anchor_Center_Y),
          quit("QUIT", QPointF(3.0, 477.0), UI_Button::Anchor_Bottom)
    {
        scene.m_world_elements = {&stars, &level, &ghost, &ship};
        scene.m_ui_elements = {&movement, &timer,    &hint, &race_quit, &fade, &menu,
                               &start,    &previous, &next, &quit,      &panel};
        // Over the race, as when a lap ends.
        panel.Show(61.25f, 62.5f, true, QString());
        panel.Show_Sectors({1420, 1502, 1311, 1450}, {1390, 1502, 1300, 1420});
        level.Init(1);
        ship.Place_At(level.m_points[0],
                      (Float_Point(level.m_points[1]) - Float_Point(level.m_points[0])).To_QPointF());
        camera_angle = ship.m_angle;
        // Any non-empty replay shows the ghost; it flies beside the craft.
        ghost.m_playback = QStringLiteral("bbbb");
        clock.m_best = 83.5f;
        menu.m_caption = QStringLiteral("Track #2. Secundus");
    }

    void Show(bool race)
    {
        for (Scene_UI_Element* element :
             {static_cast<Scene_UI_Element*>(&menu), static_cast<Scene_UI_Element*>(&start),
              static_cast<Scene_UI_Element*>(&previous), static_cast<Scene_UI_Element*>(&next),
              static_cast<Scene_UI_Element*>(&quit), static_cast<Scene_UI_Element*>(&fade)})
            element->Set_Visible(!race);
        for (Scene_UI_Element* element :
             {static_cast<Scene_UI_Element*>(&movement), static_cast<Scene_UI_Element*>(&hint),
              static_cast<Scene_UI_Element*>(&race_quit), static_cast<Scene_UI_Element*>(&panel)})
            element->Set_Visible(race);
        clock.m_running = race;
    }

    // One frame of a craft driven in wide curves, with the camera following it.
    void Advance(int frame, int w, int h)
    {
        ship.m_left_thrust = (frame / 90) % 2 ? 90.0f : 60.0f;
        ship.m_right_thrust = (frame / 90) % 2 ? 55.0f : 90.0f;
        for (Scene_Element* element : scene.m_world_elements)
            element->Update(Step);
        for (Scene_UI_Element* element : scene.m_ui_elements)
            element->Update(Step);
        ship.Step(Step);
        clock.Tick(Step);
        ghost.m_position = QPointF(ship.m_position.x() + 6.0, ship.m_position.y() - 4.0);
        ghost.m_angle = ship.m_angle + 0.3f;
        camera_angle = Game::Follow_Camera_Angle(camera_angle, ship.m_angle);
        Aim(w, h);
    }

    void Aim(int w, int h)
    {
        scene.m_screen_to_world = Game::Screen_To_World(ship.m_position, camera_angle, w, h);
        scene.m_world_to_screen = scene.m_screen_to_world.inverted();
    }

    // With with_ui false, the world alone: what lies under the UI's text.
    // A black picture of w x h independent pixels at the screen's pixel ratio.
    QImage Blank(int w, int h) const
    {
        QImage image(qRound(w * ratio), qRound(h * ratio), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::black);
        return image;
    }

    QImage Game_Drawing(int w, int h, bool with_ui = true)
    {
        QImage image = Blank(w, h);
        QPainter painter(&image);
        const std::vector<Scene_UI_Element*> ui = scene.m_ui_elements;
        if (!with_ui)
            scene.m_ui_elements.clear();
        scene.Draw_Passes(&painter);
        scene.m_ui_elements = ui;
        return image;
    }

    QImage Plain_Drawing(int w, int h, bool with_ui = true)
    {
        QImage image = Blank(w, h);
        QPainter painter(&image);
        painter.setTransform(scene.m_world_to_screen);
        for (const auto& draw : {std::function<void()>([&] { Plain_Stars(&painter, stars); }),
                                 std::function<void()>([&] { Plain_Level(&painter, level); }),
                                 std::function<void()>([&] { Plain_Ghost(&painter, ghost); }),
                                 std::function<void()>([&] { Plain_Ship(&painter, ship); })})
        {
            painter.save();
            draw();
            painter.restore();
        }
        painter.setTransform(QTransform());
        for (Scene_UI_Element* element : with_ui ? scene.m_ui_elements : std::vector<Scene_UI_Element*>())
        {
            painter.save();
            if (element->Get_Visible_Alpha() > 0.02f)
                Plain_UI(&painter, element);
            painter.restore();
        }
        return image;
    }

    Game_Scene scene;
    Stars stars;
    Level level;
    Ghost_Ship ghost;
    Ship ship;
    Race_Clock clock;
    Movement_Control movement;
    Lap_Timer timer;
    Ingame_Instructions hint;
    UI_Button race_quit;
    Fade_Plane fade;
    Finish_Panel panel;
    Main_Menu menu;
    UI_Button start;
    UI_Button previous;
    UI_Button next;
    UI_Button quit;
    float camera_angle;
    qreal ratio = 1.0;
};

#ifdef TAVRELO_ALLOCATIONS_COUNTED
// A clock drawn the careless way: its text made anew in every Draw.
struct Text_Made_Each_Frame : Scene_UI_Element
{
    Text_Made_Each_Frame() : Scene_UI_Element(1.0f) {}
    void Draw(QPainter* painter) override { painter->drawText(QPointF(10.0, 40.0), QString::number(m_time)); }
    int m_time = 1234;
};
#endif

// Pixels of the game's picture that the plain one does not have. Filling
// an outline made once, instead of stroking each line, may move an edge by a
// pixel here and there, nothing more: at most 1 in 2,000 pixels may differ,
// and only where the plain picture has the game's colour within one pixel,
// or, for a pixel under translucent text, where the pictures of the world
// alone (if given) differ so. Where the UI drew, a channel may also be one
// off: text blended from a layer rounds twice where two glyphs' edges meet.
// Apart from those, at most 1 in 200 pixels may be up to two off in a
// channel: blends round so where the menu's plane darkens the colours drawn
// under it rather than being blended over them (translucent and anti-aliased
// pixels, text from a layer), each rounding once more.
// Returns what is wrong, or nothing.
bool Near_Colour(const QImage& plain, int x, int y, QRgb colour)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (plain.valid(x + dx, y + dy) && plain.pixel(x + dx, y + dy) == colour)
                return true;
    return false;
}

bool Off_By(QRgb a, QRgb b, int most)
{
    return qAbs(qRed(a) - qRed(b)) <= most && qAbs(qGreen(a) - qGreen(b)) <= most &&
           qAbs(qBlue(a) - qBlue(b)) <= most && qAlpha(a) == qAlpha(b);
}

QString Difference(const QImage& game, const QImage& plain, const QImage& game_world = QImage(),
                   const QImage& plain_world = QImage())
{
    const int w = game.width();
    const int h = game.height();
    int count = 0;
    int rounded = 0;
    int off_edge = 0;
    QPoint first(-1, -1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const QRgb colour = game.pixel(x, y);
            if (colour == plain.pixel(x, y) ||
                (Off_By(colour, plain.pixel(x, y), 2) && ++rounded * 200 <= w * h))
                continue;
            ++count;
            const bool near =
                Near_Colour(plain, x, y, colour) ||
                (!game_world.isNull() && game_world.pixel(x, y) != plain_world.pixel(x, y) &&
                 Near_Colour(plain_world, x, y, game_world.pixel(x, y))) ||
                (!game_world.isNull() &&
                 (colour != game_world.pixel(x, y) || plain.pixel(x, y) != plain_world.pixel(x, y)) &&
                 Off_By(colour, plain.pixel(x, y), 1));
            if (!near && off_edge++ == 0)
                first = QPoint(x, y);
        }
    if (count * 2000 <= w * h && off_edge == 0)
        return QString();
    return QString("%1 pixels differ, %2 of them off every edge, the first at (%3, %4): game %5, plain %6")
        .arg(count)
        .arg(off_edge)
        .arg(first.x())
        .arg(first.y())
        .arg(off_edge ? game.pixel(first) : 0, 8, 16)
        .arg(off_edge ? plain.pixel(first) : 0, 8, 16);
}
} // namespace

class Test_Repaint_Sameness : public QObject
{
    Q_OBJECT

private slots:
    void game_drawing_equals_plain_drawing_data()
    {
        QTest::addColumn<bool>("race");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("race 800x480") << true << 800 << 480 << 1.0;
        QTest::newRow("race 480x800, turned") << true << 480 << 800 << 1.0;
        QTest::newRow("race 1920x1080") << true << 1920 << 1080 << 1.0;
        QTest::newRow("menu 800x480") << false << 800 << 480 << 1.0;
        QTest::newRow("menu 1920x1080") << false << 1920 << 1080 << 1.0;
        QTest::newRow("race 800x480 at pixel ratio 2") << true << 800 << 480 << 2.0;
        QTest::newRow("race 800x480 at pixel ratio 1.5") << true << 800 << 480 << 1.5;
        QTest::newRow("menu 800x480 at pixel ratio 2") << false << 800 << 480 << 2.0;
    }

    void game_drawing_equals_plain_drawing()
    {
        QFETCH(bool, race);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(qreal, ratio);
        Screen screen;
        screen.ratio = ratio;
        screen.Show(race);
        screen.Aim(width, height);
        // From the start line to well into the course, the first frame (the
        // stars' scatter) included; the UI fades through the first of them.
        int drawn = 0;
        for (int frame = 0; frame <= 720; ++frame)
        {
            if (frame % 48 == 0)
            {
                const QImage game = screen.Game_Drawing(width, height);
                const QImage plain = screen.Plain_Drawing(width, height);
                const QString difference = Difference(game, plain, screen.Game_Drawing(width, height, false),
                                                      screen.Plain_Drawing(width, height, false));
                QVERIFY2(difference.isEmpty(), qPrintable(QString("frame %1: ").arg(frame) + difference));
                ++drawn;
            }
            screen.Advance(frame, width, height);
        }
        QCOMPARE(drawn, 16);
        // A comparison of two black screens would prove nothing: the road, the
        // craft and the text are on this one.
        const QImage last = screen.Game_Drawing(width, height);
        QSet<QRgb> colours;
        for (int y = 0; y < last.height(); y += 3)
            for (int x = 0; x < last.width(); x += 3)
                colours.insert(last.pixel(x, y));
        QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));

        // Once warm, a repaint allocates nothing, counted by the bench's
        // counter: every element drawn as the game does, the clock's next
        // frame after a second of frames (each hundredth's glyphs rasterised once),
        // with a split shown large and a finish panel holding all it can.
#ifdef TAVRELO_ALLOCATIONS_COUNTED
        Split_Notice split;
        split.Show(1, 0.42f);
        Finish_Panel panel;
        panel.Show(61.25f, 62.5f, true, QString());
        panel.Show_Rival(60.5f, QStringLiteral("Zoë"));
        panel.Show_Sectors({1420, 1502, 1311, 1450}, {1390, 1502, 1300, 1420});
        panel.m_place = QStringLiteral("3rd of 41");
        screen.scene.m_ui_elements.push_back(&split);
        screen.scene.m_ui_elements.push_back(&panel);
        QImage image = screen.Blank(width, height);
        QPainter painter(&image);
        for (int frame = 721; frame <= 781; ++frame)
        {
            screen.scene.Draw_Passes(&painter);
            screen.Advance(frame, width, height);
        }
        const int64_t before = Allocation_Count();
        screen.scene.Draw_Passes(&painter);
        if (before >= 0)
            QCOMPARE(Allocation_Count() - before, int64_t(0));
        // Nor does a race step that shows the next line's gap (its first
        // drawing may rasterise a glyph at a new fraction of a pixel).
        const int64_t shown = Allocation_Count();
        split.Show(2, 0.24f);
        if (shown >= 0)
            QCOMPARE(Allocation_Count() - shown, int64_t(0));
        QCOMPARE(split.Text(), QStringLiteral("+0.24"));

        // The counter catches the usual slip: a text made afresh in an element's Draw.
        Text_Made_Each_Frame slip;
        screen.scene.m_ui_elements.push_back(&slip);
        const int64_t slipped = Allocation_Count();
        screen.scene.Draw_Passes(&painter);
        if (slipped >= 0)
            QVERIFY(Allocation_Count() - slipped > 0);
#endif
    }

    void the_comparison_allows_only_a_few_edge_pixels()
    {
        // Plain: black left half, road colour right half, on a 200 x 100 image.
        QImage plain(200, 100, QImage::Format_ARGB32_Premultiplied);
        plain.fill(Qt::black);
        QPainter(&plain).fillRect(100, 0, 100, 100, QColor(250, 230, 140));
        QImage game = plain;
        QVERIFY(Difference(game, plain).isEmpty());

        // The edge moved by one pixel on ten rows: allowed (10 of 20,000).
        for (int y = 0; y < 10; ++y)
            game.setPixel(99, y, plain.pixel(100, y));
        QVERIFY(Difference(game, plain).isEmpty());
        // On eleven rows it is too many.
        game.setPixel(99, 10, plain.pixel(100, 10));
        QVERIFY(Difference(game, plain).startsWith("11 pixels differ, 0 of them off every edge"));

        // One pixel two away from the edge, or of a colour the plain picture
        // lacks nearby, is off every edge.
        game = plain;
        game.setPixel(98, 50, plain.pixel(100, 50));
        QVERIFY(Difference(game, plain)
                    .startsWith("1 pixels differ, 1 of them off every edge, the first at (98, 50)"));
        game = plain;
        game.setPixel(100, 50, qRgb(250, 227, 140));
        QVERIFY(Difference(game, plain)
                    .startsWith("1 pixels differ, 1 of them off every edge, the first at (100, 50)"));
        // Two off in a channel is rounding: allowed on 1 pixel in 200 (100
        // of these 20,000), anywhere; three off, as above, is not.
        game = plain;
        for (int x = 100; x < 200; ++x)
            game.setPixel(x, 50, qRgb(250, 228, 140));
        QVERIFY(Difference(game, plain).isEmpty());
        game.setPixel(100, 51, qRgb(250, 228, 140));
        QVERIFY(Difference(game, plain)
                    .startsWith("1 pixels differ, 1 of them off every edge, the first at (100, 51)"));
        // Where the UI drew, one off is allowed too; three off is not.
        game = plain;
        QImage world = plain;
        world.fill(Qt::black);
        game.setPixel(100, 50, qRgb(251, 230, 140));
        QVERIFY(Difference(game, plain, world, world).isEmpty());
        game.setPixel(100, 50, qRgb(247, 230, 140));
        QVERIFY(
            Difference(game, plain, world, world).startsWith("1 pixels differ, 1 of them off every edge"));
    }
};

QTEST_MAIN(Test_Repaint_Sameness)
#include "tst_repaint_sameness.moc"
