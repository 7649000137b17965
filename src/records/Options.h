// Options: the settings store that keeps each course's best lap time and ghost.
#ifndef TAVRELO_OPTIONS_H
#define TAVRELO_OPTIONS_H

#include "Global_Singleton"

#include <QSettings>
#include <QString>

#include <map>

class Options : public Global_Singleton<Options>
{
public:
    // How many backups of the settings file Back_Up keeps.
    static constexpr int Backups_Kept = 10;

    Options();
    ~Options() override;

    // "level<N>/<name>", the key of one course's value.
    QString Name_Level_Value(int level, const char* name) const;

    // The stored best time of a course, or 0 when there is none. The file is
    // the user's to edit: anything but a finite time above zero counts as none,
    // so a bad value can never lock a course.
    float Read_Best_Time(int course);
    // The stored ghost of a course, or an empty string.
    QString Read_Ghost(int course);
    // The stored inputs of a course's best lap (Input_Track text), or an empty
    // string: a record kept before laps kept their inputs has none.
    QString Read_Inputs(int course);
    // Stores a new best lap and its ghost, and writes the file at once. Qt
    // writes it to a temporary file and renames that over the old one, so a
    // game killed while saving leaves the old record or the new, never half a
    // file. Returns whether the file was written; the game plays on either way.
    // A record the file did not take stays in the store's memory, so the game
    // still reads it, and goes out with the next write.
    // The inputs go in the same write; a record without them removes any
    // that an older record of the course left behind.
    bool Write_Record(int course, float time, const QString& ghost, const QString& inputs = QString());
    // Removes a course's record and writes the file at once; returns whether it was written.
    bool Clear_Record(int course);

    // Before the first write of a session, a file that reads with errors is copied beside itself,
    // since Qt rewrites it in its own form and drops what it could not read. When that copy cannot
    // be made, the file is not written: the record is held in memory (read back as if stored) and
    // Write_Error says why.

    // What makes the file read with errors: a line Qt cannot read, bytes that are not UTF-8, or a
    // record that fails its checks. Empty when it reads cleanly or is not there.
    QString Read_Fault();
    // Copies the file as it is now to <file>.<date>-<time>.bak (a number added when that is taken),
    // and keeps only the newest Backups_Kept of these copies.
    // Returns the copy's path, or an empty string and the reason.
    QString Back_Up(QString& reason);
    // Once, after a write that first copied a file reading with errors: the line that says so,
    // naming both files. Empty otherwise.
    QString Take_Backup_Notice();
    // Why the file cannot be written just now, in words, after a write failed.
    QString Write_Error() const;

    QSettings m_settings;

private:
    // True when the file may be written: it reads cleanly, or is kept in a copy already.
    bool Keep_Before_Write();

    struct Held_Record
    {
        float time;
        QString ghost;
        QString inputs;
    };
    // Records the file was not given because its copy could not be made.
    std::map<int, Held_Record> m_held;
    // Qt reports a parse fault only to the first store of a file in a process.
    bool m_format_error;
    // The file as found is kept (clean, or copied), so this session writes it freely.
    bool m_kept;
    QString m_refusal;
    QString m_backup_notice;
};

#endif
