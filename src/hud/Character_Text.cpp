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

Character_Text::Character_Text()
{
    for (int i = 0; i < Count; ++i)
    {
        m_laid_out[i].setTextFormat(Qt::PlainText);
        m_laid_out[i].setText(QString(QChar(First + i)));
    }
}

qreal Character_Text::Draw(QPainter* painter, const QPointF& p, const char* text, int length)
{
    const QFontMetricsF metrics(painter->font());
    // A laid out text is placed by its top left corner, its line's ascent
    // (and leading) above the baseline.
    const qreal top = p.y() - metrics.ascent() - std::max(0.0, metrics.leading());
    qreal x = p.x();
    for (int i = 0; i < length; ++i)
    {
        const int index = Index_Of(text[i], First, Count);
        painter->drawStaticText(QPointF(x, top), m_laid_out[index]);
        x += metrics.horizontalAdvance(QChar(First + index));
    }
    return x - p.x();
}

qreal Character_Text::Width(QPainter* painter, const char* text, int length)
{
    const QFontMetricsF metrics(painter->font());
    qreal width = 0.0;
    for (int i = 0; i < length; ++i)
        width += metrics.horizontalAdvance(QChar(First + Index_Of(text[i], First, Count)));
    return width;
}
