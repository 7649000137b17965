// The race with no window: its rules as one table, and laps raced again from their kept inputs.
#include "Game_Flow.h"
#include "Ghost_Gap.h"
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Input_Track.h"
#include "Lap_Verifier.h"
#include "Level.h"
#include "Movement_Control.h"
#include "Portable_Math.h"
#include "Race.h"
#include "Ship.h"
#include "Test_Support.h"

#include <QtTest>

#include <limits>

namespace
{
// Twenty pieces of 10 units along x.
void Lay_Straight(Level& level)
{
    for (int i = 0; i <= 20; ++i)
        level.m_points.push_back(QPointF(10 * i, 0));
    level.m_directions.assign(level.m_points.size(), QPointF(1, 0));
    level.m_lengths.assign(level.m_points.size(), 10.0f);
}

template <typename T> void Put(QByteArray& bytes, const T& value)
{
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Everything a step leaves that a lap keeps or steers by, as its bits (a proof keeps no trail to draw).
QByteArray State_Of(const Race& race)
{
    QByteArray bytes;
    const Ship& ship = *race.m_ship;
    for (const QPointF& point : {ship.m_left, ship.m_left_previous, ship.m_right, ship.m_right_previous,
                                 ship.m_position, ship.m_direction})
    {
        Put(bytes, point.x());
        Put(bytes, point.y());
    }
    for (float value :
         {ship.m_left_thrust, ship.m_right_thrust, ship.m_friction, ship.m_angle, race.m_clock.m_elapsed,
          race.m_clock.m_gap, race.m_camera_angle, race.m_closest_distance, race.m_segment_fraction})
        Put(bytes, value);
    for (int value : {int(race.m_clock.m_running), int(race.m_clock.m_gap_known), int(race.m_on_last_segment),
                      int(race.m_put_back), race.m_closest_segment})
        Put(bytes, value);
    for (qreal value :
         {race.m_screen_to_world.m11(), race.m_screen_to_world.m12(), race.m_screen_to_world.m21(),
          race.m_screen_to_world.m22(), race.m_screen_to_world.dx(), race.m_screen_to_world.dy()})
        Put(bytes, value);
    bytes.append(race.m_ghost_ship->m_record.toUtf8());
    return bytes;
}
} // namespace

class Test_Race : public QObject
{
    Q_OBJECT

private slots:
    // On twenty pieces of 10 units along x: the start threshold, the window of
    // pieces searched (3 back, 5 ahead), the road's friction, the put-back and the finish.
    void one_step_of_the_rules_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("last");
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<float>("moved"); // how far the left end moved in the last update
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("piece");
        QTest::addColumn<float>("friction");
        QTest::addColumn<QPointF>("after"); // the craft's centre after the step
        QTest::newRow("at rest: no start")
            << false << 0 << QPointF(5, 0) << 0.0f << int(Race::Racing) << 0 << 0.0f << QPointF(5, 0);
        QTest::newRow("moving: starts")
            << false << 0 << QPointF(5, 0) << 0.2f << int(Race::Started) << 0 << 0.0f << QPointF(5, 0);
        QTest::newRow("five pieces ahead")
            << true << 10 << QPointF(155, 0) << 0.0f << int(Race::Racing) << 15 << 0.0f << QPointF(155, 0);
        QTest::newRow("six pieces ahead is out")
            << true << 10 << QPointF(165, 0) << 0.0f << int(Race::Racing) << 15 << 0.0f << QPointF(165, 0);
        QTest::newRow("four pieces back is out")
            << true << 10 << QPointF(65, 0) << 0.0f << int(Race::Racing) << 7 << 0.0f << QPointF(65, 0);
        QTest::newRow("half way off the road") << true << 5 << QPointF(55, 26.25) << 0.0f << int(Race::Racing)
                                               << 5 << 0.05f << QPointF(55, 26.25);
        QTest::newRow("too far: put back")
            << true << 5 << QPointF(55, 35) << 0.0f << int(Race::Racing) << 5 << 0.0f << QPointF(55, 0);
        QTest::newRow("last piece: finished")
            << true << 19 << QPointF(201, 0) << 0.0f << int(Race::Finished) << 20 << 0.0f << QPointF(201, 0);
    }
    void one_step_of_the_rules()
    {
        QFETCH(bool, running);
        QFETCH(int, last);
        QFETCH(QPointF, position);
        QFETCH(float, moved);
        QFETCH(int, outcome);
        QFETCH(int, piece);
        QFETCH(float, friction);
        QFETCH(QPointF, after);
        Headless_Race headless;
        auto& [level, ship, ghost, race] = headless;
        Lay_Straight(level);
        race.m_closest_segment = last;
        race.m_clock.m_running = running;
        ship.Place_At(position, QPointF(1, 0));
        ship.m_left_previous -= QPointF(moved, 0);
        QCOMPARE(int(race.Update_Rules()), outcome);
        QCOMPARE(race.m_closest_segment, piece);
        QVERIFY2(qAbs(ship.m_friction - friction) < 1e-7f, qPrintable(QString::number(ship.m_friction)));
        QVERIFY(qAbs(ship.m_position.x() - after.x()) < 1e-4 && qAbs(ship.m_position.y() - after.y()) < 1e-4);
        // One ghost sample for every step with the clock running.
        QCOMPARE(ghost.m_record.size(), race.m_clock.m_running ? 10 : 0);
    }

