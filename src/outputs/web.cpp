#include "web.h"

#include "csv.h"
#include "json.h"
#include "webaccess.h"
#include "webgate.h"
#include "webpage.h"

#include "console/variant.h"
#include "contacts/contactfile.h"
#include "history/columns.h"
#include "history/contacts.h"
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

#include <httplib.h>

namespace dialkite {

namespace {

constexpr size_t kFeedSize = 1000; // events a slow page may lag behind
// A phonebook's file as the page sends it (base64 in JSON): some 15,000 contacts.
constexpr size_t kLargestRequest = 1024 * 1024;
constexpr int kMostContactsShown = 500;
constexpr int kThreads = 4;             // besides the live pages'
constexpr size_t kMostBoxes = 1000;     // boxes on the board at once
constexpr size_t kCsvPiece = 64 * 1024; // a CSV download is written in pieces this big

void fault(httplib::Response &response, int status, const QString &message)
{
    webFault(response, status, message);
}

std::string utf8(const QString &text)
{
    return text.toStdString();
}

struct BoxState {
    QString variant, name, version;
    std::optional<bool> online;
    QString lastEvent, lastTime;
    int callsToday = 0;
    QDate today;
    std::optional<qint64> waiting;
    quint64 heard = 0; // when it was last heard of, in the board's own count
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
        , m_server(GateLimits{.largestBody = kLargestRequest,
                              .workers = m_options.maxLiveClients + kThreads})
        , m_access(m_options.address, m_options.hosts, m_options.token,
                   webpage::signInPage("다이얼카이트 로그인", "다이얼카이트 현황", "/app.css"))
    {
        loadBoard();
        routes();
    }
    ~Impl()
    {
        {
            std::lock_guard lock(m_feedMutex);
            m_closing = true;
        }
        m_feedChanged.notify_all();
        m_server.end();
    }

    bool start(QString *error)
    {
        if (!m_access.mayListen(error))
            return false;
        std::string why;
        m_port = m_server.serve(utf8(m_options.address), m_options.port, &why);
        *error = QString::fromStdString(why);
        return m_port > 0;
    }
    int port() const { return m_port; }
    std::string answer(const std::string &request, const std::string &peer)
    {
        return m_server.answer(request, peer);
    }

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

    void setStatus(const QString &box, std::optional<bool> online)
    {
        {
            std::lock_guard lock(m_boardMutex);
            boxOf(box).online = online;
        }
        publish({{QStringLiteral("event"), QStringLiteral("status")},
                 {QStringLiteral("box"), box},
                 {QStringLiteral("state"), !online   ? QStringLiteral("unknown")
                                           : *online ? QStringLiteral("online")
                                                     : QStringLiteral("offline")},
                 {QStringLiteral("pc_time"), QDateTime::currentDateTime().toString(Qt::ISODate)}});
    }

    void setWaiting(const QString &box, qint64 waiting)
    {
        std::lock_guard lock(m_boardMutex);
        boxOf(box).waiting = waiting;
    }

private:
    // A box of the board (with the board's mutex held): at most kMostBoxes, the one heard
    // of longest ago forgotten for a new one, so invented boxes cannot grow it without end.
    BoxState &boxOf(const QString &name)
    {
        if (m_board.size() >= kMostBoxes && !m_board.count(name)) {
            const auto oldest =
                std::min_element(m_board.begin(), m_board.end(), [](const auto &a, const auto &b) {
                    return a.second.heard < b.second.heard;
                });
            m_board.erase(oldest);
        }
        BoxState &box = m_board[name];
        box.heard = ++m_heard;
        return box;
    }

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
            BoxState &box = boxOf(summary.box);
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
        BoxState &box = boxOf(name);
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

    bool allowed(const httplib::Request &request) { return m_access.allowed(request); }
    bool refused(const httplib::Request &request, httplib::Response &response)
    {
        return m_access.refused(request, response);
    }

    void json(httplib::Response &response, const QJsonValue &value)
    {
        response.set_header("Cache-Control", "no-store");
        response.set_content(json::value(value).toStdString(), "application/json; charset=utf-8");
    }

