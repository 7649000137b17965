// Sector_Splits: a lap cut into four sectors at quarters of the course's length, timed from the race's state.
#ifndef TAVRELO_SECTOR_SPLITS_H
#define TAVRELO_SECTOR_SPLITS_H

class Level;
class Preferences;
class Race;

// Read from the race after its step, never written into it: the race, its
// proof and its frames are the same with or without the splits.
class Sector_Splits
{
public:
    static constexpr int Count = 4;

    Sector_Splits();

    // A new lap of level's course: the lines placed, the course's best sectors read; ghost_time is the lap
    // time of the ghost raced (0 for none).
    void Start(const Level& level, Preferences& preferences, float ghost_time);
    // After each step of a race: the sector whose end the craft has just crossed (0 to 2), or -1.
    int Step(const Race& race);
    // The lap has finished at the race's clock: its last sector is timed and every better sector kept.
    void Finish(const Race& race, Preferences& preferences);

    // In hundredths, as the clock shows them: -1 while not timed (Sector), not kept (Best) or not all kept
    // (Ideal). A lap's four sectors add up to its time on the clock, to the hundredth.
    int Sector(int sector) const;
    int Best(int sector) const;
    int Ideal() const;
    // Sector and Best of every sector at once.
    void Copy(int (&sectors)[Count], int (&best)[Count]) const;
    // The gap to the ghost where the sector ended (seconds, negative ahead); not a number when unknown.
    float Gap(int sector) const;

    // Where each line lies, as the race measures progress (piece index plus the fraction along it).
    float Line(int sector) const { return m_lines[sector]; }
    // The clock's hundredths of a time, cut as Race_Clock::Format_Time cuts them.
    static int Hundredths(float seconds);

private:
    float m_lines[Count - 1];
    float m_ghost_time;
    int m_course;
    // The clock's hundredths at each line and at the finish; the next line to cross.
    int m_ends[Count];
    float m_gaps[Count];
    int m_next;
    int m_best[Count];
};

#endif
