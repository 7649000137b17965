// The lap picture as a reader sees it: a put-back is no speed and no stroke, the band of who leads shares no
// colour with the speed scale, and every tick's time stands clear of the lines.
#include "Level.h"
#include "Record_Picture.h"
#include "Test_Support.h"
#include "Track_List.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

namespace
{
double Colour_Distance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

bool Is_Speed_Colour(const QColor& colour)
{
    for (int f = 0; f <= 100; ++f)
        if (Colour_Distance(colour, Record_Picture::Speed_Colour(f / 100.0f)) < 12)
            return true;
    return false;
}

// Every drawing call of the picture of lap (against rival, when given).
QVector<Painter_Call> Paint(int course, const Headless_Lap& lap, const Headless_Lap* rival)
{
    Recording_Device device(1024, 768);
    QPainter painter(&device);
    const Record_Picture::Run run{"best lap", lap.time, lap.ghost};
    const Record_Picture::Run other{"rival", rival ? rival->time : 0.0f, rival ? rival->ghost : QString()};
    Record_Picture::Paint(painter, course, run, rival ? &other : nullptr, QSize(1024, 768));
    painter.end();
    return device.Calls();
}
} // namespace

class Test_Record_Picture : public QObject
{
    Q_OBJECT

private slots:
    void a_put_back_is_no_speed_and_breaks_the_line()
    {
        // Steered this far ahead, the craft leaves the road at two bends of Primus and is put back.
        const Headless_Lap lap = Drive_Headless_Lap(0, QSize(800, 480), 160.0f);
        QVERIFY(lap.finished && !lap.ghost.isEmpty());
        Level level;
        level.Init(0);
        const std::vector<double> speeds =
            Record_Picture::Step_Speeds(Record_Picture::Replay(level, Get_Track_Info(0)->version, lap.ghost));
        int put_backs = 0;
        double fastest = 0.0;
        for (const double speed : speeds)
        {
            put_backs += speed < 0.0;
            fastest = std::max(fastest, speed);
        }
        QVERIFY2(put_backs >= 1, "the lap is meant to be put back on the road");
        QVERIFY2(fastest > 100.0 && fastest < 200.0, qPrintable(QString::number(fastest)));

        int strokes = 0;
        QString scale;
        for (const Painter_Call& call : Paint(0, lap, nullptr))
        {
            if (call.kind == Painter_Call::Lines && call.pen.widthF() == 3.0 &&
                Is_Speed_Colour(call.pen.color()))
                for (const QLineF& line : call.lines)
                {
                    ++strokes;
                    QVERIFY2(line.length() <= Level::Road_Half_Width,
                             qPrintable(QString::number(line.length())));
                }
            if (call.kind == Painter_Call::Text && call.text.endsWith("units/s"))
                scale = call.text;
        }
        QCOMPARE(strokes, static_cast<int>(speeds.size()) - put_backs);
        QCOMPARE(scale, QStringLiteral("%1 units/s").arg(fastest, 0, 'f', 0));
    }

    void tick_labels_stand_clear_and_the_lead_band_is_no_speed_colour()
    {
        const Headless_Lap lap = Drive_Headless_Lap(1, QSize(800, 480), 90.0f);
        const Headless_Lap rival = Drive_Headless_Lap(1, QSize(800, 480), 50.0f);
        const QVector<Painter_Call> calls = Paint(1, lap, &rival);
        const Record_Picture::Run other{QStringLiteral("Rival"), rival.time, rival.ghost};
        std::vector<QPointF> lines; // in pixels: the lap's and the rival's
        int lead = 0;
        for (const Painter_Call& call : calls)
        {
            if (call.kind != Painter_Call::Lines)
                continue;
            const double width = call.pen.widthF();
            if (width == 3.0 || width == 7.0)
                for (const QLineF& line : call.lines)
                    lines.push_back(call.transform.map(line.p1()));
            if (width == 4.0)
            {
                ++lead;
                QVERIFY(call.pen.color() == Record_Picture::Lead_Colour ||
                        call.pen.color() == Record_Picture::Rival_Colour);
                QVERIFY(!Is_Speed_Colour(call.pen.color()));
            }
        }
        QVERIFY(lead > 20 && lines.size() > 3000);

        QFont font;
        font.setPixelSize(14);
        const QFontMetricsF metrics(font);
        int labels = 0;
        for (const Painter_Call& call : calls)
        {
            if (call.kind != Painter_Call::Text ||
                !QRegularExpression("^\\d+ s$").match(call.text).hasMatch())
                continue;
            ++labels;
            const QRectF box(call.point.x(), call.point.y() - metrics.ascent(),
                             metrics.horizontalAdvance(call.text), metrics.height());
            double clearance = 1e30;
            for (const QPointF& point : lines)
                clearance = std::min(
                    clearance, std::hypot(std::max({box.left() - point.x(), 0.0, point.x() - box.right()}),
                                          std::max({box.top() - point.y(), 0.0, point.y() - box.bottom()})));
            QVERIFY2(clearance >= 4.0,
                     qPrintable(QStringLiteral("'%1' %2 px from a line").arg(call.text).arg(clearance)));
        }
        QCOMPARE(labels, static_cast<int>(std::floor(lap.time / Record_Picture::Tick_Seconds)));

        // A course laid out once and its road drawn once, then drawn over again and again (as the board
        // does), draws what one painter drawing it all on a fresh course does.
        Level level;
        level.Init(1);
        const QSize size(320, 240);
        const QImage backdrop = Record_Picture::Backdrop(level, size);
        for (const Headless_Lap* run : {&lap, &rival})
        {
            const Record_Picture::Run drawn{QStringLiteral("Run"), run->time, run->ghost};
            QImage whole(size, QImage::Format_RGB32);
            whole.fill(Record_Picture::Background_Colour);
            QPainter painter(&whole);
            Record_Picture::Paint(painter, 1, drawn, run == &lap ? &other : nullptr, size);
            painter.end();
            QCOMPARE(Record_Picture::Render(backdrop, level, drawn, run == &lap ? &other : nullptr), whole);
        }
    }
};

QTEST_MAIN(Test_Record_Picture)
#include "tst_record_picture.moc"
