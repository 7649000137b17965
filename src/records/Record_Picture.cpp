#include "Record_Picture.h"

#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Hud_Palette.h"
#include "Level.h"
#include "Race_Clock.h"
#include "Track_List.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLineF>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QRectF>
#include <QTransform>

#include <algorithm>
#include <cmath>

const QColor Record_Picture::Slow_Colour(235, 40, 60);
const QColor Record_Picture::Middle_Colour(190, 70, 255);
const QColor Record_Picture::Fast_Colour(40, 200, 255);
const QColor Record_Picture::Rival_Colour(255, 140, 20);
const QColor Record_Picture::Lead_Colour(70, 235, 120);
const QColor Record_Picture::Background_Colour(0, 0, 0);

namespace
{
constexpr int Frames_Per_Second = 60;
constexpr double Title_Height = 52.0;
constexpr double Legend_Height = 46.0;
constexpr double Margin = 12.0;
// The band that tells who leads runs just outside the road's kerbs.
constexpr double Lead_Band_Offset = Level::Road_Half_Width + 9.0;
// A craft covers about 2.4 units a frame at full speed; being put back on the
// road from beyond its edge moves it twice the road's half width at once.
constexpr double Put_Back_Step = Level::Road_Half_Width;
// How far a tick's label keeps from any line, in pixels.
constexpr double Label_Clearance = 6.0;

QColor Mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

double Distance(const QPointF& a, const QPointF& b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

QPen Screen_Pen(const QColor& colour, double width)
{
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(true); // pixels, whatever the scale of the course
    return pen;
}

// The run's line, each step coloured by its speed, broken where the craft was put back.
void Draw_Speed_Line(QPainter& painter, const std::vector<QPointF>& path, const std::vector<double>& speeds,
                     double slowest, double fastest)
{
    const double range = std::max(fastest - slowest, 1e-6);
    for (size_t i = 1; i < path.size(); ++i)
    {
        if (speeds[i - 1] < 0.0)
            continue;
        painter.setPen(Screen_Pen(
            Record_Picture::Speed_Colour(static_cast<float>((speeds[i - 1] - slowest) / range)), 3.0));
        painter.drawLine(QLineF(path[i - 1], path[i]));
    }
}

// How far the nearest of points is from rect. Thousands of points for every place a label may stand: the
// nearest is found by the square of the distance, and only its distance taken.
double Distance_To(const QRectF& rect, const std::vector<QPointF>& points)
{
    double nearest = 1e300;
    double nearest_dx = 1e30, nearest_dy = 0.0;
    for (const QPointF& point : points)
    {
        const double dx = std::max({rect.left() - point.x(), 0.0, point.x() - rect.right()});
        const double dy = std::max({rect.top() - point.y(), 0.0, point.y() - rect.bottom()});
        const double squared = dx * dx + dy * dy;
        if (squared < nearest)
        {
            nearest = squared;
            nearest_dx = dx;
            nearest_dy = dy;
        }
    }
    return std::hypot(nearest_dx, nearest_dy);
}

// A tick across the line every few seconds, its time beside it where no line
// runs and no other label stands, on whichever side and at whatever distance
// is first clear; on a dark plate in any case.
void Draw_Ticks(QPainter& painter, const QTransform& world, const std::vector<QPointF>& path,
                const std::vector<QPointF>& lines)
{
    const int every = Record_Picture::Tick_Seconds * Frames_Per_Second;
    std::vector<QPointF> screen;
    screen.reserve(lines.size());
    for (const QPointF& point : lines)
        screen.push_back(world.map(point));
    const QFontMetricsF metrics(painter.font());
    std::vector<QRectF> placed;
    for (size_t i = every; i + 1 < path.size(); i += every)
    {
        const QPointF at = world.map(path[i]);
        const QPointF ahead = world.map(path[std::min(path.size() - 1, i + 3)]);
        QPointF across(at.y() - ahead.y(), ahead.x() - at.x());
        const double length = std::hypot(across.x(), across.y());
        if (length <= 0.0)
            across = QPointF(0.0, 1.0);
        else
            across /= length;
        painter.setPen(Screen_Pen(QColor(255, 255, 255), 2.0));
        painter.drawLine(QLineF(at - across * 7.0, at + across * 7.0));

        const QString label = QStringLiteral("%1 s").arg(i / Frames_Per_Second);
        const QSizeF size(metrics.horizontalAdvance(label) + 6.0, metrics.height() + 2.0);
        QRectF best;
        double best_clearance = -1.0;
        // The first place that stands clear is taken: no later one can replace it.
        for (const double distance : {12.0, 22.0, 34.0, 48.0, 64.0})
            for (const double side : {1.0, -1.0})
            {
                if (best_clearance >= Label_Clearance)
                    break;
                // The plate's nearest edge distance pixels from the line, along the tick.
                const QPointF reach(std::fabs(across.x()) * size.width() / 2.0,
                                    std::fabs(across.y()) * size.height() / 2.0);
                const QPointF centre = at + across * side * (distance + std::hypot(reach.x(), reach.y()));
                const QRectF plate(centre - QPointF(size.width() / 2.0, size.height() / 2.0), size);
                double clearance = Distance_To(plate, screen);
                for (const QRectF& other : placed)
                    if (other.adjusted(-2.0, -2.0, 2.0, 2.0).intersects(plate))
                        clearance = std::min(clearance, 0.0);
                if (clearance > best_clearance + 1e-9 && best_clearance < Label_Clearance)
                {
                    best = plate;
                    best_clearance = clearance;
                }
            }
        placed.push_back(best);
        painter.fillRect(best, QColor(0, 0, 0, 190));
        painter.setPen(QColor(255, 255, 255));
        painter.drawText(best, Qt::AlignCenter, label);
    }
}

// Text with a dark shadow, as the game draws its own.
void Draw_Label(QPainter& painter, const QPointF& at, const QColor& colour, const QString& text)
{
    painter.setPen(QColor(0, 0, 0));
    painter.drawText(at + QPointF(1.5, 1.5), text);
    painter.setPen(colour);
    painter.drawText(at, text);
}
} // namespace

QColor Record_Picture::Speed_Colour(float fraction)
{
    const double t = std::min(std::max(static_cast<double>(fraction), 0.0), 1.0);
    return t < 0.5 ? Mix(Slow_Colour, Middle_Colour, t * 2.0)
                   : Mix(Middle_Colour, Fast_Colour, t * 2.0 - 1.0);
}

std::vector<QPointF> Record_Picture::Replay(const Level& level, int version, const QString& ghost)
{
    std::vector<QPointF> path;
    if (level.m_points.empty())
        return path;
    // The game's own replay, sample by sample, from where every race starts.
    Ghost_Ship replay;
    Ghost_Start(replay, ghost, level.m_points[0], 0.0f, version);
    while (replay.m_read_pos < replay.m_playback.size())
    {
        Ghost_Play_Sample(replay);
        path.push_back(replay.m_position);
    }
    return path;
}

std::vector<double> Record_Picture::Step_Speeds(const std::vector<QPointF>& path)
{
    std::vector<double> speeds;
    for (size_t i = 1; i < path.size(); ++i)
    {
        const double step = Distance(path[i], path[i - 1]);
        speeds.push_back(step > Put_Back_Step ? -1.0 : step * Frames_Per_Second);
    }
    return speeds;
}

std::vector<int> Record_Picture::Arrivals(const Level& level, const std::vector<QPointF>& path)
{
    const int count = static_cast<int>(level.m_points.size());
    std::vector<int> arrivals(static_cast<size_t>(std::max(count, 0)), -1);
    int piece = 0;
    for (size_t frame = 0; frame < path.size(); ++frame)
    {
        double best = 1e30;
        int best_piece = piece;
        for (int i = std::max(piece - 3, 0); i <= std::min(piece + 5, count - 1); ++i)
        {
            const QPointF start = level.m_points[i];
            const QPointF direction = level.m_directions[i];
            const QPointF offset = path[frame] - start;
            double along = offset.x() * direction.x() + offset.y() * direction.y();
            along = std::min(std::max(along, 0.0), static_cast<double>(level.m_lengths[i]));
            const double distance = Distance(start + along * direction, path[frame]);
            if (distance < best)
            {
                best = distance;
                best_piece = i;
            }
        }
        piece = best_piece;
        for (int k = 0; k <= piece; ++k)
            if (arrivals[k] < 0)
                arrivals[k] = static_cast<int>(frame);
    }
    return arrivals;
}

QTransform Record_Picture::Fit(const Level& level, const QSize& size)
{
    // The whole course, road and kerbs included, fitted between title and legend.
    double left = 1e30, top = 1e30, right = -1e30, bottom = -1e30;
    for (const QPointF& point : level.m_points)
    {
        left = std::min(left, point.x());
        right = std::max(right, point.x());
        top = std::min(top, point.y());
        bottom = std::max(bottom, point.y());
    }
    QRectF bounds(QPointF(left, top), QPointF(right, bottom));
    const double pad = Lead_Band_Offset + 6.0;
    bounds.adjust(-pad, -pad, pad, pad);
    const QRectF area(Margin, Title_Height, size.width() - 2.0 * Margin,
                      size.height() - Title_Height - Legend_Height);
    const double scale =
        std::max(std::min(area.width() / bounds.width(), area.height() / bounds.height()), 1e-3);
    QTransform world;
    world.translate(area.center().x(), area.center().y());
    world.scale(scale, scale);
    world.translate(-bounds.center().x(), -bounds.center().y());
    return world;
}

QImage Record_Picture::Render(int course, const Run& run, const Run* rival, const QSize& size)
{
    Level level;
    level.Init(course);
    return Render(level, run, rival, size);
}

QImage Record_Picture::Render(Level& level, const Run& run, const Run* rival, const QSize& size)
{
    return Render(Backdrop(level, size), level, run, rival);
}

QImage Record_Picture::Backdrop(Level& level, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Background_Colour);
    QPainter painter(&image);
    Paint_Road(painter, level, size);
    painter.end();
    return image;
}

