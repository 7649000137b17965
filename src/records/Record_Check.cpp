#include "Record_Check.h"

#include "Ghost_Record.h"
#include "Race.h"
#include "Track_List.h"

#include <cfloat>
#include <cmath>

namespace
{
// Every ghost a game writes starts with the format byte 1: "ba".
const QString Format_Characters = QStringLiteral("ba");

QChar Nibble_Character(int value)
{
    return QChar(static_cast<char16_t>(u'a' + (value & 15)));
}
} // namespace

int Ghost_Sample_Count(const QString& ghost)
{
    if (ghost.size() < Ghost_Header_Length)
        return 0;
    return (ghost.size() - Ghost_Header_Length) / Ghost_Sample_Length;
}

int Expected_Samples(float time)
{
    if (!(time > 0.0f) || !std::isfinite(time))
        return -1;
    // The clock adds the frame step in single precision, and over a long lap
    // its rounding adds up to more than a frame: the frames are counted the
    // same way. A time between two counts (typed by hand) goes to the nearer.
    const int max_frames =
        (Ghost_Record_Cap - Ghost_Header_Length) / Ghost_Sample_Length - 1; // the longest saved ghost
    float clock = 0.0f;
    float previous = 0.0f;
    int frames = 0;
    while (clock < time && frames <= max_frames)
    {
        previous = clock;
        clock += Race::Frame_Step;
        ++frames;
    }
    if (clock < time)
        return 0;
    if (frames > 0 && time - previous < clock - time)
        --frames;
    // No lap ends in the frame it starts in.
    if (frames == 0)
        return -1;
    // One sample per frame from the start frame to the finishing one.
    return frames > max_frames ? 0 : frames + 1;
}

float Clock_After(int frames)
{
    float clock = 0.0f;
    for (int i = 0; i < frames; ++i)
        clock += Race::Frame_Step;
    return clock;
}

QString Check_Record(const Track_Info& course, double time, const QString& ghost)
{
    if (!std::isfinite(time) || !(time > 0.0) || time > static_cast<double>(FLT_MAX))
        return QStringLiteral("time is not a finite number above zero");
    if (!ghost.isEmpty())
    {
        if (ghost.size() < Ghost_Header_Length || !ghost.startsWith(Format_Characters))
            return QStringLiteral("bad header");
        for (const QChar c : ghost)
            if (c < QChar('a') || c > QChar('p'))
                return QStringLiteral("characters outside the code");
        const QString version =
            QString(Nibble_Character(course.version)) + Nibble_Character(course.version >> 4);
        if (ghost.mid(2, 2) != version)
            return QStringLiteral("wrong course version");
        if (ghost.size() > Ghost_Record_Cap)
            return QStringLiteral("past the cap");
        if ((ghost.size() - Ghost_Header_Length) % Ghost_Sample_Length != 0)
            return QStringLiteral("a cut sample");
    }
    const int expected = Expected_Samples(static_cast<float>(time));
    if (expected != Ghost_Sample_Count(ghost) || (ghost.isEmpty() && expected != 0))
        return QStringLiteral("%1 samples cannot belong to a lap of this time")
            .arg(Ghost_Sample_Count(ghost));
    return QString();
}
