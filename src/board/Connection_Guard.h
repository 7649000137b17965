// Connection_Guard: each client's fair share of the board's connections, and a deadline for every request.
#ifndef TAVRELO_CONNECTION_GUARD_H
#define TAVRELO_CONNECTION_GUARD_H

#include <QByteArray>
#include <QHash>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

class Connection_Guard
{
public:
    struct Limits
    {
        int total = 512;        // open at once; past it a new connection is answered 503 at once
        int per_client = 16;    // open at once from one client; 0 for no limit
        int request_ms = 10000; // from a request's first byte to its last, headers and body
    };

    // One open connection, as the guard follows it.
    struct Connection
    {
        int socket = -1; // the guard's own duplicate, so that a late cut never reaches a reused descriptor
        QString peer;    // the address it comes from
        QString client;  // whom it counts against: the peer, or the address a proxy here forwards
        qint64 started_ms = 0;  // when its current request began
        bool answering = false; // read whole: the request's deadline no longer applies
        bool refused = false;   // answered 503 on arrival; whatever it sends is not read
        bool cut = false;
    };

    explicit Connection_Guard(const Limits& limits);
    ~Connection_Guard();
    Connection_Guard(const Connection_Guard&) = delete;
    Connection_Guard& operator=(const Connection_Guard&) = delete;

    // A connection has come on socket (the server's descriptor) from peer; refused (answered 503 and shut)
    // when that makes one too many, in all or from peer.
    Connection* Opened(int socket, const QString& peer);
    // Its request's headers are in, from client: false when that client has too many open already.
    bool Attribute(Connection* connection, const QString& client);
    // Read whole, then answered: the next request on the connection starts its own clock.
    void Answering(Connection* connection);
    void Answered(Connection* connection);
    void Closed(Connection* connection);

    // Shuts the socket of every request past its deadline; how many. The guard's own thread calls it too.
    int Cut_Late();

    static qint64 Now_Ms();

private:
    void Move(Connection* connection, const QString& client);
    void Watch();

    // A connection answered 503 on arrival is given this long to read it, then cut; it counts against no
    // limit meanwhile.
    static constexpr qint64 Refused_Ms = 1000;

    Limits m_limits;
    const QByteArray m_busy_answer;
    std::mutex m_mutex;
    std::set<Connection*> m_open;
    int m_admitted = 0; // open and not refused
    QHash<QString, int> m_per_client;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_watcher;
};

#endif
