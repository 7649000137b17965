#include "Test_Support.h"

#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Level.h"
#include "Portable_Math.h"
#include "Race.h"
#include "Ship.h"

#include <QCoreApplication>
#include <QPainterPath>
#include <QPolygonF>
#include <QSettings>
#include <QTextItem>

void Isolate_Settings(const QString& dir)
{
    qputenv("XDG_CONFIG_HOME", dir.toLocal8Bit());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
}

Temporary_Settings::Temporary_Settings()
{
    if (m_dir.isValid())
        Isolate_Settings(m_dir.path());
}

bool Temporary_Settings::Is_Valid() const
{
    return m_dir.isValid();
}

QString Temporary_Settings::Path() const
{
    return m_dir.path();
}

QString Temporary_Settings::File() const
{
    return m_dir.path() + "/Norvikk/Tavrelo.ini";
}

Child_Run Run_Self_As_Child(const char* variable, const QString& value, int timeout_ms,
                            const QString& program)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(variable), value);
    child.setProcessEnvironment(env);
    child.start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program, QStringList());
    const bool finished = child.waitForFinished(timeout_ms);
    return Child_Run{finished, child.exitStatus(), child.exitCode(),
                     QString::fromLocal8Bit(child.readAllStandardError())};
}

Tool_Run Run_Records_Tool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(qEnvironmentVariable("TAVRELO_RECORDS_EXE"), arguments);
    const bool finished = tool.waitForFinished(60000);
    const bool exited = finished && tool.exitStatus() == QProcess::NormalExit;
    return Tool_Run{exited ? tool.exitCode() : -1, QString::fromLocal8Bit(tool.readAllStandardOutput()),
                    QString::fromLocal8Bit(tool.readAllStandardError())};
}

class Recording_Engine : public QPaintEngine
{
public:
    Recording_Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& state) override
    {
        const QPaintEngine::DirtyFlags flags = state.state();
        if (flags & DirtyPen)
            m_pen = state.pen();
        if (flags & DirtyBrush)
            m_brush = state.brush();
        if (flags & DirtyTransform)
            m_transform = state.transform();
    }

    Painter_Call Make(Painter_Call::Kind kind) const
    {
        Painter_Call call;
        call.kind = kind;
        call.pen = m_pen;
        call.brush = m_brush;
        call.transform = m_transform;
        return call;
    }

    void drawLines(const QLineF* lines, int count) override
    {
        Painter_Call call = Make(Painter_Call::Lines);
        for (int i = 0; i < count; ++i)
            call.lines.append(lines[i]);
        m_calls.append(call);
    }
    void drawLines(const QLine* lines, int count) override
    {
        Painter_Call call = Make(Painter_Call::Lines);
        for (int i = 0; i < count; ++i)
            call.lines.append(QLineF(lines[i]));
        m_calls.append(call);
    }
    void drawRects(const QRectF* rects, int count) override
    {
        Painter_Call call = Make(Painter_Call::Rects);
        for (int i = 0; i < count; ++i)
            call.rects.append(rects[i]);
        m_calls.append(call);
    }
    void drawRects(const QRect* rects, int count) override
    {
        Painter_Call call = Make(Painter_Call::Rects);
        for (int i = 0; i < count; ++i)
            call.rects.append(QRectF(rects[i]));
        m_calls.append(call);
    }
    void drawEllipse(const QRectF& rect) override
    {
        Painter_Call call = Make(Painter_Call::Ellipse);
        call.rects.append(rect);
        m_calls.append(call);
    }
    void drawEllipse(const QRect& rect) override { drawEllipse(QRectF(rect)); }
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        Painter_Call call = Make(Painter_Call::Text);
        call.point = p;
        call.text = item.text();
        m_calls.append(call);
    }
    void drawPath(const QPainterPath&) override { m_calls.append(Make(Painter_Call::Path)); }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode) override
    {
        Painter_Call call = Make(Painter_Call::Polygon);
        call.rects.append(QPolygonF(QVector<QPointF>(points, points + count)).boundingRect());
        m_calls.append(call);
    }
    void drawPoints(const QPointF*, int) override { m_calls.append(Make(Painter_Call::Points)); }
    void drawPixmap(const QRectF& r, const QPixmap&, const QRectF&) override
    {
        Painter_Call call = Make(Painter_Call::Pixmap);
        call.rects.append(r);
        m_calls.append(call);
    }
    void drawImage(const QRectF& r, const QImage&, const QRectF&, Qt::ImageConversionFlags) override
    {
        Painter_Call call = Make(Painter_Call::Image);
        call.rects.append(r);
        m_calls.append(call);
    }

    QVector<Painter_Call> m_calls;
    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
};

Recording_Device::Recording_Device(int width, int height)
    : m_width(width), m_height(height), m_engine(new Recording_Engine)
{
}

Recording_Device::~Recording_Device() = default;

QPaintEngine* Recording_Device::paintEngine() const
{
    return m_engine.get();
}

const QVector<Painter_Call>& Recording_Device::Calls() const
{
    return m_engine->m_calls;
}

void Recording_Device::Clear()
{
    m_engine->m_calls.clear();
}

int Recording_Device::Count(Painter_Call::Kind kind) const
{
    int n = 0;
    for (const Painter_Call& call : m_engine->m_calls)
        if (call.kind == kind)
            ++n;
    return n;
}

int Recording_Device::metric(PaintDeviceMetric metric) const
{
    switch (metric)
    {
    case PdmWidth:
        return m_width;
    case PdmHeight:
        return m_height;
    case PdmWidthMM:
        return m_width * 254 / 960;
    case PdmHeightMM:
        return m_height * 254 / 960;
    case PdmNumColors:
        return 0x7fffffff;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
    default:
        return 0;
    }
}

Headless_Race::Headless_Race(int course)
{
    if (course >= 0)
        level.Init(course);
    race.Attach(&level, &ship, &ghost);
}

Headless_Lap Drive_Headless_Lap(int course, const QSize& view, float lookahead, int wait)
{
    Headless_Race headless(course);
    auto& [level, ship, ghost, race] = headless;
    race.Reset(QString(), 0.0f, view);
    Headless_Lap lap;
    for (int frame = 0; frame < wait; ++frame)
        race.Step(Input_Frame{false, QPoint(), view});
    for (int frame = 0; frame < Input_Track::Max_Frames && !lap.finished; ++frame)
    {
        const QPointF ahead =
            Portable_Math::Map(
                race.m_world_to_screen,
                Float_Point(level.Point_Ahead(race.m_closest_segment, race.m_segment_fraction, lookahead)))
                .To_QPointF();
        const QPoint pixel(qBound(2, qRound(ahead.x()), view.width() - 3),
                           qBound(2, qRound(ahead.y()), view.height() - 3));
        lap.finished = race.Step(Input_Frame{true, pixel, view}) == Race::Finished;
    }
    lap.time = race.m_clock.m_elapsed;
    lap.ghost = ghost.m_record.size() <= Ghost_Record_Cap ? ghost.m_record : QString();
    lap.inputs = race.m_inputs.Encode();
    return lap;
}
