// Board_Session: the game's side of a board: new bests sent in the background, the player's rank on each
// course, and the leader's lap fetched and proven. Nothing in it waits on the network.
#ifndef TAVRELO_BOARD_SESSION_H
#define TAVRELO_BOARD_SESSION_H

#include "Rival_Lap.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class Board_Client;
class Board_Queue;
class Preferences;
class QThread;

class Board_Session
{
public:
    // address is for this run (--board); without one the preferences' board/url is used, and with
    // neither the session does nothing and never touches the network.
    Board_Session(Preferences& preferences, const QString& address, int course_count);
    ~Board_Session();
    Board_Session(const Board_Session&) = delete;
    Board_Session& operator=(const Board_Session&) = delete;

    bool Is_On() const { return m_client != nullptr; }
    // Why the address given or kept cannot be used; empty when it can or there is none.
    QString Address_Problem() const { return m_address_problem; }

    // A new best lap the game kept: it waits in the queue until the board takes or refuses it.
    void Lap_Kept(int course, float time, const QString& ghost, const QString& inputs);
    // The menu shows course: its rank is asked for again and waiting laps are sent.
    void Refresh(int course);

    // "Board: 3rd of 41" and what else is known of it; empty without a board.
    QString Rank_Text(int course) const;
    // How many laps of course the board has taken in this session.
    int Laps_Taken(int course) const;
    // "3rd of 41" once the board has answered about course after taking its lap number taken (as
    // Laps_Taken counts them; 1 for the first); empty until then, and without the player on the board.
    QString Place_After(int course, int taken) const;
    // The figures are those of an earlier answer: the board cannot be reached now.
    bool Rank_Is_Old(int course) const;
    QString Name() const;
    // Keeps name (one the rule takes) as the one laps stand under from now on: a refusal said for the
    // old one is forgotten, the ranks are asked for again and the laps it held back go.
    void Set_Name(const QString& name);
    // The board in use as a player would name it: its host (and port, when one is given); empty without one.
    QString Host() const;
    int Waiting() const;
    // Something the player must be told once (a lap refused, the leader not raced); empty when nothing.
    QString Take_Notice();

    // Starts fetching the best lap of course from the board; Poll_Leader tells when it has ended.
    void Fetch_Leader(int course);
    // The fetch under way is forgotten.
    void Cancel_Leader();
    bool Is_Fetching_Leader() const { return m_leader_state == Leader_Fetching; }
    // True once a fetch has ended: rival then holds the leader's lap, proven by its inputs, or nothing when
    // it could not be had (the notice says why).
    bool Poll_Leader(Rival_Lap& rival);

    // 1st, 2nd, 3rd, 4th ... 11th, 12th, 13th ... 21st.
    static QString Ordinal(int number);

private:
    struct Rank
    {
        bool known = false;  // from an answer, now or in an earlier run
        bool old = false;    // the last question went unanswered
        bool asking = false; // a question is on its way
        int rank = 0;        // 0: no lap of the player's on the course
        int total = 0;
        int taken = 0;          // laps of the course taken in this session
        int answered_taken = 0; // laps taken before the question last answered was asked
    };
    enum Leader_State
    {
        Leader_None,
        Leader_Fetching,
        Leader_Ended,
    };
    void Leader_Failed(const QString& reason);
    void Verify_Leader(const QByteArray& file, const QString& name, int course);
    void Keep_Rank(int course);
    void Keep_Refusal(const QString& refusal);

    Preferences& m_preferences;
    QString m_address_problem;
    std::unique_ptr<Board_Client> m_client;
    std::unique_ptr<Board_Queue> m_queue;
    std::vector<Rank> m_ranks;
    QString m_notice;
    // Why the board refused the player's last lap sent, kept in the menu until the name changes or a lap is
    // taken; empty when none.
    QString m_refusal;

    // Leader fetches are numbered: the answer to one that was given up is dropped.
    int m_leader_fetch;
    Leader_State m_leader_state;
    Rival_Lap m_leader;
    // The leader's lap is raced again off the frame loop, on a thread of its own.
    std::unique_ptr<QThread> m_verifier;
    // Ends the queued answers of the thread with the session.
    QObject m_context;
};

#endif
