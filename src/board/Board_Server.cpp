#include "Board_Server.h"

#include "Board_Api.h"
#include "Board_Wire.h"
#include "Connection_Guard.h"
#include "Work_Queue.h"

#include <QHostAddress>
#include <QThread>

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace
{
// What one request has sent so far.
struct Pending
{
    Board_Request request;
    bool answered = false; // by the racing threads, while the connection waited
    Board_Response response;
};

MHD_Result Collect_Argument(void* target, MHD_ValueKind, const char* key, const char* value)
{
    static_cast<Board_Request*>(target)->query.insert(QString::fromUtf8(key),
                                                      QString::fromUtf8(value ? value : ""));
    return MHD_YES;
}

QString Peer_Address(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info == nullptr || info->client_addr == nullptr)
        return QString();
    return QHostAddress(info->client_addr).toString();
}

// Who sent a request: the peer, or behind the reverse proxy on this machine, whom the proxy names.
QString Client_Address(MHD_Connection* connection)
{
    const QString peer = Peer_Address(connection);
    if (QHostAddress(peer).isLoopback())
        if (const char* real = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Real-IP"))
        {
            const QHostAddress client(QString::fromLatin1(real));
            if (!client.isNull())
                return client.toString();
        }
    return peer;
}

Connection_Guard::Connection* Guarded(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info != nullptr ? static_cast<Connection_Guard::Connection*>(info->socket_context) : nullptr;
}

struct Length_Count
{
    int count = 0;
    QByteArray first;
    bool differ = false;
};

MHD_Result Count_Length(void* target, MHD_ValueKind, const char* key, const char* value)
{
    Length_Count& lengths = *static_cast<Length_Count*>(target);
    if (key != nullptr && qstricmp(key, "Content-Length") == 0)
    {
        const QByteArray text = QByteArray(value ? value : "").trimmed();
        if (lengths.count++ == 0)
            lengths.first = text;
        else if (text != lengths.first)
            lengths.differ = true;
    }
    return MHD_YES;
}

// Percent-decoding as usual, but for %00: left as it stands, a NUL never cuts a path or a value short, and
// "/api/v1/laps/1%00" names no lap rather than lap 1.
size_t Unescape(void*, MHD_Connection*, char* text)
{
    char* out = text;
    for (const char* in = text; *in != '\0'; ++out)
    {
        const auto hex = [](char c) -> int
        {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            return -1;
        };
        if (in[0] == '%' && in[1] != '\0' && in[2] != '\0' && hex(in[1]) >= 0 && hex(in[2]) >= 0 &&
            (hex(in[1]) != 0 || hex(in[2]) != 0))
        {
            *out = static_cast<char>(hex(in[1]) * 16 + hex(in[2]));
            in += 3;
        }
        else
        {
            *out = *in++;
        }
    }
    *out = '\0';
    return static_cast<size_t>(out - text);
}

// The whole answer, also to HEAD: libmicrohttpd then sends only its headers, with the body's true length.
MHD_Result Send(MHD_Connection* connection, const Board_Response& answer)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(static_cast<size_t>(answer.body.size()),
                                        const_cast<char*>(answer.body.constData()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr)
        return MHD_NO;
    if (!answer.type.isEmpty())
        MHD_add_response_header(response, "Content-Type", answer.type.constData());
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    // Forms go to the board alone: the page's search for a player is one.
    MHD_add_response_header(response, "Content-Security-Policy",
                            "default-src 'none'; img-src 'self'; style-src 'self'; form-action 'self'; "
                            "frame-ancestors 'none'; base-uri 'none'");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(response, "Cache-Control", "no-cache");
    const MHD_Result result = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return result;
}

MHD_Result Answer(void* self, MHD_Connection* connection, const char* url, const char* method, const char*,
                  const char* upload_data, size_t* upload_data_size, void** state)
{
    Board_Server& server = *static_cast<Board_Server*>(self);
    Connection_Guard::Connection* guarded = Guarded(connection);
    if (guarded != nullptr && guarded->refused)
    {
        // Answered 503 on arrival: read to the end, then closed.
        if (*upload_data_size > 0)
        {
            *upload_data_size = 0;
            return MHD_YES;
        }
        return *state == nullptr ? (*state = new Pending, MHD_YES) : MHD_NO;
    }
    Pending* pending = static_cast<Pending*>(*state);
    if (pending == nullptr)
    {
        pending = new Pending;
        *state = pending;
        pending->request.method = method;
        pending->request.path = QString::fromUtf8(url);
        pending->request.address = Client_Address(connection);
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, Collect_Argument, &pending->request);
        if (guarded != nullptr && !server.Guard().Attribute(guarded, pending->request.address))
        {
            server.Guard().Answering(guarded);
            return Send(
                connection,
                Board_Response{503, "application/json",
                               "{\"error\":\"too many connections from one address: try again later\"}\n"});
        }
        // Two lengths that disagree would leave the body's end to whoever reads them: none is believed.
        Length_Count lengths;
        MHD_get_connection_values(connection, MHD_HEADER_KIND, Count_Length, &lengths);
        if (lengths.differ)
        {
            if (guarded != nullptr)
                server.Guard().Answering(guarded);
            return Send(connection,
                        Board_Response{400, "application/json",
                                       "{\"error\":\"Content-Length given twice, with two values\"}\n"});
        }
        // A body said to be too large is refused before it is read.
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
        if (length != nullptr &&
            std::strtoull(length, nullptr, 10) > static_cast<unsigned long long>(Board_Wire::Max_Body))
        {
            pending->request.body_too_large = true;
            if (guarded != nullptr)
                server.Guard().Answering(guarded);
            return Send(connection, server.Api().Handle(pending->request));
        }
        return MHD_YES;
    }
    if (*upload_data_size > 0)
    {
        // A body sent in chunks, with no length said, is cut off where it grows too large.
        if (!pending->request.body_too_large)
        {
            if (pending->request.body.size() + static_cast<qint64>(*upload_data_size) > Board_Wire::Max_Body)
            {
                pending->request.body_too_large = true;
                pending->request.body.clear();
            }
            else
            {
                pending->request.body.append(upload_data, static_cast<qsizetype>(*upload_data_size));
            }
        }
        *upload_data_size = 0;
        return MHD_YES;
    }
    if (guarded != nullptr)
        server.Guard().Answering(guarded);
    if (pending->answered)
        return Send(connection, pending->response);
    // A lap is raced again on a thread of the board's few racing ones, one a processor, while its connection
    // waits without holding a thread: a flood of submissions queues there and never starves the readers.
    if (Board_Api::Races(pending->request) && server.Race_Later(connection,
                                                                [&server, connection, pending]
                                                                {
                                                                    pending->response =
                                                                        server.Api().Handle(pending->request);
                                                                    pending->answered = true;
                                                                    MHD_resume_connection(connection);
                                                                }))
        return MHD_YES;
    return Send(connection, server.Api().Handle(pending->request));
}

