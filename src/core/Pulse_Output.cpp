#include "Pulse_Output.h"

#include <QByteArray>
#include <QIODevice>

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>

namespace
{
// Rendered and written at a time: a cue waits for at most this on top of the server's buffer.
constexpr int Chunk_Milliseconds = 5;
} // namespace

Pulse_Output::Pulse_Output() : m_source(nullptr), m_stop(false), m_failed(false), m_buffer_bytes(0) {}

Pulse_Output::~Pulse_Output()
{
    Stop();
}

bool Pulse_Output::Start(QIODevice* source, int rate, int buffer_bytes, QString* why)
{
    Stop();
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = uint32_t(rate);
    spec.channels = 1;
    // The server holds no more than the game asks for: what it holds is all the delay there is.
    pa_buffer_attr attributes;
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(buffer_bytes);
    attributes.prebuf = uint32_t(-1);
    attributes.minreq = uint32_t(-1);
    attributes.fragsize = uint32_t(-1);
    int error = 0;
    pa_simple* connection = pa_simple_new(nullptr, "Tavrelo", PA_STREAM_PLAYBACK, nullptr, "Tavrelo", &spec,
                                          nullptr, &attributes, &error);
    if (!connection)
    {
        *why = QStringLiteral("no sound server (%1)").arg(QString::fromUtf8(pa_strerror(error)));
        return false;
    }
    m_stop = false;
    m_failed = false;
    m_buffer_bytes = buffer_bytes;
    m_source = source;
    const int chunk = rate * Chunk_Milliseconds / 1000 * int(sizeof(int16_t));
    m_thread = std::thread([this, connection, source, chunk]() { Play(connection, source, chunk); });
    return true;
}

void Pulse_Output::Play(void* connection, QIODevice* source, int chunk)
{
    pa_simple* stream = static_cast<pa_simple*>(connection);
    while (!m_stop)
    {
        // The write waits while the server's buffer is full: the server sets the pace.
        const QByteArray samples = source->read(std::max(chunk, 2));
        int error = 0;
        if (pa_simple_write(stream, samples.constData(), size_t(samples.size()), &error) < 0)
        {
            {
                const std::lock_guard<std::mutex> lock(m_error_mutex);
                m_error = QString::fromUtf8(pa_strerror(error));
            }
            m_failed = true;
            if (m_on_fail)
                m_on_fail();
            break;
        }
    }
    pa_simple_free(stream);
}

void Pulse_Output::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    m_thread.join();
    m_buffer_bytes = 0;
    m_source = nullptr;
}

QString Pulse_Output::Error_Text() const
{
    const std::lock_guard<std::mutex> lock(m_error_mutex);
    return QStringLiteral("the sound server went away: %1").arg(m_error);
}
