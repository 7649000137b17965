#include "Board_Session.h"

#include "Board_Client.h"
#include "Board_Queue.h"
#include "Board_Settings.h"
#include "Player_Name.h"
#include "Preferences.h"
#include "Record_File.h"
#include "Track_List.h"

#include <QThread>

QString Board_Session::Ordinal(int number)
{
    const int tens = number % 100;
    const char* suffix = "th";
    if (tens < 11 || tens > 13)
    {
        switch (number % 10)
        {
        case 1:
            suffix = "st";
            break;
        case 2:
            suffix = "nd";
            break;
        case 3:
            suffix = "rd";
            break;
        default:
            break;
        }
    }
    return QString::number(number) + QLatin1String(suffix);
}

Board_Session::Board_Session(Preferences& preferences, const QString& address, int course_count)
    : m_preferences(preferences), m_ranks(static_cast<size_t>(course_count)), m_leader_fetch(0),
      m_leader_state(Leader_None)
{
    const QString text = Board_Settings::Address(preferences, address);
    if (text.isEmpty())
        return;
    const QUrl url = Board_Client::Parse_Address(text, m_address_problem);
    if (!url.isValid())
        return;
    m_client.reset(new Board_Client(url));
    m_queue.reset(new Board_Queue(preferences, *m_client, course_count));
    m_queue->m_on_answer = [this](int course, const Board_Client::Submitted& submitted)
    {
        if (submitted.outcome == Board_Client::Refused)
        {
            m_notice = QStringLiteral("The board refused your best lap of %1: %2")
                           .arg(Get_Track_Name(course), submitted.reason);
            Keep_Refusal(QStringLiteral("%1 refused: %2").arg(Get_Track_Name(course), submitted.reason));
            return;
        }
        if (course >= 0 && course < static_cast<int>(m_ranks.size()))
            ++m_ranks[static_cast<size_t>(course)].taken;
        Keep_Refusal(QString());
        Refresh(course);
    };
    m_refusal = m_preferences.Read_Text(Preferences::Board_Refused_Key);
    // Figures kept from the last answer, shown until the board answers again.
    for (int course = 0; course < course_count; ++course)
    {
        const QStringList kept =
            m_preferences.Read_Text(Preferences::Board_Rank_Key(course).constData()).split(QLatin1Char(' '));
        bool rank_ok = false;
        bool total_ok = false;
        Rank& rank = m_ranks[static_cast<size_t>(course)];
        if (kept.size() != 2)
            continue;
        rank.rank = kept[0].toInt(&rank_ok);
        rank.total = kept[1].toInt(&total_ok);
        rank.known = rank_ok && total_ok && rank.rank >= 0 && rank.total >= rank.rank;
    }
    // Laps left waiting by an earlier run go now.
    m_queue->Send_Now();
}

Board_Session::~Board_Session()
{
    if (m_verifier)
        m_verifier->wait();
}

void Board_Session::Lap_Kept(int course, float time, const QString& ghost, const QString& inputs)
{
    if (!m_queue || inputs.isEmpty())
        return;
    m_queue->Add(course, Record_File::Write(course, time, ghost, inputs));
}

void Board_Session::Refresh(int course)
{
    if (!m_client || course < 0 || course >= static_cast<int>(m_ranks.size()))
        return;
    m_queue->Send_Now();
    const QString name = Board_Settings::Name(m_preferences);
    Rank& rank = m_ranks[static_cast<size_t>(course)];
    if (rank.asking || name.isEmpty())
        return;
    rank.asking = true;
    const int taken = rank.taken;
    m_client->Get_Standings(course, 1, name,
                            [this, course, name, taken](const Board_Client::Standings& standings)
                            {
                                Rank& answered = m_ranks[static_cast<size_t>(course)];
                                answered.asking = false;
                                // A place asked for under a name since changed is not the player's now.
                                if (name != Board_Settings::Name(m_preferences))
                                    return Refresh(course);
                                if (standings.outcome != Board_Client::Answered)
                                {
                                    answered.old = true;
                                    return;
                                }
                                answered.known = true;
                                answered.old = false;
                                answered.rank = standings.has_player ? standings.player.rank : 0;
                                answered.total = standings.total;
                                answered.answered_taken = taken;
                                Keep_Rank(course);
                                // The board answers again: what waited may go.
                                m_queue->Send_Now();
                                // A lap taken while this question was on its way is not in its answer.
                                if (answered.taken > taken)
                                    Refresh(course);
                            });
}

