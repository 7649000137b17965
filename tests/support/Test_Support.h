// Test_Support: helpers shared by the tests (isolated settings, a recording paint device).
#ifndef TAVRELO_TEST_SUPPORT_H
#define TAVRELO_TEST_SUPPORT_H

#include <QBrush>
#include <QLineF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <QVector>

#include <memory>

// Points QSettings' user scope (and XDG_CONFIG_HOME) at dir, so a test never
// touches the real settings of the user running it.
void Isolate_Settings(const QString& dir);

// One drawing call seen by a Recording_Device, with the painter state it was made in.
struct Painter_Call
{
    enum Kind
    {
        Lines,
        Rects,
        Ellipse,
        Text,
        Path,
        Polygon,
        Pixmap,
        Image,
        Points,
    };
    Kind kind;
    QPen pen;
    QBrush brush;
    QTransform transform;
    QVector<QLineF> lines; // Lines
    QVector<QRectF> rects; // Rects, Ellipse (one), Pixmap/Image target
    QPointF point;         // Text baseline start
    QString text;          // Text
};

class Recording_Engine;

// A paint device that draws nothing and records every call made on it, so
// that tests can compare pens, colours and coordinates with what is expected.
class Recording_Device : public QPaintDevice
{
public:
    Recording_Device(int width, int height);
    ~Recording_Device() override;

    QPaintEngine* paintEngine() const override;
    const QVector<Painter_Call>& Calls() const;
    void Clear();
    // How many calls of one kind were recorded.
    int Count(Painter_Call::Kind kind) const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    int m_width;
    int m_height;
    std::unique_ptr<Recording_Engine> m_engine;
};

#endif
