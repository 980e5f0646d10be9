#pragma once

// The page's server with a gate in front: one thread reads what every connection sends
// until its request is whole (head and body), within a few seconds and a few kilobytes,
// and only then hands it to a worker. A client that sends slowly, or not at all, holds
// the gate's attention for a moment and no worker at all, so a hundred of them cannot
// keep an ordinary request waiting; open connections are capped (the one waiting longest
// goes first). Between requests of a kept-alive connection the gate waits again.
//
// Everything else (parsing, routing, answers) is cpp-httplib's; the gate replaces only how
// an accepted connection is read.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace dialkite {

// The headers every answer carries, errors and the gate's own included: nothing but this
// program's own files run, and nothing of the page is framed elsewhere.
httplib::Headers securityHeaders();

struct GateLimits {
    int requestSeconds = 5; // a request's head and body must have come by then
    size_t largestHead = 8192;
    size_t largestBody = 16 * 1024;
    size_t maxConnections = 256; // open at once, waiting or served
    int workers = 4;
    int requestsPerConnection = 100;
};

class GatedServer : public httplib::Server {
public:
    explicit GatedServer(GateLimits limits);
    ~GatedServer() override;

    // Binds `address`:`port` (0: a port the system chooses), opens the gate and listens on a
    // thread of its own, with requests read within `requestSeconds` and answers written
    // within as long; the port it listens on, or 0 and `error`.
    int serve(const std::string &address, int port, std::string *error);
    // Stops listening and closes the gate: every connection still open is closed.
    void end();

    // Starts the gate and the workers (before listen_after_bind()).
    bool openGate(std::string *error);
    // Ends them after stop(): every connection still open is closed.
    void closeGate();

    // The answer to one request given as its bytes, as a connection from `peer` would have
    // it (the tests' and the fuzzers' way in; no socket involved).
    std::string answer(const std::string &request, const std::string &peer = "127.0.0.1");

    // Connections open now (waiting at the gate, queued or served).
    size_t openConnections() const { return m_open.load(); }

    struct Connection;

private:
    bool process_and_close_socket(socket_t sock) override;
    void gate();
    void work();
    void serve(std::unique_ptr<Connection> connection);
    void admit(std::unique_ptr<Connection> connection);
    void release(std::unique_ptr<Connection> connection);
    void wake();

    GateLimits m_limits;
    std::mutex m_mutex;
    std::deque<std::unique_ptr<Connection>> m_arrived; // from the accepting thread or a worker
    std::deque<std::unique_ptr<Connection>> m_ready;   // whole requests for the workers
    std::condition_variable m_readyChanged;
    std::atomic<size_t> m_open = 0;
    bool m_closing = false;
    int m_wake[2] = {-1, -1};
    std::thread m_gate;
    std::thread m_listener; // serve()'s
    std::vector<std::thread> m_workers;
};

} // namespace dialkite
