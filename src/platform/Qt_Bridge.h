// Qt_Bridge: the one place where the Qt 5 and Qt 6 builds differ (viewport, screen, touches, Qt 5's fills).
#ifndef TAVRELO_QT_BRIDGE_H
#define TAVRELO_QT_BRIDGE_H

#include <QPoint>
#include <QSize>

class QMouseEvent;
class QWidget;

namespace Qt_Bridge
{
// The OpenGL viewport the view paints through: QGLWidget with Qt 5,
// QOpenGLWidget with Qt 6. Unparented; the view that takes it owns it. Its
// buffer swap waits for the screen's refresh (a swap interval of 1), which
// paces the frames wherever the driver honours it.
QWidget* New_GL_Viewport();
// Whether widget is such a viewport.
bool Is_GL_Viewport(const QWidget* widget);
// The size of the primary screen in pixels; an empty size when there is none.
QSize Screen_Size();
// The refresh rate the platform reports for the screen the widget is on (the
// primary one before it is shown), in Hz, as reported: 0 or nonsense when it
// does not know. TAVRELO_REFRESH_RATE in the environment, for tests and
// benchmarks only, stands in for what the platform reports.
double Refresh_Rate(const QWidget* widget);
// Where a mouse event happened, in pixels of the widget that received it,
// rounded as both versions round it.
QPoint Event_Pos(const QMouseEvent* event);
} // namespace Qt_Bridge

#endif
