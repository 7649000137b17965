// Pulse_Output: 16-bit mono played through PulseAudio's own library on a thread of its own, for when Qt's
// sound backend has given up on a server that came back.
#ifndef TAVRELO_PULSE_OUTPUT_H
#define TAVRELO_PULSE_OUTPUT_H

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class QIODevice;

class Pulse_Output
{
public:
    Pulse_Output();
    ~Pulse_Output();
    Pulse_Output(const Pulse_Output&) = delete;
    Pulse_Output& operator=(const Pulse_Output&) = delete;

    // Connects to the default server and plays what source renders, read on the output's thread
    // from then on until Stop; source is open and outlives the output. False, and why, when
    // there is no server to play on.
    bool Start(QIODevice* source, int rate, int buffer_bytes, QString* why);
    // The thread ends and the connection closes; what was buffered is dropped.
    void Stop();
    bool Is_Open() const { return m_thread.joinable(); }
    // The server went away since the output started.
    bool Failed() const { return m_failed; }
    QString Error_Text() const;
    int Buffer_Bytes() const { return m_buffer_bytes; }
    // What it plays from while open; nullptr otherwise.
    QIODevice* Source() const { return m_source; }

    // Called on the output's thread, once, when it fails.
    std::function<void()> m_on_fail;

private:
    void Play(void* connection, QIODevice* source, int chunk);

    std::thread m_thread;
    QIODevice* m_source;
    std::atomic<bool> m_stop;
    std::atomic<bool> m_failed;
    std::atomic<int> m_buffer_bytes;
    mutable std::mutex m_error_mutex;
    QString m_error;
};

#endif
