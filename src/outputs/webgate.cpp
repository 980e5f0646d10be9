#include "webgate.h"

#include <chrono>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dialkite {

namespace {

using Clock = std::chrono::steady_clock;

// What a request still needs before a worker may have it.
enum class Whole { Not, Yes, Refused };
struct Refusal {
    int status = 0;
    const char *reason = "";
    const char *text = "";
};

std::string lowered(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return text;
}

// The address at either end of `sock`, as digits.
void addressOf(socket_t sock, bool peer, std::string &ip, int &port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int got = peer ? getpeername(sock, reinterpret_cast<sockaddr *>(&address), &length)
                         : getsockname(sock, reinterpret_cast<sockaddr *>(&address), &length);
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (got != 0 || getnameinfo(reinterpret_cast<sockaddr *>(&address), length, host, sizeof host,
                                service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        ip.clear();
        port = 0;
        return;
    }
    ip = host;
    port = std::atoi(service);
}

} // namespace

httplib::Headers securityHeaders()
{
    return {{"Content-Security-Policy",
             "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self';"
             " connect-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'"},
            {"X-Content-Type-Options", "nosniff"},
            {"Referrer-Policy", "no-referrer"},
            {"X-Frame-Options", "DENY"}};
}

struct GatedServer::Connection {
    socket_t sock = INVALID_SOCKET;
    std::string buffer; // what came and is not answered yet
    Clock::time_point deadline;
    int served = 0;
    Refusal refusal;

    // Whether `buffer` holds a whole request within `limits`.
    Whole whole(const GateLimits &limits)
    {
        size_t end = std::string::npos, gap = 0;
        for (size_t at = buffer.find('\n'); at != std::string::npos;
             at = buffer.find('\n', at + 1)) {
            if (at + 1 < buffer.size() && buffer[at + 1] == '\n') {
                end = at + 1, gap = 1;
                break;
            }
            if (at + 2 < buffer.size() && buffer[at + 1] == '\r' && buffer[at + 2] == '\n') {
                end = at + 1, gap = 2;
                break;
            }
        }
        if (end == std::string::npos || end > limits.largestHead) {
            if (std::min(end, buffer.size()) <= limits.largestHead)
                return Whole::Not;
            refusal = {431, "Request Header Fields Too Large", "the request's head is too long\n"};
            return Whole::Refused;
        }
        const std::string head = lowered(buffer.substr(0, end));
        if (head.find("\ntransfer-encoding:") != std::string::npos) {
            refusal = {411, "Length Required", "a body is sent with its Content-Length\n"};
            return Whole::Refused;
        }
        size_t length = 0;
        if (const size_t at = head.find("\ncontent-length:"); at != std::string::npos) {
            const char *digits = head.c_str() + at + 16;
            while (*digits == ' ' || *digits == '\t')
                ++digits;
            char *past = nullptr;
            errno = 0;
            const unsigned long long value = std::strtoull(digits, &past, 10);
            if (past == digits || errno != 0 || value > limits.largestBody) {
                refusal = {413, "Payload Too Large", "the request's body is too large\n"};
                return Whole::Refused;
            }
            length = size_t(value);
        }
        return buffer.size() >= end + gap + length ? Whole::Yes : Whole::Not;
    }
};

namespace {

// A connection's bytes for cpp-httplib: what the gate read first (a whole request), then
// nothing more; answers go straight to the socket.
class GateStream : public httplib::Stream {
public:
    GateStream(socket_t sock, const std::string &input, time_t writeSeconds)
        : m_sock(sock)
        , m_input(input)
        , m_writeSeconds(writeSeconds)
    {}
    size_t consumed() const { return m_at; }

    bool is_readable() const override { return m_at < m_input.size(); }
    // Whether an answer can still go out: not when the client has gone (a live page closed
    // is noticed here, between two pieces of the feed).
    bool is_writable() const override
    {
        pollfd check{m_sock, POLLIN, 0};
        if (poll(&check, 1, 0) > 0) {
            if (check.revents & (POLLHUP | POLLERR | POLLNVAL))
                return false;
            char byte;
            if ((check.revents & POLLIN) && recv(m_sock, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
                return false;
        }
        pollfd out{m_sock, POLLOUT, 0};
        return poll(&out, 1, int(m_writeSeconds * 1000)) > 0 && (out.revents & POLLOUT);
    }
    ssize_t read(char *ptr, size_t size) override
    {
        const size_t n = std::min(size, m_input.size() - m_at);
        std::memcpy(ptr, m_input.data() + m_at, n);
        m_at += n;
        return ssize_t(n);
    }
    ssize_t write(const char *ptr, size_t size) override
    {
        return send(m_sock, ptr, size, MSG_NOSIGNAL);
    }
    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        addressOf(m_sock, true, ip, port);
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        addressOf(m_sock, false, ip, port);
    }
    socket_t socket() const override { return m_sock; }

private:
    socket_t m_sock;
    const std::string &m_input;
    size_t m_at = 0;
    time_t m_writeSeconds;
};

// A request from bytes and its answer into bytes.
class MemoryStream : public httplib::Stream {
public:
    MemoryStream(const std::string &input, std::string peer)
        : m_input(input)
        , m_peer(std::move(peer))
    {}
    std::string output;

