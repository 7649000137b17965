#include "Sector_Splits.h"

#include "Level.h"
#include "Preferences.h"
#include "Race.h"

#include <QStringList>

#include <cmath>
#include <limits>

static_assert(Sector_Splits::Count == Preferences::Sector_Count,
              "the preferences keep a best for each sector");

namespace
{
const float Unknown = std::numeric_limits<float>::quiet_NaN();
} // namespace

Sector_Splits::Sector_Splits() : m_lines{}, m_ghost_time(0.0f), m_course(-1), m_ends{}, m_gaps{}, m_next(0)
{
    for (int i = 0; i < Count; ++i)
    {
        m_ends[i] = -1;
        m_gaps[i] = Unknown;
        m_best[i] = -1;
    }
}

void Sector_Splits::Start(const Level& level, Preferences& preferences, float ghost_time)
{
    m_ghost_time = ghost_time;
    m_next = 0;
    for (int i = 0; i < Count; ++i)
    {
        m_ends[i] = -1;
        m_gaps[i] = Unknown;
    }
    // Quarters of the length driven, turned into the progress the race measures: pieces are of any length.
    const int pieces = static_cast<int>(level.m_points.size()) - 1;
    float length = 0.0f;
    for (int k = 0; k < pieces; ++k)
        length += level.m_lengths[static_cast<size_t>(k)];
    int k = 0;
    float before = 0.0f;
    for (int line = 0; line < Count - 1; ++line)
    {
        const float at = length * static_cast<float>(line + 1) / Count;
        while (k < pieces - 1 && before + level.m_lengths[static_cast<size_t>(k)] < at)
            before += level.m_lengths[static_cast<size_t>(k++)];
        const float piece = pieces > 0 ? level.m_lengths[static_cast<size_t>(k)] : 0.0f;
        m_lines[line] = static_cast<float>(k) + (piece > 0.0f ? (at - before) / piece : 0.0f);
    }
    if (m_course == level.m_track_index)
        return;
    m_course = level.m_track_index;
    preferences.Read_Best_Sectors(m_course, m_best);
}

int Sector_Splits::Step(const Race& race)
{
    if (m_next >= Count - 1 || !race.m_clock.m_running)
        return -1;
    const float progress = static_cast<float>(race.m_closest_segment) + race.m_segment_fraction;
    if (!(progress >= m_lines[m_next]))
        return -1;
    const float elapsed = race.m_clock.m_elapsed;
    m_ends[m_next] = Hundredths(elapsed);
    // The ghost's time at this place, whether or not its run has ended by the player's clock.
    m_gaps[m_next] = race.m_ghost_gap.Gap_At(progress, 0.0f) + elapsed;
    return m_next++;
}

void Sector_Splits::Finish(const Race& race, Preferences& preferences)
{
    const int lap = Hundredths(race.m_clock.m_elapsed);
    // A line never crossed (no lap misses one) ends its sector at the finish.
    for (; m_next < Count - 1; ++m_next)
        m_ends[m_next] = lap;
    m_next = Count - 1;
    m_ends[Count - 1] = lap;
    m_gaps[Count - 1] = m_ghost_time > 0.0f && race.m_ghost_gap.Sample_Count() > 0
                            ? race.m_clock.m_elapsed - m_ghost_time
                            : Unknown;
    bool better = false;
    for (int i = 0; i < Count; ++i)
    {
        const int sector = Sector(i);
        if (sector >= 0 && (m_best[i] < 0 || sector < m_best[i]))
        {
            m_best[i] = sector;
            better = true;
        }
    }
    if (!better || Ideal() < 0)
        return;
    QStringList kept;
    for (int i = 0; i < Count; ++i)
        kept << QString::number(m_best[i]);
    preferences.Write(Preferences::Best_Sectors_Key(m_course).constData(), kept.join(QLatin1Char(' ')));
}

int Sector_Splits::Sector(int sector) const
{
    if (sector < 0 || sector >= Count || m_ends[sector] < 0)
        return -1;
    return sector == 0 ? m_ends[0] : m_ends[sector] - m_ends[sector - 1];
}

int Sector_Splits::Best(int sector) const
{
    return sector >= 0 && sector < Count ? m_best[sector] : -1;
}

int Sector_Splits::Ideal() const
{
    int sum = 0;
    for (int i = 0; i < Count; ++i)
    {
        if (m_best[i] < 0)
            return -1;
        sum += m_best[i];
    }
    return sum;
}

void Sector_Splits::Copy(int (&sectors)[Count], int (&best)[Count]) const
{
    for (int i = 0; i < Count; ++i)
    {
        sectors[i] = Sector(i);
        best[i] = Best(i);
    }
}

float Sector_Splits::Gap(int sector) const
{
    return sector >= 0 && sector < Count ? m_gaps[sector] : Unknown;
}

int Sector_Splits::Hundredths(float seconds)
{
    const float hundredths = seconds * 100.0f;
    if (!(hundredths > -1.0f) || !(hundredths < 2147483648.0f))
        return 0;
    return static_cast<int>(hundredths);
}
