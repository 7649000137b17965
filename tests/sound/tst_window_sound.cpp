// The game heard through a real sound server (the test scripts' PulseAudio, on a null sink whose monitor
// is recorded): the engine while racing and higher at speed, the finish cue on time, quiet under the finish
// panel, silence while held and muted, the cue of a craft put back on the road; and the volume and mute the
// preferences keep.
#include "Float_Point.h"
#include "Game.h"
#include "Level.h"
#include "Preferences.h"
#include "Pursuit_Driver.h"
#include "Race_Clock.h"
#include "Sound_Analysis.h"
#include "Sound_Notice.h"
#include "Sound_Player.h"
#include "Test_Support.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace
{
// The sink's monitor as it comes, each sample put on the test's clock: sample n was captured no later
// than Start_Nanoseconds() + n / rate (the earliest any read could have seen it).
class Recorder
{
public:
    explicit Recorder(const QElapsedTimer& clock) : m_clock(clock), m_start(-1)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                         [this]()
                         {
                             const QByteArray bytes = m_process.readAllStandardOutput();
                             const size_t at = m_samples.size();
                             m_samples.resize(at + size_t(bytes.size()) / 2);
                             memcpy(m_samples.data() + at, bytes.constData(), (m_samples.size() - at) * 2);
                             const qint64 start =
                                 m_clock.nsecsElapsed() - qint64(m_samples.size()) * 1000000000 / Sound_Rate;
                             m_start = m_start < 0 ? start : std::min(m_start, start);
                         });
    }
    ~Recorder()
    {
        if (m_process.state() != QProcess::NotRunning && m_process.processId() > 0)
        {
            m_process.terminate();
            m_process.waitForFinished(3000);
        }
    }
    // Whether a tenth of a second has come through, within 5 s.
    bool Hears()
    {
        return QTest::qWaitFor([this] { return m_samples.size() > size_t(Sound_Rate / 10); }, 5000);
    }

    bool Start()
    {
        m_process.start("parec", {"--device=@DEFAULT_MONITOR@", "--format=s16le", "--rate=48000",
                                  "--channels=1", "--latency-msec=5", "--raw"});
        return m_process.waitForStarted(5000);
    }
    // The sample captured at a time of the test's clock.
    int At(qint64 nanoseconds) const { return int((nanoseconds - m_start) * Sound_Rate / 1000000000); }
    qint64 Time_Of(int sample) const { return m_start + qint64(sample) * 1000000000 / Sound_Rate; }

    const QElapsedTimer& m_clock;
    QProcess m_process;
    std::vector<int16_t> m_samples;
    qint64 m_start;
};

// When the game's timer last ran a race frame, on the test's clock.
class Frame_Clock : public QObject
{
public:
    Frame_Clock(Game& game, const QElapsedTimer& clock) : m_game(game), m_clock(clock), m_last_race_frame(-1)
    {
        game.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && m_game.State() == Game::State_Race && !m_game.Is_Paused())
            m_last_race_frame = m_clock.nsecsElapsed();
        return false;
    }
    Game& m_game;
    const QElapsedTimer& m_clock;
    qint64 m_last_race_frame;
};

// A straight course of pieces 10 units long: a lap of a few seconds.
void Make_Straight_Course(Level& level, int pieces)
{
    level.m_points.clear();
    for (int i = 0; i <= pieces; ++i)
        level.m_points.push_back(QPointF(10 * i, 0));
    level.m_directions.assign(level.m_points.size(), QPointF(1, 0));
    level.m_normals.assign(level.m_points.size(), QPointF(0, -1));
    level.m_lengths.assign(level.m_points.size(), 10.0f);
}