    // The gap to a ghost that flew along the same twenty pieces at a steady
    // step per frame, for a craft placed at x with the clock at elapsed.
    // The gap as the HUD writes it: signed hundredths, rounded to the nearest,
    // level unsigned, and a gap that is not a number or past any race level or capped.
    void gap_text_data()
    {
        QTest::addColumn<float>("gap");
        QTest::addColumn<QString>("shown");
        QTest::newRow("behind") << 1.07f << "+1.07";
        QTest::newRow("ahead") << -0.42f << "-0.42";
        QTest::newRow("whole seconds padded") << 12.5f << "+12.50";
        QTest::newRow("rounded up into the next second") << 9.999f << "+10.00";
        QTest::newRow("rounded away from zero") << -0.995f << "-1.00";
        QTest::newRow("under half a hundredth is level") << -0.004f << "0.00";
        QTest::newRow("just over half a hundredth") << -0.006f << "-0.01";
        QTest::newRow("capped behind") << 1e9f << "+99999.00";
        QTest::newRow("capped ahead") << -1e9f << "-99999.00";
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << "0.00";
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << "0.00";
    }
    void gap_text()
    {
        QFETCH(float, gap);
        QFETCH(QString, shown);
        QCOMPARE(Ghost_Gap::Text(gap), shown);
    }
    void the_gap_to_the_ghost_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<float>("ghost_step"); // world units per sample
        QTest::addColumn<int>("samples");
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("elapsed");
        QTest::addColumn<QString>("shown"); // empty: no gap shown
        // At x = 65 the ghost is at its 120th sample, two seconds in.
        QTest::newRow("level") << true << 0.5f << 300 << 65.0f << 2.0f << "0.00";
        QTest::newRow("level within a hundredth") << true << 0.5f << 300 << 65.0f << 1.996f << "0.00";
        QTest::newRow("ahead") << true << 0.5f << 300 << 65.0f << 1.58f << "-0.42";
        QTest::newRow("behind") << true << 0.5f << 300 << 65.0f << 3.07f << "+1.07";
        QTest::newRow("half way between two samples") << true << 0.5f << 300 << 65.25f << 2.0f << "-0.01";
        QTest::newRow("before the ghost starts") << false << 0.5f << 300 << 5.0f << 0.0f << "";
        QTest::newRow("after the ghost ends") << true << 0.5f << 300 << 150.0f << 5.0f << "";
        QTest::newRow("no ghost") << true << 0.5f << 0 << 65.0f << 2.0f << "";
        // 6,000 samples, more than the stored format holds: at x = 179 the ghost is 96.67 s in.
        QTest::newRow("a ghost longer than the stored format")
            << true << 0.03f << 6000 << 179.0f << 97.0f << "+0.33";
    }
    void the_gap_to_the_ghost()
    {
        QFETCH(bool, running);
        QFETCH(float, ghost_step);
        QFETCH(int, samples);
        QFETCH(float, x);
        QFETCH(float, elapsed);
        QFETCH(QString, shown);
        Headless_Race headless;
        auto& [level, ship, ghost, race] = headless;
        Lay_Straight(level);
        Ghost_Ship recorder;
        recorder.m_record_cap = 4 + 10 * samples;
        Ghost_Start(recorder, QString(), QPointF(5, 0), 0.0f, 1);
        for (int i = 0; i < samples; ++i)
            Ghost_Record_Sample(recorder, QPointF(5.0f + ghost_step * static_cast<float>(i), 0), 0.0f);
        QCOMPARE(recorder.m_record.size(), 4 + 10 * samples);
        Ghost_Start(ghost, samples > 0 ? recorder.m_record : QString(), QPointF(5, 0), 0.0f, 1);
        race.m_ghost_gap.Build(level, ghost);
        QCOMPARE(race.m_ghost_gap.Sample_Count(), samples);
        race.m_closest_segment = static_cast<int>(x / 10.0f);
        race.m_clock.m_running = running;
        race.m_clock.m_elapsed = elapsed;
        ship.Place_At(QPointF(x, 0), QPointF(1, 0));
        ship.m_left_previous = ship.m_left;
        ship.m_right_previous = ship.m_right;
        race.Update_Rules();
        QCOMPARE(race.m_clock.m_gap_known, !shown.isEmpty());
        if (race.m_clock.m_gap_known)
            QCOMPARE(Ghost_Gap::Text(race.m_clock.m_gap), shown);
        // The same gap wherever the last search ended: the start, past the end, or a little either side.
        const float progress = static_cast<float>(race.m_closest_segment) + race.m_segment_fraction;
        const float expected = race.m_ghost_gap.Gap_At(progress, elapsed);
        if (race.m_clock.m_gap_known)
            QCOMPARE(expected, race.m_clock.m_gap);
        for (const float last : {0.0f, 1e6f, progress - 0.3f, progress + 0.3f, progress - 5.0f})
        {
            race.m_ghost_gap.Gap_At(last, 0.0f);
            const float gap = race.m_ghost_gap.Gap_At(progress, elapsed);
            QVERIFY2(gap == expected || (std::isnan(gap) && std::isnan(expected)),
                     qPrintable(QString::number(last)));
        }
    }

    // A best lap keeps no ghost past the stored format's 90 seconds; the race
    // rebuilds one from the lap's inputs, the same to the sample as the ghost
    // recorded live where that one fits, and only from inputs that prove the time.
    void a_ghost_is_rebuilt_from_the_inputs_data()
    {
        QTest::addColumn<int>("course");
        QTest::addColumn<float>("lookahead");
        QTest::addColumn<float>("time_offset"); // added to the lap's own time
        QTest::addColumn<bool>("rebuilt");
        QTest::newRow("a lap under 90 s") << 0 << 70.0f << 0.0f << true;
        QTest::newRow("inputs of another time") << 0 << 70.0f << 0.01f << false;
        // Tertius driven by a finger held close ahead of the craft: 138.83 s.
        QTest::newRow("a lap over 90 s") << 2 << 20.0f << 0.0f << true;
    }
    void a_ghost_is_rebuilt_from_the_inputs()
    {
        QFETCH(int, course);
        QFETCH(float, lookahead);
        QFETCH(float, time_offset);
        QFETCH(bool, rebuilt);
        const QSize view(800, 480);
        const Headless_Lap lap = Drive_Headless_Lap(course, view, lookahead);
        QVERIFY(lap.finished && !lap.inputs.isEmpty());
        qInfo("lap of %s s", qPrintable(QString::number(lap.time, 'f', 2)));
        const bool long_lap = lap.time > 90.0f;
        QCOMPARE(lap.ghost.isEmpty(), long_lap);
        Headless_Race headless(course);
        auto& [level, ship, ghost, race] = headless;
        race.Reset(QString(), lap.time + time_offset, view, lap.inputs);
        QCOMPARE(ghost.m_playback.isEmpty(), !rebuilt);
        if (!rebuilt)
            return;
        if (!long_lap)
            QCOMPARE(ghost.m_playback, lap.ghost);
        // One sample for every frame from the start of the clock to the finish.
        QCOMPARE(race.m_ghost_gap.Sample_Count(), (ghost.m_playback.size() - 4) / 10);
        QVERIFY(qAbs((race.m_ghost_gap.Sample_Count() - 1) / 60.0f - lap.time) < 0.02f);
        // Raced again the same way, the craft stays level with its own ghost to the end.
        float widest = 0.0f;
        for (int frame = 0; frame < Input_Track::Max_Frames; ++frame)
        {
            const QPointF ahead =
                Portable_Math::Map(race.m_world_to_screen,
                                   Float_Point(level.Point_Ahead(race.m_closest_segment,
                                                                 race.m_segment_fraction, lookahead)))
                    .To_QPointF();
            const QPoint pixel(qBound(2, qRound(ahead.x()), view.width() - 3),
                               qBound(2, qRound(ahead.y()), view.height() - 3));
            const bool finished = race.Step(Input_Frame{true, pixel, view}) == Race::Finished;
            if (race.m_clock.m_gap_known)
                widest = std::max(widest, std::fabs(race.m_clock.m_gap));
            if (finished)
                break;
        }
        QCOMPARE(race.m_clock.m_elapsed, lap.time);
        qInfo("widest gap to its own ghost: %.3f s", double(widest));
        QVERIFY(widest < 0.1f);
    }

    // The window's racing frame (the steering element's touch into the race's
    // step) and the verifier's replay of the kept inputs, step by step: the
    // same state after every step, to the bit, on a lap with presses, drags
    // and releases, on either view.
    void the_game_steps_as_the_verifier_does_data()
    {
        QTest::addColumn<QSize>("view");
        QTest::newRow("landscape") << QSize(800, 480);
        QTest::newRow("portrait") << QSize(480, 800);
    }
    void the_game_steps_as_the_verifier_does()
    {
        QFETCH(QSize, view);
        // The game's side: its steering element given a finger that waits,
        // then chases a point ahead on the road and is lifted now and then.
        Headless_Race headless(1);
        auto& [level, ship, ghost, race] = headless;
        // Reset as a race left mid-lap would be: the proof's race has never run.
        race.m_clock.m_running = true;
        race.Reset(QString(), 0.0f, view);
        Movement_Control steering;
        std::vector<QByteArray> played;
        bool finished = false;
        for (int frame = 0; frame < Input_Track::Max_Frames && !finished; ++frame)
        {
            const QPointF ahead =
                Portable_Math::Map(
                    race.m_world_to_screen,
                    Float_Point(level.Point_Ahead(race.m_closest_segment, race.m_segment_fraction, 60.0f)))
                    .To_QPointF();
            const QPoint pixel(qBound(2, qRound(ahead.x()), view.width() - 3),
                               qBound(2, qRound(ahead.y()), view.height() - 3));
            if (frame < 30 || frame % 90 >= 84)
                steering.Mouse_Up(QPoint(-999, -999));
            else if (!steering.m_pressed)
                steering.Mouse_Down(pixel);
            else
                steering.Mouse_Move(pixel);
            finished = Game_Flow::Race_Frame(race, steering, view) == Race::Finished;
            played.push_back(State_Of(race));
        }
        QVERIFY(finished);
        const QString inputs = race.m_inputs.Encode();
        QVERIFY(inputs.contains('-')); // runs with the finger lifted

        // The verifier's side, from what the game kept.
        std::vector<QByteArray> proved;
        const Lap_Verifier::Verdict verdict = Lap_Verifier::Verify(
            1, race.m_clock.m_elapsed, ghost.m_record.size() <= Ghost_Record_Cap ? ghost.m_record : QString(),
            inputs, [&proved](const Race& replayed) { proved.push_back(State_Of(replayed)); });
        for (size_t step = 0; step < played.size() && step < proved.size(); ++step)
            if (played[step] != proved[step])
                QFAIL(qPrintable(QString("the game and the verifier differ after step %1").arg(step)));
        QCOMPARE(proved.size(), played.size());
        QCOMPARE(verdict.Text(), QString("verified"));
    }

    // Stored laps hold the inputs' text: read and written again, it is the same to the letter (views, a
    // lifted finger, pixels of either sign).
    void the_inputs_are_written_as_they_are_read()
    {
        const QString text("i1.v800x480.3p400:-7.1-.v1920x1080.1p-100000:100000.v800x480.1p0:0");
        Input_Track track;
        QString reason;
        QVERIFY2(track.Decode(text, reason), qPrintable(reason));
        QCOMPARE(track.Encode(), text);
    }

    // A driven lap proves itself on any view; a changed input frame or a
    // view that is no screen's gives a verdict that names what differs.
    void a_driven_lap_verifies_from_its_inputs_data()
    {
        QTest::addColumn<QSize>("view");
        QTest::addColumn<QString>("from"); // a change made to the kept inputs
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("landscape") << QSize(800, 480) << QString() << QString() << "verified";
        QTest::newRow("portrait") << QSize(480, 800) << QString() << QString() << "verified";
        QTest::newRow("one frame steered elsewhere") << QSize(800, 480) << ".1p"
                                                     << ".1p-"
                                                     << "failed: ";
        QTest::newRow("frames past the finish") << QSize(800, 480) << "end"
                                                << ".5-"
                                                << "failed: the inputs go on 5 frames past the finish";
        QTest::newRow("the finishing run held past the finish")
            << QSize(800, 480) << "last run"
            << "5"
            << "failed: the inputs go on 5 frames past the finish";
        // Waiting at the start fills the inputs' cap before the finish: the lap keeps no inputs.
        QTest::newRow("a race longer than the inputs' cap") << QSize(800, 480) << "wait"
                                                            << "10800"
                                                            << "unverified";
        QTest::newRow("a view of no size") << QSize(800, 480) << "i1.v800x480"
                                           << "i1.v0x0"
                                           << "failed: ";
        QTest::newRow("a view of a million pixels") << QSize(800, 480) << "i1.v800x480"
                                                    << "i1.v1000000x480"
                                                    << "failed: inputs that do not decode";
        QTest::newRow("a billion frames") << QSize(800, 480) << "i1.v800x480"
                                          << "i1.v800x480.1000000000-"
                                          << "failed: inputs that do not decode";
        // The decoder reads the text token by token, in place: its ends and its empty tokens.
        QTest::newRow("a dot after the last token") << QSize(800, 480) << "end"
                                                    << "."
                                                    << "failed: inputs that do not decode";
        QTest::newRow("an empty token") << QSize(800, 480) << ".1p"
                                        << "..1p"
                                        << "failed: inputs that do not decode";
        QTest::newRow("another codec's name") << QSize(800, 480) << "i1."
                                              << "i10."
                                              << "failed: inputs that do not decode";
        QTest::newRow("a name alone") << QSize(800, 480) << "all"
                                      << "i1"
                                      << "failed: inputs that do not decode";
        QTest::newRow("never finishes") << QSize(800, 480) << "all"
                                        << "i1.v800x480.10000-"
                                        << "failed: the lap does not finish in its 10000 frames";
    }
    void a_driven_lap_verifies_from_its_inputs()
    {
        QFETCH(QSize, view);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, verdict);
        const Headless_Lap lap = Drive_Headless_Lap(0, view, 70.0f, from == "wait" ? to.toInt() : 0);
        QVERIFY(lap.finished && lap.time > 20.0f && !lap.ghost.isEmpty());
        QVERIFY(!lap.inputs.isEmpty() || from == "wait");
        QString inputs = lap.inputs;
        if (from == "all" || from == "end")
        {
            inputs = from == "all" ? to : inputs + to;
        }
        else if (from == "last run")
        {
            const int at = inputs.lastIndexOf('.') + 1;
            int digits = 0;
            while (inputs[at + digits].isDigit())
                ++digits;
            inputs.replace(at, digits, QString::number(inputs.mid(at, digits).toInt() + to.toInt()));
        }
        else if (!from.isEmpty() && from != "wait")
        {
            const int at = inputs.indexOf(from);
            QVERIFY(at >= 0);
            inputs.replace(at, from.size(), to);
        }
        const QString text = Lap_Verifier::Verify(0, lap.time, lap.ghost, inputs).Text();
        QVERIFY2(text.startsWith(verdict), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(Test_Race)
#include "tst_race.moc"
