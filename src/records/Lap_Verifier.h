// Lap_Verifier: runs a lap's kept inputs through the race again, with no window, to prove its time and ghost.
#ifndef TAVRELO_LAP_VERIFIER_H
#define TAVRELO_LAP_VERIFIER_H

#include <QString>

#include <functional>

class Race;

class Lap_Verifier
{
public:
    enum Kind
    {
        Verified = 0,
        Unverified = 1, // no inputs: a record kept before laps kept them
        Failed = 2,
    };

    struct Verdict
    {
        Kind kind;
        QString reason; // for Failed: the first thing that differs

        // "verified", "unverified" or "failed: <reason>".
        QString Text() const;
    };

    // Whether inputs, raced on course from its start, finish at exactly time
    // (the same float) and leave exactly ghost (as the game would store it).
    // The work is bounded by Input_Track::Max_Frames steps whatever the inputs.
    // after_step, when given, sees the race after each step.
    static Verdict Verify(int course, float time, const QString& ghost, const QString& inputs,
                          const std::function<void(const Race&)>& after_step = nullptr);
};

#endif
