// Preferences: the player's choices, kept in a file of their own beside the records.
#ifndef TAVRELO_PREFERENCES_H
#define TAVRELO_PREFERENCES_H

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class Preferences
{
public:
    // What each choice is kept under: the file's own format, read by earlier and later versions alike.
    static constexpr const char* Last_Course_Key = "last_course";
    static constexpr const char* Volume_Key = "sound/volume";
    static constexpr const char* Mute_Key = "sound/mute";
    static constexpr const char* Interpolation_Key = "video/interpolation";
    static constexpr const char* Board_Url_Key = "board/url";
    static constexpr const char* Board_Name_Key = "board/name";
    static constexpr const char* Board_Secret_Key = "board/key";
    // Why the board last refused one of the player's laps, until the name changes or it takes one.
    static constexpr const char* Board_Refused_Key = "board/refused";
    // The player's last rank on a course's board, and the lap waiting to be sent to it (courses from 0).
    static QByteArray Board_Rank_Key(int course);
    static QByteArray Board_Queue_Key(int course);
    // The best time of each quarter of a course, in hundredths: "1420 1502 1311 1450" (courses from 0).
    static QByteArray Best_Sectors_Key(int course);

    // The file sits beside the records file: <folder of records_file>/Tavrelo-preferences.ini.
    explicit Preferences(const QString& records_file);
    ~Preferences();

    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    QString File_Name() const;

    // The course raced last, from 0, or 0 when none of course_count courses is kept. Without one in
    // the preferences, the records file's own (kept there by earlier versions) is taken once and
    // kept here; the records file is only read.
    int Read_Last_Course(int course_count);
    // Keeps the course raced last; writes the file only when it changes.
    void Write_Last_Course(int course);
    // The best time of each quarter of course in hundredths, all four, or -1 for each when they are missing
    // or not four whole numbers from 0 to Max_Sector (so that any sum of them stays an int).
    static constexpr int Sector_Count = 4;
    static constexpr int Max_Sector = 100000000;
    void Read_Best_Sectors(int course, int (&best)[Sector_Count]);

    // A missing, corrupt or out-of-range value gives the fallback; nothing else is touched.
    int Read_Int(const char* key, int fallback, int lowest, int highest);
    bool Read_Bool(const char* key, bool fallback);
    QString Read_Text(const char* key, const QString& fallback = QString());
    // Writes one value; returns whether the file took it. A damaged or unwritable file warns once
    // on standard error and never blocks a race or touches the records. The value is read back for
    // the rest of the session either way.
    bool Write(const char* key, const QVariant& value);

private:
    QVariant Stored(const char* key) const;
    // The one line on standard error about this file; later troubles stay quiet.
    void Warn(const QString& text);

    QString m_records_file;
    QSettings m_settings;
    bool m_damaged;
    bool m_warned;
    // Choices of this session that a damaged file was not given.
    QVariantMap m_session;
};

#endif
