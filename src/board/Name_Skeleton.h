// Name_Skeleton: what a player's name looks like, by Unicode's confusables (ICU's spoof checker), so that a
// name passing for another's is told apart from a new one.
#ifndef TAVRELO_NAME_SKELETON_H
#define TAVRELO_NAME_SKELETON_H

#include <QString>

class Name_Skeleton
{
public:
    // Names that read alike on the page share a skeleton: "Alice", "ALICE" and "Аlice" with a Cyrillic А.
    static QString Of(const QString& name);
    // Empty when name keeps to one script (Latin with Han and Japanese or Korean scripts counts as one, as
    // people write it), else which scripts it mixes.
    static QString Mixed_Scripts(const QString& name);
};

#endif
