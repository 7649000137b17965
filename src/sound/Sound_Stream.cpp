#include "Sound_Stream.h"

#include "Sound_Commands.h"
#include "Sound_Mixer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstring>

Sound_Stream::Sound_Stream(Sound_Mixer& mixer, Sound_Commands& commands)
    : QIODevice(), m_mixer(mixer), m_commands(commands), m_render_ns(0)
{
}

bool Sound_Stream::isSequential() const
{
    return true;
}

qint64 Sound_Stream::bytesAvailable() const
{
    // Endless: there is always a next sample to render.
    return QIODevice::bytesAvailable() + Sound_Rate * qint64(sizeof(int16_t));
}

qint64 Sound_Stream::readData(char* data, qint64 max_size)
{
    const int count = int(std::min<qint64>(max_size / qint64(sizeof(int16_t)), Sound_Rate));
    if (count <= 0)
        return 0;
    QElapsedTimer timer;
    timer.start();
    m_commands.Apply_To(m_mixer);
    m_block.resize(size_t(count));
    m_mixer.Render(m_block.data(), count);
    // The device's buffer need not be aligned for 16-bit values.
    std::memcpy(data, m_block.data(), size_t(count) * sizeof(int16_t));
    m_render_ns += timer.nsecsElapsed();
    return qint64(count) * qint64(sizeof(int16_t));
}

qint64 Sound_Stream::writeData(const char*, qint64)
{
    return -1;
}
