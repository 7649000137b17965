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

QTransform Inverted(const QTransform& transform)
{
    // Qt 6 inverts an affine transform through the general adjugate, which
    // leaves -0 in the two unused perspective entries where Qt 5 has +0. Both
    // map alike, but the camera is part of the state that must be the same on
    // both builds to the bit, so those zeros are made plain (-0 + 0 is +0).
    const QTransform inverse = transform.inverted();
    return QTransform(inverse.m11(), inverse.m12(), inverse.m13() + 0.0, inverse.m21(), inverse.m22(),
                      inverse.m23() + 0.0, inverse.m31(), inverse.m32(), inverse.m33());
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

QTransform Inverted(const QTransform& transform)
{
    return transform.inverted();
}

#endif
} // namespace Qt_Bridge
