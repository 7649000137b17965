#include "Sound_Player.h"

#include "Race.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace
{
QtMessageHandler Next_Handler = nullptr;

// Qt's sound backend has its own say about a missing or lost server, in
// lines of its own; the player says it once, in the game's words.
void Drop_Backend_Messages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && (message.startsWith(QLatin1String("PulseAudioService:")) ||
                                 message.contains(QLatin1String("Stream error:")) ||
                                 message.startsWith(QLatin1String("QPulseAudio"))))
        return;
    if (Next_Handler)
        Next_Handler(type, context, message);
}
} // namespace

Sound_Player::Sound_Player()
    : m_stream(m_mixer, m_commands), m_open(false), m_warned(false), m_muted(false),
      m_volume(Sound_Mixer::Default_Volume)
{
    m_retry.setSingleShot(true);
    QObject::connect(&m_retry, &QTimer::timeout, &m_retry, [this]() { Open(); });
    m_sink.m_on_change = [this]() { Output_Changed(); };
    if (!Next_Handler)
        Next_Handler = qInstallMessageHandler(Drop_Backend_Messages);
    Open();
}

Sound_Player::~Sound_Player()
{
    Close();
    if (Next_Handler)
        qInstallMessageHandler(Next_Handler);
    Next_Handler = nullptr;
}

Sound_Frame Sound_Player::Frame_Of(const Race& race, unsigned cues)
{
    const Race::Craft_Feel feel = race.Feel();
    Sound_Frame frame;
    frame.speed = feel.speed;
    frame.thrust = feel.thrust;
    frame.off_road = feel.off_road;
    frame.cues = cues | (feel.put_back ? unsigned(Cue_Put_Back) : 0u);
    return frame;
}

void Sound_Player::Close()
{
    m_retry.stop();
    m_sink.m_on_change = nullptr;
    m_sink.Stop();
    m_open = false;
    m_commands.Apply_To(m_mixer);
}

void Sound_Player::Push(Sound_Command::Kind kind, int value, const Sound_Frame& frame)
{
    m_commands.Push(Sound_Command{kind, frame, value});
    // With no output open nothing renders: the mixer is this thread's.
    if (!m_open)
        m_commands.Apply_To(m_mixer);
}

void Sound_Player::Race_Step(const Sound_Frame& frame)
{
    Push(Sound_Command::Race_Step, 0, frame);
}

void Sound_Player::Play(unsigned cues)
{
    Push(Sound_Command::Play, int(cues));
}

void Sound_Player::Set_Racing(bool racing)
{
    Push(Sound_Command::Set_Racing, racing);
}

void Sound_Player::Set_Held(bool held)
{
    Push(Sound_Command::Set_Held, held);
}

void Sound_Player::Set_Muted(bool muted)
{
    m_muted = muted;
    Push(Sound_Command::Set_Muted, muted);
}

void Sound_Player::Set_Volume(int volume)
{
    m_volume = std::min(std::max(volume, 0), 100);
    Push(Sound_Command::Set_Volume, m_volume);
}

bool Sound_Player::Is_Playing() const
{
    return m_open && !m_sink.Failed();
}

int Sound_Player::Buffer_Bytes() const
{
    return m_open ? m_sink.Buffer_Bytes() : 0;
}

void Sound_Player::Open()
{
    QString why;
    const int bytes = Sound_Rate * Buffer_Milliseconds / 1000 * int(sizeof(int16_t));
    m_open = m_sink.Start(&m_stream, Sound_Rate, bytes, &why);
    if (m_open)
    {
        if (m_warned)
            qWarning().noquote() << QStringLiteral("tavrelo: sound back");
        // A later loss is news again.
        m_warned = false;
        return;
    }
    if (!m_warned)
        qWarning().noquote() << QStringLiteral("tavrelo: warning: %1; playing on without sound").arg(why);
    m_warned = true;
    m_retry.start(Retry_Milliseconds);
}

void Sound_Player::Output_Changed()
{
    if (!m_open || !m_sink.Failed())
        return;
    const QString error = m_sink.Error_Text();
    m_sink.Stop();
    m_open = false;
    m_commands.Apply_To(m_mixer);
    if (!m_warned)
        qWarning().noquote()
            << QStringLiteral("tavrelo: warning: sound lost (%1); playing on without it").arg(error);
    m_warned = true;
    m_retry.start(Retry_Milliseconds);
}
