#include "Ghost_Gap.h"

#include "Decimal_Text.h"
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Level.h"
#include "Race.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// Samples walked from where the last search ended before a binary search takes over.
constexpr int Near_Steps = 8;
} // namespace

void Ghost_Gap::Build(const Level& level, const Ghost_Ship& ghost)
{
    Clear();
    if (ghost.m_playback.isEmpty())
        return;
    Ghost_Ship replay;
    replay.m_playback = ghost.m_playback;
    replay.m_read_pos = ghost.m_read_pos;
    replay.m_position = ghost.m_position;
    replay.m_angle = ghost.m_angle;
    const int samples = (static_cast<int>(ghost.m_playback.size()) - ghost.m_read_pos) / Ghost_Sample_Length;
    m_progress.reserve(static_cast<size_t>(std::max(samples, 0)));
    m_clock.reserve(static_cast<size_t>(std::max(samples, 0)));
    int32_t piece = 0;
    float fraction = 0.0f;
    float farthest = 0.0f;
    float clock = 0.0f;
    // The clock starts at the step of the first sample and counts one fixed step per sample after it.
    while (replay.m_read_pos < replay.m_playback.size())
    {
        Ghost_Play_Sample(replay);
        Race::Nearest_Piece(level, replay.m_position, &piece, &fraction);
        farthest = std::max(farthest, static_cast<float>(piece) + fraction);
        if (!m_progress.empty())
            clock += Race::Frame_Step;
        m_progress.push_back(farthest);
        m_clock.push_back(clock);
    }
}

void Ghost_Gap::Clear()
{
    m_progress.clear();
    m_clock.clear();
    m_search_from = 0;
}

size_t Ghost_Gap::First_At_Or_Past(float progress) const
{
    // Progress never decreases, so "before progress" holds for a first run of samples and for none after it.
    const auto before = [progress](float kept) { return kept < progress; };
    const size_t count = m_progress.size();
    size_t k = std::min(m_search_from, count);
    for (int step = 0; step < Near_Steps; ++step)
    {
        if (k < count && before(m_progress[k]))
            ++k;
        else if (k > 0 && !before(m_progress[k - 1]))
            --k;
        else
        {
            m_search_from = k;
            return k;
        }
    }
    k = static_cast<size_t>(std::lower_bound(m_progress.begin(), m_progress.end(), progress) -
                            m_progress.begin());
    m_search_from = k;
    return k;
}

float Ghost_Gap::Gap_At(float progress, float elapsed) const
{
    const float unknown = std::numeric_limits<float>::quiet_NaN();
    if (m_progress.empty() || !(elapsed <= m_clock.back()) || !std::isfinite(progress))
        return unknown;
    const size_t k = First_At_Or_Past(progress);
    if (k == m_progress.size())
        return unknown;
    float ghost_time = m_clock[k];
    if (k > 0 && m_progress[k] > m_progress[k - 1])
    {
        const float part = (progress - m_progress[k - 1]) / (m_progress[k] - m_progress[k - 1]);
        ghost_time = m_clock[k - 1] + part * (m_clock[k] - m_clock[k - 1]);
    }
    return elapsed - ghost_time;
}

namespace
{
// In hundredths, bounded first: a gap is never near these, but no float may reach a bad conversion.
long Hundredths(float gap)
{
    const double bounded = std::isfinite(gap) ? std::clamp(static_cast<double>(gap), -99999.0, 99999.0) : 0.0;
    return std::lround(bounded * 100.0);
}
} // namespace

int Ghost_Gap::Side(float gap)
{
    const long hundredths = Hundredths(gap);
    return hundredths < 0 ? -1 : hundredths > 0 ? 1 : 0;
}

QString Ghost_Gap::Text(float gap)
{
    char text[Text_Size];
    const int length = Text(gap, text);
    return QString::fromLatin1(text, length);
}

int Ghost_Gap::Text(float gap, char (&text)[Text_Size])
{
    // Signed hundredths as "%+.2f" shows them, at most "+99999.00"; level shows unsigned.
    const long hundredths = Hundredths(gap);
    int length = 0;
    if (hundredths != 0)
        text[length++] = hundredths < 0 ? '-' : '+';
    const unsigned long magnitude = static_cast<unsigned long>(hundredths < 0 ? -hundredths : hundredths);
    length += Decimal_Text::Write(text + length, magnitude / 100, 1);
    text[length++] = '.';
    length += Decimal_Text::Write(text + length, magnitude % 100, 2);
    text[length] = '\0';
    return length;
}
