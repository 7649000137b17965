#include "Options.h"

#include "Settings_File_Check.h"
#include "Stored_Record.h"
#include "Track_List.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaType>
#include <QRegularExpression>
#include <QSaveFile>
#include <QVariant>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>
#include <vector>

namespace
{
// Removes all but the newest Options::Backups_Kept backups of settings, never the one just made
// (a clock set back would make it look old). Only names Back_Up gives are touched; a backup that
// will not go is left, as it costs only room.
void Prune_Backups(const QString& settings, const QString& made)
{
    const QFileInfo info(settings);
    const QRegularExpression stamp(QStringLiteral("^%1\\.(\\d{8}-\\d{6})(?:-(\\d{1,9}))?\\.bak$")
                                       .arg(QRegularExpression::escape(info.fileName())));
    // Oldest first: by the stamp, then by the number added within one second (none is the first).
    std::vector<std::pair<std::pair<QString, int>, QString>> backups;
    const QDir folder = info.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
    {
        const QRegularExpressionMatch match = stamp.match(name);
        const QString path = folder.filePath(name);
        if (match.hasMatch() && QFileInfo(path) != QFileInfo(made))
            backups.push_back(
                {{match.captured(1), match.captured(2).isEmpty() ? 1 : match.captured(2).toInt()}, path});
    }
    std::sort(backups.begin(), backups.end());
    const int surplus = int(backups.size()) - (Options::Backups_Kept - 1);
    for (int i = 0; i < surplus; ++i)
        QFile::remove(backups[size_t(i)].second);
}
} // namespace

Options::Options()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, "Norvikk", "Tavrelo", nullptr),
      m_format_error(false), m_kept(false)
{
    // Qt parses a section when it is first reached, and only then finds its faults.
    m_settings.allKeys();
    m_format_error = m_settings.status() == QSettings::FormatError;
}

Options::~Options() = default;

QString Options::Name_Level_Value(int level, const char* name) const
{
    // One pass over the pattern: a name holding "%1" is taken literally.
    return QStringLiteral("level%1/%2").arg(QString::number(level), QString::fromLatin1(name));
}

namespace
{
// The time as a number. Qt 5 stores a float as a typed variant; Qt 6 writes
// the same float as plain decimal text (the shortest text that reads back as
// the same double, so as the same float), which Qt 5 reads as a string. Text
// counts only when the whole of it is a decimal number: words, lists, hex and
// "nan" or "inf" spelt out are no time.
double Stored_Number(const QVariant& stored, bool* ok)
{
    *ok = false;
    if (stored.userType() != QMetaType::QString)
        return stored.toReal(ok);
    const QString text = stored.toString();
    const QRegularExpression decimal(QStringLiteral("\\A[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\z"));
    if (!decimal.match(text).hasMatch())
        return 0.0;
    return text.toDouble(ok);
}
} // namespace

float Options::Read_Best_Time(int course)
{
    const auto held = m_held.find(course);
    if (held != m_held.end())
        return held->second.time;
    const QVariant stored = m_settings.value(Name_Level_Value(course, "time"), QVariant(0.0f));
    bool ok = false;
    const double time = Stored_Number(stored, &ok);
    // A time no lap can beat (negative, zero, NaN, infinite, beyond float) or
    // one that is no number at all would keep the course from ever saving a
    // best again; it counts as no best time.
    if (!ok || !std::isfinite(time) || !(time > 0.0) || time > static_cast<double>(FLT_MAX))
        return 0.0f;
    const float best = static_cast<float>(time);
    return best > 0.0f ? best : 0.0f;
}

QString Options::Read_Ghost(int course)
{
    const auto held = m_held.find(course);
    if (held != m_held.end())
        return held->second.ghost;
    const QVariant stored = m_settings.value(Name_Level_Value(course, "ghost"), QString());
    // A list or a binary value would turn into text the ghost decoder never wrote.
    if (stored.userType() != QMetaType::QString)
        return QString();
    return stored.toString();
}

QString Options::Read_Inputs(int course)
{
    const auto held = m_held.find(course);
    if (held != m_held.end())
        return held->second.inputs;
    const QVariant stored = m_settings.value(Name_Level_Value(course, "inputs"), QString());
    if (stored.userType() != QMetaType::QString)
        return QString();
    return stored.toString();
}

