#include "page.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include "history.h"
#include "mqtt.h"

#include <QDateTime>

namespace dialkite {

namespace {

// Constant at compile time: the registry is made during static initialisation.
constexpr QLatin1StringView kPage("page");

} // namespace

PageOutput::PageOutput(std::shared_ptr<WebServer> server, const QString &box, QObject *parent)
    : Output(kPage, parent)
    , m_server(std::move(server))
    , m_box(box.isEmpty() ? QStringLiteral("box") : box)
{}

void PageOutput::consume(const Event &event)
{
    if (std::holds_alternative<events::SessionStarted>(event)) {
        m_server->setStatus(m_box, true);
    } else if (std::holds_alternative<events::PortLost>(event) ||
               std::holds_alternative<events::PortClosed>(event)) {
        m_server->setStatus(m_box, false);
    } else if (const auto *published = std::get_if<events::Published>(&event)) {
        m_server->publish(published->event);
    } else if (const auto *status = std::get_if<events::BoxStatus>(&event)) {
        m_server->setStatus(status->box,
                            status->known ? std::optional<bool>(status->online) : std::nullopt);
    } else if (const auto *waiting = std::get_if<events::SpoolWaiting>(&event)) {
        for (const auto &[box, count] : waiting->boxes)
            m_server->setWaiting(box, count);
    } else if (std::holds_alternative<events::CallerId>(event) ||
               std::holds_alternative<events::Identification>(event) ||
               std::holds_alternative<events::DetectionState>(event) ||
               std::holds_alternative<events::OutgoingCallEnded>(event)) {
        // The event as the broker has it, with the PC's time.
        QJsonObject object = publishedEvent(event, m_box);
        object.insert(QStringLiteral("pc_time"),
                      QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
        m_server->publish(object);
    }
}

namespace {

bool readPagePlan(const Config &config, FrontEnd frontEnd, OutputPlan *plan, QString *error)
{
    const QString section = QStringLiteral("HTTP");
    const auto *history = plan->get<HistoryPlan>(QStringLiteral("history"));
    // Without a history there is nothing to serve: the command's rules say so.
    if (frontEnd == FrontEnd::Desktop || !config.given(section, QStringLiteral("LISTEN")) ||
        !history)
        return true;
    WebOptions options;
    if (!parseListenAddress(config.value(section, QStringLiteral("LISTEN")), &options, error))
        return false;
    options.token = config.value(section, QStringLiteral("TOKEN"));
    options.hosts = config.value(section, QStringLiteral("HOSTS"))
                        .split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    options.history = history->path;
    plan->set(kPage, options);
    return true;
}

bool startPage(const OutputPlan &plan, SharedOutputs &shared, QString *said, QString *error)
{
    const auto *options = plan.get<WebOptions>(kPage);
    if (!options)
        return true;
    const auto server =
        shared.get<WebServer>(kPage, [options] { return std::make_shared<WebServer>(*options); });
    if (!server->start(error))
        return false;
    *said = QCoreApplication::translate("dialkite", "the page is on http://%1:%2/")
                .arg(options->address)
                .arg(server->port());
    return true;
}

std::unique_ptr<Output> buildPage(const OutputPlan &, SharedOutputs &shared, const QString &box)
{
    const auto server = shared.find<WebServer>(kPage);
    return server ? std::make_unique<PageOutput>(server, box) : nullptr;
}

} // namespace

OutputKind pageKind()
{
    OutputKind kind;
    kind.name = kPage;
    kind.section = QStringLiteral("HTTP");
    kind.keys = {QStringLiteral("TOKEN"), QStringLiteral("HOSTS")};
    kind.environment = {{kind.section, QStringLiteral("TOKEN"), "DIALKITE_HTTP_TOKEN"}};
    kind.options = {{{QStringLiteral("monitor"), QStringLiteral("collect")},
                     {QStringLiteral("--http"),
                      QStringLiteral("[ADDR:]PORT"),
                      QStringLiteral("serve a page and JSON API of the history (127.0.0.1 unless\n"
                                     "an address is given; beyond it only with a token, [HTTP]\n"
                                     "TOKEN or DIALKITE_HTTP_TOKEN)"),
                      false,
                      {},
                      false,
                      kind.section,
                      QStringLiteral("LISTEN")}}};
    kind.role = OutputRole::Follower;
    kind.read = readPagePlan;
    kind.start = startPage;
    kind.build = buildPage;
    return kind;
}

} // namespace dialkite
