// Records_Tool: courses by name and record files, for every command of the records tool.
#include "Records_Tool.h"

#include "Record_File.h"
#include "Track_List.h"

#include <QFile>
#include <QSaveFile>

int Find_Course(const QString& text)
{
    bool number = false;
    const int index = text.toInt(&number) - 1;
    if (number)
        return index >= 0 && index < Get_Track_Count() ? index : -1;
    for (int i = 0; i < Get_Track_Count(); ++i)
        if (text.compare(Get_Track_Name(i), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString Course_Choices()
{
    QStringList names;
    for (int i = 0; i < Get_Track_Count(); ++i)
        names << QStringLiteral("%1 (%2)").arg(i + 1).arg(Get_Track_Name(i));
    return names.join(QStringLiteral(", "));
}

int Course_Argument(const QString& command, const QString& text)
{
    const int course = Find_Course(text);
    if (course < 0)
        Usage_Error(command,
                    QStringLiteral("no course '%1'; the courses are %2").arg(text, Course_Choices()));
    return course;
}

bool Save_Whole(const QString& path, const QByteArray& bytes, QString& reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    {
        reason = file.errorString();
        return false;
    }
    return true;
}

bool Read_Record_File(const QString& path, Record_File& record)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        Error(QStringLiteral("%1: cannot read: %2").arg(path, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.read(Record_File::Max_File_Size + 1);
    QString reason;
    if (!record.Read(bytes, reason))
    {
        Error(QStringLiteral("%1: rejected: %2").arg(path, reason));
        return false;
    }
    return true;
}
