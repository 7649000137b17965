// Finish_Panel: the result of a finished lap, drawn over the race until a touch or a key.
#ifndef TAVRELO_FINISH_PANEL_H
#define TAVRELO_FINISH_PANEL_H

#include "Scene_UI_Element.h"

#include <QColor>
#include <QFont>
#include <QStaticText>
#include <QString>
#include <QStringList>

class Finish_Panel : public Scene_UI_Element
{
public:
    // Hidden until a lap finishes.
    Finish_Panel();

    // The lap's result: previous_best 0 for a course's first lap; saved and
    // save_error say what became of a new best (save_error empty when saved).
    void Show(float time, float previous_best, bool new_best, const QString& save_error);

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

private:
    // The lines laid out and measured, made again only when the result shown
    // or the font change: laying text out is most of what drawing it costs.
    void Lay_Out_Lines(QPainter* painter);

    static constexpr int Line_Count = 5;
    QStaticText m_laid_out[Line_Count];
    int m_line_widths[Line_Count];
    int m_text_width;
    bool m_laid_out_made;
    float m_laid_out_time;
    float m_laid_out_previous_best;
    bool m_laid_out_new_best;
    QString m_laid_out_save_error;
    QFont m_laid_out_font;
};

#endif
