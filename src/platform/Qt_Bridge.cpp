#include "Qt_Bridge.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QOpenGLWidget>
#include <QSurfaceFormat>
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
    // The widget draws into a buffer of its own; what waits for the screen is
    // the swap of the window it is composed into, made with the default format.
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setSwapInterval(1);
    QSurfaceFormat::setDefaultFormat(format);
    QOpenGLWidget* widget = new QOpenGLWidget();
    widget->setFormat(format);
    return widget;
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
    QGLFormat format = QGLFormat::defaultFormat();
    format.setSwapInterval(1);
    return new QGLWidget(format);
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
// The same in both versions (QWidget::screen() came with Qt 5.14).
double Refresh_Rate(const QWidget* widget)
{
    bool given = false;
    const double stand_in = qEnvironmentVariable("TAVRELO_REFRESH_RATE").toDouble(&given);
    if (given)
        return stand_in;
    const QScreen* screen = widget != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->refreshRate() : 0.0;
}
} // namespace Qt_Bridge
