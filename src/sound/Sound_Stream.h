// Sound_Stream: the mixer as a device the sound output pulls samples from; each read renders them.
#ifndef TAVRELO_SOUND_STREAM_H
#define TAVRELO_SOUND_STREAM_H

#include <QIODevice>

#include <cstdint>
#include <vector>

class Sound_Commands;
class Sound_Mixer;

class Sound_Stream : public QIODevice
{
public:
    // Each read first carries out the commands pushed since the last. Both
    // outlive the stream.
    Sound_Stream(Sound_Mixer& mixer, Sound_Commands& commands);

    bool isSequential() const override;
    qint64 bytesAvailable() const override;

    // The time spent rendering since the stream was made.
    int64_t Render_Nanoseconds() const { return m_render_ns; }

protected:
    qint64 readData(char* data, qint64 max_size) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    Sound_Mixer& m_mixer;
    Sound_Commands& m_commands;
    std::vector<int16_t> m_block;
    int64_t m_render_ns;
};

#endif
