#include "web.h"

#include "csv.h"
#include "fleetkey.h"
#include "json.h"
#include "webpage.h"

#include "history/columns.h"
#include "history/reader.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include <httplib.h>

namespace dialkite {

namespace {

constexpr size_t kFeedSize = 1000; // events a slow page may lag behind
constexpr size_t kLargestRequest = 16 * 1024;
constexpr int kThreads = 4; // besides the live pages'
constexpr int kLargestPage = 1000;
constexpr size_t kCsvPiece = 64 * 1024; // a CSV download is written in pieces this big
const char kCookie[] = "dialkite_token";

// The security every answer carries: nothing but this program's own files run, and
// nothing of the page is framed elsewhere.
void secure(httplib::Response &response)
{
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self';"
                        " connect-src 'self'; form-action 'self'; frame-ancestors 'none';"
                        " base-uri 'none'");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("X-Frame-Options", "DENY");
}

std::string utf8(const QString &text)
{
    return text.toStdString();
}

QString param(const httplib::Request &request, const char *name)
{
    return request.has_param(name) ? QString::fromStdString(request.get_param_value(name)).trimmed()
                                   : QString();
}

struct BoxState {
    QString variant, name, version;
    std::optional<bool> online;
    QString lastEvent, lastTime;
    int callsToday = 0;
    QDate today;
    std::optional<qint64> waiting;
};

} // namespace

bool parseListenAddress(const QString &text, WebOptions *options, QString *error)
{
    const qsizetype colon = text.lastIndexOf(u':');
    const QString address = colon < 0 ? QStringLiteral("127.0.0.1") : text.left(colon);
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok);
    if (!ok || port < 0 || port > 65535 || QHostAddress(address).isNull()) {
        *error = QStringLiteral("--http takes [ADDRESS:]PORT, for example 8080 or 0.0.0.0:8080");
        return false;
    }
    options->address = address;
    options->port = port;
    return true;
}

