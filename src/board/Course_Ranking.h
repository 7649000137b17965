// Course_Ranking: one course's best laps in the board's order, read from the database at once and kept, so
// that a player's rank and the course's count are a search in memory rather than a count of every row.
#ifndef TAVRELO_COURSE_RANKING_H
#define TAVRELO_COURSE_RANKING_H

#include <QtGlobal>

#include <utility>
#include <vector>

class Course_Ranking
{
public:
    // Best laps as (time, lap id), in any order.
    explicit Course_Ranking(std::vector<std::pair<double, qint64>> laps);

    // The place of a best lap of this time, as in a race: one after every faster one, so equal times share
    // it.
    int Rank(double time) const;
    // Where the standings list a best lap: after the faster ones and the as fast ones stored earlier (lower
    // ids).
    int Row(double time, qint64 lap_id) const;
    int Total() const { return static_cast<int>(m_laps.size()); }

private:
    std::vector<std::pair<double, qint64>> m_laps; // sorted
};

#endif