    void routes()
    {
        m_access.install(m_server);
        m_server.Get("/", [this](const httplib::Request &request, httplib::Response &response) {
            response.set_content(allowed(request) ? std::string(webpage::kIndex)
                                                  : m_access.signInPage(),
                                 "text/html; charset=utf-8");
        });
        const auto file = [this](const char *path, const char *content, const char *type) {
            m_server.Get(path,
                         [content, type](const httplib::Request &, httplib::Response &response) {
                             response.set_content(content, type);
                         });
        };
        // The script knows each variant's box name from the program's own table.
        QJsonObject variants;
        for (const VariantInfo &info : variantTable().all())
            variants.insert(info.code.text(), info.deviceName);
        m_script = webpage::kScript;
        const std::string marker = "/*VARIANTS*/{}";
        m_script.replace(m_script.find(marker), marker.size(), json::value(variants).toStdString());
        m_server.Get("/app.js", [this](const httplib::Request &, httplib::Response &response) {
            response.set_content(m_script, "text/javascript; charset=utf-8");
        });
        file("/app.css", webpage::kStyle, "text/css; charset=utf-8");
        file("/favicon.svg", webpage::kIcon, "image/svg+xml");
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
                             chart(request, response);
                     });
        m_server.Get("/api/contacts",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         if (!refused(request, response))
                             contactList(request, response);
                     });
        // A change: JSON from the page's own origin only.
        m_server.Post("/api/contacts/import",
                      [this](const httplib::Request &request, httplib::Response &response) {
                          if (!refused(request, response) && !WebAccess::foreign(request, response))
                              contactImport(request, response);
                      });
        m_server.Get("/api/events",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         if (!refused(request, response))
                             live(response);
                     });
    }

    // ---- the phonebook of the history ----

    void contactList(const httplib::Request &request, httplib::Response &response)
    {
        const QString search = QString::fromStdString(request.get_param_value("search")).left(64);
        ContactBook book(m_options.history);
        QString problem;
        const auto found = book.open(&problem) ? book.list(search, &problem) : std::nullopt;
        if (!found) {
            webFault(response, 503,
                     QStringLiteral("the phonebook cannot be read: %1").arg(problem));
            return;
        }
        QJsonArray out;
        for (const Contact &contact : found->mid(0, kMostContactsShown))
            out.append(QJsonObject{
                {QStringLiteral("id"), contact.id},
                {QStringLiteral("name"), contact.name},
                {QStringLiteral("note"), contact.note},
                {QStringLiteral("numbers"), QJsonArray::fromStringList(contact.numbers)}});
        json(response, out);
    }

    // {"file": BASE64}: a CSV or vCard file, as dialkite-cli contacts import reads it.
    void contactImport(const httplib::Request &request, httplib::Response &response)
    {
        const QJsonValue file = QJsonDocument::fromJson(QByteArray::fromStdString(request.body))
                                    .object()
                                    .value(u"file");
        const auto bytes = QByteArray::fromBase64Encoding(file.toString().toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
        if (!file.isString() || !bytes) {
            webFault(response, 400, QStringLiteral("file: the file's bytes in base64"));
            return;
        }
        const contacts::FileContent content = contacts::readContactFile(*bytes);
        if (!content.error.isEmpty()) {
            webFault(response, 400, content.error);
            return;
        }
        ContactBook book(m_options.history);
        QString problem;
        const auto result =
            book.open(&problem) ? book.import(content.entries, &problem) : std::nullopt;
        if (!result) {
            webFault(response, 503,
                     QStringLiteral("the phonebook cannot be written: %1").arg(problem));
            return;
        }
        json(response, QJsonObject{{QStringLiteral("encoding"), content.encoding},
                                   {QStringLiteral("added"), result->added},
                                   {QStringLiteral("merged"), result->merged},
                                   {QStringLiteral("unchanged"), result->unchanged},
                                   {QStringLiteral("refused"),
                                    QJsonArray::fromStringList(result->refusals)}});
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
    static void failedAnswer(httplib::Response &response, const char *what)
    {
        fault(response, 503, QString::fromLatin1(what));
    }

    void calls(const httplib::Request &request, httplib::Response &response)
    {
        QString wrong;
        const auto query = callQuery(request.params, &wrong);
        if (!query) {
            fault(response, 400, wrong);
            return;
        }
        const bool csvWanted = query->csv;
        const HistoryFilter &filter = query->filter;
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
                        piece +=
                            csv::line(cellsOf(historyTable(), row, Reader::Person)).toStdString();
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
        if (rows.isEmpty() && filter.offset > 0) {
            fault(
                response, 400,
                QStringLiteral("offset=%1: beyond the calls this search finds").arg(filter.offset));
            return;
        }
        json(response, rows);
    }

    // Calls in each of the last 24 hours, oldest first.
    void chart(const httplib::Request &request, httplib::Response &response)
    {
        QString wrong;
        const auto line = lineParameter(request.params, &wrong);
        const QString box = QString::fromStdString(request.get_param_value("box")).trimmed();
        if (box.size() > 64)
            wrong = QStringLiteral("box=%1…: at most 64 characters").arg(box.left(40));
        if (!line || !wrong.isEmpty()) {
            fault(response, 400, wrong);
            return;
        }
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime first(now.date(), QTime(now.time().hour(), 0));
        const qint64 from = first.addSecs(-23 * 3600).toMSecsSinceEpoch();
        QString problem;
        const std::map<int, int> counts =
            reader().callsPerHour(from, box, *line, &problem).value_or(std::map<int, int>{});
        QJsonArray hours;
        for (int h = 0; h < 24; ++h)
            hours.append(QJsonObject{
                {QStringLiteral("hour"),
                 first.addSecs((h - 23) * 3600).toString(QStringLiteral("yyyy-MM-dd HH:00"))},
                {QStringLiteral("calls"), counts.count(h) ? counts.at(h) : 0}});
        json(response, hours);
    }

    // The live feed: each client reads the ring at its own pace; one too slow skips ahead.
    void live(httplib::Response &response)
    {
        if (m_liveClients.fetch_add(1) >= m_options.maxLiveClients) {
            m_liveClients.fetch_sub(1);
            fault(response, 503, QStringLiteral("too many live pages"));
            return;
        }
        quint64 next;
        {
            std::lock_guard lock(m_feedMutex);
            next = m_lastSeq + 1;
        }
        response.set_header("Cache-Control", "no-store");
        // The feed waits a second at a time, so that a page that closed (noticed by the
        // stream as a client gone) frees its slot at once; a comment every 15 s keeps
        // proxies from thinking the feed dead.
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, next, quiet = 0](size_t, httplib::DataSink &sink) mutable {
                std::string out;
                {
                    std::unique_lock lock(m_feedMutex);
                    m_feedChanged.wait_for(lock, std::chrono::seconds(1), [&] {
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
                if (out.empty() && ++quiet < 15)
                    return sink.is_writable();
                quiet = 0;
                if (out.empty())
                    out = ": still here\n\n";
                return sink.write(out.data(), out.size());
            },
            [this](bool) { m_liveClients.fetch_sub(1); });
    }

    WebOptions m_options;
    GatedServer m_server;
    WebAccess m_access;
    std::string m_script; // the page's script, the variants' names in it
    int m_port = 0;
    std::mutex m_boardMutex;
    std::map<QString, BoxState> m_board;
    quint64 m_heard = 0;
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

std::string WebServer::answer(const std::string &request, const std::string &peer)
{
    return m_impl->answer(request, peer);
}

void WebServer::publish(const QJsonObject &event)
{
    m_impl->publish(event);
}

void WebServer::setStatus(const QString &box, std::optional<bool> online)
{
    m_impl->setStatus(box, online);
}

void WebServer::setWaiting(const QString &box, qint64 waiting)
{
    m_impl->setWaiting(box, waiting);
}

} // namespace dialkite
