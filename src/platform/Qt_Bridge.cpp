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

#include <cstdlib>
#include <string>
#endif

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && (defined(__x86_64__) || defined(__i386__))
// QtCore's own detection of the processor's features, which it keeps.
quint64 qDetectCpuFeatures();

namespace
{
// Qt 5.15's AVX2 fill leaves the upper halves of the vector registers in use
// when it returns, and its span loop goes on in SSE: on Intel processors every
// opaque span of a shape then pays for two switches of the vector unit's
// state. That made a repaint of a race two and a half times as dear (180
// against 71 us at 800x480); Qt 6's fill does not. Qt picks its fills as its
// library loads, from the features QtCore detected, which leave out those
// QT_NO_CPU_FEATURE names: the executable's pre-initialisers run before any
// library's, so this names AVX2 there, has QtCore detect them now, and puts
// the environment back for whatever the game starts. The SSE fills paint the
// same pixels.
void Leave_Qt5_Avx2_Unused(int, char**, char**)
{
    const char* const name = "QT_NO_CPU_FEATURE";
    const bool given = std::getenv(name) != nullptr;
    const std::string features = given ? std::getenv(name) : "";
    // Qt looks each feature up with a space before it.
    if ((" " + features + " ").find(" avx2 ") != std::string::npos)
        return;
    setenv(name, (features + " avx2").c_str(), 1);
    qDetectCpuFeatures();
    if (given)
        setenv(name, features.c_str(), 1);
    else
        unsetenv(name);
}
} // namespace

// Linked wherever the bridge is: the game, its window tests and benchmarks.
using Pre_Initialiser = void (*)(int, char**, char**);
__attribute__((section(".preinit_array"), used)) const Pre_Initialiser Qt5_Fill_Choice =
    &Leave_Qt5_Avx2_Unused;
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
