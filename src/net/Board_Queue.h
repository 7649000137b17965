// Board_Queue: the player's best laps on their way to a board, kept with the preferences until it takes or
// refuses them.
#ifndef TAVRELO_BOARD_QUEUE_H
#define TAVRELO_BOARD_QUEUE_H

#include "Board_Client.h"

#include <QByteArray>
#include <QTimer>

#include <functional>
#include <vector>

class Preferences;

class Board_Queue
{
public:
    // After a failed try the next waits twice as long, from the first to the last.
    static constexpr int First_Retry_Ms = 2000;
    static constexpr int Last_Retry_Ms = 5 * 60 * 1000;

    Board_Queue(Preferences& preferences, Board_Client& client, int course_count);

    // Keeps lap_file to be sent for course, in place of one of course still waiting, and sends it.
    void Add(int course, const QByteArray& lap_file);
    bool Is_Waiting(int course) const;
    int Waiting() const;
    // Sends the next waiting lap now unless one is on its way: on start, and whenever the board is seen
    // answering again.
    void Send_Now();
    // Why no lap can be sent (no name to send it under); empty when they can.
    QString Blocked() const;

    // Each answer that ends a lap's wait: taken, with its rank, or refused, with the board's reason.
    std::function<void(int course, const Board_Client::Submitted&)> m_on_answer;
    // Starts the wait after a failed try, of that many milliseconds, at whose end Send_Now is called. The
    // queue's own timer unless replaced: a test puts a clock of its own here to see waits of minutes at once.
    std::function<void(int milliseconds)> m_start_wait;

private:
    QByteArray Lap_Of(int course) const;
    // The lap waiting for course (none when empty), here and in the preferences.
    void Keep(int course, const QByteArray& lap_file);
    void Retry_Later();

    Preferences& m_preferences;
    Board_Client& m_client;
    int m_course_count;
    std::vector<QByteArray> m_laps; // by course
    QTimer m_retry;
    int m_failures;
    int m_sending; // the course whose lap is on its way, or -1
};

#endif
