// Record_File: one course's best lap as a small self-describing JSON file, to keep or to share.
#ifndef TAVRELO_RECORD_FILE_H
#define TAVRELO_RECORD_FILE_H

#include <QByteArray>
#include <QString>

class QJsonObject;

class Record_File
{
public:
    // The file's own name for its format, and the version of its layout.
    static const char* const Format_Name;
    static constexpr int Format_Version = 1;
    // Bigger files are refused unread: a whole ghost takes about 54 kB.
    static constexpr int Max_File_Size = 1 << 20;

    // The file for a course's record, time exactly as stored, with the lap's
    // inputs when it has them.
    static QByteArray Write(int course, float time, const QString& ghost, const QString& inputs = QString());

    // Reads a file someone else may have written. True when it holds a record
    // the game could have made for one of its courses; otherwise false, with
    // the reason in reason and the fields as far as they were read.
    bool Read(const QByteArray& bytes, QString& reason);
    // The same for a record's JSON object already parsed (a board's submission holds one).
    bool Read(const QJsonObject& object, QString& reason);

    int m_course = -1; // index in the course catalogue
    float m_time = 0.0f;
    QString m_ghost;
    QString m_inputs; // empty: a lap kept without its inputs
};

#endif
