#pragma once

// The fleet on a page: a read-only web page and JSON API served from a call history, for
// the collector (collect --http) and a monitor on a PC without one (monitor --http):
//
//   /                 the page (every script and style served from here, Korean texts)
//   /api/boxes        the boxes: name, variant, identification, online, last event,
//                     calls today, events waiting in the publisher's spool (when known)
//   /api/calls?number=&box=&line=&since=&until=&limit=&offset=[&format=csv]
//                     a search, as `dialkite-cli history` makes it; CSV with its columns
//   /api/chart?box=&line=   calls per hour over the last 24 hours
//   /api/events       the live feed (Server-Sent Events): each event once it is stored
//
// Safe by default: it listens on 127.0.0.1 unless told otherwise, and on another address
// only with a token (a browser signs in once with a form and keeps a session cookie for 12
// hours; programs send the token in an Authorization header; five wrong tokens a minute
// from one address at most). It answers only to this PC's names (a page elsewhere that
// rebinds its name here gets nothing). Everything it shows came from boxes or a broker and
// is treated as text; every answer, errors included, carries a content security policy; a
// wrong parameter is answered 400 naming it; requests are small and must come whole within
// 5 s (slow clients never hold a worker), live connections are few, and a slow browser
// never holds up storing (the feed is a ring each client reads at its own pace).
//
// The server is cpp-httplib (Debian's libcpp-httplib-dev): a maintained library with a
// thread pool, limits and chunked responses for the live feed.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

namespace dialkite {

struct WebOptions {
    QString address = QStringLiteral("127.0.0.1");
    int port = 0;
    QString token;   // needed when `address` is not a loopback one
    QString history; // the call history the page reads
    int maxLiveClients = 16;
    QStringList hosts; // names it answers to besides this PC's ([HTTP] HOSTS)
};

// "[ADDR:]PORT" into the options; false (and `error`) when it is not one.
bool parseListenAddress(const QString &text, WebOptions *options, QString *error);

class WebServer {
public:
    explicit WebServer(WebOptions options);
    ~WebServer();

    // Binds and starts serving on a thread pool of its own; false (and `error`) when it
    // cannot (the address is taken, a token is missing).
    bool start(QString *error);
    // The port it listens on (the one given, or the one the system chose for 0).
    int port() const;
    // The answer to one request given as its bytes, from `peer` (for tests and fuzzing:
    // every check a connection's request meets, no socket involved).
    std::string answer(const std::string &request, const std::string &peer = "127.0.0.1");

    // A stored event for the live feed and the boxes' board (any thread, never blocks).
    void publish(const QJsonObject &event);
    // A box's retained status ("online" or "offline"; nothing when no longer known).
    void setStatus(const QString &box, std::optional<bool> online);
    // Events of the box waiting in its publisher's spool, as the publisher last said.
    void setWaiting(const QString &box, qint64 waiting);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace dialkite
