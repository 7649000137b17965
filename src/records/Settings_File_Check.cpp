#include "Settings_File_Check.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

QString Settings_File_Check::Fault(const QByteArray& bytes, bool comments_count)
{
    // Qt turns bytes that are not UTF-8 into U+FFFD, for good, when it writes the file again.
    if (QString::fromUtf8(bytes).toUtf8() != bytes)
        return QStringLiteral("it holds bytes that are not UTF-8");
    QByteArray text = bytes;
    text.replace('\r', '\n');
    const QList<QByteArray> lines = text.split('\n');
    bool continued = false;
    for (int i = 0; i < lines.size(); ++i)
    {
        const QByteArray line = lines[i].trimmed();
        // A value ending in a backslash goes on at the next line.
        const bool goes_on = line.endsWith('\\');
        if (!continued && comments_count && line.startsWith(';'))
            return QStringLiteral("line %1 is a comment, which Qt drops").arg(i + 1);
        if (continued || line.isEmpty() || line.startsWith(';') ||
            (line.startsWith('[') && line.contains(']')) || line.contains('='))
        {
            continued = goes_on;
            continue;
        }
        return QStringLiteral("line %1 is no section and no value").arg(i + 1);
    }
    return QString();
}

QString Settings_File_Check::File_Fault(const QString& path, bool comments_count)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    if (!info.isFile())
        return QStringLiteral("it is not a file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("it cannot be read: %1").arg(file.errorString());
    return Fault(file.readAll(), comments_count);
}