// Lets the game's own timer run for a while, the finger held on the point ahead.
void Drive(Game& game, Pursuit_Driver& driver, int milliseconds)
{
    QElapsedTimer spent;
    spent.start();
    while (spent.elapsed() < milliseconds && game.State() == Game::State_Race)
    {
        const QPoint pixel = driver.Pixel_Ahead();
        QMouseEvent move(QEvent::MouseMove, pixel, game.viewport()->mapToGlobal(pixel), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(game.viewport(), &move);
        QTest::qWait(2);
    }
}

void Press_Key(Game& game, int key, ulong timestamp)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    press.setTimestamp(timestamp);
    QApplication::sendEvent(&game, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    release.setTimestamp(timestamp + 1);
    QApplication::sendEvent(&game, &release);
}

// The first sample after from from which all is silent up to to; -1 if none.
int Silent_From(const std::vector<int16_t>& samples, int from, int to)
{
    int silent = -1;
    for (int i = std::max(from, 0); i < std::min(to, int(samples.size())); ++i)
        if (std::abs(int(samples[size_t(i)])) > 2)
            silent = -1;
        else if (silent < 0)
            silent = i;
    return silent;
}
} // namespace

class Test_Window_Sound : public QObject
{
    Q_OBJECT

    std::unique_ptr<Temporary_Settings> m_settings;

private slots:
    void init()
    {
        m_settings.reset(new Temporary_Settings);
        QVERIFY(m_settings->Is_Valid());
        QVERIFY2(
            qEnvironmentVariableIsSet("PULSE_SERVER"),
            "no sound server of the tests' own: run through scripts/test, or start one with scripts/lib.sh's "
            "start_sound");
    }

    void a_race_is_heard_through_the_sound_server()
    {
        QElapsedTimer clock;
        clock.start();
        Recorder recorder(clock);
        QVERIFY(recorder.Start() && recorder.Hears());

        Game game;
        QTRY_VERIFY_WITH_TIMEOUT(game.Sound()->Is_Playing(), 5000);
        const int buffered = game.Sound()->Buffer_Bytes() * 1000 / (Sound_Rate * 2);
        qInfo("the output buffers %d ms", buffered);
        QVERIFY2(buffered > 0 && buffered <= Sound_Player::Buffer_Milliseconds,
                 qPrintable(QString::number(buffered)));

        Make_Straight_Course(*game.Course(), 80);
        game.Set_State(Game::State_Race);
        Frame_Clock frames(game, clock);
        Pursuit_Driver driver(game);
        driver.Press();
        qint64 started = -1;
        QElapsedTimer lap;
        lap.start();
        const int64_t rendering = game.Sound()->Stream().Render_Nanoseconds();
        while (game.State() == Game::State_Race && lap.elapsed() < 30000)
        {
            Drive(game, driver, 1);
            QVERIFY2(!game.Is_Paused(), "the window was sent to the back mid-lap");
            if (started < 0 && game.Current_Race().m_clock.m_running)
                started = frames.m_last_race_frame;
        }
        QCOMPARE(game.State(), int(Game::State_Menu));
        QVERIFY(game.Current_Race().m_clock.m_elapsed > 2.0f);
        const qint64 finish = frames.m_last_race_frame;
        qInfo("mixing the lap's sound took %.2f %% of a core",
              100.0 * double(game.Sound()->Stream().Render_Nanoseconds() - rendering) /
                  double(lap.nsecsElapsed()));
        driver.Release();
        QTest::qWait(1500);

        // A second race: held a while, resumed, muted, sound again.
        game.Set_State(Game::State_Race);
        driver.Press();
        Drive(game, driver, 800);
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(&game, &deactivate);
        QVERIFY(game.Is_Paused());
        const qint64 held = clock.nsecsElapsed();
        QTest::qWait(600);
        const qint64 resumed = clock.nsecsElapsed();
        driver.Press();
        QVERIFY(!game.Is_Paused());
        Drive(game, driver, 600);
        const qint64 muted = clock.nsecsElapsed();
        Press_Key(game, Qt::Key_M, 1000);
        QVERIFY(game.Sound()->Is_Muted());
        QCOMPARE(game.Mute_Notice()->m_text, QString("Sound off (M)"));
        Drive(game, driver, 600);
        const qint64 unmuted = clock.nsecsElapsed();
        Press_Key(game, Qt::Key_M, 2000);
        QVERIFY(!game.Sound()->Is_Muted());
        Drive(game, driver, 400);
        const qint64 end = clock.nsecsElapsed();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.m_samples.size() >= size_t(recorder.At(end)), 3000);
        const std::vector<int16_t>& s = recorder.m_samples;
        const int ms = Sound_Rate / 1000;
        // Kept for a listen or a spectrogram (raw 16-bit mono at 48 kHz), with where the race's moments fall.
        const QString keep = qEnvironmentVariable("TAVRELO_SOUND_RECORDING");
        if (!keep.isEmpty())
        {
            QFile raw(keep);
            QVERIFY(raw.open(QIODevice::WriteOnly));
            raw.write(reinterpret_cast<const char*>(s.data()), qint64(s.size() * 2));
            for (const auto& moment : {std::make_pair("start", started), std::make_pair("finish", finish),
                                       std::make_pair("held", held), std::make_pair("resumed", resumed),
                                       std::make_pair("muted", muted), std::make_pair("unmuted", unmuted)})
                qInfo("%s at %.3f s of the recording", moment.first,
                      recorder.At(moment.second) / double(Sound_Rate));
        }

