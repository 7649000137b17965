// Test_Support: helpers shared by the tests (isolated settings, a recording paint device).
#ifndef TAVRELO_TEST_SUPPORT_H
#define TAVRELO_TEST_SUPPORT_H

#include "Ghost_Ship.h"
#include "Level.h"
#include "Race.h"
#include "Ship.h"

#include <QBrush>
#include <QLineF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>
#include <QProcess>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QTransform>
#include <QVector>

#include <memory>

// Points QSettings' user scope (and XDG_CONFIG_HOME) at dir, so a test never
// touches the real settings of the user running it.
void Isolate_Settings(const QString& dir);

// Settings in a temporary folder for as long as the object lives.
class Temporary_Settings
{
public:
    Temporary_Settings();
    bool Is_Valid() const;
    QString Path() const;
    // The settings file the game uses inside the folder.
    QString File() const;

private:
    QTemporaryDir m_dir;
};

// What a child run of this test binary did.
struct Child_Run
{
    bool finished;
    QProcess::ExitStatus status;
    int exit_code;
    QString errors; // its standard error
};

// Runs this test binary again (or program, the same test built otherwise)
// with variable=value in its environment, where its main() takes a child's
// part (a case that must crash, a second process), and waits for it.
Child_Run Run_Self_As_Child(const char* variable, const QString& value, int timeout_ms = 60000,
                            const QString& program = QString());

// What one run of tavrelo-records (TAVRELO_RECORDS_EXE) did, in this process's environment.
struct Tool_Run
{
    int exit_code; // -1: it crashed or did not finish
    QString output;
    QString errors;
};
Tool_Run Run_Records_Tool(const QStringList& arguments);

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
    QVector<QRectF> rects; // Rects, Ellipse (one), Pixmap/Image target, Polygon (its bounds)
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

// A lap raced with no window by the game's own race, steered as a player
// holding a finger on the centre line lookahead units ahead would steer it,
// after waiting frames at the start without touching the screen.
struct Headless_Lap
{
    bool finished = false;
    float time = 0.0f;
    QString ghost;  // as the game stores it
    QString inputs; // as the game stores them
};
Headless_Lap Drive_Headless_Lap(int course, const QSize& view, float lookahead = 70.0f, int wait = 0);

// A race with no window and the elements it moves, attached; on a course, or on a level the test lays out.
// Taken apart where it is used: auto& [level, ship, ghost, race] = headless;
struct Headless_Race
{
    // course -1: the level is left empty for the test to fill.
    explicit Headless_Race(int course = -1);
    Headless_Race(const Headless_Race&) = delete;
    Headless_Race& operator=(const Headless_Race&) = delete;

    Level level;
    Ship ship;
    Ghost_Ship ghost;
    Race race;
};
