#include "webaccess.h"

#include "fleetkey.h"
#include "json.h"
#include "webgate.h"
#include "webpage.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonObject>

namespace dialkite {

namespace {

// What httplib's own refusals mean, for their answers' text.
QString refusalText(int status)
{
    switch (status) {
    case 400:
        return QStringLiteral("the request cannot be read");
    case 404:
        return QStringLiteral("no such page");
    case 405:
        return QStringLiteral("not a method this page takes");
    case 413:
        return QStringLiteral("the request's body is too large");
    case 414:
        return QStringLiteral("the address is too long");
    default:
        return QStringLiteral("refused (HTTP %1)").arg(status);
    }
}

} // namespace

void webFault(httplib::Response &response, int status, const QString &message)
{
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(json::value(QJsonObject{{QStringLiteral("error"), message}}).toStdString(),
                         "application/json; charset=utf-8");
}

WebAccess::WebAccess(QString address, const QStringList &hosts, QString token,
                     std::string signInPage)
    : m_address(std::move(address))
    , m_token(std::move(token))
    , m_signInPage(std::move(signInPage))
    , m_hosts(m_address, hosts)
{}

bool WebAccess::mayListen(QString *error) const
{
    if (QHostAddress(m_address).isLoopback() || !m_token.isEmpty())
        return true;
    *error = QCoreApplication::translate("dialkite",
                                         "the page listens on %1, beyond this PC: it needs a token"
                                         " ([HTTP] TOKEN or DIALKITE_HTTP_TOKEN)")
                 .arg(m_address);
    return false;
}

void WebAccess::install(httplib::Server &server)
{
    server.set_default_headers(securityHeaders());
    server.set_pre_routing_handler(
        [this](const httplib::Request &request, httplib::Response &response) {
            return checkHost(request, response);
        });
    // httplib's own refusals (no such path, a request too large) say what they are.
    server.set_error_handler([](const httplib::Request &, httplib::Response &response) {
        if (response.body.empty())
            webFault(response, response.status, refusalText(response.status));
    });
    server.Post("/login", [this](const httplib::Request &request, httplib::Response &response) {
        signIn(request, response);
    });
}

bool WebAccess::allowed(const httplib::Request &request)
{
    if (m_token.isEmpty())
        return true;
    const auto now = WebClock::now();
    if (m_sessions.valid(cookieValue(request.get_header_value("Cookie"), kCookie), now))
        return true;
    const std::string authorization = request.get_header_value("Authorization");
    if (authorization.rfind("Bearer ", 0) != 0)
        return false;
    if (sameSecret(authorization.substr(7), m_token.toStdString()))
        return true;
    m_signIns.wrong(request.remote_addr, now);
    return false;
}

bool WebAccess::refused(const httplib::Request &request, httplib::Response &response)
{
    if (!m_signIns.mayTry(request.remote_addr, WebClock::now())) {
        webFault(response, 429, QStringLiteral("too many wrong tokens: wait a minute"));
        return true;
    }
    if (allowed(request))
        return false;
    webFault(response, 401, QStringLiteral("sign in first"));
    return true;
}

bool WebAccess::foreign(const httplib::Request &request, httplib::Response &response)
{
    if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
        webFault(response, 415, QStringLiteral("a change is sent as application/json"));
        return true;
    }
    const std::string origin = request.get_header_value("Origin");
    const std::string host = request.get_header_value("Host");
    if (!origin.empty() && origin != "http://" + host && origin != "https://" + host) {
        webFault(response, 403, QStringLiteral("a change comes from this page only"));
        return true;
    }
    return false;
}

// Before any route: only this PC's names (a page elsewhere that has rebound its own name
// to this PC is not answered).
httplib::Server::HandlerResponse WebAccess::checkHost(const httplib::Request &request,
                                                      httplib::Response &response) const
{
    if (m_hosts.allowed(request.get_header_value("Host"), request.local_addr))
        return httplib::Server::HandlerResponse::Unhandled;
    webFault(response, 421,
             QCoreApplication::translate(
                 "dialkite", "this page answers to 127.0.0.1, localhost, [::1], %1 and the names"
                             " in [HTTP] HOSTS only")
                 .arg(m_address));
    return httplib::Server::HandlerResponse::Handled;
}

// The token comes from the sign-in form's body only (never a URL, where it would be kept
// in histories and logs); the browser keeps a random session id instead.
void WebAccess::signIn(const httplib::Request &request, httplib::Response &response)
{
    const auto now = WebClock::now();
    const auto page = [this, &response](int status, const char *message) {
        response.status = status;
        std::string text = m_signInPage;
        if (const size_t at = text.find("<!--message-->"); at != std::string::npos)
            text.replace(at, 14, message);
        response.set_content(text, "text/html; charset=utf-8");
    };
    if (!m_signIns.mayTry(request.remote_addr, now))
        return page(429, webpage::kTooManyTries);
    httplib::Params form;
    if (request.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) == 0)
        httplib::detail::parse_query_text(request.body, form);
    const auto token = form.find("token");
    if (m_token.isEmpty() || token == form.end() ||
        !sameSecret(token->second, m_token.toStdString())) {
        m_signIns.wrong(request.remote_addr, now);
        return page(401, webpage::kWrongToken);
    }
    const auto lifetime = std::chrono::seconds(Sessions::kLifetime).count();
    response.set_header("Set-Cookie", std::string(kCookie) + "=" + m_sessions.open(now) +
                                          "; Path=/; Max-Age=" + std::to_string(lifetime) +
                                          "; HttpOnly; SameSite=Strict");
    response.set_redirect("/", 303);
}

} // namespace dialkite
