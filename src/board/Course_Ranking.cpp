#include "Course_Ranking.h"

#include <algorithm>

Course_Ranking::Course_Ranking(std::vector<std::pair<double, qint64>> laps) : m_laps(std::move(laps))
{
    std::sort(m_laps.begin(), m_laps.end());
}

int Course_Ranking::Rank(double time) const
{
    const auto place =
        std::lower_bound(m_laps.begin(), m_laps.end(), time,
                         [](const std::pair<double, qint64>& lap, double t) { return lap.first < t; });
    return static_cast<int>(place - m_laps.begin()) + 1;
}

int Course_Ranking::Row(double time, qint64 lap_id) const
{
    const auto place = std::lower_bound(m_laps.begin(), m_laps.end(), std::make_pair(time, lap_id));
    return static_cast<int>(place - m_laps.begin()) + 1;
}
