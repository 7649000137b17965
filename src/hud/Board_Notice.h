// Board_Notice: what the board has to tell the player once (a lap refused, the leader not raced), for a
// while.
#ifndef TAVRELO_BOARD_NOTICE_H
#define TAVRELO_BOARD_NOTICE_H

#include "Scene_UI_Element.h"

#include <QString>

class Board_Session;

class Board_Notice : public Scene_UI_Element
{
public:
    // Six seconds at full rate: long enough to read a reason of a line or two.
    static constexpr int Shown_Frames = 360;

    explicit Board_Notice(Board_Session* session);

    // Takes the session's notice, when it has one, and counts the one shown down.
    void Update(float step) override;
    void Draw(QPainter* painter) override;

    Board_Session* m_session;
    QString m_text;
    int m_frames_left;
};

#endif
