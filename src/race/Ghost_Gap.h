// Ghost_Gap: how far along the course the ghost was at each step of its run, and the player's time gap to it.
#ifndef TAVRELO_GHOST_GAP_H
#define TAVRELO_GHOST_GAP_H

#include <QString>

#include <vector>

class Ghost_Ship;
class Level;

class Ghost_Gap
{
public:
    // Replays a copy of ghost (just started, its replay at the first sample)
    // on level, keeping for each sample the clock and the course progress
    // (piece index plus the fraction along it) the race would give a craft there.
    void Build(const Level& level, const Ghost_Ship& ghost);
    void Clear();

    // The player's time minus the ghost's when it was at progress, for a
    // player at elapsed: negative ahead, positive behind. Not a number without
    // a ghost, and once the ghost's run has ended.
    float Gap_At(float progress, float elapsed) const;

    int Sample_Count() const { return static_cast<int>(m_progress.size()); }

    // The gap as shown beside the clock, to the hundredth: "-0.42", "+1.07",
    // and "0.00" when the two are level to the hundredth, so the sign never flickers.
    static QString Text(float gap);
    // The same into a buffer of characters, for drawing every frame without
    // making a string; returns the length.
    static constexpr int Text_Size = 24;
    static int Text(float gap, char (&text)[Text_Size]);
    // -1 ahead, 1 behind, 0 level, as Text shows it.
    static int Side(float gap);

private:
    // The first sample whose progress is at or past progress, as a binary
    // search over all of them finds it. A player moves a fraction of a piece
    // a frame, so the search starts where the last one ended, a step or two
    // from the answer; a binary search is its fallback for a jump.
    size_t First_At_Or_Past(float progress) const;

    // Never decreasing: a ghost put back a little on the road keeps the progress it had.
    std::vector<float> m_progress;
    std::vector<float> m_clock;
    mutable size_t m_search_from = 0;
};

#endif
