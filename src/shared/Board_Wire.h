// Board_Wire: what the board and its clients agree on beyond the JSON: the largest body, how a lap id reads.
#ifndef TAVRELO_BOARD_WIRE_H
#define TAVRELO_BOARD_WIRE_H

#include <QString>

class Board_Wire
{
public:
    // The largest request body the board reads: a lap file is about 60 kB with its inputs, a body four times
    // that is no lap.
    static constexpr int Max_Body = 256 * 1024;

    // Whether text is a lap id as the board gives them: digits only, no sign, no leading zero, fitting a
    // qint64.
    static bool Is_Lap_Id(const QString& text);
};

#endif
