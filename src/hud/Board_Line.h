// Board_Line: the player's place on the board for the course in the menu, under its best time.
#ifndef TAVRELO_BOARD_LINE_H
#define TAVRELO_BOARD_LINE_H

#include "Scene_UI_Element.h"

#include <QFont>
#include <QString>

class Board_Session;

class Board_Line : public Scene_UI_Element
{
public:
    // The session is the game's; it is not owned and outlives the line.
    explicit Board_Line(const Board_Session* session);

    // Reads the session's figures for the course shown.
    void Update(float step) override;
    void Draw(QPainter* painter) override;

    const Board_Session* m_session;
    int m_course;
    QString m_text; // empty without a board
    QString m_name;
    bool m_old;

private:
    // "as NAME" and where it starts, made again only when the line, the name or the font change.
    QString m_as_text;
    QString m_as_for_text;
    QString m_as_for_name;
    QFont m_as_font;
    int m_as_x;
};

#endif
