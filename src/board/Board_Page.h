// Board_Page: the board's web pages, plain HTML and one style sheet, every name escaped.
#ifndef TAVRELO_BOARD_PAGE_H
#define TAVRELO_BOARD_PAGE_H

#include "Board_Store.h"

#include <QByteArray>

#include <vector>

class Board_Page
{
public:
    // Each course's standings, in the catalogue's order.
    static QByteArray Front(const std::vector<std::vector<Board_Store::Entry>>& courses);
    // One lap: its picture, its place, the gap to the leader (none when there is no leader) and its file.
    static QByteArray Lap(const Board_Store::Entry& lap, const Board_Store::Entry* leader);
    static QByteArray Not_Found();
    static QByteArray Unavailable();
    static QByteArray Style();
};

#endif