    bool is_readable() const override { return m_at < m_input.size(); }
    bool is_writable() const override { return output.size() < (64u << 20); }
    ssize_t read(char *ptr, size_t size) override
    {
        const size_t n = std::min(size, m_input.size() - m_at);
        std::memcpy(ptr, m_input.data() + m_at, n);
        m_at += n;
        return ssize_t(n);
    }
    ssize_t write(const char *ptr, size_t size) override
    {
        output.append(ptr, size);
        return ssize_t(size);
    }
    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        ip = m_peer;
        port = 40000;
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        ip = "127.0.0.1";
        port = 8080;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

private:
    const std::string &m_input;
    size_t m_at = 0;
    std::string m_peer;
};

// The accepting thread hands each connection to the gate itself, at once.
class HandOver : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
};

// A short answer the gate gives itself, then the connection is closed.
std::string refusalText(const Refusal &refusal)
{
    std::string out = "HTTP/1.1 " + std::to_string(refusal.status) + " " + refusal.reason + "\r\n";
    for (const auto &[name, value] : securityHeaders())
        out += name + ": " + value + "\r\n";
    out += "Content-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(std::strlen(refusal.text)) + "\r\nConnection: close\r\n\r\n" +
           refusal.text;
    return out;
}

void refuse(socket_t sock, const Refusal &refusal)
{
    const std::string out = refusalText(refusal);
    (void)send(sock, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

// What has come on `connection` since it was last read; false when the client has gone.
bool readMore(GatedServer::Connection &connection, std::vector<char> &piece, size_t most)
{
    for (;;) {
        const ssize_t n = recv(connection.sock, piece.data(), piece.size(), MSG_DONTWAIT);
        if (n > 0) {
            connection.buffer.append(piece.data(), size_t(n));
            if (connection.buffer.size() < most)
                continue;
        }
        return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
    }
}

} // namespace

GatedServer::GatedServer(GateLimits limits)
    : m_limits(limits)
{
    new_task_queue = [] { return new HandOver; };
}

GatedServer::~GatedServer()
{
    end();
}

int GatedServer::serve(const std::string &address, int port, std::string *error)
{
    set_payload_max_length(m_limits.largestBody);
    set_keep_alive_max_count(size_t(m_limits.requestsPerConnection));
    set_read_timeout(m_limits.requestSeconds, 0);
    set_write_timeout(m_limits.requestSeconds, 0);
    const int bound =
        port == 0 ? bind_to_any_port(address) : (bind_to_port(address, port) ? port : 0);
    if (bound <= 0) {
        *error = "cannot listen on " + address + ":" + std::to_string(port);
        return 0;
    }
    if (std::string why; !openGate(&why)) {
        *error = "cannot serve the page: " + why;
        return 0;
    }
    m_listener = std::thread([this] { listen_after_bind(); });
    return bound;
}

void GatedServer::end()
{
    stop();
    if (m_listener.joinable())
        m_listener.join();
    closeGate();
}

bool GatedServer::openGate(std::string *error)
{
    // httplib listens with a backlog of five: a burst of connections (a page's parallel
    // requests, strangers by the hundred) would see some refused and tried again a second
    // later. The gate takes them as fast as they come, so the kernel may hold more.
    if (svr_sock_ != INVALID_SOCKET)
        ::listen(svr_sock_, SOMAXCONN);
    if (pipe(m_wake) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    fcntl(m_wake[0], F_SETFL, O_NONBLOCK);
    fcntl(m_wake[1], F_SETFL, O_NONBLOCK);
    m_gate = std::thread([this] { gate(); });
    for (int i = 0; i < m_limits.workers; ++i)
        m_workers.emplace_back([this] { work(); });
    return true;
}

void GatedServer::closeGate()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closing && !m_gate.joinable())
            return;
        m_closing = true;
    }
    wake();
    m_readyChanged.notify_all();
    if (m_gate.joinable())
        m_gate.join();
    for (std::thread &worker : m_workers)
        worker.join();
    m_workers.clear();
    std::lock_guard lock(m_mutex);
    for (auto *queue : {&m_arrived, &m_ready})
        for (auto &connection : *queue)
            close(connection->sock);
    m_arrived.clear();
    m_ready.clear();
    for (int &end : m_wake)
        if (end >= 0)
            close(std::exchange(end, -1));
}

void GatedServer::wake()
{
    const char byte = 1;
    if (m_wake[1] >= 0)
        (void)::write(m_wake[1], &byte, 1);
}

bool GatedServer::process_and_close_socket(socket_t sock)
{
    auto connection = std::make_unique<Connection>();
    connection->sock = sock;
    connection->deadline = Clock::now() + std::chrono::seconds(m_limits.requestSeconds);
    ++m_open;
    admit(std::move(connection));
    return true;
}

void GatedServer::admit(std::unique_ptr<Connection> connection)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closing) {
            close(connection->sock);
            --m_open;
            return;
        }
        m_arrived.push_back(std::move(connection));
    }
    wake();
}