void Board_Session::Keep_Refusal(const QString& refusal)
{
    // Kept with the preferences: a player who quits on a refusal finds its reason on the next start.
    if (refusal == m_refusal)
        return;
    m_refusal = refusal;
    m_preferences.Write(Preferences::Board_Refused_Key, refusal);
}

void Board_Session::Keep_Rank(int course)
{
    const Rank& rank = m_ranks[static_cast<size_t>(course)];
    const QString text = QStringLiteral("%1 %2").arg(rank.rank).arg(rank.total);
    if (m_preferences.Read_Text(Preferences::Board_Rank_Key(course).constData()) != text)
        m_preferences.Write(Preferences::Board_Rank_Key(course).constData(), text);
}

QString Board_Session::Rank_Text(int course) const
{
    if (!m_client || course < 0 || course >= static_cast<int>(m_ranks.size()))
        return QString();
    const QString blocked = m_queue->Blocked();
    if (!blocked.isEmpty())
    {
        // The name is chosen in the menu: the records tool's advice is not for a player in the game.
        const QString name = Board_Settings::Name(m_preferences);
        return name.isEmpty() ? QStringLiteral("Board: no name yet, your laps wait for one")
                              : QStringLiteral("Board: %1").arg(Player_Name::Problem(name));
    }
    if (!m_refusal.isEmpty())
        return QStringLiteral("Board: %1").arg(m_refusal);
    const Rank& rank = m_ranks[static_cast<size_t>(course)];
    QString text;
    if (!rank.known)
        text = rank.old ? QStringLiteral("Board: cannot be reached") : QStringLiteral("Board: asking...");
    else if (rank.rank > 0)
        text = QStringLiteral("Board: %1 of %2").arg(Ordinal(rank.rank)).arg(rank.total);
    else if (rank.total > 0)
        text = QStringLiteral("Board: not on it yet, %1 on it").arg(rank.total);
    else
        text = QStringLiteral("Board: nobody on it yet");
    if (rank.known && rank.old)
        text += QStringLiteral(" (old: the board cannot be reached)");
    if (m_queue->Is_Waiting(course))
        text += QStringLiteral(", your best waiting to be sent");
    return text;
}

int Board_Session::Laps_Taken(int course) const
{
    return course >= 0 && course < static_cast<int>(m_ranks.size())
               ? m_ranks[static_cast<size_t>(course)].taken
               : 0;
}

QString Board_Session::Place_After(int course, int taken) const
{
    if (course < 0 || course >= static_cast<int>(m_ranks.size()) || taken <= 0)
        return QString();
    const Rank& rank = m_ranks[static_cast<size_t>(course)];
    if (!rank.known || rank.answered_taken < taken || rank.rank <= 0)
        return QString();
    return QStringLiteral("%1 of %2").arg(Ordinal(rank.rank)).arg(rank.total);
}

bool Board_Session::Rank_Is_Old(int course) const
{
    return m_client && course >= 0 && course < static_cast<int>(m_ranks.size()) &&
           m_ranks[static_cast<size_t>(course)].old;
}

QString Board_Session::Name() const
{
    return m_client ? Board_Settings::Name(m_preferences) : QString();
}