class WebServer::Impl {
public:
    explicit Impl(WebOptions options)
        : m_options(std::move(options))
    {}
    ~Impl()
    {
        {
            std::lock_guard lock(m_feedMutex);
            m_closing = true;
        }
        m_feedChanged.notify_all();
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    bool start(QString *error)
    {
        const QHostAddress address(m_options.address);
        if (!address.isLoopback() && m_options.token.isEmpty()) {
            *error = QStringLiteral("the page listens on %1, beyond this PC: it needs a token"
                                    " ([HTTP] TOKEN or DIALKITE_HTTP_TOKEN)")
                         .arg(m_options.address);
            return false;
        }
        loadBoard();
        routes();
        // Each live page holds a thread while it is open: the pool has room for all of
        // them and for the other requests besides.
        m_server.new_task_queue = [this] {
            return new httplib::ThreadPool(size_t(m_options.maxLiveClients) + kThreads);
        };
        m_server.set_payload_max_length(kLargestRequest);
        m_server.set_keep_alive_max_count(100);
        m_server.set_read_timeout(5, 0);
        m_server.set_write_timeout(5, 0);
        const bool bound = m_options.port == 0
                               ? (m_port = m_server.bind_to_any_port(utf8(m_options.address))) > 0
                               : m_server.bind_to_port(utf8(m_options.address), m_options.port);
        if (!bound) {
            *error =
                QStringLiteral("cannot listen on %1:%2").arg(m_options.address).arg(m_options.port);
            return false;
        }
        if (m_options.port != 0)
            m_port = m_options.port;
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        return true;
    }
    int port() const { return m_port; }

    void publish(const QJsonObject &event)
    {
        updateBoard(event);
        {
            std::lock_guard lock(m_feedMutex);
            m_feed.push_back(
                {++m_lastSeq, QJsonDocument(event).toJson(QJsonDocument::Compact).toStdString()});
            while (m_feed.size() > kFeedSize)
                m_feed.pop_front();
        }
        m_feedChanged.notify_all();
    }

    void setStatus(const QString &box, bool online)
    {
        {
            std::lock_guard lock(m_boardMutex);
            m_board[box].online = online;
        }
        publish({{QStringLiteral("event"), QStringLiteral("status")},
                 {QStringLiteral("box"), box},
                 {QStringLiteral("state"),
                  online ? QStringLiteral("online") : QStringLiteral("offline")},
                 {QStringLiteral("pc_time"), QDateTime::currentDateTime().toString(Qt::ISODate)}});
    }

    void setWaiting(const QString &box, qint64 waiting)
    {
        std::lock_guard lock(m_boardMutex);
        m_board[box].waiting = waiting;
    }

private:
    // ---- the history, one reader (and connection) a thread of the pool ----

    HistoryReader &reader()
    {
        thread_local std::map<QString, std::unique_ptr<HistoryReader>> readers;
        auto &mine = readers[m_options.history];
        if (!mine)
            mine = std::make_unique<HistoryReader>(m_options.history);
        return *mine;
    }
    // What the history already says about each box.
    void loadBoard()
    {
        QString problem;
        const auto boxes =
            reader().boxes(QDate::currentDate().startOfDay().toMSecsSinceEpoch(), &problem);
        if (!boxes)
            return;
        m_historySeen = true;
        std::lock_guard lock(m_boardMutex);
        for (const BoxSummary &summary : *boxes) {
            BoxState &box = m_board[summary.box];
            box.lastEvent = summary.lastKind;
            box.lastTime = summary.lastTime;
            box.variant = summary.variant;
            box.name = summary.identification.section(u' ', 0, 0);
            box.version = summary.identification.section(u' ', 1);
            box.callsToday = summary.callsSince;
            box.today = QDate::currentDate();
        }
    }

    void updateBoard(const QJsonObject &event)
    {
        const QString name = event.value(u"box").toString();
        const QString kind = event.value(u"event").toString();
        if (kind == u"status")
            return;
        std::lock_guard lock(m_boardMutex);
        BoxState &box = m_board[name];
        const QDate today = QDate::currentDate();
        if (box.today != today) {
            box.today = today;
            box.callsToday = 0;
        }
        box.lastEvent = kind;
        box.lastTime = event.value(u"pc_time").toString().replace(u'T', u' ').left(19);
        if (event.contains(u"variant"))
            box.variant = event.value(u"variant").toString();
        if (kind == u"identification") {
            box.name = event.value(u"name").toString();
            box.version = event.value(u"version").toString();
        } else if (kind == u"call") {
            ++box.callsToday;
        }
    }

    // ---- the answers ----

    bool allowed(const httplib::Request &request) const
    {
        if (m_options.token.isEmpty())
            return true;
        const std::string token = m_options.token.toStdString();
        const std::string authorization = request.get_header_value("Authorization");
        if (authorization.rfind("Bearer ", 0) == 0 && sameSecret(authorization.substr(7), token))
            return true;
        const std::string cookies = request.get_header_value("Cookie");
        const std::string key = std::string(kCookie) + "=";
        for (size_t at = cookies.find(key); at != std::string::npos;
             at = cookies.find(key, at + 1)) {
            if (at > 0 && cookies[at - 1] != ' ' && cookies[at - 1] != ';')
                continue;
            const size_t end = cookies.find(';', at);
            if (sameSecret(cookies.substr(at + key.size(), end == std::string::npos
                                                               ? std::string::npos
                                                               : end - at - key.size()),
                           token))
                return true;
        }
        return false;
    }

    // The API's answers to a browser that has not signed in.
    bool refused(const httplib::Request &request, httplib::Response &response) const
    {
        secure(response);
        if (allowed(request))
            return false;
        response.status = 401;
        response.set_content("{\"error\": \"sign in first\"}", "application/json");
        return true;
    }

    void json(httplib::Response &response, const QJsonValue &value)
    {
        response.set_header("Cache-Control", "no-store");
        response.set_content(json::value(value).toStdString(), "application/json; charset=utf-8");
    }

    void routes()
    {
        m_server.Get("/", [this](const httplib::Request &request, httplib::Response &response) {
            secure(response);
            response.set_content(allowed(request) ? webpage::kIndex : webpage::kSignIn,
                                 "text/html; charset=utf-8");
        });
        m_server.Get("/app.js", [](const httplib::Request &, httplib::Response &response) {
            secure(response);
            response.set_content(webpage::kScript, "text/javascript; charset=utf-8");
        });
        m_server.Get("/app.css", [](const httplib::Request &, httplib::Response &response) {
            secure(response);
            response.set_content(webpage::kStyle, "text/css; charset=utf-8");
        });
        m_server.Get("/favicon.svg", [](const httplib::Request &, httplib::Response &response) {
            secure(response);
            response.set_header("Cache-Control", "max-age=86400");
            response.set_content(webpage::kIcon, "image/svg+xml");
        });
        m_server.Post("/login", [this](const httplib::Request &request,
                                       httplib::Response &response) {
            secure(response);
            const std::string token = request.get_param_value("token");
            if (m_options.token.isEmpty() || !sameSecret(token, m_options.token.toStdString())) {
                response.status = 401;
                std::string page = webpage::kSignIn;
                page.replace(page.find("<!--message-->"), 14, webpage::kWrongToken);
                response.set_content(page, "text/html; charset=utf-8");
                return;
            }
            response.set_header("Set-Cookie", std::string(kCookie) + "=" + token +
                                                  "; Path=/; HttpOnly; SameSite=Strict");
            response.set_redirect("/", 303);
        });
        m_server.Get("/api/boxes",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         if (!refused(request, response))
                             json(response, boxes());
                     });
        m_server.Get("/api/calls",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         if (!refused(request, response))
                             calls(request, response);
                     });
        m_server.Get("/api/chart",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         if (!refused(request, response))
                             json(response, chart(param(request, "box"), param(request, "line")));
                     });
        m_server.Get("/api/events",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         if (!refused(request, response))
                             live(response);
                     });
    }

    QJsonArray boxes()
    {
        QJsonArray out;
        std::lock_guard lock(m_boardMutex);
        for (const auto &[name, box] : m_board) {
            QJsonObject object{{QStringLiteral("box"), name},
                               {QStringLiteral("variant"), box.variant},
                               {QStringLiteral("name"), box.name},
                               {QStringLiteral("version"), box.version},
                               {QStringLiteral("last_event"), box.lastEvent},
                               {QStringLiteral("last_time"), box.lastTime},
                               {QStringLiteral("calls_today"),
                                box.today == QDate::currentDate() ? box.callsToday : 0}};
            object.insert(QStringLiteral("online"),
                          box.online ? QJsonValue(*box.online) : QJsonValue(QJsonValue::Null));
            object.insert(QStringLiteral("waiting"),
                          box.waiting ? QJsonValue(*box.waiting) : QJsonValue(QJsonValue::Null));
            out.append(object);
        }
        return out;
    }

    static constexpr char kCsvType[] = "text/csv; charset=utf-8";
    // The answer is the search's CSV, to be saved rather than shown.
    static void csvDownload(httplib::Response &response)
    {
        response.set_header("Content-Disposition", "attachment; filename=\"calls.csv\"");
    }
    void failedAnswer(httplib::Response &response, const char *what)
    {
        response.status = 503;
        json(response, QJsonObject{{QStringLiteral("error"), QString::fromLatin1(what)}});
    }

    static HistoryFilter callFilter(const httplib::Request &request, bool csvWanted)
    {
        HistoryFilter filter;
        filter.number = param(request, "number").left(64);
        filter.box = param(request, "box").left(64);
        bool ok = true;
        if (const QString line = param(request, "line"); !line.isEmpty()) {
            const int number = line.toInt(&ok);
            filter.line = ok && number >= 1 && number <= 16 ? QString::number(number) : QString();
        }
        for (const auto &[name, endOfDay] : {std::pair{"since", false}, std::pair{"until", true}}) {
            const QDate date = QDate::fromString(param(request, name), Qt::ISODate);
            if (date.isValid())
                (endOfDay ? filter.until : filter.since) =
                    endOfDay ? date.endOfDay() : date.startOfDay();
        }
        filter.limit = csvWanted ? 0 : qBound(1, param(request, "limit").toInt(), kLargestPage);
        if (!csvWanted && param(request, "limit").isEmpty())
            filter.limit = 100;
        filter.offset = qMax(0, param(request, "offset").toInt());
        return filter;
    }

    void calls(const httplib::Request &request, httplib::Response &response)
    {
        const bool csvWanted = param(request, "format") == u"csv";
        const HistoryFilter filter = callFilter(request, csvWanted);
        HistoryReader &history = reader();
        QString problem;
        switch (history.open(&problem)) {
        case HistoryReader::Status::Ready:
            m_historySeen = true;
            break;
        case HistoryReader::Status::Missing:
            // Gone since it was read (deleted under the program): said, never an empty list.
            if (m_historySeen) {
                failedAnswer(response, "the history is missing");
                return;
            }
            // Nothing stored yet: no calls.
            if (csvWanted) {
                csvDownload(response);
                response.set_content(historyCsvHeader().toStdString(), kCsvType);
            } else {
                json(response, QJsonArray());
            }
            return;
        case HistoryReader::Status::Failed:
            failedAnswer(response, "the history cannot be reached");
            return;
        }
        std::shared_ptr<CallCursor> found = history.calls(filter, &problem);
        if (!found) {
            history.reset();
            failedAnswer(response, "the history cannot be read");
            return;
        }
        if (csvWanted) {
            // The whole history may be asked for: it goes out as it is read, a piece at a
            // time, on this thread (the reader's connection is this thread's).
            csvDownload(response);
            response.set_chunked_content_provider(
                kCsvType, [found, header = true](size_t, httplib::DataSink &sink) mutable {
                    std::string piece = header ? historyCsvHeader().toStdString() : std::string();
                    header = false;
                    CallRow row;
                    while (piece.size() < kCsvPiece && found->next(&row))
                        piece += csv::line(cellsOf(historyTable(), row)).toStdString();
                    if (!piece.empty() && !sink.write(piece.data(), piece.size()))
                        return false;
                    if (piece.size() < kCsvPiece)
                        sink.done();
                    return true;
                });
            return;
        }
        const QList<HistoryColumn> &columns = historyTable();
        QJsonArray rows;
        CallRow row;
        while (found->next(&row)) {
            QJsonObject object{{QStringLiteral("event"), QStringLiteral("call")}};
            for (const HistoryColumn &column : columns)
                object.insert(QLatin1String(column.key), column.cell(row));
            // A conflict is marked where there is one.
            object.remove(QStringLiteral("conflict"));
            if (row.conflict)
                object.insert(QStringLiteral("conflict"), true);
            rows.append(object);
        }
        json(response, rows);
    }

    // Calls in each of the last 24 hours, oldest first.
    QJsonArray chart(const QString &box, const QString &line)
    {
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime first(now.date(), QTime(now.time().hour(), 0));
        const qint64 from = first.addSecs(-23 * 3600).toMSecsSinceEpoch();
        QString problem;
        const std::map<int, int> counts =
            reader()
                .callsPerHour(from, box.left(64), line.left(4), &problem)
                .value_or(std::map<int, int>{});
        QJsonArray hours;
        for (int h = 0; h < 24; ++h)
            hours.append(QJsonObject{
                {QStringLiteral("hour"),
                 first.addSecs((h - 23) * 3600).toString(QStringLiteral("yyyy-MM-dd HH:00"))},
                {QStringLiteral("calls"), counts.count(h) ? counts.at(h) : 0}});
        return hours;
    }

    // The live feed: each client reads the ring at its own pace; one too slow skips ahead.
    void live(httplib::Response &response)
    {
        if (m_liveClients.fetch_add(1) >= m_options.maxLiveClients) {
            m_liveClients.fetch_sub(1);
            response.status = 503;
            response.set_content("{\"error\": \"too many live pages\"}", "application/json");
            return;
        }
        quint64 next;
        {
            std::lock_guard lock(m_feedMutex);
            next = m_lastSeq + 1;
        }
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, next](size_t, httplib::DataSink &sink) mutable {
                std::string out;
                {
                    std::unique_lock lock(m_feedMutex);
                    m_feedChanged.wait_for(lock, std::chrono::seconds(15), [&] {
                        return m_closing || (!m_feed.empty() && m_feed.back().first >= next);
                    });
                    if (m_closing)
                        return false;
                    if (!m_feed.empty() && m_feed.front().first > next)
                        next = m_feed.front().first; // fell behind: what is kept goes on
                    for (const auto &[seq, line] : m_feed) {
                        if (seq < next)
                            continue;
                        out += "data: " + line + "\n\n";
                        next = seq + 1;
                    }
                }
                if (out.empty())
                    out = ": still here\n\n";
                return sink.write(out.data(), out.size());
            },
            [this](bool) { m_liveClients.fetch_sub(1); });
    }

    WebOptions m_options;
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_boardMutex;
    std::map<QString, BoxState> m_board;
    std::mutex m_feedMutex;
    std::condition_variable m_feedChanged;
    std::deque<std::pair<quint64, std::string>> m_feed;
    quint64 m_lastSeq = 0;
    bool m_closing = false;
    std::atomic<int> m_liveClients = 0;
    std::atomic<bool> m_historySeen = false;
};

WebServer::WebServer(WebOptions options)
    : m_impl(std::make_unique<Impl>(std::move(options)))
{}

WebServer::~WebServer() = default;

bool WebServer::start(QString *error)
{
    return m_impl->start(error);
}

int WebServer::port() const
{
    return m_impl->port();
}

void WebServer::publish(const QJsonObject &event)
{
    m_impl->publish(event);
}

void WebServer::setStatus(const QString &box, bool online)
{
    m_impl->setStatus(box, online);
}

void WebServer::setWaiting(const QString &box, qint64 waiting)
{
    m_impl->setWaiting(box, waiting);
}

} // namespace dialkite
