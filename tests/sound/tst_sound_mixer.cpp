// The game's sound without a device: the same race gives the same samples, the engine's pitch follows
// the speed, no click at block seams, no clipping, silence when held, muted or in the menu, and a backlog
// of the game's commands that stays bounded while nothing reads it.
#include "Cue_Voice.h"
#include "Engine_Voice.h"
#include "Sound_Analysis.h"
#include "Sound_Commands.h"
#include "Sound_Frame.h"
#include "Sound_Mixer.h"

#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace
{
// One race step's worth of samples at the game's 60 steps a second.
constexpr int Step_Samples = Sound_Rate / 60;

// Renders count samples onto the end of out, in blocks of the sizes given, round and round.
void Render(Sound_Mixer& mixer, std::vector<int16_t>& out, int count, const std::vector<int>& blocks)
{
    for (size_t b = 0; count > 0; b = (b + 1) % blocks.size())
    {
        const int n = std::min(blocks[b], count);
        const size_t at = out.size();
        out.resize(at + size_t(n));
        mixer.Render(out.data() + at, n);
        count -= n;
    }
}

// A race that speeds up, steers on and off, runs off the road and is put back, with the start and a finish.
void Render(Sound_Mixer& mixer, std::vector<int16_t>& out, int count)
{
    Render(mixer, out, count, std::vector<int>{count});
}

Sound_Frame Trace_Step(int step)
{
    Sound_Frame frame;
    frame.speed = std::min(step * 0.02f, 2.5f);
    frame.thrust = (step / 20) % 3 == 2 ? 0.0f : 1.0f;
    frame.off_road = step >= 60 && step < 90 ? (step - 60) / 30.0f : 0.0f;
    frame.cues = step == 1 ? Cue_Start : step == 90 ? Cue_Put_Back : step == 150 ? Cue_New_Best : Cue_None;
    return frame;
}

std::vector<int16_t> Race_Samples(const std::vector<int>& blocks)
{
    Sound_Mixer mixer;
    mixer.Set_Racing(true);
    std::vector<int16_t> out;
    for (int step = 0; step < 180; ++step)
    {
        mixer.Race_Step(Trace_Step(step));
        Render(mixer, out, Step_Samples, blocks);
    }
    return out;
}

int Largest_Step(const std::vector<int16_t>& s, size_t from, size_t to)
{
    int largest = 0;
    for (size_t i = std::max<size_t>(from, 1); i < std::min(to, s.size()); ++i)
        largest = std::max(largest, std::abs(int(s[i]) - int(s[i - 1])));
    return largest;
}
} // namespace

class Test_Sound_Mixer : public QObject
{
    Q_OBJECT

private slots:
    void the_same_race_gives_the_same_samples_in_any_blocks()
    {
        const std::vector<int16_t> whole = Race_Samples(std::vector<int>{Step_Samples});
        QCOMPARE(int(whole.size()), 180 * Step_Samples);
        QVERIFY(Sound_Analysis::Rms(whole, 0, int(whole.size())) > 1000.0);
        QVERIFY(Race_Samples(std::vector<int>{Step_Samples}) == whole);
        // However the device asks for them, between the same steps.
        QVERIFY(Race_Samples(std::vector<int>{1, 7, 64, 333}) == whole);
        QVERIFY(Race_Samples(std::vector<int>{481, 2}) == whole);
    }

    void the_engine_pitch_rises_with_speed()
    {
        Sound_Mixer mixer;
        mixer.Set_Racing(true);
        std::vector<int16_t> out;
        double last = 0.0;
        for (int i = 0; i <= 10; ++i)
        {
            Sound_Frame frame;
            frame.speed = 0.25f * float(i);
            mixer.Race_Step(frame);
            out.clear();
            // Half a second to settle on the new pitch, a quarter of a second measured.
            Render(mixer, out, Sound_Rate * 3 / 4);
            const double measured = Sound_Analysis::Dominant_Frequency(out, Sound_Rate / 2, Sound_Rate / 4,
                                                                       30.0, 600.0, Sound_Rate);
            const double expected = Engine_Voice::Pitch(frame.speed);
            QVERIFY2(measured > last + 10.0,
                     qPrintable(QString("%1 Hz after %2 Hz").arg(measured).arg(last)));
            QVERIFY2(std::abs(measured - expected) < expected * 0.02,
                     qPrintable(QString("%1 Hz measured, %2 Hz meant").arg(measured).arg(expected)));
            last = measured;
        }
    }

    void nothing_jumps_at_block_seams_when_the_race_changes()
    {
        Sound_Mixer mixer;
        mixer.Set_Volume(100);
        mixer.Set_Racing(true);
        std::vector<int16_t> out;
        std::vector<size_t> seams;
        for (int step = 0; step < 240; ++step)
        {
            // Full speed and thrust and nothing, turn about, every tenth of a second.
            Sound_Frame frame;
            frame.speed = (step / 6) % 2 ? 2.5f : 0.0f;
            frame.thrust = (step / 6) % 2 ? 1.0f : 0.0f;
            mixer.Race_Step(frame);
            seams.push_back(out.size());
            Render(mixer, out, Step_Samples,
                   std::vector<int>{Step_Samples / 3, Step_Samples - Step_Samples / 3});
        }
        // The steepest the sound gets when nothing changes, at top speed and full thrust: a step at a seam
        // shows above it as a click.
        Sound_Mixer steady;
        steady.Set_Volume(100);
        steady.Set_Racing(true);
        Sound_Frame top;
        top.speed = 2.5f;
        top.thrust = 1.0f;
        steady.Race_Step(top);
        std::vector<int16_t> calm;
        Render(steady, calm, Sound_Rate);
        const int bound = Largest_Step(calm, Sound_Rate / 2, calm.size()) * 11 / 10;
        for (size_t seam : seams)
            QVERIFY2(Largest_Step(out, seam, seam + 48) <= bound,
                     qPrintable(QString("%1 at sample %2, bound %3")
                                    .arg(Largest_Step(out, seam, seam + 48))
                                    .arg(seam)
                                    .arg(bound)));
    }

