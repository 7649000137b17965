// Lap_Timer: draws the race's clock with the course's best time.
#ifndef TAVRELO_LAP_TIMER_H
#define TAVRELO_LAP_TIMER_H

#include "Character_Text.h"
#include "Scene_UI_Element.h"

#include <QColor>
#include <QFont>
#include <QString>

class Race_Clock;

class Lap_Timer : public Scene_UI_Element
{
public:
    // The clock is the race's; it is not owned and outlives the timer.
    explicit Lap_Timer(const Race_Clock* clock);

    void Draw(QPainter* painter) override;
    // All its colours come through Change_Visible_Color.
    bool Can_Darken() const override { return true; }

    // The whole line the timer shows.
    QString Text() const;
    // ", best: 01:02:29 (unverified), to beat: 00:58:12 Zoë": the line after the running time.
    QString Rest_Text() const;
    // The gap to the ghost beside it, coloured for ahead, behind or level; empty while unknown.
    QString Gap_Text() const;
    QColor Gap_Colour() const;

    const Race_Clock* m_clock;
    // Said in brackets after the best time: "unverified" for a best with no inputs to prove it.
    QString m_best_note;
    // The lap being raced when it is another player's (the board's leader, a lap file): its time, 0 for
    // none, and its driver, shown after the best as the time to beat.
    float m_rival_time;
    QString m_rival_name;

private:
    // The line after the running time (the best and its note) and the time to
    // beat, made again only when they or the font change; their widths in that
    // font, with the width of its M and its line spacing.
    void Lay_Out_Rest(QPainter* painter);

    Character_Text m_characters;
    QString m_rest;
    float m_rest_best;
    QString m_rest_note;
    float m_rest_rival_time;
    QString m_rest_rival_name;
    QFont m_rest_font;
    qreal m_rest_width;
    // ", to beat: 00:58:12 Zoë" after the best, or "to beat: 00:58:12 Zoë" under the line where the screen is
    // too narrow for both and the gap; empty without another player's lap.
    QString m_rival_beside;
    QString m_rival_below;
    qreal m_rival_width;
    int m_em_width;
    int m_line_spacing;
};

#endif
