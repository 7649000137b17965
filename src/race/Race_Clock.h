// Race_Clock: the race's time in game time, counted in fixed steps, beside the course's best time.
#ifndef TAVRELO_RACE_CLOCK_H
#define TAVRELO_RACE_CLOCK_H

#include <QString>

class Race_Clock
{
public:
    Race_Clock();

    // One fixed step while the clock runs; nothing while it is stopped.
    void Tick(float step);

    // "mm:ss:hh" (minutes uncapped). Safe for any float.
    static QString Format_Time(float seconds);
    // The same into a buffer of characters, for a clock drawn every frame
    // without making a string; returns the length.
    static constexpr int Time_Text_Size = 24;
    static int Format_Time(float seconds, char (&text)[Time_Text_Size]);

    bool m_running;
    float m_elapsed;
    float m_best; // 0: no best time yet
    // The gap to the ghost at the player's place (seconds, negative ahead),
    // refreshed ten times a second while known.
    bool m_gap_known;
    float m_gap;
};

#endif
