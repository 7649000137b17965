#include "Board_Notice.h"

#include "Board_Session.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

Board_Notice::Board_Notice(Board_Session* session)
    : Scene_UI_Element(0.0f), m_session(session), m_frames_left(0)
{
    m_visible = false;
}

void Board_Notice::Update(float step)
{
    const QString notice = m_session->Take_Notice();
    if (!notice.isEmpty())
    {
        m_text = notice;
        m_frames_left = Shown_Frames;
        m_visible = true;
        m_visible_alpha = 1.0f;
    }
    else if (m_frames_left > 0 && --m_frames_left == 0)
    {
        m_visible = false;
    }
    Scene_UI_Element::Update(step);
}

void Board_Notice::Draw(QPainter* painter)
{
    if (m_visible_alpha < 0.01f || m_text.isEmpty())
        return;
    const QSize view = View_Size(painter);
    const QFontMetrics metrics = painter->fontMetrics();
    const int width = std::max(std::min(metrics.horizontalAdvance(m_text) + 24, view.width() - 16), 1);
    // Wrapped to the screen, low enough to clear the clock, the board's line and the menu's caption.
    const QRect text = metrics.boundingRect(QRect(0, 0, width - 24, view.height()), Qt::TextWordWrap, m_text);
    const QRect box((view.width() - width) / 2, 56, width, text.height() + 12);
    painter->fillRect(box, Change_Visible_Color(0, 0, 0, 190));
    painter->setPen(Change_Visible_Color(255, 200, 120, 255));
    painter->drawText(box.adjusted(12, 6, -12, -6), Qt::AlignCenter | Qt::TextWordWrap, m_text);
}
