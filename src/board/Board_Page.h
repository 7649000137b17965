// Board_Page: the board's web pages, plain HTML and one style sheet, every name escaped.
#ifndef TAVRELO_BOARD_PAGE_H
#define TAVRELO_BOARD_PAGE_H

#include "Board_Store.h"
#include "Player_Name.h"

#include <QByteArray>

#include <vector>

class Board_Page
{
public:
    static constexpr int Rows = 50;
    // Longer than any name could be, in whatever letters: no such player, and no lookup.
    static constexpr int Max_Sought = 4 * Player_Name::Max_Length;

    // A page of one course's standings as the board shows it.
    struct Course_Standings
    {
        int course = 0;
        int total = 0; // entrants
        int offset = 0;
        std::vector<Board_Store::Entry> entries;
        Board_Store::Entry leader; // id 0: none
        QString sought;            // a name searched for: its row is highlighted, or its absence said
        qint64 found = 0;          // the lap of that row
    };

    // The first page of each course, in the catalogue's order.
    static QByteArray Front(const std::vector<Course_Standings>& courses,
                            const std::vector<QString>& outlines);
    static QByteArray Course(const Course_Standings& standings, const QString& outline);
    // One lap: its picture, its place, the gap to the leader (none when there is no leader) and its file.
    static QByteArray Lap(const Board_Store::Entry& lap, const Board_Store::Entry* leader);
    static QByteArray Not_Found();
    static QByteArray Unavailable();
    static QByteArray Style();
    // The course's centre line as a small inline SVG for its heading.
    static QString Outline(int course);
};

#endif
