#include "Track_List.h"

#include <cassert>

// Index order is the courses' numbering: the menu steps through it and the
// stored best times and ghosts are keyed by it, so new courses go at the end.
const Track_Info g_track_infos[3] = {
    {g_symbol_Track1, 204, "Primus", 1},
    {g_symbol_Track2, 204, "Secundus", 1},
    {g_symbol_Track3, 204, "Tertius", 1},
};

// A constant of the catalogue rather than the array's size: the wrap rules of
// the menu and the keys of the stored records depend on it.
int32_t Get_Track_Count()
{
    return 3;
}

// No caller can produce a bad index. The assertion's line is part of its
// message: keep it on line 25 so that reports from every build read the same.
const Track_Info* Get_Track_Info(int idx)
{
    // Stops the program whatever the build type (assertions are never compiled out).
    assert(idx >= 0 && idx < Get_Track_Count());
    return &g_track_infos[idx];
}

QString Get_Track_Name(int idx)
{
    return QString::fromLatin1(Get_Track_Info(idx)->name);
}
