#include "Record_File.h"

#include "Race_Clock.h"
#include "Record_Check.h"
#include "Track_List.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>

const char* const Record_File::Format_Name = "tavrelo-record";

QByteArray Record_File::Write(int course, float time, const QString& ghost, const QString& inputs)
{
    const Track_Info* info = Get_Track_Info(course);
    QJsonObject object;
    object.insert(QStringLiteral("format"), QString::fromLatin1(Format_Name));
    object.insert(QStringLiteral("format_version"), Format_Version);
    object.insert(QStringLiteral("course"), QString::fromLatin1(info->name));
    object.insert(QStringLiteral("course_version"), static_cast<int>(info->version));
    // A float widens to a double exactly, and JSON keeps a double to the last
    // bit: the file holds the very time the settings did.
    object.insert(QStringLiteral("time"), static_cast<double>(time));
    object.insert(QStringLiteral("lap"), Race_Clock::Format_Time(time)); // for people; not read back
    object.insert(QStringLiteral("ghost"), ghost);
    if (!inputs.isEmpty())
        object.insert(QStringLiteral("inputs"), inputs);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

bool Record_File::Read(const QByteArray& bytes, QString& reason)
{
    m_course = -1;
    m_time = 0.0f;
    m_ghost.clear();
    m_inputs.clear();
    if (bytes.size() > Max_File_Size)
    {
        reason = QStringLiteral("too large for a record file (over %1 bytes)").arg(Max_File_Size);
        return false;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
    {
        reason =
            QStringLiteral("not a record file: %1 at byte %2").arg(error.errorString()).arg(error.offset);
        return false;
    }
    if (!document.isObject())
    {
        reason = QStringLiteral("not a record file: no JSON object");
        return false;
    }
    return Read(document.object(), reason);
}

bool Record_File::Read(const QJsonObject& object, QString& reason)
{
    m_course = -1;
    m_time = 0.0f;
    m_ghost.clear();
    m_inputs.clear();
    if (object.value(QStringLiteral("format")).toString() != QLatin1String(Format_Name))
    {
        reason = QStringLiteral("not a record file: its format is not %1").arg(QLatin1String(Format_Name));
        return false;
    }
    const QJsonValue format_version = object.value(QStringLiteral("format_version"));
    if (!format_version.isDouble() || format_version.toDouble() != Format_Version)
    {
        reason = QStringLiteral("record format version %1 is not %2")
                     .arg(format_version.isDouble() ? QString::number(format_version.toDouble())
                                                    : QStringLiteral("(none)"))
                     .arg(Format_Version);
        return false;
    }
    const QString name = object.value(QStringLiteral("course")).toString();
    for (int i = 0; i < Get_Track_Count(); ++i)
        if (name.compare(QLatin1String(Get_Track_Info(i)->name), Qt::CaseInsensitive) == 0)
            m_course = i;
    if (m_course < 0)
    {
        reason = QStringLiteral("unknown course '%1'").arg(name);
        return false;
    }
    const Track_Info& course = *Get_Track_Info(m_course);
    const QJsonValue course_version = object.value(QStringLiteral("course_version"));
    if (!course_version.isDouble() || course_version.toDouble() != course.version)
    {
        reason = QStringLiteral("wrong course version: recorded on version %1 of %2, this game has %3")
                     .arg(course_version.isDouble() ? QString::number(course_version.toDouble())
                                                    : QStringLiteral("(none)"))
                     .arg(QLatin1String(course.name))
                     .arg(course.version);
        return false;
    }
    const QJsonValue time = object.value(QStringLiteral("time"));
    const QJsonValue ghost = object.value(QStringLiteral("ghost"));
    if (!time.isDouble())
    {
        reason = QStringLiteral("time is not a finite number above zero");
        return false;
    }
    if (!ghost.isString())
    {
        reason = QStringLiteral("the ghost is not text");
        return false;
    }
    const QJsonValue inputs = object.value(QStringLiteral("inputs"));
    if (!inputs.isUndefined() && !inputs.isString())
    {
        reason = QStringLiteral("the inputs are not text");
        return false;
    }
    m_ghost = ghost.toString();
    reason = Check_Record(course, time.toDouble(), m_ghost);
    if (!reason.isEmpty())
        return false;
    m_time = static_cast<float>(time.toDouble());
    // Whether they prove the lap is the verifier's question, not the reader's.
    m_inputs = inputs.toString();
    return true;
}
