#include "Board_Settings.h"

#include "Player_Name.h"
#include "Preferences.h"

#include <QRandomGenerator>

QString Board_Settings::Address(Preferences& preferences, const QString& given)
{
    return given.isEmpty() ? preferences.Read_Text(Preferences::Board_Url_Key).trimmed() : given;
}

QString Board_Settings::Name(Preferences& preferences)
{
    return preferences.Read_Text(Preferences::Board_Name_Key);
}

QString Board_Settings::Name_Problem(Preferences& preferences)
{
    const QString name = Name(preferences);
    if (name.isEmpty())
        return QStringLiteral("no name to stand under: set one with 'tavrelo-records board name NAME'");
    const QString problem = Player_Name::Problem(name);
    return problem.isEmpty()
               ? QString()
               : QStringLiteral("%1: set another with 'tavrelo-records board name NAME'").arg(problem);
}

QString Board_Settings::Key(Preferences& preferences)
{
    const QString kept = preferences.Read_Text(Preferences::Board_Secret_Key);
    if (kept.size() >= 32)
        return kept;
    // 256 bits from the system's source: nobody else can claim the name with a guess.
    QByteArray bytes(32, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(QRandomGenerator::system()->bounded(256));
    const QString key = QString::fromLatin1(bytes.toHex());
    preferences.Write(Preferences::Board_Secret_Key, key);
    return key;
}
