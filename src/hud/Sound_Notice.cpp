#include "Sound_Notice.h"

#include "Hud_Palette.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

Sound_Notice::Sound_Notice() : Scene_UI_Element(0.0f), m_frames_left(0)
{
    m_visible = false;
}

void Sound_Notice::Show(bool muted)
{
    m_text = muted ? QStringLiteral("Sound off (M)") : QStringLiteral("Sound on (M)");
    m_frames_left = Shown_Frames;
    m_visible = true;
    // At once at full strength: the key was just pressed.
    m_visible_alpha = 1.0f;
}

void Sound_Notice::Update(float step)
{
    if (m_frames_left > 0 && --m_frames_left == 0)
        m_visible = false;
    Scene_UI_Element::Update(step);
}

void Sound_Notice::Draw(QPainter* painter)
{
    if (m_visible_alpha < 0.01f)
        return;
    const int w = painter->device()->width();
    const QFontMetrics metrics = painter->fontMetrics();
    const int box_width = std::min(metrics.horizontalAdvance(m_text) + 24, std::max(w - 16, 1));
    // Near the top, clear of the clock in the corner and of the steering under the finger.
    const QRect box((w - box_width) / 2, 8 + metrics.height(), box_width, metrics.height() + 12);
    painter->fillRect(box, Change_Visible_Color(0, 0, 0, 170));
    painter->setPen(Change_Visible_Color(Hud_Palette::Text()));
    painter->drawText(box, Qt::AlignCenter, m_text);
}
