#include "Board_Wire.h"

#include <QRegularExpression>

bool Board_Wire::Is_Lap_Id(const QString& text)
{
    // Eighteen digits at most: every such number fits a qint64.
    const QRegularExpression id_text(QStringLiteral("^[1-9][0-9]{0,17}$"));
    return id_text.match(text).hasMatch();
}
