// board_load: many clients at once against one or more running boards: half send real laps the board must
// race again, half read the standings; prints submissions and reads a second, latencies, errors, and how many
// laps answered 201 are not on the board afterwards. With --check FILE, only that last count, for ids kept in
// FILE. With --read PATH (again for more), every client reads that path alone, one path after another, and a
// line for each; the first path's rate is the floor the others are told against.
#include "Record_File.h"
#include "Test_Support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

// One keep-alive HTTP/1.1 connection to a board.
class Connection
{
public:
    // client numbers the player: a board on the loopback sees each player come from an address of its own,
    // 127.1.0.1 on, as players come from machines of their own, so that its share per address is theirs.
    Connection(const std::string& host, int port, int client = -1)
        : m_host(host), m_port(port), m_client(client)
    {
    }
    ~Connection() { Close(); }

    // The status of the answer, or -1 when the connection failed.
    int Exchange(const std::string& method, const std::string& path, const std::string& body,
                 std::string& answer)
    {
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            if (m_fd < 0 && !Open())
                return -1;
            std::string request = method + " " + path + " HTTP/1.1\r\nHost: " + m_host + "\r\n";
            if (!body.empty() || method == "POST")
                request +=
                    "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\n";
            request += "\r\n" + body;
            if (!Send(request))
            {
                Close();
                continue; // a kept connection the board had closed: once more on a new one
            }
            const int status = Receive(answer);
            if (status > 0)
                return status;
            Close();
            if (attempt == 0 && m_fresh)
                return -1;
        }
        return -1;
    }

