#include "Qt_Bridge.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QOpenGLWidget>
#else
#include <QApplication>
#include <QDesktopWidget>
#include <QGLWidget>
#endif

namespace Qt_Bridge
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

QWidget* New_GL_Viewport()
{
    return new QOpenGLWidget();
}

bool Is_GL_Viewport(const QWidget* widget)
{
    return qobject_cast<const QOpenGLWidget*>(widget) != nullptr;
}

QSize Screen_Size()
{
    // QDesktopWidget is gone; the primary screen is what it reported for -1.
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

QPoint Event_Pos(const QMouseEvent* event)
{
    // Qt 6 reports real positions; pos() was their rounding, kept here.
    return event->position().toPoint();
}

#else

QWidget* New_GL_Viewport()
{
    return new QGLWidget();
}

bool Is_GL_Viewport(const QWidget* widget)
{
    return qobject_cast<const QGLWidget*>(widget) != nullptr;
}

QSize Screen_Size()
{
    return QApplication::desktop()->screenGeometry(-1).size();
}

QPoint Event_Pos(const QMouseEvent* event)
{
    return event->pos();
}

#endif
} // namespace Qt_Bridge
