#pragma once

// Who may see a page this program serves, and what every answer carries: the page answers
// only to this PC's names, a browser signs in once with the token (kept as a random session
// id in a cookie), a program sends the token in an Authorization header, and five wrong
// tokens a minute from one address are all it gets. The fleet's page and a test station's
// page are guarded the same way by one of these.

#include "webguard.h"

#include <QString>
#include <QStringList>
#include <string>

#include <httplib.h>

namespace dialkite {

// A JSON answer naming what went wrong.
void webFault(httplib::Response &response, int status, const QString &message);

class WebAccess {
public:
    // `address` is the one the page listens on; `token` empty when it needs none (it
    // listens on this PC only); `signInPage` holds "<!--message-->" where a reason goes.
    WebAccess(QString address, const QStringList &hosts, QString token, std::string signInPage);

    // Whether it may listen on its address: beyond this PC only with a token; `error` says
    // why not.
    bool mayListen(QString *error) const;

    // The security headers, the Host check before any route, httplib's own refusals in
    // words and POST /login: what every page of this program has.
    void install(httplib::Server &server);

    // Whether the request comes from a signed-in browser or a program with the token.
    bool allowed(const httplib::Request &request);
    // Answers an API request that is not allowed (401, or 429 after too many wrong
    // tokens); true when it did.
    bool refused(const httplib::Request &request, httplib::Response &response);
    // A change asked by a browser's script: a JSON body (which a form elsewhere cannot
    // send) from this page's own origin when the browser names one. Answers 415 or 403 and
    // is true when it is not.
    static bool foreign(const httplib::Request &request, httplib::Response &response);

    static constexpr char kCookie[] = "dialkite_session";
    // The sign-in form it answers with.
    const std::string &signInPage() const { return m_signInPage; }

private:
    httplib::Server::HandlerResponse checkHost(const httplib::Request &request,
                                               httplib::Response &response) const;
    void signIn(const httplib::Request &request, httplib::Response &response);

    QString m_address;
    QString m_token;
    std::string m_signInPage;
    HostCheck m_hosts;
    Sessions m_sessions;
    SignInLimit m_signIns;
};

} // namespace dialkite
