// Record_Picture: a whole course drawn with the game's road, and one or two ghosts' runs over it.
#ifndef TAVRELO_RECORD_PICTURE_H
#define TAVRELO_RECORD_PICTURE_H

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QTransform>

#include <vector>

class Level;
class QPainter;

class Record_Picture
{
public:
    // One run to draw: what the legend calls it, its lap time and its ghost.
    struct Run
    {
        QString label;
        float time;
        QString ghost;
    };

    // The run's line goes from Slow_Colour through Middle_Colour to Fast_Colour
    // with its speed; a rival run is drawn in Rival_Colour. Where the run leads
    // the band beside the road is Lead_Colour, where the rival leads
    // Rival_Colour. None of them is a colour of the road, and Lead_Colour is
    // none of the speed scale's.
    static const QColor Slow_Colour;
    static const QColor Middle_Colour;
    static const QColor Fast_Colour;
    static const QColor Rival_Colour;
    static const QColor Lead_Colour;
    static const QColor Background_Colour;
    // Ticks and their time labels along the run.
    static constexpr int Tick_Seconds = 5;

    // The picture of course with run (and rival, when given) at the given size.
    static QImage Render(int course, const Run& run, const Run* rival, const QSize& size);
    // The same, painted with painter over a background already filled.
    static void Paint(QPainter& painter, int course, const Run& run, const Run* rival, const QSize& size);
    // Both on a course laid out already (Init'ed with its road): laying out the road is much of the work, and
    // whoever draws many pictures does it once a course.
    static QImage Render(Level& level, const Run& run, const Run* rival, const QSize& size);
    static void Paint(QPainter& painter, Level& level, const Run& run, const Run* rival, const QSize& size);
    // The course's road alone on the background, which every picture of it at that size starts from; and a
    // picture drawn over a copy of it, the same to the pixel as one drawn whole. Whoever draws many pictures
    // of a course draws its road once.
    static QImage Backdrop(Level& level, const QSize& size);
    static QImage Render(QImage backdrop, Level& level, const Run& run, const Run* rival);

    // From the course's world units to the pixels of a picture of that size.
    static QTransform Fit(const Level& level, const QSize& size);
    // Where the ghost is after each replayed sample, from the course's start.
    static std::vector<QPointF> Replay(const Level& level, int version, const QString& ghost);
    // Each step's speed in units a second; a put-back onto the road, which no
    // craft drives, is no speed: -1 there.
    static std::vector<double> Step_Speeds(const std::vector<QPointF>& path);
    // The colour of a speed, 0 for the slowest of the run and 1 for the fastest.
    static QColor Speed_Colour(float fraction);
    // For each piece of the course, the frame in which the run first got to
    // it (-1 if it never did), following the run piece by piece as the race
    // rules do.
    static std::vector<int> Arrivals(const Level& level, const std::vector<QPointF>& path);

private:
    static void Paint_Road(QPainter& painter, Level& level, const QSize& size);
    static void Paint_Runs(QPainter& painter, Level& level, const Run& run, const Run* rival,
                           const QSize& size);
};

#endif