private:
    bool Open()
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
            return false;
        timeval timeout{30, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        int one = 1;
        setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (m_client >= 0 && m_host.rfind("127.", 0) == 0)
        {
            sockaddr_in source{};
            source.sin_family = AF_INET;
            source.sin_addr.s_addr = htonl(0x7f010001u + static_cast<unsigned>(m_client) % 60000u);
            bind(m_fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(m_port));
        inet_pton(AF_INET, m_host.c_str(), &address.sin_addr);
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        {
            Close();
            return false;
        }
        m_fresh = true;
        return true;
    }
    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    bool Send(const std::string& bytes)
    {
        size_t sent = 0;
        while (sent < bytes.size())
        {
            const ssize_t n = send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }
    int Receive(std::string& answer)
    {
        std::string bytes;
        char chunk[65536];
        size_t header_end = std::string::npos;
        size_t length = 0;
        bool close_after = false;
        for (;;)
        {
            if (header_end == std::string::npos)
            {
                header_end = bytes.find("\r\n\r\n");
                if (header_end != std::string::npos)
                {
                    std::string head = bytes.substr(0, header_end);
                    std::transform(head.begin(), head.end(), head.begin(), ::tolower);
                    const size_t at = head.find("content-length:");
                    length = at == std::string::npos ? 0 : std::stoul(head.substr(at + 15));
                    close_after = head.find("connection: close") != std::string::npos;
                }
            }
            if (header_end != std::string::npos && bytes.size() >= header_end + 4 + length)
                break;
            const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return -1;
            bytes.append(chunk, static_cast<size_t>(n));
        }
        m_fresh = false;
        answer = bytes.substr(header_end + 4, length);
        const int status = bytes.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(bytes.c_str() + 9) : -1;
        if (close_after)
            Close();
        return status;
    }

    std::string m_host;
    int m_port;
    int m_client;
    int m_fd = -1;
    bool m_fresh = false;
};

struct Target
{
    std::string host;
    int port;
};

struct Tally
{
    std::vector<double> submit_ms;
    std::vector<double> read_ms;
    std::map<int, long> statuses;  // -1: no answer
    std::vector<long long> stored; // ids answered 201
    long submitted = 0;            // laps raced again and answered 200 or 201
};

double Percentile(std::vector<double>& values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

int Usage()
{
    std::fputs(
        "Usage: board_load --url http://HOST:PORT [--url ...] [--clients N] [--seconds S] [--seed N]\n"
        "                  [--laps N] [--ids FILE] [--label TEXT] [--pid BOARD_PID ...] [--readers N]\n"
        "       board_load --url ... --read PATH [--read PATH ...] [--players N] [--ids FILE] ...\n"
        "       board_load --url http://HOST:PORT --check FILE\n"
        "In a read's PATH, {player} stands for a name seed-1 to seed-N, {lap} for an id in --ids FILE.\n",
        stderr);
    return 2;
}

// The processor time, in seconds, that a /proc stat file gives: user and system.
double Stat_Seconds(const std::string& path, std::string* name = nullptr)
{
    std::ifstream stat(path);
    std::string line;
    std::getline(stat, line);
    // Past the command's name, which may hold spaces: the state is field 3, utime and stime 14 and 15.
    const size_t name_start = line.find('(');
    const size_t name_end = line.rfind(')');
    if (name_start == std::string::npos || name_end == std::string::npos || name_end < name_start)
        return 0.0;
    if (name)
        *name = line.substr(name_start + 1, name_end - name_start - 1);
    std::istringstream fields(line.substr(name_end + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int n = 3; n <= 15 && fields >> field; ++n)
        if (n == 14)
            utime = std::stoull(field);
        else if (n == 15)
            stime = std::stoull(field);
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The processor time the boards have had, in seconds; with a thread's name, that of their threads of that
// name.
double Cpu_Seconds(const std::vector<int>& pids, const std::string& thread = std::string())
{
    double total = 0.0;
    for (const int pid : pids)
    {
        const std::string folder = "/proc/" + std::to_string(pid);
        if (thread.empty())
        {
            total += Stat_Seconds(folder + "/stat");
            continue;
        }
        for (const QString& task :
             QDir(QString::fromStdString(folder + "/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        {
            std::string name;
            const double seconds = Stat_Seconds(folder + "/task/" + task.toStdString() + "/stat", &name);
            if (name == thread)
                total += seconds;
        }
    }
    return total;
}

// The board draws each stored lap's picture on a thread of this name.
const std::string Picture_Thread = "board-pictures";

std::vector<long long> Read_Ids(const QString& name)
{
    std::vector<long long> ids;
    QFile file(name);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                ids.push_back(line.trimmed().toLongLong());
    return ids;
}

std::string Replace_All(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// Lets the clients' threads run for seconds, stops and joins them; the seconds they ran.
double Run_For(double seconds, std::atomic<bool>& stop, std::vector<std::thread>& threads,
               Clock::time_point start)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Every client reads path alone for seconds; one table line. The first path's rate is the floor.
struct Read_Run
{
    double rate;
    double p50;
    double p99;
    long errors;
    double cpu_ms_per_read;
};
Read_Run Read_Only(const std::vector<Target>& targets, int clients, double seconds, const std::string& path,
                   int players, const std::vector<long long>& ids, const std::vector<int>& pids)
{
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<double> all_ms;
    long errors = 0;
    std::vector<std::thread> threads;
    const double cpu_before = Cpu_Seconds(pids);
    const Clock::time_point start = Clock::now();
    for (int c = 0; c < clients; ++c)
        threads.emplace_back(
            [&, c]
            {
                const Target& target = targets[static_cast<size_t>(c) % targets.size()];
                Connection connection(target.host, target.port, c);
                std::mt19937 random(static_cast<unsigned>(c + 1));
                std::vector<double> ms_taken;
                long failed = 0;
                std::string answer;
                for (size_t n = 0; !stop.load(); ++n)
                {
                    std::string asked = path;
                    if (players > 0)
                        asked = Replace_All(
                            asked, "{player}",
                            "seed-" + std::to_string(1 + random() % static_cast<unsigned>(players)));
                    if (!ids.empty())
                        asked =
                            Replace_All(asked, "{lap}", std::to_string(ids[(n * clients + c) % ids.size()]));
                    const Clock::time_point begin = Clock::now();
                    const int status = connection.Exchange("GET", asked, std::string(), answer);
                    ms_taken.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
                    if (status != 200)
                    {
                        if (failed == 0)
                            std::fprintf(stderr, "%s: %d %s\n", asked.c_str(), status,
                                         answer.substr(0, 200).c_str());
                        ++failed;
                        if (status < 0)
                            std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    }
                }
                std::lock_guard<std::mutex> lock(mutex);
                all_ms.insert(all_ms.end(), ms_taken.begin(), ms_taken.end());
                errors += failed;
            });
    const double elapsed = Run_For(seconds, stop, threads, start);
    const double cpu = Cpu_Seconds(pids) - cpu_before;
    const double reads = static_cast<double>(all_ms.size());
    return Read_Run{reads / elapsed, Percentile(all_ms, 0.5), Percentile(all_ms, 0.99), errors,
                    reads > 0 ? 1000.0 * cpu / reads : 0.0};
}

// How many of the ids in file the board at target does not have.
long Missing(const Target& target, const std::vector<long long>& ids)
{
    Connection connection(target.host, target.port);
    long missing = 0;
    std::string answer;
    for (const long long id : ids)
        if (connection.Exchange("GET", "/api/v1/laps/" + std::to_string(id), std::string(), answer) != 200)
            ++missing;
    return missing;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    std::vector<Target> targets;
    int clients = 64;
    double seconds = 60.0;
    int seed = static_cast<int>(getpid() % 300);
    int laps_per_writer = 10;
    QString ids_file;
    QString check_file;
    QString label = QStringLiteral("board");
    std::vector<std::string> reads;
    std::vector<int> pids;
    int players = 0;
    int readers = -1; // half the clients
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i)
    {
        const QString option = arguments[i];
        if (i + 1 >= arguments.size())
            return Usage();
        const QString value = arguments[++i];
        if (option == "--url")
        {
            const QUrl url(value);
            if (url.scheme() != "http" || url.port() <= 0)
                return Usage();
            targets.push_back(Target{url.host().toStdString(), url.port()});
        }
        else if (option == "--clients")
            clients = std::max(2, value.toInt());
        else if (option == "--seconds")
            seconds = value.toDouble();
        else if (option == "--seed")
            seed = value.toInt();
        else if (option == "--laps")
            laps_per_writer = std::max(1, value.toInt());
        else if (option == "--ids")
            ids_file = value;
        else if (option == "--check")
            check_file = value;
        else if (option == "--label")
            label = value;
        else if (option == "--read")
            reads.push_back(value.toStdString());
        else if (option == "--pid")
            pids.push_back(value.toInt());
        else if (option == "--players")
            players = std::max(0, value.toInt());
        else if (option == "--readers")
            readers = std::max(0, value.toInt());
        else
            return Usage();
    }
    if (targets.empty())
        return Usage();

    if (!check_file.isEmpty())
    {
        if (!QFile::exists(check_file))
            return Usage();
        const std::vector<long long> ids = Read_Ids(check_file);
        const long missing = Missing(targets[0], ids);
        std::printf("checked %zu laps answered 201: %ld missing\n", ids.size(), missing);
        return missing == 0 ? 0 : 1;
    }

    if (!reads.empty())
    {
        const std::vector<long long> ids = Read_Ids(ids_file);
        double floor = 0.0;
        long errors = 0;
        for (const std::string& path : reads)
        {
            const Read_Run run = Read_Only(targets, clients, seconds, path, players, ids, pids);
            if (floor == 0.0)
                floor = run.rate;
            std::printf("| %s | %s | %zu | %d | %.0f | %.2f | %.1f / %.1f | %ld | %s |\n", qPrintable(label),
                        path.c_str(), targets.size(), clients, run.rate, floor > 0 ? run.rate / floor : 0.0,
                        run.p50, run.p99, run.errors,
                        pids.empty() ? "-" : QByteArray::number(run.cpu_ms_per_read, 'f', 3).constData());
            std::fflush(stdout);
            errors += run.errors;
        }
        return errors == 0 ? 0 : 1;
    }

    // Real laps, made before the clock starts: each writer a player of its own with laps no one else sends.
    const int writers = readers < 0 ? clients / 2 : std::max(1, clients - readers);
    std::vector<std::vector<std::string>> bodies(static_cast<size_t>(writers));
    const float lookaheads[] = {70.0f, 90.0f, 120.0f};
    for (int w = 0; w < writers; ++w)
    {
        std::vector<std::pair<float, std::string>> laps;
        for (int k = 0; k < laps_per_writer; ++k)
        {
            const QSize view(600 + 3 * (w * laps_per_writer + k), 400 + seed);
            const Headless_Lap lap = Drive_Headless_Lap(1 + (w + k) % 2, view, lookaheads[k % 3]);
            if (!lap.finished || lap.ghost.isEmpty())
                continue;
            const QJsonObject object{
                {"name", QStringLiteral("load-%1-%2").arg(seed).arg(w)},
                {"key", QStringLiteral("load-key-%1-%2-0123456789").arg(seed).arg(w)},
                {"lap",
                 QJsonDocument::fromJson(Record_File::Write(1 + (w + k) % 2, lap.time, lap.ghost, lap.inputs))
                     .object()}};
            laps.emplace_back(lap.time, QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString());
        }
        // Slowest first: each is faster than the last, so each is stored on the first round.
        std::sort(laps.begin(), laps.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (auto& lap : laps)
            bodies[static_cast<size_t>(w)].push_back(std::move(lap.second));
    }

    std::atomic<bool> stop{false};
    std::mutex mutex;
    Tally total;
    std::vector<std::thread> threads;
    const double cpu_before = Cpu_Seconds(pids);
    const double pictures_before = Cpu_Seconds(pids, Picture_Thread);
    const Clock::time_point start = Clock::now();
    std::printf("started %d clients\n", clients);
    std::fflush(stdout);
    for (int c = 0; c < clients; ++c)
        threads.emplace_back(
            [&, c]
            {
                const Target& target = targets[static_cast<size_t>(c) % targets.size()];
                Connection connection(target.host, target.port, c);
                Tally tally;
                const bool writer = c < writers;
                std::string answer;
                for (size_t n = 0; !stop.load(); ++n)
                {
                    const Clock::time_point begin = Clock::now();
                    int status;
                    if (writer)
                    {
                        const std::vector<std::string>& mine = bodies[static_cast<size_t>(c)];
                        if (mine.empty())
                            break;
                        status = connection.Exchange("POST", "/api/v1/laps", mine[n % mine.size()], answer);
                    }
                    else
                    {
                        status = connection.Exchange(
                            "GET", "/api/v1/courses/" + std::to_string(1 + n % 3) + "/laps?limit=20",
                            std::string(), answer);
                    }
                    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
                    (writer ? tally.submit_ms : tally.read_ms).push_back(ms);
                    ++tally.statuses[status];
                    tally.submitted += writer && (status == 200 || status == 201);
                    if (writer && status == 201)
                    {
                        const size_t at = answer.find("\"id\":");
                        if (at != std::string::npos)
                            tally.stored.push_back(std::atoll(answer.c_str() + at + 5));
                    }
                    if (status < 0)
                        std::this_thread::sleep_for(
                            std::chrono::milliseconds(50)); // a board down: no busy loop
                }
                std::lock_guard<std::mutex> lock(mutex);
                total.submit_ms.insert(total.submit_ms.end(), tally.submit_ms.begin(), tally.submit_ms.end());
                total.read_ms.insert(total.read_ms.end(), tally.read_ms.begin(), tally.read_ms.end());
                for (const auto& [status, count] : tally.statuses)
                    total.statuses[status] += count;
                total.stored.insert(total.stored.end(), tally.stored.begin(), tally.stored.end());
                total.submitted += tally.submitted;
            });
    const double elapsed = Run_For(seconds, stop, threads, start);
    const double cpu = Cpu_Seconds(pids) - cpu_before;
    const double pictures = Cpu_Seconds(pids, Picture_Thread) - pictures_before;

    std::sort(total.stored.begin(), total.stored.end());
    total.stored.erase(std::unique(total.stored.begin(), total.stored.end()), total.stored.end());
    if (!ids_file.isEmpty())
    {
        QFile file(ids_file);
        if (file.open(QIODevice::Append))
            for (const long long id : total.stored)
                file.write(QByteArray::number(id) + '\n');
    }
    long errors = 0;
    for (const auto& [status, count] : total.statuses)
        if (status != 200 && status != 201)
            errors += count;
    const long missing = Missing(targets[0], total.stored);
    std::string statuses;
    for (const auto& [status, count] : total.statuses)
        statuses +=
            " " + (status < 0 ? std::string("none") : std::to_string(status)) + "=" + std::to_string(count);
    std::printf("| %s | %zu | %d | %.0f | %.0f | %s | %.0f | %.1f / %.1f | %.1f / %.1f | %ld | %zu | %ld |\n",
                qPrintable(label), targets.size(), clients, elapsed,
                static_cast<double>(total.submitted) / elapsed,
                pids.empty() || cpu <= 0 || cpu <= pictures
                    ? "-"
                    : (QByteArray::number(static_cast<double>(total.submitted) / cpu, 'f', 0) + " / " +
                       QByteArray::number(static_cast<double>(total.submitted) / (cpu - pictures), 'f', 0))
                          .constData(),
                static_cast<double>(total.read_ms.size()) / elapsed, Percentile(total.submit_ms, 0.5),
                Percentile(total.submit_ms, 0.99), Percentile(total.read_ms, 0.5),
                Percentile(total.read_ms, 0.99), errors, total.stored.size(), missing);
    std::printf("answers:%s\n", statuses.c_str());
    std::fflush(stdout);
    return missing == 0 ? 0 : 1;
}
