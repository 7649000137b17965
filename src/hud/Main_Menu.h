// Main_Menu: paints the menu screen's title and the caption of the chosen course.
#ifndef TAVRELO_MAIN_MENU_H
#define TAVRELO_MAIN_MENU_H

#include "Scene_UI_Element.h"

#include <QFont>
#include <QString>

class Main_Menu : public Scene_UI_Element
{
public:
    Main_Menu();

    void Draw(QPainter* painter) override;

    int m_track_index;
    QString m_caption;
    // The board's lines are drawn in the corner above the title (Board_Line).
    bool m_under_board;

private:
    // The caption's width, measured again only when it or the font change: measuring lays the text out.
    QString m_measured_caption;
    QFont m_measured_font;
    bool m_measured;
    int m_caption_width;
};

#endif
