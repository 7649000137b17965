#include "Connection_Guard.h"

#include <QDeadlineTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace
{
QByteArray Busy_Answer()
{
    const QByteArray body = "{\"error\":\"the board has too many connections open: try again later\"}\n";
    return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\nRetry-After: 10\r\n"
           "Connection: close\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}
} // namespace

Connection_Guard::Connection_Guard(const Limits& limits)
    : m_limits(limits), m_busy_answer(Busy_Answer()), m_watcher([this] { Watch(); })
{
}

Connection_Guard::~Connection_Guard()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_watcher.join();
    for (Connection* connection : m_open)
    {
        if (connection->socket >= 0)
            ::close(connection->socket);
        delete connection;
    }
}

qint64 Connection_Guard::Now_Ms()
{
    return QDeadlineTimer::current().deadline();
}

Connection_Guard::Connection* Connection_Guard::Opened(int socket, const QString& peer)
{
    Connection* connection = new Connection;
    connection->socket = socket >= 0 ? ::dup(socket) : -1;
    connection->peer = peer;
    connection->started_ms = Now_Ms();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.insert(connection);
    const bool too_many = m_admitted >= m_limits.total ||
                          (m_limits.per_client > 0 && m_per_client.value(peer) >= m_limits.per_client);
    if (!too_many || connection->socket < 0)
    {
        ++m_admitted;
        Move(connection, peer);
    }
    else
    {
        // Answered here, before a byte of the request is read: a client past its share costs a write, and
        // nobody waits behind it. What it sends after is read and dropped (an unread byte would reset the
        // connection and could lose this answer).
        connection->refused = true;
        [[maybe_unused]] const ssize_t written =
            ::send(connection->socket, m_busy_answer.constData(), static_cast<size_t>(m_busy_answer.size()),
                   MSG_NOSIGNAL | MSG_DONTWAIT);
        ::shutdown(connection->socket, SHUT_WR);
    }
    return connection;
}

void Connection_Guard::Move(Connection* connection, const QString& client)
{
    if (!connection->client.isNull())
    {
        auto found = m_per_client.find(connection->client);
        if (found != m_per_client.end() && --found.value() <= 0)
            m_per_client.erase(found);
    }
    connection->client = client;
    if (!client.isNull())
        ++m_per_client[client];
}

bool Connection_Guard::Attribute(Connection* connection, const QString& client)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (connection->refused || connection->client == client)
        return true;
    const bool too_many = m_limits.per_client > 0 && m_per_client.value(client) >= m_limits.per_client;
    Move(connection, client);
    return !too_many;
}

void Connection_Guard::Answering(Connection* connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    connection->answering = true;
}

void Connection_Guard::Answered(Connection* connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    connection->answering = false;
    connection->started_ms = Now_Ms();
}

void Connection_Guard::Closed(Connection* connection)
{
    if (connection == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    Move(connection, QString());
    m_admitted -= connection->refused ? 0 : 1;
    m_open.erase(connection);
    if (connection->socket >= 0)
        ::close(connection->socket);
    delete connection;
}

int Connection_Guard::Cut_Late()
{
    const qint64 now = Now_Ms();
    int cut = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Connection* connection : m_open)
        if (!connection->answering && !connection->cut && connection->socket >= 0 &&
            now - connection->started_ms > (connection->refused ? Refused_Ms : m_limits.request_ms))
        {
            // The server sees the connection end and closes it as it would any other.
            ::shutdown(connection->socket, SHUT_RDWR);
            connection->cut = true;
            ++cut;
        }
    return cut;
}

void Connection_Guard::Watch()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping)
    {
        m_wake.wait_for(lock, std::chrono::milliseconds(200));
        if (m_stopping)
            break;
        lock.unlock();
        Cut_Late();
        lock.lock();
    }
}