void GatedServer::release(std::unique_ptr<Connection> connection)
{
    shutdown(connection->sock, SHUT_RDWR);
    close(connection->sock);
    --m_open;
}

void GatedServer::gate()
{
    std::deque<std::unique_ptr<Connection>> waiting;
    std::vector<pollfd> polled;
    std::vector<char> piece(4096);
    const size_t mostBuffered = m_limits.largestHead + m_limits.largestBody + 4096;
    const auto hand = [&](std::unique_ptr<Connection> connection) {
        {
            std::lock_guard lock(m_mutex);
            m_ready.push_back(std::move(connection));
        }
        m_readyChanged.notify_one();
    };
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_closing)
                break;
            for (auto &connection : m_arrived) {
                // A kept-alive connection may bring its next request along already.
                const Whole whole =
                    connection->buffer.empty() ? Whole::Not : connection->whole(m_limits);
                if (whole == Whole::Yes) {
                    m_ready.push_back(std::move(connection));
                    m_readyChanged.notify_one();
                } else {
                    waiting.push_back(std::move(connection));
                }
            }
            m_arrived.clear();
        }
        // Too many open: the one that has waited longest goes.
        while (m_open.load() > m_limits.maxConnections && !waiting.empty()) {
            release(std::move(waiting.front()));
            waiting.pop_front();
        }
        polled.assign(1, pollfd{m_wake[0], POLLIN, 0});
        auto soonest = Clock::now() + std::chrono::seconds(1);
        for (const auto &connection : waiting) {
            polled.push_back(pollfd{connection->sock, POLLIN, 0});
            soonest = std::min(soonest, connection->deadline);
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(soonest - Clock::now()).count();
        poll(polled.data(), polled.size(), int(std::max<long long>(0, wait)));
        if (polled[0].revents & POLLIN)
            while (::read(m_wake[0], piece.data(), piece.size()) > 0) {
            }
        const auto now = Clock::now();
        std::deque<std::unique_ptr<Connection>> still;
        for (size_t i = 0; i < waiting.size(); ++i) {
            auto &connection = waiting[i];
            const bool ended = polled[i + 1].revents && !readMore(*connection, piece, mostBuffered);
            const Whole whole = connection->whole(m_limits);
            if (whole == Whole::Yes) {
                hand(std::move(connection));
            } else if (whole == Whole::Refused) {
                refuse(connection->sock, connection->refusal);
                release(std::move(connection));
            } else if (ended) {
                release(std::move(connection));
            } else if (now >= connection->deadline) {
                // Silence after an answer is a kept-alive connection ending; part of a
                // request is one that came too slowly.
                if (!connection->buffer.empty())
                    refuse(connection->sock,
                           {408, "Request Timeout", "the request came too slowly\n"});
                release(std::move(connection));
            } else {
                still.push_back(std::move(connection));
            }
        }
        waiting.swap(still);
    }
    for (auto &connection : waiting)
        release(std::move(connection));
}

void GatedServer::work()
{
    for (;;) {
        std::unique_ptr<Connection> connection;
        {
            std::unique_lock lock(m_mutex);
            m_readyChanged.wait(lock, [this] { return m_closing || !m_ready.empty(); });
            if (m_closing)
                return;
            connection = std::move(m_ready.front());
            m_ready.pop_front();
        }
        serve(std::move(connection));
    }
}

void GatedServer::serve(std::unique_ptr<Connection> connection)
{
    GateStream stream(connection->sock, connection->buffer, write_timeout_sec_);
    const bool last = ++connection->served >= m_limits.requestsPerConnection;
    bool closed = false;
    const bool answered = process_request(stream, last, closed, [](httplib::Request &) {});
    if (!answered || closed || last) {
        release(std::move(connection));
        return;
    }
    connection->buffer.erase(0, stream.consumed());
    connection->deadline = Clock::now() + std::chrono::seconds(m_limits.requestSeconds);
    admit(std::move(connection));
}

std::string GatedServer::answer(const std::string &request, const std::string &peer)
{
    Connection connection;
    connection.buffer = request;
    const Whole whole = connection.whole(m_limits);
    if (whole == Whole::Refused)
        return refusalText(connection.refusal);
    if (whole == Whole::Not) // what a connection that sent no more would be told
        return refusalText({408, "Request Timeout", "the request came too slowly\n"});
    MemoryStream stream(request, peer);
    bool closed = false;
    process_request(stream, true, closed, [](httplib::Request &) {});
    return stream.output;
}

} // namespace dialkite
