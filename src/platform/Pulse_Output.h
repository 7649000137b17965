// Pulse_Output: 16-bit mono played through PulseAudio's own library, rendered on its thread as the server
// asks for samples.
#ifndef TAVRELO_PULSE_OUTPUT_H
#define TAVRELO_PULSE_OUTPUT_H

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

class QIODevice;
struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

class Pulse_Output
{
public:
    Pulse_Output();
    ~Pulse_Output();
    Pulse_Output(const Pulse_Output&) = delete;
    Pulse_Output& operator=(const Pulse_Output&) = delete;

    // Connects to the default server and plays what source renders, read on the output's thread as the
    // server asks for it from then on until Stop; source is open and outlives the output. False, and why,
    // when there is no server to play on or it does not answer within a couple of seconds.
    bool Start(QIODevice* source, int rate, int buffer_bytes, QString* why);
    // The connection closes at once, whatever the server is doing; what was buffered is dropped.
    void Stop();
    bool Is_Open() const { return m_loop != nullptr; }
    // The server went away since the output started.
    bool Failed() const { return m_failed; }
    QString Error_Text() const;
    int Buffer_Bytes() const { return m_buffer_bytes; }
    // What it plays from while open; nullptr otherwise.
    QIODevice* Source() const { return m_source; }

    // Called on the output's thread, once, when it fails.
    std::function<void()> m_on_fail;

private:
    // On the output's thread.
    static void Write(pa_stream* stream, size_t bytes, void* self);
    static void Stream_Changed(pa_stream* stream, void* self);
    void Fail(const char* what);

    pa_threaded_mainloop* m_loop;
    pa_context* m_context;
    pa_stream* m_stream;
    QIODevice* m_source;
    std::atomic<bool> m_ready;
    std::atomic<bool> m_failed;
    std::atomic<int> m_buffer_bytes;
    mutable std::mutex m_error_mutex;
    QString m_error;
};

#endif
