#include "Character_Text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QString>

#include <algorithm>

namespace
{
int Index_Of(char c, char first, int count)
{
    const int index = static_cast<unsigned char>(c) - static_cast<unsigned char>(first);
    return index >= 0 && index < count ? index : 0;
}
} // namespace

Character_Text::Character_Text() : m_advances{}, m_top(0.0)
{
    for (int i = 0; i < Count; ++i)
    {
        m_laid_out[i].setTextFormat(Qt::PlainText);
        m_laid_out[i].setText(QString(QChar(First + i)));
    }
}

void Character_Text::Measure(QPainter* painter)
{
    // The painter's font carries its device's resolution, which equal fonts may not share.
    const int dpi = painter->device()->logicalDpiY();
    if (m_measured_dpi == dpi && m_measured_font == painter->font())
        return;
    m_measured_font = painter->font();
    m_measured_dpi = dpi;
    const QFontMetricsF metrics(m_measured_font);
    // A laid out text is placed by its top left corner, its line's ascent
    // (and leading) above the baseline.
    m_top = metrics.ascent() + std::max(0.0, metrics.leading());
    for (int i = 0; i < Count; ++i)
        m_advances[i] = metrics.horizontalAdvance(QChar(First + i));
}

qreal Character_Text::Draw(QPainter* painter, const QPointF& p, const char* text, int length)
{
    Measure(painter);
    const qreal top = p.y() - m_top;
    qreal x = p.x();
    for (int i = 0; i < length; ++i)
    {
        const int index = Index_Of(text[i], First, Count);
        painter->drawStaticText(QPointF(x, top), m_laid_out[index]);
        x += m_advances[index];
    }
    return x - p.x();
}

qreal Character_Text::Line_Top(QPainter* painter)
{
    Measure(painter);
    return m_top;
}

qreal Character_Text::Width(QPainter* painter, const char* text, int length)
{
    Measure(painter);
    qreal width = 0.0;
    for (int i = 0; i < length; ++i)
        width += m_advances[Index_Of(text[i], First, Count)];
    return width;
}
