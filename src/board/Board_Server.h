// Board_Server: the board's HTTP side through libmicrohttpd, with bounded bodies, headers, connections and
// time.
#ifndef TAVRELO_BOARD_SERVER_H
#define TAVRELO_BOARD_SERVER_H

#include <QString>

struct MHD_Daemon;
class Board_Api;

class Board_Server
{
public:
    struct Limits
    {
        int threads = 8;              // each with its own database connection
        int connections = 512;        // open at once; more wait in the kernel's queue
        int timeout_seconds = 10;     // a connection idle this long is closed
        int header_bytes = 32 * 1024; // the request line and headers of one request
    };

    explicit Board_Server(Board_Api& api);
    ~Board_Server();
    Board_Server(const Board_Server&) = delete;
    Board_Server& operator=(const Board_Server&) = delete;

    // Listens on host (an address) and port (0: any free one); false with the reason when it cannot.
    bool Start(const QString& host, int port, const Limits& limits, QString& error);
    void Stop();
    int Port() const { return m_port; }

    Board_Api& Api() { return m_api; }

private:
    Board_Api& m_api;
    MHD_Daemon* m_daemon = nullptr;
    int m_port = 0;
};

#endif
