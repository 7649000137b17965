#include "Audio_Sink.h"

#include <QAudioFormat>
#include <QIODevice>
#include <QObject>
#include <QTimer>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
using Qt_Audio_Output = QAudioSink;
#else
#include <QAudioDeviceInfo>
#include <QAudioOutput>
using Qt_Audio_Output = QAudioOutput;
#endif

struct Audio_Sink::Output
{
    std::unique_ptr<Qt_Audio_Output> sink;
    // What the output takes samples through, and the timer that tops it up.
    QIODevice* device = nullptr;
    QIODevice* source = nullptr;
    QTimer feed;
};

namespace
{
// The output is topped up this often with as much as it has room for, no
// more: what it holds is all the delay there is. Qt 6.4's PulseAudio output,
// left to pull from the source itself, takes one period and no more.
constexpr int Feed_Milliseconds = 5;

QString Error_Name(QAudio::Error error)
{
    switch (error)
    {
    case QAudio::NoError:
        return QStringLiteral("no error");
    case QAudio::OpenError:
        return QStringLiteral("the sound output cannot be opened");
    case QAudio::IOError:
        return QStringLiteral("the sound output stopped taking samples");
    case QAudio::UnderrunError:
        return QStringLiteral("the sound output ran short of samples");
    case QAudio::FatalError:
        return QStringLiteral("the sound output failed");
    }
    return QStringLiteral("the sound output failed");
}

QAudioFormat Mono_16_Bit(int rate)
{
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(1);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    format.setSampleFormat(QAudioFormat::Int16);
#else
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setSampleSize(16);
    format.setSampleType(QAudioFormat::SignedInt);
    format.setByteOrder(QAudioFormat::LittleEndian);
#endif
    return format;
}
} // namespace

Audio_Sink::Audio_Sink() : m_output(new Output)
{
    m_output->feed.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_output->feed, &QTimer::timeout, &m_output->feed, [this]() { Feed(); });
}

void Audio_Sink::Feed()
{
    Output& out = *m_output;
    if (!out.sink || !out.device)
        return;
    const qint64 free = out.sink->bytesFree() & ~qint64(1);
    if (free <= 0)
        return;
    const QByteArray samples = out.source->read(free);
    out.device->write(samples);
}

Audio_Sink::~Audio_Sink()
{
    Stop();
}

bool Audio_Sink::Start(QIODevice* source, int rate, int buffer_bytes, QString* why)
{
    Stop();
    const QAudioFormat format = Mono_16_Bit(rate);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
#else
    const QAudioDeviceInfo device = QAudioDeviceInfo::defaultOutputDevice();
#endif
    if (device.isNull())
    {
        *why = QStringLiteral("no sound output (no sound server or device)");
        return false;
    }
    if (!device.isFormatSupported(format))
    {
        *why = QStringLiteral("the sound output cannot play 16-bit mono at %1 Hz").arg(rate);
        return false;
    }
    m_output->sink.reset(new Qt_Audio_Output(device, format));
    Qt_Audio_Output* sink = m_output->sink.get();
    sink->setBufferSize(buffer_bytes);
    QObject::connect(sink, &Qt_Audio_Output::stateChanged, sink,
                     [this](QAudio::State)
                     {
                         if (m_on_change)
                             m_on_change();
                     });
    // Unbuffered: QIODevice would otherwise render a whole chunk ahead, all of it late.
    source->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    m_output->source = source;
    m_output->device = sink->start();
    m_output->feed.start(Feed_Milliseconds);
    if (sink->state() == QAudio::StoppedState && sink->error() != QAudio::NoError)
    {
        *why = Error_Name(sink->error());
        Stop();
        return false;
    }
    return true;
}

void Audio_Sink::Stop()
{
    if (!m_output->sink)
        return;
    // No state change reaches the owner while the output is taken down.
    QObject::disconnect(m_output->sink.get(), nullptr, nullptr, nullptr);
    m_output->feed.stop();
    m_output->device = nullptr;
    m_output->sink->stop();
    m_output->sink.reset();
}

bool Audio_Sink::Failed() const
{
    const Qt_Audio_Output* sink = m_output->sink.get();
    return sink && sink->state() == QAudio::StoppedState && sink->error() != QAudio::NoError &&
           sink->error() != QAudio::UnderrunError;
}

QString Audio_Sink::Error_Text() const
{
    return m_output->sink ? Error_Name(m_output->sink->error()) : QString();
}

int Audio_Sink::Buffer_Bytes() const
{
    return m_output->sink ? int(m_output->sink->bufferSize()) : 0;
}
