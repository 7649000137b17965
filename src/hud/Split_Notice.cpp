#include "Split_Notice.h"

#include "Ghost_Gap.h"
#include "Hud_Palette.h"

#include <QPainter>

Split_Notice::Split_Notice()
    : Scene_UI_Element(0.0f), m_sector(-1), m_gap(0.0f), m_frames_left(0), m_text(), m_length(0)
{
    m_visible = false;
}

void Split_Notice::Show(int sector, float gap)
{
    m_sector = sector;
    m_gap = gap;
    m_length = Ghost_Gap::Text(gap, m_text);
    m_frames_left = Shown_Frames;
    m_visible = true;
    // At full strength at once: the line was crossed in this step.
    m_visible_alpha = 1.0f;
}

void Split_Notice::Hide()
{
    m_frames_left = 0;
    Set_Visible(false);
    Set_Visible_Alpha(0.0f);
}

void Split_Notice::Update(float step)
{
    if (m_frames_left > 0 && --m_frames_left == 0)
        m_visible = false;
    Scene_UI_Element::Update(step);
}

QColor Split_Notice::Colour() const
{
    return Hud_Palette::Of_Side(Ghost_Gap::Side(m_gap));
}

void Split_Notice::Draw(QPainter* painter)
{
    if (m_length <= 0)
        return;
    // Drawn scaled up rather than in a larger font: setting a font on the painter allocates every time.
    // The scene puts the transform back after each element.
    const QSize view = View_Size(painter);
    const QTransform under = painter->worldTransform();
    const qreal x = (view.width() / Scale - m_characters.Width(painter, m_text, m_length)) / 2.0;
    // The line's top a fifth of the way down, under the clock's line and above the craft in the middle.
    const qreal y = view.height() / 5.0 / Scale + m_characters.Line_Top(painter);
    const QColor colour = Colour();
    painter->setTransform(QTransform::fromScale(Scale, Scale) * under, false);
    for (const int shadow : {1, 0})
    {
        painter->setPen(
            Pen_Of(shadow ? Change_Visible_Color(0, 0, 0, colour.alpha()) : Change_Visible_Color(colour)));
        m_characters.Draw(painter, QPointF(x + shadow, y + shadow), m_text, m_length);
    }
}
