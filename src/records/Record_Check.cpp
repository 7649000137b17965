#include "Record_Check.h"

#include "Ghost_Record.h"
#include "Track_List.h"

#include <cfloat>
#include <cmath>

namespace
{
constexpr int Header_Length = 4;
constexpr int Sample_Length = 10;
// Every ghost a game writes starts with the format byte 1: "ba".
const QString Format_Characters = QStringLiteral("ba");

QChar Nibble_Character(int value)
{
    return QChar(static_cast<char16_t>(u'a' + (value & 15)));
}
} // namespace

int Ghost_Sample_Count(const QString& ghost)
{
    if (ghost.size() < Header_Length)
        return 0;
    return (ghost.size() - Header_Length) / Sample_Length;
}

int Lap_Frames(float time)
{
    // The clock adds 1/60 s per frame in single precision; its rounding stays
    // far below a twentieth of a frame over any lap a ghost can hold.
    if (!(time > 0.0f) || !std::isfinite(time) || time > 1.0e6f)
        return -1;
    const double frames = static_cast<double>(time) * 60.0;
    const double whole = std::round(frames);
    return std::fabs(frames - whole) <= 0.05 ? static_cast<int>(whole) : -1;
}

int Expected_Samples(float time)
{
    const int frames = Lap_Frames(time);
    if (frames < 0)
        return -1;
    const int samples = frames + 1;
    return Header_Length + samples * Sample_Length - 1 > Ghost_Record_Cap ? 0 : samples;
}

QString Check_Record(const Track_Info& course, double time, const QString& ghost)
{
    if (!std::isfinite(time) || !(time > 0.0) || time > static_cast<double>(FLT_MAX))
        return QStringLiteral("time is not a finite number above zero");
    if (!ghost.isEmpty())
    {
        if (ghost.size() < Header_Length || !ghost.startsWith(Format_Characters))
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
        if ((ghost.size() - Header_Length) % Sample_Length != 0)
            return QStringLiteral("a cut sample");
    }
    const int expected = Expected_Samples(static_cast<float>(time));
    if (expected != Ghost_Sample_Count(ghost) || (ghost.isEmpty() && expected != 0))
        return QStringLiteral("%1 samples cannot belong to a lap of this time")
            .arg(Ghost_Sample_Count(ghost));
    return QString();
}
