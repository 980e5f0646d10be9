#pragma once

// What the page checks of a request before it answers, apart from the sockets: which
// names it answers to (a page elsewhere that rebinds its own name to this PC is refused),
// who has signed in (a random session id in a cookie, never the token), how fast wrong
// tokens may come, and what a search's parameters mean. Thread-safe; every table is
// bounded whatever strangers send.

#include "history/rows.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dialkite {

// The names a request's Host may give: the loopback ones, the address the page is bound
// to, the address the request came in on (when bound to every address), and `extra`
// ([HTTP] HOSTS=).
class HostCheck {
public:
    HostCheck(const QString &boundAddress, const QStringList &extra);
    // Whether `host` (a Host header: a name or address, a port perhaps) is one of them;
    // `local` is the address the connection came in on.
    bool allowed(const std::string &host, const std::string &local) const;

private:
    std::vector<std::string> m_names;
    bool m_anyLocal = false;
};

using WebClock = std::chrono::steady_clock;

// Signed-in browsers: each holds a random id for 12 hours.
class Sessions {
public:
    static constexpr std::chrono::hours kLifetime{12};
    static constexpr size_t kMost = 1000; // the oldest session ends for a new one beyond this

    // A new session's id (64 hexadecimal digits from the system's random source).
    std::string open(WebClock::time_point now);
    bool valid(const std::string &id, WebClock::time_point now);

private:
    std::mutex m_mutex;
    std::map<std::string, WebClock::time_point> m_ends;
    std::deque<std::string> m_order;
};

// At most five wrong tokens a minute from one address; more are turned away unread.
class SignInLimit {
public:
    static constexpr int kWrongAMinute = 5;
    static constexpr size_t kAddresses = 10000; // addresses remembered at once

    // Whether `address` may try a token now.
    bool mayTry(const std::string &address, WebClock::time_point now);
    void wrong(const std::string &address, WebClock::time_point now);

private:
    std::mutex m_mutex;
    std::map<std::string, std::deque<WebClock::time_point>> m_wrong;
};

// The value of cookie `name` in a Cookie header; empty when there is none.
std::string cookieValue(const std::string &header, const std::string &name);

// A search's parameters as a request gives them (absent ones missing from the map).
struct CallQuery {
    HistoryFilter filter;
    bool csv = false;
};
inline constexpr int kLargestCallPage = 1000;
// The search `params` ask for, or a sentence naming the parameter that is wrong (with a
// little of its value).
std::optional<CallQuery> callQuery(const std::multimap<std::string, std::string> &params,
                                   QString *error);
// The line of the chart's `line=`: empty for every line; nothing and `error` when wrong.
std::optional<QString> lineParameter(const std::multimap<std::string, std::string> &params,
                                     QString *error);

} // namespace dialkite
