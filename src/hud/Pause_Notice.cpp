#include "Pause_Notice.h"

#include "Hud_Palette.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

Pause_Notice::Pause_Notice() : Scene_UI_Element(0.0f)
{
    m_visible = false;
}

void Pause_Notice::Draw(QPainter* painter)
{
    const QString text = QStringLiteral("Paused: touch or press a key to go on");
    const QSize view = View_Size(painter);
    const int w = view.width();
    const int h = view.height();
    const QFontMetrics metrics = painter->fontMetrics();
    // One line where it fits, wrapped within the screen where it does not.
    const int box_width = std::max(std::min(metrics.horizontalAdvance(text) + 24, w - 16), 1);
    const QRect wrapped = metrics.boundingRect(QRect(0, 0, box_width - 24, h), Qt::TextWordWrap, text);
    const QRect box((w - box_width) / 2, h / 3, box_width, wrapped.height() + 16);
    painter->fillRect(box, Change_Visible_Color(0, 0, 0, 190));
    painter->setPen(Change_Visible_Color(Hud_Palette::Text()));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text);
}
