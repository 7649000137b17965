// Board_Server: the board's HTTP side through libmicrohttpd, with bounded bodies, headers, connections and
// time.
#ifndef TAVRELO_BOARD_SERVER_H
#define TAVRELO_BOARD_SERVER_H

#include <QString>

#include <functional>
#include <memory>
#include <mutex>

struct MHD_Connection;
struct MHD_Daemon;
class Board_Api;
class Connection_Guard;
class Work_Queue;

class Board_Server
{
public:
    struct Limits
    {
        int threads = 32;             // requests answered at once
        int connections = 512;        // open at once; more are answered 503 at once
        int per_address = 16;         // open at once from one client; 0 for no limit
        int request_seconds = 10;     // from a request's first byte to its last
        int timeout_seconds = 10;     // a connection idle this long is closed
        int header_bytes = 32 * 1024; // the request line and headers of one request
    };
    // Connections libmicrohttpd takes past the limit, only to answer them 503.
    static constexpr int Refusal_Room = 256;

    explicit Board_Server(Board_Api& api);
    ~Board_Server();
    Board_Server(const Board_Server&) = delete;
    Board_Server& operator=(const Board_Server&) = delete;

    // Listens on host (an address) and port (0: any free one); false with the reason when it cannot.
    bool Start(const QString& host, int port, const Limits& limits, QString& error);
    void Stop();
    int Port() const { return m_port; }

    Board_Api& Api() { return m_api; }
    Connection_Guard& Guard();
    // Hands work to the racing threads, the connection waiting meanwhile; false when the server is stopping.
    bool Race_Later(MHD_Connection* connection, std::function<void()> work);

private:
    Board_Api& m_api;
    std::unique_ptr<Connection_Guard> m_guard;
    std::mutex m_racing_mutex;
    std::unique_ptr<Work_Queue> m_racing;
    MHD_Daemon* m_daemon = nullptr;
    int m_port = 0;
};

#endif
