// A best lap written by one game process is read by the next: the time in the clock's text, and the ghost
// drawn from the first frame of the next race, replaying the recorded path.
#include "Game.h"
#include "Ghost_Ship.h"
#include "Lap_Timer.h"
#include "Pursuit_Driver.h"
#include "Ship.h"
#include "Test_Support.h"
#include "UI_Button.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace
{
constexpr double Ghost_Step = 1.0 / 256.0; // the ghost's position unit, world units

QString Path_File(const QString& dir)
{
    return dir + "/recorded_path.txt";
}

void Start_Race(Game& game)
{
    game.m_start_button->m_was_pressed = true;
    game.Advance_Frame();
}

// Drives a lap and returns the craft's position at every frame that recorded a ghost sample.
QVector<QPointF> Drive_And_Record(Game& game)
{
    QVector<QPointF> path;
    Pursuit_Driver driver(game);
    driver.Press();
    for (int frame = 0; frame < 90 * 60 && game.m_state == Game::State_Race; ++frame)
    {
        const int before = game.m_ghost_ship->m_record.size();
        driver.Step();
        if (game.m_ghost_ship->m_record.size() > before)
            path << game.m_ship->m_position;
    }
    return path;
}

// The second process: reads the record the first one left.
int Check_The_Record(const QString& dir, int argc, char** argv)
{
    QApplication app(argc, argv);
    Isolate_Settings(dir);
    QFile file(Path_File(dir));
    if (!file.open(QIODevice::ReadOnly))
        return 10;
    QTextStream in(&file);
    float best = 0.0f;
    in >> best;
    QVector<QPointF> path;
    while (!in.atEnd())
    {
        double x = 0.0;
        double y = 0.0;
        in >> x >> y;
        if (in.status() == QTextStream::Ok)
            path << QPointF(x, y);
    }
    Game game;
    if (game.m_lap_timer->Text() != "00:00:00, best: " + Lap_Timer::Format_Time(best))
    {
        qWarning("timer shows '%s' for a best of %f", qPrintable(game.m_lap_timer->Text()), double(best));
        return 11;
    }
    Start_Race(game);
    // Drawn from the first frame: the translucent blue chevron at the start.
    Recording_Device device(800, 480);
    {
        QPainter painter(&device);
        game.m_ghost_ship->Draw(&painter);
    }
    if (device.Count(Painter_Call::Lines) == 0 ||
        device.Calls().first().pen.color() != QColor(130, 160, 255, 190))
        return 12;
    // Driven the same way, the new run replays the old one sample by sample.
    Pursuit_Driver driver(game);
    driver.Press();
    int samples = 0;
    for (int frame = 0; frame < 90 * 60 && game.m_state == Game::State_Race; ++frame)
    {
        const int before = game.m_ghost_ship->m_read_pos;
        driver.Step();
        if (game.m_ghost_ship->m_read_pos == before)
            continue;
        const QPointF replayed = game.m_ghost_ship->m_position;
        const QPointF recorded = path.value(samples);
        if (samples >= path.size() || qAbs(replayed.x() - recorded.x()) > Ghost_Step ||
            qAbs(replayed.y() - recorded.y()) > Ghost_Step)
        {
            qWarning("sample %d: replayed (%f, %f), recorded (%f, %f)", samples, replayed.x(), replayed.y(),
                     recorded.x(), recorded.y());
            return 13;
        }
        ++samples;
    }
    if (samples != path.size())
    {
        qWarning("replayed %d samples of %d", samples, int(path.size()));
        return 14;
    }
    return 0;
}
} // namespace

class Test_Window_Records : public QObject
{
    Q_OBJECT

private slots:
    void a_best_lap_is_kept_for_the_next_process()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Isolate_Settings(dir.path());
        float best = 0.0f;
        QVector<QPointF> path;
        {
            Game game;
            Start_Race(game);
            path = Drive_And_Record(game);
            best = game.m_lap_timer->m_best;
            QCOMPARE(game.m_state, int(Game::State_Menu));
            QVERIFY(best > 0.0f);
            QCOMPARE(game.m_ghost_ship->m_record.size(), 4 + 10 * path.size());
        }
        QVERIFY(path.size() > 1000);
        QFile file(Path_File(dir.path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTextStream out(&file);
        out.setRealNumberPrecision(9);
        out << best << '\n';
        for (const QPointF& p : path)
            out << p.x() << ' ' << p.y() << '\n';
        out.flush();
        file.close();

        const Child_Run next = Run_Self_As_Child("TAVRELO_CHECK_RECORD", dir.path(), 120000);
        QVERIFY(next.finished);
        QCOMPARE(next.status, QProcess::NormalExit);
        QVERIFY2(next.exit_code == 0, qPrintable(next.errors));
    }
};

int main(int argc, char** argv)
{
    const QString dir = QString::fromLocal8Bit(qgetenv("TAVRELO_CHECK_RECORD"));
    if (!dir.isEmpty())
        return Check_The_Record(dir, argc, argv);
    QApplication app(argc, argv);
    Test_Window_Records test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_records.moc"
