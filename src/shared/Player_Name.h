// Player_Name: the rule a name must meet to stand on the board, shared by the board and the game's side of
// it.
#ifndef TAVRELO_PLAYER_NAME_H
#define TAVRELO_PLAYER_NAME_H

#include <QString>

class Player_Name
{
public:
    static constexpr int Max_Length = 24;

    // Empty when name may stand on the board (as given: names are not trimmed or changed), else why not.
    static QString Problem(const QString& name);
};

#endif
