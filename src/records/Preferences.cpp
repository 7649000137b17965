#include "Preferences.h"

#include "Settings_File_Check.h"

#include <QDebug>
#include <QFileInfo>
#include <QMetaType>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <iterator>

namespace
{
QString File_Beside(const QString& records_file)
{
    return QFileInfo(records_file).absolutePath() + QStringLiteral("/Tavrelo-preferences.ini");
}

// A whole number as QSettings hands it back: typed from this session, text from the file. Text
// counts only when all of it is the number, so "5 dB" or "0x10" is no number.
bool Whole_Number(const QVariant& stored, int* number)
{
    if (stored.userType() == QMetaType::Int)
    {
        *number = stored.toInt();
        return true;
    }
    if (stored.userType() != QMetaType::QString)
        return false;
    const QRegularExpression digits(QStringLiteral("\\A[+-]?\\d{1,9}\\z"));
    if (!digits.match(stored.toString()).hasMatch())
        return false;
    *number = stored.toString().toInt();
    return true;
}
} // namespace

QByteArray Preferences::Board_Rank_Key(int course)
{
    return "board/rank/" + QByteArray::number(course + 1);
}

QByteArray Preferences::Board_Queue_Key(int course)
{
    return "board/queue/" + QByteArray::number(course + 1);
}

QByteArray Preferences::Best_Sectors_Key(int course)
{
    return "sectors/best/" + QByteArray::number(course + 1);
}

Preferences::Preferences(const QString& records_file)
    : m_records_file(records_file), m_settings(File_Beside(records_file), QSettings::IniFormat),
      m_damaged(false), m_warned(false)
{
    // Qt parses a section when it is first reached, and only then finds its faults.
    m_settings.allKeys();
    QString fault = Settings_File_Check::File_Fault(m_settings.fileName(), false);
    if (fault.isEmpty() && m_settings.status() == QSettings::FormatError)
        fault = QStringLiteral("it has lines that cannot be read");
    // Qt would rewrite a damaged file in its own form, dropping whatever it did not understand; a
    // player who edited it by hand keeps it as it is.
    if (!fault.isEmpty())
    {
        m_damaged = true;
        Warn(
            QStringLiteral("cannot read the preferences in %1: %2; the game uses its defaults and leaves the "
                           "file as it is, the records are not affected")
                .arg(m_settings.fileName(), fault));
    }
}

Preferences::~Preferences() = default;

QString Preferences::File_Name() const
{
    return m_settings.fileName();
}

QVariant Preferences::Stored(const char* key) const
{
    const QString name = QString::fromLatin1(key);
    if (m_session.contains(name))
        return m_session.value(name);
    return m_damaged ? QVariant() : m_settings.value(name);
}

int Preferences::Read_Int(const char* key, int fallback, int lowest, int highest)
{
    int number = 0;
    if (!Whole_Number(Stored(key), &number) || number < lowest || number > highest)
        return fallback;
    return number;
}

bool Preferences::Read_Bool(const char* key, bool fallback)
{
    const QVariant stored = Stored(key);
    if (stored.userType() == QMetaType::Bool)
        return stored.toBool();
    if (stored.userType() != QMetaType::QString)
        return fallback;
    const QString text = stored.toString().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return fallback;
}

QString Preferences::Read_Text(const char* key, const QString& fallback)
{
    const QVariant stored = Stored(key);
    // A list or a typed value would turn into text nobody wrote.
    return stored.userType() == QMetaType::QString ? stored.toString() : fallback;
}

bool Preferences::Write(const char* key, const QVariant& value)
{
    const QString name = QString::fromLatin1(key);
    if (m_damaged)
    {
        m_session.insert(name, value);
        return false;
    }
    m_settings.setValue(name, value);
    m_settings.sync();
    // QSettings keeps its first failure as its status for good; a second store on the same file
    // shares the pending change and tells whether the file holds it now.
    QSettings probe(m_settings.fileName(), QSettings::IniFormat);
    probe.sync();
    if (probe.status() == QSettings::NoError && probe.contains(name))
        return true;
    const QFileInfo file(m_settings.fileName());
    const QString reason = file.exists() && !file.isWritable() ? QStringLiteral("the file is read-only")
                                                               : QStringLiteral("it cannot be written");
    Warn(QStringLiteral("cannot save the preferences to %1: %2; this session's choices last until the game "
                        "ends, the records are not affected")
             .arg(m_settings.fileName(), reason));
    return false;
}

void Preferences::Warn(const QString& text)
{
    if (m_warned)
        return;
    m_warned = true;
    qWarning().noquote() << QStringLiteral("tavrelo: warning: ") + text;
}

int Preferences::Read_Last_Course(int course_count)
{
    const int none = -1;
    int course = Read_Int(Last_Course_Key, none, 0, course_count - 1);
    if (Stored(Last_Course_Key).isValid() || m_damaged)
        return course == none ? 0 : course;
    // Earlier versions kept it in the records file: taken over once, and left there.
    const QSettings records(m_records_file, QSettings::IniFormat);
    if (!Whole_Number(records.value(QLatin1String(Last_Course_Key)), &course) || course < 0 ||
        course >= course_count)
        return 0;
    Write(Last_Course_Key, course);
    return course;
}

void Preferences::Read_Best_Sectors(int course, int (&best)[Sector_Count])
{
    const QStringList kept = Read_Text(Best_Sectors_Key(course).constData()).split(QLatin1Char(' '));
    bool sound = kept.size() == Sector_Count;
    for (int i = 0; i < Sector_Count && sound; ++i)
    {
        best[i] = kept[i].toInt(&sound);
        sound = sound && best[i] >= 0 && best[i] <= Max_Sector;
    }
    if (!sound)
        std::fill(std::begin(best), std::end(best), -1);
}

void Preferences::Write_Last_Course(int course)
{
    int kept = 0;
    if (Whole_Number(Stored(Last_Course_Key), &kept) && kept == course)
        return;
    Write(Last_Course_Key, course);
}
