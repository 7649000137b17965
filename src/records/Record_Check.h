// Record_Check: what is wrong, if anything, with a course's best time and ghost as the game would read them.
#ifndef TAVRELO_RECORD_CHECK_H
#define TAVRELO_RECORD_CHECK_H

#include <QString>

struct Track_Info;

// Whole samples in a ghost string (a cut last sample does not count); 0 without a valid header.
int Ghost_Sample_Count(const QString& ghost);
// How many ghost samples a lap of this time leaves: one per frame from the start frame to the
// finishing one. A lap longer than the cap leaves none (the game then stores an empty ghost).
int Expected_Samples(float time);
// What the game's clock reads after this many frames.
float Clock_After(int frames);

// An empty string when the record is one the game could have written for the course, else the
// reason in a few words. time is the value as stored (double: a file may hold any number).
QString Check_Record(const Track_Info& course, double time, const QString& ghost);

#endif
