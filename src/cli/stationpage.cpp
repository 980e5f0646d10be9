#include "stationpage.h"

#include "promptdesk.h"
#include "stationboard.h"
#include "stationhtml.h"

#include "outputs/json.h"
#include "outputs/webaccess.h"
#include "outputs/webgate.h"
#include "outputs/webpage.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>

namespace dialkite::cli {

namespace {

constexpr size_t kLargestRequest = 4096;
constexpr int kLiveClients = 16;
constexpr int kThreads = 4; // besides the live pages'
constexpr qsizetype kLongestAnswer = 200;

void sendJson(httplib::Response &response, const QJsonObject &object)
{
    response.set_header("Cache-Control", "no-store");
    response.set_content(json::value(object).toStdString(), "application/json; charset=utf-8");
}

} // namespace

class StationPage::Impl {
public:
    Impl(WebOptions options, StationBoard &board, PromptDesk &desk)
        : m_options(std::move(options))
        , m_board(board)
        , m_desk(desk)
        , m_server(GateLimits{.largestBody = kLargestRequest, .workers = kLiveClients + kThreads})
        , m_access(m_options.address, m_options.hosts, m_options.token,
                   webpage::signInPage("다이얼카이트 시험 스테이션 로그인",
                                       "다이얼카이트 시험 스테이션", "/station.css"))
    {
        routes();
    }
    ~Impl()
    {
        m_board.close();
        m_server.end();
    }

    bool start(QString *error)
    {
        if (!m_access.mayListen(error))
            return false;
        std::string why;
        m_port = m_server.serve(m_options.address.toStdString(), m_options.port, &why);
        *error = QString::fromStdString(why);
        return m_port > 0;
    }
    int port() const { return m_port; }
    std::string answer(const std::string &request, const std::string &peer)
    {
        return m_server.answer(request, peer);
    }

private:
    void routes()
    {
        m_access.install(m_server);
        const auto file = [this](const char *path, const char *content, const char *type) {
            m_server.Get(path,
                         [content, type](const httplib::Request &, httplib::Response &response) {
                             response.set_content(content, type);
                         });
        };
        file("/station.js", stationhtml::kScript, "text/javascript; charset=utf-8");
        file("/station.css", stationhtml::kStyle, "text/css; charset=utf-8");
        file("/favicon.svg", webpage::kIcon, "image/svg+xml");
        m_server.Get("/", [this](const httplib::Request &request, httplib::Response &response) {
            response.set_content(m_access.allowed(request) ? std::string(stationhtml::kIndex)
                                                           : m_access.signInPage(),
                                 "text/html; charset=utf-8");
        });
        m_server.Get("/api/station",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         if (!m_access.refused(request, response))
                             sendJson(response, m_board.snapshot());
                     });
        m_server.Get("/api/events",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         if (!m_access.refused(request, response))
                             live(response);
                     });
        m_server.Post(
            "/api/answer", [this](const httplib::Request &request, httplib::Response &response) {
                if (!m_access.refused(request, response) && !WebAccess::foreign(request, response))
                    answerQuestion(request, response);
            });
        m_server.Get(R"(/report/(\d{1,9}))",
                     [this](const httplib::Request &request, httplib::Response &response) {
                         report(request, response);
                     });
    }

    // An operator's answer: the question must still wait, and the answer be one it takes.
    void answerQuestion(const httplib::Request &request, httplib::Response &response)
    {
        const QJsonObject body =
            QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
        const QJsonValue id = body.value(u"id");
        const QJsonValue text = body.value(u"answer");
        if (!id.isDouble() || id.toDouble() < 1 || id.toDouble() != double(id.toInteger())) {
            webFault(response, 400, QStringLiteral("id: the number of a waiting question"));
            return;
        }
        if (!text.isString() || text.toString().size() > kLongestAnswer) {
            webFault(response, 400, QStringLiteral("answer: a text of at most 200 characters"));
            return;
        }
        const quint64 question = quint64(id.toInteger());
        const std::optional<QStringList> choices = m_board.choicesOf(question);
        if (!choices) {
            webFault(response, 409, QStringLiteral("question %1 waits no more").arg(question));
            return;
        }
        if (!choices->isEmpty() && !choices->contains(text.toString())) {
            webFault(response, 400,
                     QStringLiteral("answer=%1: one of %2")
                         .arg(text.toString().left(40), choices->join(QStringLiteral(", "))));
            return;
        }
        if (!m_desk.answer(question, text.toString().toUtf8())) {
            webFault(response, 409, QStringLiteral("question %1 waits no more").arg(question));
            return;
        }
        sendJson(response, QJsonObject{{QStringLiteral("answered"), qint64(question)}});
    }

    // A run's report: its own page, whose style is in it (and nothing else may run).
    void report(const httplib::Request &request, httplib::Response &response)
    {
        if (!m_access.allowed(request)) {
            response.status = 401;
            response.set_content(m_access.signInPage(), "text/html; charset=utf-8");
            return;
        }
        const std::optional<QByteArray> page = m_board.report(std::stoi(request.matches[1]));
        if (!page) {
            webFault(response, 404, QStringLiteral("no such run (or it is long forgotten)"));
            return;
        }
        response.headers.erase("Content-Security-Policy");
        response.set_header("Content-Security-Policy",
                            "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors "
                            "'none'; base-uri 'none'; form-action 'none'");
        response.set_content(page->toStdString(), "text/html; charset=utf-8");
    }

    // The board each time it changes; a comment every 15 s of quiet keeps proxies from
    // thinking the feed dead. It waits a second at a time, so a page that closed frees its
    // slot at once.
    void live(httplib::Response &response)
    {
        if (m_liveClients.fetch_add(1) >= kLiveClients) {
            m_liveClients.fetch_sub(1);
            webFault(response, 503, QStringLiteral("too many live pages"));
            return;
        }
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, seen = quint64(-1), quiet = 0](size_t, httplib::DataSink &sink) mutable {
                const quint64 now = m_board.waitForChange(seen, std::chrono::seconds(1));
                if (m_board.closed())
                    return false;
                std::string out;
                if (now != seen) {
                    seen = now;
                    out = "data: " + json::value(m_board.snapshot()).toStdString() + "\n\n";
                } else if (++quiet >= 15) {
                    out = ": still here\n\n";
                }
                if (out.empty())
                    return sink.is_writable();
                quiet = 0;
                return sink.write(out.data(), out.size());
            },
            [this](bool) { m_liveClients.fetch_sub(1); });
    }

    WebOptions m_options;
    StationBoard &m_board;
    PromptDesk &m_desk;
    GatedServer m_server;
    WebAccess m_access;
    int m_port = 0;
    std::atomic<int> m_liveClients = 0;
};

StationPage::StationPage(WebOptions options, StationBoard &board, PromptDesk &desk)
    : m_impl(std::make_unique<Impl>(std::move(options), board, desk))
{}

StationPage::~StationPage() = default;

bool StationPage::start(QString *error)
{
    return m_impl->start(error);
}

int StationPage::port() const
{
    return m_impl->port();
}

std::string StationPage::answer(const std::string &request, const std::string &peer)
{
    return m_impl->answer(request, peer);
}

} // namespace dialkite::cli