        // Heard all through the lap, a quarter of a second at a time.
        QVERIFY(started > 0);
        for (int at = recorder.At(started) + 100 * ms; at + 250 * ms < recorder.At(finish); at += 250 * ms)
            QVERIFY2(
                Sound_Analysis::Rms(s, at, 250 * ms) > 300.0,
                qPrintable(QString("%1 at %2 ms").arg(Sound_Analysis::Rms(s, at, 250 * ms)).arg(at / ms)));
        // Past the start cue, the engine is low; before the finish, far higher.
        const double low = Sound_Analysis::Dominant_Frequency(s, recorder.At(started) + 350 * ms, 200 * ms,
                                                              30.0, 500.0, Sound_Rate);
        const double high = Sound_Analysis::Dominant_Frequency(s, recorder.At(finish) - 300 * ms, 200 * ms,
                                                               30.0, 500.0, Sound_Rate);
        qInfo("engine at the start %.1f Hz, before the finish %.1f Hz", low, high);
        QVERIFY2(high > low + 100.0, qPrintable(QString("%1 Hz, then %2 Hz").arg(low).arg(high)));

        // A first lap is a new best: its first note begins within 100 ms of the finish frame.
        const int onset =
            Sound_Analysis::Tone_Onset(s, recorder.At(finish) - 200 * ms, 1046.5, 600.0, 10 * ms, Sound_Rate);
        QVERIFY(onset > 0);
        const double late = (recorder.Time_Of(onset) - finish) / 1e6;
        qInfo("the new best's cue is heard %.1f ms after the finish frame", late);
        QVERIFY2(late > -10.0 && late <= 100.0, qPrintable(QString::number(late)));

        // Under the finish panel the engine dies away: quiet once the cue has rung out.
        const double after = Sound_Analysis::Rms(s, recorder.At(finish) + 1100 * ms, 300 * ms);
        qInfo("%.1f under the finish panel", after);
        QVERIFY2(after < 30.0, qPrintable(QString::number(after)));

