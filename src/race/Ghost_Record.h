// Ghost_Record: the text encoding of a run and the three steps that load, record and replay it.
#ifndef TAVRELO_GHOST_RECORD_H
#define TAVRELO_GHOST_RECORD_H

#include <QPointF>
#include <QString>

class Ghost_Ship;

// A run is saved only while its record holds at most this many characters
// (the header and 5399 samples); the record stops growing past it.
constexpr int Ghost_Record_Cap = 53999;
// A record starts with the format byte and the course version byte, two characters each.
constexpr int Ghost_Header_Length = 4;
// Each frame's sample: the x and y steps (four characters each) and the heading (two).
constexpr int Ghost_Sample_Length = 10;

// Loads and checks a stored run (dropped unless its header matches version),
// puts the replay at start, and starts a new record with the header for version.
void Ghost_Start(Ghost_Ship& ghost, const QString& stored, const QPointF& start, float heading, int version);
// Appends one sample (the step from the last recorded position, and the heading).
void Ghost_Record_Sample(Ghost_Ship& ghost, const QPointF& position, float heading);
// Advances the replay by one sample; a finished replay leaves the ghost where it is.
void Ghost_Play_Sample(Ghost_Ship& ghost);

#endif
