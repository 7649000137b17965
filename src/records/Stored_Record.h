// Stored_Record: a course's best lap as the game reads it from the settings store, and what is wrong with it.
#ifndef TAVRELO_STORED_RECORD_H
#define TAVRELO_STORED_RECORD_H

#include <QString>

class Options;

class Stored_Record
{
public:
    // Reads through the game's own readers, so that the verdict is about
    // what the game itself would see.
    static Stored_Record Read(Options& options, int course);

    bool Is_Ok() const { return m_verdict == QLatin1String("ok"); }

    bool m_present = false; // a time or a ghost is stored, usable or not
    float m_time = 0.0f;    // 0: none, or none usable
    QString m_ghost;
    QString m_inputs;  // empty: kept without its inputs
    QString m_verdict; // "ok", "none" or the fault
};

#endif
