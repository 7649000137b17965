// Board_Line: the player's place on the board for the course in the menu, under its best time, and the board
// and the name it is under.
#ifndef TAVRELO_BOARD_LINE_H
#define TAVRELO_BOARD_LINE_H

#include "Scene_UI_Element.h"

#include <QFont>
#include <QString>

class Board_Session;
class QFontMetrics;

class Board_Line : public Scene_UI_Element
{
public:
    // The first line's baseline: under the clock's line in the corner.
    static constexpr int Top = 44;
    // The lowest pixel the lines may reach: the place wrapped once, and the board's line under it.
    static int Bottom(const QFontMetrics& metrics);

    // The session is the game's; it is not owned and outlives the line.
    explicit Board_Line(const Board_Session* session);

    // Reads the session's figures for the course shown.
    void Update(float step) override;
    void Draw(QPainter* painter) override;

    const Board_Session* m_session;
    int m_course;
    QString m_text; // empty without a board
    QString m_name;
    QString m_host;
    bool m_old;

private:
    // The place cut where the screen ends, and the line under it, made again only when a text, the width or
    // the font change.
    void Lay_Out(QPainter* painter, int width);

    QString m_lines[2];
    QString m_under;
    QString m_laid_text;
    QString m_laid_name;
    QString m_laid_host;
    QFont m_laid_font;
    int m_laid_width;
};

#endif