void Completed(void* self, MHD_Connection* connection, void** state, MHD_RequestTerminationCode)
{
    delete static_cast<Pending*>(*state);
    *state = nullptr;
    if (Connection_Guard::Connection* guarded = Guarded(connection))
        static_cast<Board_Server*>(self)->Guard().Answered(guarded);
}

void Connection_Changed(void* self, MHD_Connection* connection, void** socket_context,
                        MHD_ConnectionNotificationCode change)
{
    Connection_Guard& guard = static_cast<Board_Server*>(self)->Guard();
    if (change == MHD_CONNECTION_NOTIFY_CLOSED)
    {
        guard.Closed(static_cast<Connection_Guard::Connection*>(*socket_context));
        *socket_context = nullptr;
        return;
    }
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    *socket_context = guard.Opened(info != nullptr ? info->connect_fd : -1, Peer_Address(connection));
}
} // namespace

Board_Server::Board_Server(Board_Api& api) : m_api(api) {}

Connection_Guard& Board_Server::Guard()
{
    return *m_guard;
}

bool Board_Server::Race_Later(MHD_Connection* connection, std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(m_racing_mutex);
    if (!m_racing)
        return false;
    MHD_suspend_connection(connection);
    m_racing->Post(std::move(work));
    return true;
}

Board_Server::~Board_Server()
{
    Stop();
}

bool Board_Server::Start(const QString& host, int port, const Limits& limits, QString& error)
{
    Stop();
    const QHostAddress address(host);
    sockaddr_storage socket_address{};
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
    {
        sockaddr_in& in = reinterpret_cast<sockaddr_in&>(socket_address);
        in.sin_family = AF_INET;
        in.sin_port = htons(static_cast<uint16_t>(port));
        in.sin_addr.s_addr = htonl(address.toIPv4Address());
    }
    else if (address.protocol() == QAbstractSocket::IPv6Protocol)
    {
        sockaddr_in6& in = reinterpret_cast<sockaddr_in6&>(socket_address);
        in.sin6_family = AF_INET6;
        in.sin6_port = htons(static_cast<uint16_t>(port));
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in.sin6_addr, bytes.c, sizeof bytes.c);
    }
    else
    {
        error = QStringLiteral("'%1' is not an IP address").arg(host);
        return false;
    }
    // No libmicrohttpd log: it speaks of every connection a client drops or the guard cuts, which under a
    // flood would fill the operator's log; the board says itself what goes wrong.
    unsigned int flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME;
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        flags |= MHD_USE_IPv6;
    m_racing.reset(new Work_Queue(std::max(QThread::idealThreadCount(), 1)));
    m_guard.reset(new Connection_Guard(
        Connection_Guard::Limits{limits.connections, limits.per_address, limits.request_seconds * 1000}));
    // libmicrohttpd's own limit stands above the guard's, so that a connection past the guard's is still
    // taken, to be told 503 at once rather than left waiting in the kernel's queue. Its own limit per address
    // would count a reverse proxy here as one client: the guard counts whom the proxy names instead.
    m_daemon = MHD_start_daemon(flags, static_cast<uint16_t>(port), nullptr, nullptr, &Answer, this,
                                MHD_OPTION_SOCK_ADDR, &socket_address, MHD_OPTION_THREAD_POOL_SIZE,
                                static_cast<unsigned>(limits.threads), MHD_OPTION_CONNECTION_LIMIT,
                                static_cast<unsigned>(limits.connections + Refusal_Room),
                                MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(limits.timeout_seconds),
                                MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<size_t>(limits.header_bytes),
                                MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u, MHD_OPTION_NOTIFY_COMPLETED,
                                &Completed, this, MHD_OPTION_NOTIFY_CONNECTION, &Connection_Changed, this,
                                MHD_OPTION_UNESCAPE_CALLBACK, &Unescape, nullptr, MHD_OPTION_END);
    if (m_daemon == nullptr)
    {
        error = QStringLiteral("cannot listen on %1 port %2 (in use, or not an address of this machine)")
                    .arg(host)
                    .arg(port);
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = info != nullptr ? info->port : port;
    return true;
}

void Board_Server::Stop()
{
    // Every lap still waiting is raced and its connection resumed: the server must hold none suspended when
    // it stops. Submissions that come meanwhile are raced at once.
    std::unique_ptr<Work_Queue> racing;
    {
        std::lock_guard<std::mutex> lock(m_racing_mutex);
        racing = std::move(m_racing);
    }
    racing.reset();
    if (m_daemon != nullptr)
        MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    m_guard.reset();
}
