// Track_List: the catalogue of the three built-in courses and their segment tables.
#ifndef TAVRELO_TRACK_LIST_H
#define TAVRELO_TRACK_LIST_H

#include <QString>

#include <cstdint>

// One straight piece of a course's centre line, in track units (world units / 100).
struct Track_Segment
{
    float x1;
    float y1;
    float x2;
    float y2;
};

struct Track_Info
{
    const Track_Segment* segments;
    int32_t segment_count;
    const char* name; // plain ASCII
    int32_t version;  // a stored ghost is replayed only on the version it was recorded on
};

extern const Track_Segment g_symbol_Track1[204];
extern const Track_Segment g_symbol_Track2[204];
extern const Track_Segment g_symbol_Track3[204];
extern const Track_Info g_track_infos[3];

int32_t Get_Track_Count();
// idx must be 0 .. Get_Track_Count() - 1; anything else stops the program.
const Track_Info* Get_Track_Info(int idx);
// The course's name as the game shows it.
QString Get_Track_Name(int idx);

#endif
