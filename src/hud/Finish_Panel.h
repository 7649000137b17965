// Finish_Panel: the result of a finished lap, drawn over the race until a touch or a key.
#ifndef TAVRELO_FINISH_PANEL_H
#define TAVRELO_FINISH_PANEL_H

#include "Scene_UI_Element.h"
#include "Text_Layer.h"

#include <QColor>
#include <QFont>
#include <QStaticText>
#include <QString>
#include <QStringList>

class Board_Session;

class Finish_Panel : public Scene_UI_Element
{
public:
    static constexpr int Sector_Count = 4;

    // Hidden until a lap finishes.
    Finish_Panel();

    // The lap's result: previous_best 0 for a course's first lap; saved and
    // save_error say what became of a new best (save_error empty when saved).
    // What the calls below add is cleared.
    void Show(float time, float previous_best, bool new_best, const QString& save_error);
    // The lap raced was another player's: the gap to it, by name.
    void Show_Rival(float time, const QString& name);
    // The lap's sectors and the best of each, in hundredths (-1: none), with the ideal lap the bests make.
    void Show_Sectors(const int (&sectors)[Sector_Count], const int (&best)[Sector_Count]);
    // The place on board's standings is shown once the board has answered after taking the
    // lap counted taken of course (Board_Session::Laps_Taken); the board outlives the panel.
    void Await_Place(const Board_Session* board, int course, int taken);
    void Update(float step) override;

    void Draw(QPainter* painter) override;
    void Set_Visible(bool visible) override;
    // Any touch while shown: its release sends the game to the menu.
    bool Mouse_Down(const QPoint& p) override;
    void Mouse_Up(const QPoint& p) override;
    // Whether the panel was sent away (a touch, or a key through Dismiss) since the last poll; clears it.
    bool Poll_Dismissed();
    void Dismiss();

    // The lines drawn, top to bottom, and each line's colour.
    QStringList Lines() const;
    QColor Line_Colour(int line) const;

    static const QColor New_Best_Colour;
    static const QColor Ahead_Colour;
    static const QColor Behind_Colour;

    float m_time;
    float m_previous_best;
    bool m_new_best;
    QString m_save_error;
    bool m_dismissed;
    float m_rival_time; // 0: no other player's lap raced
    QString m_rival_name;
    bool m_has_sectors;
    int m_sectors[Sector_Count];
    int m_best_sectors[Sector_Count];
    // "3rd of 41", once the board has answered; empty before.
    QString m_place;

private:
    // The lines laid out and measured, made again only when the result shown
    // or the font change: laying text out is most of what drawing it costs.
    void Lay_Out_Lines(QPainter* painter);
    static constexpr int Max_Lines = 10;
    // What each line shown is, top to bottom; returns how many there are.
    int Kinds(int (&kinds)[Max_Lines]) const;

    QStaticText m_laid_out[Max_Lines];
    int m_line_widths[Max_Lines];
    int m_line_count;
    int m_text_width;
    bool m_laid_out_made;
    float m_laid_out_time;
    float m_laid_out_previous_best;
    bool m_laid_out_new_best;
    QString m_laid_out_save_error;
    QFont m_laid_out_font;
    // Counts each change to what the calls after Show add, for the lines laid out to follow.
    unsigned m_changes;
    unsigned m_laid_out_changes;
    // Counts the lay-outs: the layer follows them.
    quint64 m_lay_outs;
    Text_Layer m_layer;
    const Board_Session* m_board;
    int m_board_course;
    int m_board_taken;
};

#endif
