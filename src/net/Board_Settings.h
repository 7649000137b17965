// Board_Settings: the player's board among the preferences: its address, the name on it and this install's
// key.
#ifndef TAVRELO_BOARD_SETTINGS_H
#define TAVRELO_BOARD_SETTINGS_H

#include <QString>

class Preferences;

class Board_Settings
{
public:
    // The address to use: given for one run, or else the kept one; empty for none.
    static QString Address(Preferences& preferences, const QString& given);
    static QString Name(Preferences& preferences);
    // Empty when the kept name may be sent, else what the player has to do.
    static QString Name_Problem(Preferences& preferences);
    // The key that proves the name is this install's: made at random on first use and kept.
    static QString Key(Preferences& preferences);
};

#endif