    void nothing_clips_with_every_layer_and_cue_at_once()
    {
        Sound_Mixer mixer;
        mixer.Set_Volume(100);
        mixer.Set_Racing(true);
        std::vector<int16_t> out;
        for (int step = 0; step < 120; ++step)
        {
            Sound_Frame frame;
            frame.speed = 2.5f;
            frame.thrust = 1.0f;
            frame.off_road = 1.0f;
            frame.cues = step % 10 == 0   ? Cue_Start | Cue_Put_Back | Cue_New_Best | Cue_Click
                         : step % 10 == 5 ? Cue_Finish | Cue_Put_Back
                                          : Cue_None;
            mixer.Race_Step(frame);
            Render(mixer, out, Step_Samples);
        }
        const int ceiling = int(Sound_Mixer::Ceiling * 32767.0f) + 1;
        int loudest = 0;
        for (int16_t s : out)
            loudest = std::max(loudest, std::abs(int(s)));
        QVERIFY2(loudest <= ceiling, qPrintable(QString("%1 over %2").arg(loudest).arg(ceiling)));
        QVERIFY2(loudest > ceiling / 2, qPrintable(QString::number(loudest)));

        // Notes piled past every slot all end: nothing is left to mix.
        Cue_Voice cues;
        for (int i = 0; i < 4; ++i)
            cues.Play(Cue_Start | Cue_Put_Back | Cue_New_Best | Cue_Click);
        for (int i = 0; i < 2 * Sound_Rate; ++i)
            cues.Next();
        QVERIFY(!cues.Busy());
    }

    void silence_at_once_when_held_muted_or_in_the_menu_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("race held") << "held";
        QTest::newRow("muted") << "muted";
        QTest::newRow("back in the menu") << "menu";
        QTest::newRow("volume 0") << "volume";
    }
    void silence_at_once_when_held_muted_or_in_the_menu()
    {
        QFETCH(QString, how);
        Sound_Mixer mixer;
        mixer.Set_Racing(true);
        Sound_Frame racing;
        racing.speed = 2.0f;
        racing.thrust = 1.0f;
        racing.off_road = 0.5f;
        racing.cues = Cue_Start;
        mixer.Race_Step(racing);
        std::vector<int16_t> out;
        Render(mixer, out, Sound_Rate / 4);
        QVERIFY(Sound_Analysis::Rms(out, 0, int(out.size())) > 1000.0);

        if (how == "held")
            mixer.Set_Held(true);
        else if (how == "muted")
            mixer.Set_Muted(true);
        else if (how == "menu")
            mixer.Set_Racing(false);
        else
            mixer.Set_Volume(0);
        out.clear();
        // The engine dies away in the menu over a fraction of a second; anything else falls silent within 5
        // ms.
        const int fade = how == "menu" ? Sound_Rate / 2 : Sound_Rate / 200;
        racing.cues = Cue_Finish;
        if (how != "menu")
            mixer.Race_Step(racing);
        Render(mixer, out, fade + Sound_Rate);
        for (size_t i = size_t(fade); i < out.size(); ++i)
            QVERIFY2(out[i] == 0, qPrintable(QString("%1 at %2").arg(out[i]).arg(i)));

        // The sound comes back with the race, and the finish met while silent is not played late.
        mixer.Set_Held(false);
        mixer.Set_Muted(false);
        mixer.Set_Volume(Sound_Mixer::Default_Volume);
        mixer.Set_Racing(true);
        racing.cues = Cue_None;
        mixer.Race_Step(racing);
        out.clear();
        Render(mixer, out, Sound_Rate / 2);
        QVERIFY(Sound_Analysis::Rms(out, Sound_Rate / 4, Sound_Rate / 4) > 1000.0);
        QVERIFY(Sound_Analysis::Tone_Strength(out, 0, Sound_Rate / 2, 523.25, Sound_Rate) < 100.0);
    }

    void a_backlog_nobody_reads_stays_bounded_and_keeps_the_last_state()
    {
        // Hours of frames while the output is stalled: steps, clicks and switches between them.
        Sound_Commands commands;
        for (int i = 0; i < 200000; ++i)
        {
            Sound_Frame frame;
            frame.speed = float(i % 3);
            commands.Push(Sound_Command{Sound_Command::Race_Step, frame, 0});
            commands.Push(Sound_Command{Sound_Command::Play, Sound_Frame(), int(Cue_Click)});
            if (i % 7 == 0)
                commands.Push(Sound_Command{Sound_Command::Set_Volume, Sound_Frame(), i % 101});
            if (i % 11 == 0)
                commands.Push(Sound_Command{Sound_Command::Set_Muted, Sound_Frame(), i % 2});
            if (i % 1000 == 0)
                QVERIFY2(commands.Waiting() <= Sound_Commands::Room, qPrintable(QString::number(i)));
        }
        commands.Push(Sound_Command{Sound_Command::Set_Volume, Sound_Frame(), 37});
        commands.Push(Sound_Command{Sound_Command::Set_Racing, Sound_Frame(), 1});
        Sound_Mixer mixer;
        commands.Apply_To(mixer);
        QCOMPARE(commands.Waiting(), size_t(0));
        QCOMPARE(mixer.Volume(), 37);
        // 199991 was the last step to switch: an odd one, muted.
        QVERIFY(mixer.Is_Muted());
    }
};

QTEST_MAIN(Test_Sound_Mixer)
#include "tst_sound_mixer.moc"
