// Lap_Timer: counts the race time in game time and shows it with the course's best time.
#ifndef TAVRELO_LAP_TIMER_H
#define TAVRELO_LAP_TIMER_H

#include "Scene_UI_Element.h"

#include <QString>

class Lap_Timer : public Scene_UI_Element
{
public:
    Lap_Timer();

    void Update(float step) override;
    void Draw(QPainter* painter) override;

    // "mm:ss:hh" (minutes uncapped). Safe for any float.
    static QString Format_Time(float seconds);
    // The whole line the timer shows.
    QString Text() const;

    bool m_running;
    float m_elapsed;
    float m_best; // 0: no best time yet
};

#endif
