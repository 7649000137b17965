#include "Lap_Verifier.h"

#include "Ghost_Record.h"
#include "Input_Track.h"
#include "Lap_Replay.h"
#include "Level.h"
#include "Race_Clock.h"
#include "Record_Check.h"
#include "Track_List.h"

#include <cstring>

namespace
{
QString Exact_Time(float time)
{
    // The clock text alone hides the last bits, where a forged time would sit.
    return QStringLiteral("%1 (%2)")
        .arg(Race_Clock::Format_Time(time))
        .arg(static_cast<double>(time), 0, 'g', 9);
}

Lap_Verifier::Verdict Fail(const QString& reason)
{
    return Lap_Verifier::Verdict{Lap_Verifier::Failed, reason};
}
} // namespace

QString Lap_Verifier::Verdict::Text() const
{
    switch (kind)
    {
    case Verified:
        return QStringLiteral("verified");
    case Unverified:
        return QStringLiteral("unverified");
    case Failed:
        break;
    }
    return QStringLiteral("failed: ") + reason;
}

Lap_Verifier::Verdict Lap_Verifier::Verify(int course, float time, const QString& ghost,
                                           const QString& inputs,
                                           const std::function<void(const Race&)>& after_step)
{
    if (inputs.isEmpty())
        return Verdict{Unverified, QString()};
    if (course < 0 || course >= Get_Track_Count())
        return Fail(QStringLiteral("no such course"));
    Input_Track track;
    QString reason;
    if (!track.Decode(inputs, reason))
        return Fail(QStringLiteral("inputs that do not decode: ") + reason);

    Level level;
    level.Init(course, Level::Course_Only);
    Lap_Replay replay;
    replay.Run(level, track, Ghost_Record_Cap, after_step);
    const bool finished = replay.m_finished;
    const int frames = replay.m_frames;
    const int past_finish = replay.m_past_finish;
    if (!finished)
        return Fail(QStringLiteral("the lap does not finish in its %1 frames of inputs").arg(frames));
    const float raced = replay.m_time;
    if (std::memcmp(&raced, &time, sizeof time) != 0)
        return Fail(
            QStringLiteral("the inputs finish at %1, not at %2").arg(Exact_Time(raced), Exact_Time(time)));
    // Stored as the game stores it: a ghost past the cap is kept as none.
    const QString& record = replay.m_ghost;
    const QString raced_ghost = record.size() <= Ghost_Record_Cap ? record : QString();
    if (raced_ghost != ghost)
    {
        const int samples = Ghost_Sample_Count(ghost);
        const int raced_samples = Ghost_Sample_Count(raced_ghost);
        int first = 0;
        while (first < samples && first < raced_samples &&
               ghost.mid(Ghost_Header_Length + Ghost_Sample_Length * first, Ghost_Sample_Length) ==
                   raced_ghost.mid(Ghost_Header_Length + Ghost_Sample_Length * first, Ghost_Sample_Length))
            ++first;
        return Fail(QStringLiteral("another ghost: the inputs leave %1 samples, the record holds %2, first "
                                   "differing at sample %3")
                        .arg(raced_samples)
                        .arg(samples)
                        .arg(first));
    }
    if (past_finish > 0)
        return Fail(QStringLiteral("the inputs go on %1 frames past the finish").arg(past_finish));
    return Verdict{Verified, QString()};
}
