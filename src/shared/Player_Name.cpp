#include "Player_Name.h"

#include <QChar>
#include <QList>
#include <QVector>

QString Player_Name::Problem(const QString& name)
{
    // uint code points: a QVector in Qt 5, a QList in Qt 6.
    const auto characters = name.toUcs4();
    if (characters.isEmpty())
        return QStringLiteral("the name is empty");
    if (characters.size() > Max_Length)
        return QStringLiteral("the name is longer than %1 characters").arg(Max_Length);
    if (name != name.normalized(QString::NormalizationForm_C))
        return QStringLiteral("the name is not in Unicode's composed form (NFC)");
    bool visible = false;
    for (const uint character : characters)
    {
        switch (QChar::category(character))
        {
        case QChar::Other_Control:
        case QChar::Other_Format: // invisible joiners and the marks that turn text around
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return QStringLiteral("the name holds a control or invisible character (U+%1)")
                .arg(QString::number(character, 16).toUpper().rightJustified(4, QChar('0')));
        case QChar::Separator_Space:
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
            break;
        default:
            visible = true;
        }
    }
    if (!visible)
        return QStringLiteral("the name shows nothing");
    return QString();
}
