// Rival_Lap: another player's lap from a lap file, proven by its inputs, for its ghost to be raced.
#ifndef TAVRELO_RIVAL_LAP_H
#define TAVRELO_RIVAL_LAP_H

#include <QByteArray>
#include <QString>

class Rival_Lap
{
public:
    // Reads a lap file and races its inputs again. True when they give exactly its time and
    // ghost; else false, the lap stays empty, and reason says why in a few words.
    bool Load(const QString& path, QString& reason);
    // The same for a lap file's bytes (one a board sent).
    bool Read(const QByteArray& bytes, QString& reason);
    bool Is_Loaded() const { return m_course >= 0; }

    int m_course = -1; // none
    float m_time = 0.0f;
    QString m_ghost;
    QString m_inputs;
    // Who drove it, shown beside its ghost: the file's name, or the name on the board.
    QString m_name;
};

#endif
