#include "Options.h"

#include <QDebug>
#include <QFileInfo>
#include <QMetaType>
#include <QRegularExpression>
#include <QSaveFile>
#include <QVariant>

#include <cfloat>
#include <cmath>

Options::Options() : m_settings(QSettings::IniFormat, QSettings::UserScope, "Norvikk", "Tavrelo", nullptr)
{
    qDebug() << "Options path: " << m_settings.fileName();
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

float Options::Read_Best_Time(int level)
{
    const QVariant stored = m_settings.value(Name_Level_Value(level, "time"), QVariant(0.0f));
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

QString Options::Read_Ghost(int level)
{
    const QVariant stored = m_settings.value(Name_Level_Value(level, "ghost"), QString());
    // A list or a binary value would turn into text the ghost decoder never wrote.
    if (stored.userType() != QMetaType::QString)
        return QString();
    return stored.toString();
}

QString Options::Read_Inputs(int level)
{
    const QVariant stored = m_settings.value(Name_Level_Value(level, "inputs"), QString());
    if (stored.userType() != QMetaType::QString)
        return QString();
    return stored.toString();
}

bool Options::Write_Record(int level, float time, const QString& ghost, const QString& inputs)
{
    m_settings.setValue(Name_Level_Value(level, "time"), QVariant(time));
    m_settings.setValue(Name_Level_Value(level, "ghost"), QVariant(ghost));
    if (inputs.isEmpty())
        m_settings.remove(Name_Level_Value(level, "inputs"));
    else
        m_settings.setValue(Name_Level_Value(level, "inputs"), QVariant(inputs));
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
    const double stored = Stored_Number(probe.value(Name_Level_Value(level, "time")), &ok);
    return probe.status() == QSettings::NoError && ok && static_cast<float>(stored) == time &&
           probe.value(Name_Level_Value(level, "ghost")).toString() == ghost &&
           probe.value(Name_Level_Value(level, "inputs")).toString() == inputs;
}

bool Options::Clear_Record(int level)
{
    m_settings.remove(Name_Level_Value(level, "time"));
    m_settings.remove(Name_Level_Value(level, "ghost"));
    m_settings.remove(Name_Level_Value(level, "inputs"));
    m_settings.sync();
    QSettings probe(m_settings.fileName(), QSettings::IniFormat);
    probe.sync();
    return probe.status() == QSettings::NoError && !probe.contains(Name_Level_Value(level, "time")) &&
           !probe.contains(Name_Level_Value(level, "ghost")) &&
           !probe.contains(Name_Level_Value(level, "inputs"));
}

QString Options::Write_Error() const
{
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
