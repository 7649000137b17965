// UI_Button: a framed caption that registers a press when a touch begun inside it is released inside it.
#ifndef TAVRELO_UI_BUTTON_H
#define TAVRELO_UI_BUTTON_H

#include "Scene_UI_Element.h"

#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

class UI_Button : public Scene_UI_Element
{
public:
    // Which point of the caption the anchor marks. Neither horizontal bit: the
    // left end; neither vertical bit: the top.
    enum Anchor_Flags
    {
        Anchor_Center_X = 2,
        Anchor_Right = 4, // only without Anchor_Center_X
        Anchor_Center_Y = 8,
        Anchor_Bottom = 16, // only without Anchor_Center_Y
    };

    UI_Button(const QString& text, const QPointF& anchor, int anchor_flags);

    // Lays the button out at its first call, then paints it.
    void Draw(QPainter* painter) override;
    void Set_Visible(bool visible) override;
    bool Mouse_Down(const QPoint& p) override;
    void Mouse_Move(const QPoint& p) override;
    void Mouse_Up(const QPoint& p) override;

    // Whether a press completed since the last poll; clears it.
    virtual bool Poll_Was_Pressed();
    virtual void Button_Pressed();

    QString m_text;
    QPointF m_anchor;
    int m_anchor_flags;
    bool m_layout_dirty;
    bool m_was_pressed;
    QRectF m_rect; // empty until the first Draw: a button never drawn takes no touch
    QPointF m_text_pos;
    bool m_held;

private:
    // The frame's pen, made again only when the colour changes (a fade).
    QPen m_frame_pen;
    // The frame as the pen strokes it, outlined once for the box it was made
    // for: stroking it ran Qt's whole stroker, cold, in every frame.
    QPainterPath m_frame_outline;
    QRectF m_outlined_rect;
};

#endif