QImage Record_Picture::Render(QImage backdrop, Level& level, const Run& run, const Run* rival)
{
    // Painting detaches a backdrop still shared with its keeper, and paints over one made for this picture
    // alone.
    QPainter painter(&backdrop);
    Paint_Runs(painter, level, run, rival, backdrop.size());
    painter.end();
    return backdrop;
}

void Record_Picture::Paint(QPainter& painter, int course, const Run& run, const Run* rival, const QSize& size)
{
    Level level;
    level.Init(course);
    Paint(painter, level, run, rival, size);
}

void Record_Picture::Paint(QPainter& painter, Level& level, const Run& run, const Run* rival,
                           const QSize& size)
{
    Paint_Road(painter, level, size);
    Paint_Runs(painter, level, run, rival, size);
}

void Record_Picture::Paint_Road(QPainter& painter, Level& level, const QSize& size)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setWorldTransform(Fit(level, size));
    level.Draw(&painter);
    painter.restore();
}

void Record_Picture::Paint_Runs(QPainter& painter, Level& level, const Run& run, const Run* rival,
                                const QSize& size)
{
    const Track_Info* info = Get_Track_Info(level.m_track_index);

    painter.setRenderHint(QPainter::Antialiasing, true);
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);

    const QTransform world = Fit(level, size);

    const std::vector<QPointF> path = Replay(level, info->version, run.ghost);
    std::vector<QPointF> rival_path;
    if (rival != nullptr)
        rival_path = Replay(level, info->version, rival->ghost);

    painter.save();
    painter.setWorldTransform(world);
    // Who leads where: whoever got to a piece of the course first.
    if (rival != nullptr)
    {
        const std::vector<int> ours = Arrivals(level, path);
        const std::vector<int> theirs = Arrivals(level, rival_path);
        for (size_t k = 0; k + 1 < level.m_points.size(); ++k)
        {
            const bool we_lead = ours[k] >= 0 && (theirs[k] < 0 || ours[k] < theirs[k]);
            const bool they_lead = theirs[k] >= 0 && (ours[k] < 0 || theirs[k] < ours[k]);
            if (!we_lead && !they_lead)
                continue;
            const QPointF shift = level.m_normals[k] * Lead_Band_Offset;
            painter.setPen(Screen_Pen(we_lead ? Lead_Colour : Rival_Colour, 4.0));
            painter.drawLine(QLineF(level.m_points[k] - shift, level.m_points[k + 1] - shift));
        }
    }
    const std::vector<double> speeds = Step_Speeds(path);
    double slowest = 1e30;
    double fastest = 0.0;
    for (const double speed : speeds)
        if (speed >= 0.0)
        {
            slowest = std::min(slowest, speed);
            fastest = std::max(fastest, speed);
        }
    if (fastest < slowest)
        slowest = 0.0;
    // The rival's line goes wide underneath: where the two run together it frames the other.
    painter.setPen(Screen_Pen(Rival_Colour, 7.0));
    const std::vector<double> rival_speeds = Step_Speeds(rival_path);
    for (size_t i = 1; i < rival_path.size(); ++i)
        if (rival_speeds[i - 1] >= 0.0)
            painter.drawLine(QLineF(rival_path[i - 1], rival_path[i]));
    Draw_Speed_Line(painter, path, speeds, slowest, fastest);
    painter.restore();
    std::vector<QPointF> lines = path;
    lines.insert(lines.end(), rival_path.begin(), rival_path.end());
    Draw_Ticks(painter, world, path, lines);

    // Title: the course and the lap times.
    const double line = QFontMetricsF(font).height();
    Draw_Label(painter, QPointF(Margin, Margin + line * 0.8), Hud_Palette::Text(),
               QStringLiteral("%1: %2  %3")
                   .arg(QLatin1String(info->name), run.label, Race_Clock::Format_Time(run.time)));
    if (rival != nullptr)
    {
        const double gap = static_cast<double>(rival->time) - static_cast<double>(run.time);
        Draw_Label(painter, QPointF(Margin, Margin + line * 1.9), Rival_Colour,
                   QStringLiteral("against %1  %2  (%3%4 s)")
                       .arg(rival->label, Race_Clock::Format_Time(rival->time), gap >= 0.0 ? "+" : "-")
                       .arg(std::fabs(gap), 0, 'f', 2));
    }

    // Legend: the speed scale, and what the lead band's colours mean.
    const double y = size.height() - Legend_Height + 14.0;
    const QRectF bar(Margin + 70.0, y, 160.0, 10.0);
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    gradient.setColorAt(0.0, Slow_Colour);
    gradient.setColorAt(0.5, Middle_Colour);
    gradient.setColorAt(1.0, Fast_Colour);
    painter.fillRect(bar, gradient);
    Draw_Label(painter, QPointF(Margin, y + 10.0), QColor(220, 220, 220), QStringLiteral("speed"));
    Draw_Label(painter, QPointF(bar.left(), y + 26.0), QColor(220, 220, 220),
               QStringLiteral("%1").arg(slowest, 0, 'f', 0));
    Draw_Label(painter, QPointF(bar.right() - 24.0, y + 26.0), QColor(220, 220, 220),
               QStringLiteral("%1 units/s").arg(fastest, 0, 'f', 0));
    if (rival != nullptr)
    {
        const double x = bar.right() + 90.0;
        painter.fillRect(QRectF(x, y, 24.0, 4.0), Lead_Colour);
        Draw_Label(painter, QPointF(x + 30.0, y + 6.0), QColor(220, 220, 220),
                   QStringLiteral("%1 ahead").arg(run.label));
        painter.fillRect(QRectF(x, y + 16.0, 24.0, 4.0), Rival_Colour);
        Draw_Label(painter, QPointF(x + 30.0, y + 22.0), QColor(220, 220, 220),
                   QStringLiteral("%1 ahead").arg(rival->label));
    }
}