void Board_Session::Set_Name(const QString& name)
{
    if (name == Board_Settings::Name(m_preferences) || !Player_Name::Problem(name).isEmpty())
        return;
    m_preferences.Write(Preferences::Board_Name_Key, name);
    Keep_Refusal(QString());
    // The places known were another name's.
    for (size_t course = 0; course < m_ranks.size(); ++course)
    {
        m_ranks[course] = Rank{false, false, m_ranks[course].asking, 0, 0};
        const QByteArray kept = Preferences::Board_Rank_Key(static_cast<int>(course));
        if (!m_preferences.Read_Text(kept.constData()).isEmpty())
            m_preferences.Write(kept.constData(), QString());
    }
    if (m_queue)
        m_queue->Send_Now();
}

QString Board_Session::Host() const
{
    if (!m_client)
        return QString();
    const QUrl address = m_client->Address();
    return address.port() < 0 ? address.host()
                              : QStringLiteral("%1:%2").arg(address.host()).arg(address.port());
}

int Board_Session::Waiting() const
{
    return m_queue ? m_queue->Waiting() : 0;
}

QString Board_Session::Take_Notice()
{
    QString notice;
    notice.swap(m_notice);
    return notice;
}

void Board_Session::Fetch_Leader(int course)
{
    const int fetch = ++m_leader_fetch;
    m_leader = Rival_Lap();
    m_leader_state = Leader_Fetching;
    if (!m_client)
    {
        Leader_Failed(QStringLiteral("no board is set"));
        return;
    }
    m_client->Get_Standings(
        course, 1, QString(),
        [this, course, fetch](const Board_Client::Standings& standings)
        {
            if (fetch != m_leader_fetch)
                return;
            if (standings.outcome != Board_Client::Answered)
                return Leader_Failed(standings.reason);
            if (standings.laps.empty())
                return Leader_Failed(
                    QStringLiteral("nobody has a lap of %1 on the board yet").arg(Get_Track_Name(course)));
            const Board_Client::Entry leader = standings.laps.front();
            m_client->Fetch_Lap(leader.id,
                                [this, course, fetch, leader](const Board_Client::Lap& lap)
                                {
                                    if (fetch != m_leader_fetch)
                                        return;
                                    if (lap.outcome != Board_Client::Answered)
                                        return Leader_Failed(lap.reason);
                                    Verify_Leader(lap.file, leader.name, course);
                                });
        });
}

void Board_Session::Verify_Leader(const QByteArray& file, const QString& name, int course)
{
    if (m_verifier)
        m_verifier->wait();
    struct Proof
    {
        Rival_Lap lap;
        QString reason;
        bool proven = false;
    };
    auto proof = std::make_shared<Proof>();
    // Racing a lap again takes a moment: never in a frame.
    m_verifier.reset(
        QThread::create([proof, file]() { proof->proven = proof->lap.Read(file, proof->reason); }));
    const int fetch = m_leader_fetch;
    QObject::connect(
        m_verifier.get(), &QThread::finished, &m_context,
        [this, proof, name, course, fetch]()
        {
            if (fetch != m_leader_fetch)
                return;
            if (!proof->proven)
                return Leader_Failed(
                    QStringLiteral("the leader's lap does not prove itself: %1").arg(proof->reason));
            if (proof->lap.m_course != course)
                return Leader_Failed(QStringLiteral("the board sent a lap of another course"));
            m_leader = proof->lap;
            m_leader.m_name = name;
            m_leader_state = Leader_Ended;
        });
    m_verifier->start();
}

void Board_Session::Leader_Failed(const QString& reason)
{
    m_leader = Rival_Lap();
    m_leader_state = Leader_Ended;
    // The race starts with whatever ghost the course has without the leader: the player's own, a lap
    // given on the command line, or none at all. The notice says only what is sure.
    m_notice = QStringLiteral("Not racing the leader: %1").arg(reason);
}

void Board_Session::Cancel_Leader()
{
    ++m_leader_fetch;
    m_leader_state = Leader_None;
}

bool Board_Session::Poll_Leader(Rival_Lap& rival)
{
    if (m_leader_state != Leader_Ended)
        return false;
    m_leader_state = Leader_None;
    rival = m_leader;
    return true;
}
