// Records_Command: one tavrelo-records command's command line: its --help, options and arguments.
#ifndef TAVRELO_RECORDS_COMMAND_H
#define TAVRELO_RECORDS_COMMAND_H

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// Exit statuses of every command.
enum Exit_Status
{
    Done = 0,
    Rejected = 1, // a file refused, a write that failed
    Wrong_Usage = 2,
    Unreachable = 3, // a board that did not answer
};

// Standard output, in the terminal's encoding.
void Print(const QString& text);
// One line on standard error, after the program's name.
void Error(const QString& text);
// Says what is wrong with the command line, and where help is; returns Wrong_Usage.
int Usage_Error(const QString& command, const QString& text);

class Records_Command
{
public:
    Records_Command(const QString& command, const QString& description, const QString& syntax);

    // Done when the command is to run; -1 when it printed its help; else the
    // exit status to end with.
    int Parse(const QStringList& arguments, int min_positional, int max_positional);
    QString Argument(int i) const;

    QString name;
    QCommandLineParser parser;
    QCommandLineOption help;
};

#endif
