// Qt_Bridge: the one place where the Qt 5 and Qt 6 builds differ (viewport, screen, touches).
#ifndef TAVRELO_QT_BRIDGE_H
#define TAVRELO_QT_BRIDGE_H

#include <QPoint>
#include <QSize>

class QMouseEvent;
class QWidget;

namespace Qt_Bridge
{
// The OpenGL viewport the view paints through: QGLWidget with Qt 5,
// QOpenGLWidget with Qt 6. Unparented; the view that takes it owns it.
QWidget* New_GL_Viewport();
// Whether widget is such a viewport.
bool Is_GL_Viewport(const QWidget* widget);
// The size of the primary screen in pixels; an empty size when there is none.
QSize Screen_Size();
// Where a mouse event happened, in pixels of the widget that received it,
// rounded as both versions round it.
QPoint Event_Pos(const QMouseEvent* event);
} // namespace Qt_Bridge

#endif
