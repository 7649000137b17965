#include "Pulse_Output.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QThread>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

namespace
{
// A server that takes a connection but never answers (stopped, hung) is given up on after this.
constexpr int Answer_Milliseconds = 2000;

bool Context_Settled(pa_context* context)
{
    const pa_context_state_t state = pa_context_get_state(context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
}

bool Stream_Settled(pa_stream* stream)
{
    const pa_stream_state_t state = pa_stream_get_state(stream);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
}
} // namespace

Pulse_Output::Pulse_Output()
    : m_loop(nullptr), m_context(nullptr), m_stream(nullptr), m_source(nullptr), m_ready(false),
      m_failed(false), m_buffer_bytes(0)
{
}

Pulse_Output::~Pulse_Output()
{
    Stop();
}

bool Pulse_Output::Start(QIODevice* source, int rate, int buffer_bytes, QString* why)
{
    Stop();
    m_source = source;
    m_ready = false;
    m_failed = false;
    m_loop = pa_threaded_mainloop_new();
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Tavrelo");
    // No server started on the game's behalf: one that is not there is tried again later.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(m_loop) < 0)
    {
        *why = QStringLiteral("no sound server (%1)").arg(pa_strerror(pa_context_errno(m_context)));
        Stop();
        return false;
    }
    // Waited for by looking now and then rather than on the loop's signal: a server that never answers
    // must not hold the game.
    QElapsedTimer waited;
    waited.start();
    int granted_bytes = buffer_bytes;
    pa_threaded_mainloop_lock(m_loop);
    while (!Context_Settled(m_context) && waited.elapsed() < Answer_Milliseconds)
    {
        pa_threaded_mainloop_unlock(m_loop);
        QThread::msleep(5);
        pa_threaded_mainloop_lock(m_loop);
    }
    if (pa_context_get_state(m_context) == PA_CONTEXT_READY)
    {
        pa_sample_spec format;
        format.format = PA_SAMPLE_S16LE;
        format.rate = uint32_t(rate);
        format.channels = 1;
        // The server holds no more than the game asks for: what it holds is all the delay there is.
        pa_buffer_attr attributes;
        attributes.maxlength = uint32_t(-1);
        attributes.tlength = uint32_t(buffer_bytes);
        attributes.prebuf = uint32_t(-1);
        attributes.minreq = uint32_t(-1);
        attributes.fragsize = uint32_t(-1);
        m_stream = pa_stream_new(m_context, "Tavrelo", &format, nullptr);
        pa_stream_set_write_callback(m_stream, &Pulse_Output::Write, this);
        pa_stream_set_state_callback(m_stream, &Pulse_Output::Stream_Changed, this);
        pa_stream_connect_playback(m_stream, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr);
        while (!Stream_Settled(m_stream) && waited.elapsed() < Answer_Milliseconds)
        {
            pa_threaded_mainloop_unlock(m_loop);
            QThread::msleep(5);
            pa_threaded_mainloop_lock(m_loop);
        }
        m_ready = pa_stream_get_state(m_stream) == PA_STREAM_READY;
        // What the server took, which need not be what was asked for.
        const pa_buffer_attr* granted = m_ready ? pa_stream_get_buffer_attr(m_stream) : nullptr;
        granted_bytes = granted != nullptr ? int(granted->tlength) : buffer_bytes;
    }
    const int error = pa_context_errno(m_context);
    pa_threaded_mainloop_unlock(m_loop);
    if (!m_ready)
    {
        *why = QStringLiteral("no sound server (%1)")
                   .arg(error != 0 ? pa_strerror(error) : "it did not answer in time");
        Stop();
        return false;
    }
    m_buffer_bytes = granted_bytes;
    return true;
}

void Pulse_Output::Write(pa_stream* stream, size_t bytes, void* self)
{
    Pulse_Output& output = *static_cast<Pulse_Output*>(self);
    // Rendered straight into the server's memory: nothing copied, nothing allocated on the way.
    void* buffer = nullptr;
    size_t room = bytes;
    if (pa_stream_begin_write(stream, &buffer, &room) < 0 || buffer == nullptr)
        return;
    const qint64 rendered = output.m_source->read(static_cast<char*>(buffer), qint64(room) & ~qint64(1));
    if (rendered > 0)
        pa_stream_write(stream, buffer, size_t(rendered), nullptr, 0, PA_SEEK_RELATIVE);
    else
        pa_stream_cancel_write(stream);
}

void Pulse_Output::Stream_Changed(pa_stream* stream, void* self)
{
    Pulse_Output& output = *static_cast<Pulse_Output*>(self);
    if (output.m_ready && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        output.Fail(pa_strerror(pa_context_errno(pa_stream_get_context(stream))));
}

void Pulse_Output::Fail(const char* what)
{
    {
        const std::lock_guard<std::mutex> lock(m_error_mutex);
        m_error = QString::fromUtf8(what);
    }
    if (!m_failed.exchange(true) && m_on_fail)
        m_on_fail();
}

void Pulse_Output::Stop()
{
    if (!m_loop)
        return;
    // Nothing here waits for the server: a stalled one cannot hold the game as it closes.
    pa_threaded_mainloop_lock(m_loop);
    m_ready = false;
    if (m_stream)
    {
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
    pa_threaded_mainloop_unlock(m_loop);
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
    m_loop = nullptr;
    m_buffer_bytes = 0;
    m_source = nullptr;
}

QString Pulse_Output::Error_Text() const
{
    const std::lock_guard<std::mutex> lock(m_error_mutex);
    return QStringLiteral("the sound server went away: %1").arg(m_error);
}
