#include "Audio_Sink.h"

#include "Pulse_Output.h"

#include <QAudioFormat>
#include <QIODevice>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>

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
    // The output, its feed and the source's reads live on a thread of their
    // own: a frame that paints slowly never starves the output, and the
    // output's own waits never hold up a frame.
    QThread thread;
    // Lives on that thread: what work is sent there to run.
    QObject* home = nullptr;
    // Lives on the owner's thread: where state changes are sent back to.
    QObject owner;
    std::unique_ptr<Qt_Audio_Output> sink;
    QIODevice* device = nullptr;
    QIODevice* source = nullptr;
    std::unique_ptr<QTimer> feed;
    // The output's state as last seen on its thread, for the owner to read.
    std::atomic<int> state{int(QAudio::StoppedState)};
    std::atomic<int> error{int(QAudio::NoError)};
    std::atomic<int> buffer_bytes{0};
    // A notice of a change is on its way to the owner: an output that flickers between idle and active
    // (a busy machine, a stalled server) while the owner's thread is not taking events posts one, not
    // one per change for as long as it is busy.
    std::atomic<bool> change_posted{false};
    // Qt's PulseAudio backend tries its server again once, three seconds after losing it, and never
    // after: a server away for longer is reached through PulseAudio's own library instead.
    Pulse_Output pulse;
};

namespace
{
// The output is topped up this often with as much as it has room for, no
// more: what it holds is all the delay there is. Qt 6.4's PulseAudio output,
// left to pull from the source itself, takes one period and no more. Each
// wake of this thread costs more than the mixing it does, so it wakes a
// hundred times a second, not two hundred: the output still never holds
// less than 40 ms of its 50 when it is topped up.
constexpr int Feed_Milliseconds = 10;

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
    m_output->home = new QObject;
    m_output->home->moveToThread(&m_output->thread);
    m_output->thread.start();
}

Audio_Sink::~Audio_Sink()
{
    Stop();
    m_output->thread.quit();
    m_output->thread.wait();
    delete m_output->home;
}

void Audio_Sink::Run_On_Output_Thread(const std::function<void()>& work)
{
    QMetaObject::invokeMethod(m_output->home, work, Qt::BlockingQueuedConnection);
}

void Audio_Sink::Post_Change()
{
    if (m_output->change_posted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        &m_output->owner,
        [this]()
        {
            m_output->change_posted = false;
            if (m_on_change)
                m_on_change();
        },
        Qt::QueuedConnection);
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

bool Audio_Sink::Start(QIODevice* source, int rate, int buffer_bytes, QString* why)
{
    Stop();
    // PulseAudio's own library first: the server asks it for samples when it wants them, where Qt's
    // output must be topped up by a timer on a thread of its own, and those wakes cost the window more
    // than the mixing does. Qt's output plays where no PulseAudio server answers.
    QString unused;
    source->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    m_output->pulse.m_on_fail = [this]() { Post_Change(); };
    if (m_output->pulse.Start(source, rate, buffer_bytes, &unused))
        return true;
    source->close();
    bool started = false;
    Run_On_Output_Thread([&]() { started = Open_Output(source, rate, buffer_bytes, why); });
    return started;
}

bool Audio_Sink::Open_Output(QIODevice* source, int rate, int buffer_bytes, QString* why)
{
    Output& out = *m_output;
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
    out.sink.reset(new Qt_Audio_Output(device, format));
    Qt_Audio_Output* sink = out.sink.get();
    sink->setBufferSize(buffer_bytes);
    QObject::connect(sink, &Qt_Audio_Output::stateChanged, sink,
                     [this, sink](QAudio::State state)
                     {
                         m_output->state = int(state);
                         m_output->error = int(sink->error());
                         Post_Change();
                     });
    // Unbuffered: QIODevice would otherwise render a whole chunk ahead, all of it late.
    source->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    out.source = source;
    out.device = sink->start();
    out.state = int(sink->state());
    out.error = int(sink->error());
    out.buffer_bytes = int(sink->bufferSize());
    if (sink->state() == QAudio::StoppedState && sink->error() != QAudio::NoError)
    {
        *why = Error_Name(sink->error());
        Close_Output();
        return false;
    }
    out.feed.reset(new QTimer);
    out.feed->setTimerType(Qt::PreciseTimer);
    QObject::connect(out.feed.get(), &QTimer::timeout, out.feed.get(), [this]() { Feed(); });
    out.feed->start(Feed_Milliseconds);
    return true;
}

void Audio_Sink::Stop()
{
    Run_On_Output_Thread([this]() { Close_Output(); });
    if (m_output->pulse.Is_Open())
    {
        QIODevice* source = m_output->pulse.Source();
        m_output->pulse.Stop();
        source->close();
    }
}

void Audio_Sink::Close_Output()
{
    Output& out = *m_output;
    out.feed.reset();
    out.device = nullptr;
    if (out.sink)
    {
        // No state change reaches the owner while the output is taken down.
        QObject::disconnect(out.sink.get(), nullptr, nullptr, nullptr);
        out.sink->stop();
        out.sink.reset();
    }
    if (out.source)
        out.source->close();
    out.source = nullptr;
    out.state = int(QAudio::StoppedState);
    out.error = int(QAudio::NoError);
    out.buffer_bytes = 0;
}

bool Audio_Sink::Failed() const
{
    if (m_output->pulse.Is_Open())
        return m_output->pulse.Failed();
    const int error = m_output->error;
    return m_output->state == int(QAudio::StoppedState) && error != int(QAudio::NoError) &&
           error != int(QAudio::UnderrunError);
}

QString Audio_Sink::Error_Text() const
{
    if (m_output->pulse.Is_Open())
        return m_output->pulse.Error_Text();
    return Error_Name(QAudio::Error(int(m_output->error)));
}

int Audio_Sink::Buffer_Bytes() const
{
    if (m_output->pulse.Is_Open())
        return m_output->pulse.Buffer_Bytes();
    return m_output->buffer_bytes;
}
