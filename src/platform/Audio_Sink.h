// Audio_Sink: the sound output a stream plays through, fed as it has room: PulseAudio's own library where a
// server answers, else QAudioSink with Qt 6 or QAudioOutput with Qt 5.
#ifndef TAVRELO_AUDIO_SINK_H
#define TAVRELO_AUDIO_SINK_H

#include <QString>

#include <functional>
#include <memory>

class QIODevice;
class QObject;

class Audio_Sink
{
public:
    Audio_Sink();
    ~Audio_Sink();
    Audio_Sink(const Audio_Sink&) = delete;
    Audio_Sink& operator=(const Audio_Sink&) = delete;

    // Opens the default output for 16-bit mono at rate samples a second,
    // asking for buffer_bytes of buffer, and starts reading from source (which
    // outlives the sink, and is read on the output's own thread from then on
    // until Stop). False, and why, when there is no output to open.
    bool Start(QIODevice* source, int rate, int buffer_bytes, QString* why);
    // Reading stops; what was buffered is dropped.
    void Stop();
    // The output failed since it started (the sound server went away).
    bool Failed() const;
    // What went wrong, in a few words.
    QString Error_Text() const;
    // The buffer the output took, in bytes; 0 when none is open.
    int Buffer_Bytes() const;

    // Called on the thread that made the sink, soon after the output's state changes.
    std::function<void()> m_on_change;

private:
    void Run_On_Output_Thread(const std::function<void()>& work);
    // On the output's thread.
    bool Open_Output(QIODevice* source, int rate, int buffer_bytes, QString* why);
    void Close_Output();
    void Feed();
    // From any thread: m_on_change runs soon on the owner's.
    void Post_Change();

    struct Output;
    std::unique_ptr<Output> m_output;
};

#endif
