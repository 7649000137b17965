#include "Board_Queue.h"

#include "Board_Settings.h"
#include "Preferences.h"

#include <QRandomGenerator>

#include <algorithm>

Board_Queue::Board_Queue(Preferences& preferences, Board_Client& client, int course_count)
    : m_preferences(preferences), m_client(client), m_course_count(course_count), m_failures(0), m_sending(-1)
{
    // Read once: every frame of the menu asks whether a lap waits, and only this queue changes them.
    for (int course = 0; course < course_count; ++course)
        m_laps.push_back(m_preferences.Read_Text(Preferences::Board_Queue_Key(course).constData()).toUtf8());
    m_retry.setSingleShot(true);
    QObject::connect(&m_retry, &QTimer::timeout, [this]() { Send_Now(); });
    m_start_wait = [this](int milliseconds) { m_retry.start(milliseconds); };
}

QByteArray Board_Queue::Lap_Of(int course) const
{
    return m_laps[static_cast<size_t>(course)];
}

void Board_Queue::Keep(int course, const QByteArray& lap_file)
{
    m_laps[static_cast<size_t>(course)] = lap_file;
    m_preferences.Write(Preferences::Board_Queue_Key(course).constData(), QString::fromUtf8(lap_file));
}

void Board_Queue::Add(int course, const QByteArray& lap_file)
{
    // Only the newest best of a course matters: the board keeps one lap a player there.
    Keep(course, lap_file);
    m_failures = 0;
    Send_Now();
}

bool Board_Queue::Is_Waiting(int course) const
{
    return !Lap_Of(course).isEmpty();
}

int Board_Queue::Waiting() const
{
    int waiting = 0;
    for (int course = 0; course < m_course_count; ++course)
        waiting += Is_Waiting(course) ? 1 : 0;
    return waiting;
}

QString Board_Queue::Blocked() const
{
    return Board_Settings::Name_Problem(m_preferences);
}

void Board_Queue::Send_Now()
{
    if (m_sending >= 0 || !Blocked().isEmpty())
        return;
    int course = 0;
    while (course < m_course_count && !Is_Waiting(course))
        ++course;
    if (course == m_course_count)
        return;
    m_retry.stop();
    m_sending = course;
    const QByteArray lap = Lap_Of(course);
    m_client.Submit(lap, Board_Settings::Name(m_preferences), Board_Settings::Key(m_preferences),
                    [this, course, lap](const Board_Client::Submitted& submitted)
                    {
                        m_sending = -1;
                        if (submitted.outcome == Board_Client::Unreachable)
                        {
                            Retry_Later();
                            return;
                        }
                        // A newer best that came while this one was on its way still waits.
                        if (Lap_Of(course) == lap)
                            Keep(course, QByteArray());
                        m_failures = 0;
                        if (m_on_answer)
                            m_on_answer(course, submitted);
                        Send_Now();
                    });
}

void Board_Queue::Retry_Later()
{
    const int wait = std::min(Last_Retry_Ms, First_Retry_Ms << std::min(m_failures, 16));
    ++m_failures;
    // A little spread, so that installs cut off together do not all come back in the same second.
    m_start_wait(wait + QRandomGenerator::global()->bounded(wait / 4 + 1));
}
