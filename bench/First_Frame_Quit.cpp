#include "First_Frame_Quit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

First_Frame_Quit::First_Frame_Quit(QObject* parent) : QObject(parent), m_painted(false) {}

bool First_Frame_Quit::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Paint && !m_painted)
    {
        m_painted = true;
        QTimer::singleShot(0,
                           []
                           {
                               std::fflush(stdout);
                               std::fflush(stderr);
                               std::_Exit(0);
                           });
    }
    return false;
}
