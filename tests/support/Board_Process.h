// Board_Process: a real tavrelo-board (TAVRELO_BOARD_EXE) for a test, on the loopback, over SQLite in a
// folder.
#ifndef TAVRELO_BOARD_PROCESS_H
#define TAVRELO_BOARD_PROCESS_H

#include <QByteArray>
#include <QProcess>
#include <QString>

struct Headless_Lap;

class Board_Process
{
public:
    explicit Board_Process(const QString& data_dir);
    ~Board_Process();

    // Starts it on a free port the first time, on the same one after a Stop; true once it listens.
    bool Start();
    void Stop();
    QString Url() const;

    // One request straight over HTTP, not through the game's client: its status (0: no answer) and body.
    int Request(const QByteArray& method, const QString& path, const QByteArray& body = QByteArray(),
                QByteArray* answer = nullptr);
    // Sends a lap as a player with that name and key would; returns the status.
    int Post_Lap(int course, const Headless_Lap& lap, const QString& name, const QString& key);

private:
    QString m_data_dir;
    int m_port;
    QProcess m_process;
};

#endif
