#include "Frame_Finger.h"

#include "Bench_Driver.h"

#include <QEvent>

Frame_Finger::Frame_Finger(QObject* game_view, Bench_Driver& driver) : QObject(game_view), m_driver(driver)
{
    game_view->installEventFilter(this);
}

bool Frame_Finger::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Timer)
        m_driver.Keep_Racing();
    return false;
}
