// Records_Tool: what the records tool's commands share: courses by name, record files, and the commands.
#ifndef TAVRELO_RECORDS_TOOL_H
#define TAVRELO_RECORDS_TOOL_H

#include "Records_Command.h"
#include "Track_List.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class Record_File;

// 1 to 3, or a course's name in any case; -1 when it names none.
int Find_Course(const QString& text);
QString Course_Choices();
// The course a command's first argument names; on a name that is no course,
// says which ones there are and returns -1 (the caller's usage error).
int Course_Argument(const QString& command, const QString& text);
// Writes bytes to path whole or not at all.
bool Save_Whole(const QString& path, const QByteArray& bytes, QString& reason);
// Reads and checks a record file; on failure says why and returns false.
bool Read_Record_File(const QString& path, Record_File& record);

// The commands; each takes its arguments after the command's name and returns the exit status.
int List(const QStringList& arguments);
int Verify(const QStringList& arguments);
int Export(const QStringList& arguments);
int Import(const QStringList& arguments);
int Render(const QStringList& arguments);
int Clear(const QStringList& arguments);
int Board(const QStringList& arguments);

#endif