bool Options::Write_Record(int course, float time, const QString& ghost, const QString& inputs)
{
    if (!Keep_Before_Write())
    {
        m_held[course] = Held_Record{time, ghost, inputs};
        return false;
    }
    m_held.erase(course);
    m_settings.setValue(Name_Level_Value(course, "time"), QVariant(time));
    m_settings.setValue(Name_Level_Value(course, "ghost"), QVariant(ghost));
    if (inputs.isEmpty())
        m_settings.remove(Name_Level_Value(course, "inputs"));
    else
        m_settings.setValue(Name_Level_Value(course, "inputs"), QVariant(inputs));
    m_settings.sync();
    // QSettings keeps its first failure as its status for good, and keeps the
    // changes it could not write to try again at the next sync. A second store
    // on the same file shares those pending changes but starts with a clean
    // status, so its sync tells whether the file holds the record now.
    QSettings probe(m_settings.fileName(), QSettings::IniFormat);
    probe.sync();
    // Read back as the game reads it: after the write Qt 6 holds the time as
    // the decimal text it wrote, not as the float it was given.
    bool ok = false;
    const double stored = Stored_Number(probe.value(Name_Level_Value(course, "time")), &ok);
    return probe.status() == QSettings::NoError && ok && static_cast<float>(stored) == time &&
           probe.value(Name_Level_Value(course, "ghost")).toString() == ghost &&
           probe.value(Name_Level_Value(course, "inputs")).toString() == inputs;
}

bool Options::Clear_Record(int course)
{
    if (!Keep_Before_Write())
        return false;
    m_held.erase(course);
    m_settings.remove(Name_Level_Value(course, "time"));
    m_settings.remove(Name_Level_Value(course, "ghost"));
    m_settings.remove(Name_Level_Value(course, "inputs"));
    m_settings.sync();
    QSettings probe(m_settings.fileName(), QSettings::IniFormat);
    probe.sync();
    return probe.status() == QSettings::NoError && !probe.contains(Name_Level_Value(course, "time")) &&
           !probe.contains(Name_Level_Value(course, "ghost")) &&
           !probe.contains(Name_Level_Value(course, "inputs"));
}

QString Options::Read_Fault()
{
    QString fault = Settings_File_Check::File_Fault(m_settings.fileName(), true);
    if (fault.isEmpty() && m_format_error)
        fault = QStringLiteral("it has lines that cannot be read");
    // The records as the file holds them, not those held back from it.
    std::map<int, Held_Record> held;
    held.swap(m_held);
    for (int course = 0; fault.isEmpty() && course < Get_Track_Count(); ++course)
    {
        const Stored_Record record = Stored_Record::Read(*this, course);
        if (record.m_present && !record.Is_Ok())
            fault = QStringLiteral("the record of %1: %2").arg(Get_Track_Name(course), record.m_verdict);
    }
    held.swap(m_held);
    return fault;
}

QString Options::Back_Up(QString& reason)
{
    const QString settings = m_settings.fileName();
    QFile file(settings);
    if (!file.open(QIODevice::ReadOnly))
    {
        reason = QStringLiteral("cannot read %1 to back it up: %2").arg(settings, file.errorString());
        return QString();
    }
    const QByteArray bytes = file.readAll();
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString backup = settings + "." + stamp + ".bak";
    for (int n = 2; QFileInfo::exists(backup); ++n)
        backup = settings + "." + stamp + "-" + QString::number(n) + ".bak";
    QSaveFile copy(backup);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.commit())
    {
        reason = QStringLiteral("cannot write the backup %1: %2").arg(backup, copy.errorString());
        return QString();
    }
    // The file as found is safe now: this session's writes need no copy of their own.
    m_kept = true;
    Prune_Backups(settings, backup);
    return backup;
}

bool Options::Keep_Before_Write()
{
    m_refusal.clear();
    // Without a file (or with a folder in its place) there is nothing to lose, and the write
    // itself says what is wrong.
    if (m_kept || !QFileInfo(m_settings.fileName()).isFile())
        return true;
    const QString fault = Read_Fault();
    if (fault.isEmpty())
    {
        m_kept = true;
        return true;
    }
    QString reason;
    const QString backup = Back_Up(reason);
    if (backup.isEmpty())
    {
        m_refusal = QStringLiteral("it reads with errors (%1) and %2").arg(fault, reason);
        return false;
    }
    m_backup_notice = QStringLiteral("%1 reads with errors (%2): copied to %3 before writing to it")
                          .arg(m_settings.fileName(), fault, backup);
    return true;
}

QString Options::Take_Backup_Notice()
{
    QString notice;
    notice.swap(m_backup_notice);
    return notice;
}

QString Options::Write_Error() const
{
    if (!m_refusal.isEmpty())
        return m_refusal;
    const QString file = m_settings.fileName();
    const QFileInfo info(file);
    if (info.isDir())
        return QStringLiteral("it is a folder");
    if (info.exists() && !info.isWritable())
        return QStringLiteral("the file is read-only");
    // Opening a save file creates its temporary beside the settings file: the
    // system's reason when the folder is missing, read-only or out of room.
    QSaveFile trial(file);
    if (!trial.open(QIODevice::WriteOnly))
        return trial.errorString();
    trial.cancelWriting();
    return QStringLiteral("the file could not be written in full (is the disk full?)");
}