        // Silent while held and while muted, within the buffer and a little; heard again after each.
        for (const auto& quiet : {std::make_pair(held, resumed), std::make_pair(muted, unmuted)})
        {
            const int from = recorder.At(quiet.first);
            const int to = recorder.At(quiet.second);
            const int silent = Silent_From(s, from, to);
            QVERIFY(silent >= 0);
            qInfo("silent %.1f ms after the hold or mute", double(silent - from) / ms);
            QVERIFY2(silent - from <= 100 * ms, qPrintable(QString::number(double(silent - from) / ms)));
            QVERIFY(Sound_Analysis::Rms(s, to + 150 * ms, 200 * ms) > 300.0);
        }
    }

    void putting_the_craft_back_is_heard_data()
    {
        // How far from the centre line the craft is set down, at rest: past the verge it is put back.
        QTest::addColumn<float>("offset");
        QTest::addColumn<bool>("put_back");
        QTest::newRow("past the verge") << 35.0f << true;
        QTest::newRow("on the road") << 10.0f << false;
    }
    void putting_the_craft_back_is_heard()
    {
        QFETCH(float, offset);
        QFETCH(bool, put_back);
        QElapsedTimer clock;
        clock.start();
        Recorder recorder(clock);
        QVERIFY(recorder.Start() && recorder.Hears());
        Game game;
        QTRY_VERIFY_WITH_TIMEOUT(game.Sound()->Is_Playing(), 5000);
        Make_Straight_Course(*game.Course(), 80);
        game.Set_State(Game::State_Race);
        game.Current_Race().m_clock.m_running = true;
        QTest::qWait(400);
        // The game's own frames step the race from here.
        game.Craft()->Place_At(QPointF(5, offset), QPointF(1, 0));
        const qint64 placed = clock.nsecsElapsed();
        QTest::qWait(600);
        QCOMPARE(qAbs(game.Craft()->m_position.y()) < 1.0, put_back);
        const qint64 end = clock.nsecsElapsed();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.m_samples.size() >= size_t(recorder.At(end)), 3000);

        // The cue falls from 320 Hz, far above the idling engine: its start is looked for in the half second.
        const int ms = Sound_Rate / 1000;
        double loudest = 0.0;
        for (int at = recorder.At(placed); at < recorder.At(placed) + 500 * ms; at += 5 * ms)
            loudest = std::max(
                loudest, Sound_Analysis::Tone_Strength(recorder.m_samples, at, 20 * ms, 290.0, Sound_Rate));
        qInfo("strongest at 290 Hz: %.1f", loudest);
        QVERIFY2((loudest > 1000.0) == put_back, qPrintable(QString::number(loudest)));
    }

    void volume_and_mute_come_from_the_preferences_data()
    {
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<int>("volume");
        QTest::addColumn<bool>("mute");
        QTest::newRow("kept") << QByteArray("[sound]\nvolume=35\nmute=true\n") << 35 << true;
        QTest::newRow("none") << QByteArray() << int(Sound_Mixer::Default_Volume) << false;
        QTest::newRow("corrupt") << QByteArray("[sound]\nvolume=loud\nmute=maybe\n")
                                 << int(Sound_Mixer::Default_Volume) << false;
        QTest::newRow("out of range")
            << QByteArray("[sound]\nvolume=101\n") << int(Sound_Mixer::Default_Volume) << false;
        QTest::newRow("silent") << QByteArray("[sound]\nvolume=0\n") << 0 << false;
    }
    void volume_and_mute_come_from_the_preferences()
    {
        QFETCH(QByteArray, kept);
        QFETCH(int, volume);
        QFETCH(bool, mute);
        const QString file = m_settings->Path() + "/Norvikk/Tavrelo-preferences.ini";
        if (!kept.isNull())
        {
            QVERIFY(QDir().mkpath(m_settings->Path() + "/Norvikk"));
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(kept);
        }
        {
            Game game;
            QCOMPARE(game.Sound()->Volume(), volume);
            QCOMPARE(game.Sound()->Is_Muted(), mute);
            Press_Key(game, Qt::Key_M, 1000);
            QCOMPARE(game.Sound()->Is_Muted(), !mute);
        }
        // The key's choice is kept for the next start; the volume is left as it was.
        Game again;
        QCOMPARE(again.Sound()->Is_Muted(), !mute);
        QCOMPARE(again.Sound()->Volume(), volume);
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll().contains("volume=loud"), kept.contains("volume=loud"));
    }
};

QTEST_MAIN(Test_Window_Sound)
#include "tst_window_sound.moc"
