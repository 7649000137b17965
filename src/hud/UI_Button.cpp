#include "UI_Button.h"

#include "Pen_Outline.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>

namespace
{
constexpr qreal Frame_Width = 2.0;
} // namespace

UI_Button::UI_Button(const QString& text, const QPointF& anchor, int anchor_flags)
    : m_text(text), m_anchor(anchor), m_anchor_flags(anchor_flags), m_layout_dirty(true),
      m_was_pressed(false), m_rect(0.0, 0.0, 0.0, 0.0), m_text_pos(0.0, 0.0), m_held(false)
{
}

void UI_Button::Draw(QPainter* painter)
{
    // The box is measured once, with the application font, the first time the
    // button is shown; until then it is empty and takes no touch.
    if (m_layout_dirty)
    {
        const QFontMetricsF metrics(QApplication::font());
        const float w = static_cast<float>(metrics.horizontalAdvance(m_text));
        const float h = static_cast<float>(metrics.height());
        const float a = static_cast<float>(metrics.ascent());

        const float anchor_x = static_cast<float>(m_anchor.x());
        const float anchor_y = static_cast<float>(m_anchor.y());
        float x = anchor_x;
        if (m_anchor_flags & Anchor_Center_X)
            x = anchor_x + w * -0.5f;
        else if (m_anchor_flags & Anchor_Right)
            x = anchor_x - w;
        float y = anchor_y;
        if (m_anchor_flags & Anchor_Center_Y)
            y = anchor_y + h * -0.5f;
        else if (m_anchor_flags & Anchor_Bottom)
            y = anchor_y - h;

        m_rect = QRectF(x - 3.0f, y - 3.0f, w + 6.0f, h + 6.0f);
        m_text_pos = QPointF(x, y + a);
        m_layout_dirty = false;
    }

    const QColor frame = Change_Visible_Color(200, 255, 200, 255);
    const QColor fill =
        m_held ? Change_Visible_Color(255, 60, 50, 190) : Change_Visible_Color(55, 15, 10, 150);

    painter->fillRect(m_rect, fill);
    if (m_frame_pen.color() != frame || m_frame_pen.capStyle() != Qt::RoundCap)
        m_frame_pen = QPen(QBrush(frame), Frame_Width, Qt::SolidLine, Qt::RoundCap);
    // A pen no wider than a device pixel is stroked as before, and so is any
    // frame on an engine other than the raster one.
    const bool raster = Pen_Outline::On_Raster(painter);
    if (raster && Pen_Outline::Fills(painter, Frame_Width))
    {
        if (m_outlined_rect != m_rect || m_frame_outline.isEmpty())
        {
            QPainterPath box;
            box.addRect(m_rect);
            QPainterPathStroker stroker(m_frame_pen);
            m_frame_outline = stroker.createStroke(box);
            m_outlined_rect = m_rect;
        }
        painter->fillPath(m_frame_outline, m_frame_pen.brush());
    }
    else
    {
        painter->setPen(m_frame_pen);
        painter->drawRects(&m_rect, 1);
    }
    painter->setPen(Pen_Of(frame));
    Draw_Laid_Out_Text(painter, QPointF(static_cast<int>(m_text_pos.x()), static_cast<int>(m_text_pos.y())),
                       m_text);
}

void UI_Button::Set_Visible(bool visible)
{
    m_visible = visible;
    // A press made on the screen that is going away must not act on the next one.
    m_was_pressed = false;
}

bool UI_Button::Mouse_Down(const QPoint& p)
{
    m_held = m_rect.contains(QPointF(p));
    return m_held;
}

void UI_Button::Mouse_Move(const QPoint& p)
{
    m_held = m_rect.contains(QPointF(p));
}

void UI_Button::Mouse_Up(const QPoint& p)
{
    // A press counts where the touch is released, not where it was held.
    if (m_rect.contains(QPointF(p)))
    {
        m_was_pressed = true;
        Button_Pressed();
    }
    m_held = false;
}

bool UI_Button::Poll_Was_Pressed()
{
    const bool pressed = m_was_pressed;
    m_was_pressed = false;
    return pressed;
}

void UI_Button::Button_Pressed() {}
