#include "Board_Server.h"

#include "Board_Api.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace
{
// What one request has sent so far.
struct Pending
{
    Board_Request request;
};

MHD_Result Collect_Argument(void* target, MHD_ValueKind, const char* key, const char* value)
{
    static_cast<Board_Request*>(target)->query.insert(QString::fromUtf8(key),
                                                      QString::fromUtf8(value ? value : ""));
    return MHD_YES;
}

QString Client_Address(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info == nullptr || info->client_addr == nullptr)
        return QString();
    const QHostAddress peer(info->client_addr);
    // Behind the reverse proxy on this machine, the proxy names the client.
    if (peer.isLoopback())
        if (const char* real = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Real-IP"))
        {
            const QHostAddress client(QString::fromLatin1(real));
            if (!client.isNull())
                return client.toString();
        }
    return peer.toString();
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
    MHD_add_response_header(response, "Content-Security-Policy",
                            "default-src 'none'; img-src 'self'; style-src 'self'; form-action 'none'; "
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
    Pending* pending = static_cast<Pending*>(*state);
    if (pending == nullptr)
    {
        pending = new Pending;
        *state = pending;
        pending->request.method = method;
        pending->request.path = QString::fromUtf8(url);
        pending->request.address = Client_Address(connection);
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, Collect_Argument, &pending->request);
        // A body said to be too large is refused before it is read.
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
        if (length != nullptr &&
            std::strtoull(length, nullptr, 10) > static_cast<unsigned long long>(Board_Api::Max_Body))
        {
            pending->request.body_too_large = true;
            return Send(connection, server.Api().Handle(pending->request));
        }
        return MHD_YES;
    }
    if (*upload_data_size > 0)
    {
        // A body sent in chunks, with no length said, is cut off where it grows too large.
        if (!pending->request.body_too_large)
        {
            if (pending->request.body.size() + static_cast<qint64>(*upload_data_size) > Board_Api::Max_Body)
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
    return Send(connection, server.Api().Handle(pending->request));
}

void Completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode)
{
    delete static_cast<Pending*>(*state);
    *state = nullptr;
}
} // namespace

Board_Server::Board_Server(Board_Api& api) : m_api(api) {}

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
    unsigned int flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ERROR_LOG;
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        flags |= MHD_USE_IPv6;
    m_daemon = MHD_start_daemon(
        flags, static_cast<uint16_t>(port), nullptr, nullptr, &Answer, this, MHD_OPTION_SOCK_ADDR,
        &socket_address, MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned>(limits.threads),
        MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(limits.connections), MHD_OPTION_CONNECTION_TIMEOUT,
        static_cast<unsigned>(limits.timeout_seconds), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        static_cast<size_t>(limits.header_bytes), MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u,
        MHD_OPTION_NOTIFY_COMPLETED, &Completed, nullptr, MHD_OPTION_END);
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
    if (m_daemon != nullptr)
        MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}
