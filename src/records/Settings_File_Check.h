// Settings_File_Check: whether a settings file holds anything Qt would drop or alter when it rewrites it.
#ifndef TAVRELO_SETTINGS_FILE_CHECK_H
#define TAVRELO_SETTINGS_FILE_CHECK_H

#include <QByteArray>
#include <QString>

class Settings_File_Check
{
public:
    // An empty string when every line is one Qt reads as written (blank, a [section] or a
    // key=value, and a ';' comment unless comments count) and the text is UTF-8; otherwise the
    // first fault, in a few words. Qt says as much itself only for the first store of a file in a
    // process, so the game looks at the bytes on its own. Qt reads past comments but drops them
    // when it writes the file.
    static QString Fault(const QByteArray& bytes, bool comments_count);
    // The same for a file: a missing one is sound, one that cannot be read is not.
    static QString File_Fault(const QString& path, bool comments_count);
};

#endif
