#include "collect.h"

#include "commands.h"
#include "printer.h"

#include "console/notation.h"
#include "history/location.h"
#include "outputs/factory.h"
#include "outputs/fleetkey.h"
#include "outputs/history.h"
#include "outputs/intake.h"
#include "outputs/mqtt.h"
#include "outputs/writer.h"
#include "platform/termination.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace dialkite::cli {

namespace {

constexpr int kReportEveryMs = 60000;     // refused events are counted and told this often
constexpr int kConfirmEveryMs = 500;      // a box's confirmation is published at most this often
constexpr qint64 kGapToldAfterMs = 60000; // a gap still open after this is reported
// Events handed to the outputs and not yet taken; beyond this the broker's are left to
// their publishers, who send them again.
constexpr size_t kLargestHandover = 10000;
// Refusals are counted by their reason, which may name a topic: this many reasons at most,
// the rest counted together.
constexpr size_t kMostReasons = 100;
constexpr size_t kMostStatuses = 1000; // boxes whose last status is remembered

// What the broker brought that was not stored, by reason, since the last report.
class Refusals {
public:
    void count(const QString &reason)
    {
        std::lock_guard lock(m_mutex);
        if (m_counts.size() < kMostReasons || m_counts.count(reason))
            ++m_counts[reason];
        else
            ++m_counts[QStringLiteral("for other reasons")];
    }
    // "refused 3 events: 2 no id, 1 too large"; "" when there were none.
    QString take()
    {
        std::lock_guard lock(m_mutex);
        qint64 total = 0;
        QStringList parts;
        for (const auto &[reason, count] : m_counts) {
            total += count;
            parts << QStringLiteral("%1 %2").arg(count).arg(reason);
        }
        m_counts.clear();
        return total == 0 ? QString()
                          : QStringLiteral("refused %1 events from the broker, never stored: %2")
                                .arg(total)
                                .arg(parts.join(QStringLiteral(", ")));
    }

private:
    std::mutex m_mutex;
    std::map<QString, qint64> m_counts;
};

// A publisher's events that are stored with a hole below the newest: normally the hole
// closes when the publisher sends again; one that stays open is told, once.
class Gaps {
public:
    void update(const Stored &stored)
    {
        const auto key = std::make_pair(stored.box, stored.instance);
        if (stored.top <= stored.upTo) {
            m_open.erase(key);
            return;
        }
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        auto [at, added] = m_open.try_emplace(key, Gap{now, stored.upTo, false});
        if (!added && at->second.upTo != stored.upTo)
            at->second = {now, stored.upTo, false};
        if (!at->second.told && now - at->second.since >= kGapToldAfterMs) {
            say(QCoreApplication::translate("dialkite",
                                            "box %1 (publisher %2): the events from %3 on are "
                                            "missing; %4 were stored after them")
                    .arg(visibleControls(stored.box), stored.instance)
                    .arg(stored.upTo + 1)
                    .arg(stored.top - stored.upTo - 1));
            at->second.told = true;
        }
    }

private:
    struct Gap {
        qint64 since;
        qint64 upTo;
        bool told;
    };
    std::map<std::pair<QString, QString>, Gap> m_open;
};

// The collector: what the broker brings, checked on the client's thread and handed to
// the outputs on the main one (the history first; the lines, the page and discovery once
// it is stored); each publisher hears how far its events are stored.
class Collector : public QObject {
public:
    Collector(const MqttTarget &target, OutputPlan plan)
        : m_target(target)
        , m_factory(std::move(plan))
        , m_intake(this, [this](std::deque<Event> &events) {
            for (const Event &event : events)
                m_outputs->consume(event);
        })
    {}

    bool start()
    {
        if (m_target.fleetKey.isEmpty())
            say(unsignedFleetWarning());
        QString error;
        if (!m_factory.start(&error)) {
            say(error);
            return false;
        }
        for (const QString &said : m_factory.said())
            say(said);
        m_outputs = m_factory.build();
        connect(m_outputs.get(), &OutputSet::news, this,
                [](const QString &output, Severity severity, const QString &text) {
                    say(OutputRegistry::instance().news(output, severity, text).line);
                });
        m_history = qobject_cast<HistoryOutput *>(m_outputs->find(QStringLiteral("history")));
        connect(m_history, &HistoryOutput::stored, this, [this](const Stored &stored) {
            m_toConfirm[{stored.box, stored.instance}] = stored.upTo;
            m_gaps.update(stored);
        });
        // What went with a deleted history and was not confirmed: the publishers send it
        // again at once, as to a collector that has just come.
        connect(m_history, &HistoryOutput::replaced, this, [this] { announce(); });
        subscribe();
        connect(&m_confirming, &QTimer::timeout, this, [this] { confirm(); });
        m_confirming.start(kConfirmEveryMs);
        connect(&m_reporting, &QTimer::timeout, this, [this] { report(); });
        m_reporting.start(kReportEveryMs);
        return true;
    }

    // Everything taken is stored and confirmed, what was refused told.
    void finish()
    {
        m_intake.drain();
        for (const QString &undone : m_outputs->finish(QDeadlineTimer(QDeadlineTimer::Forever)))
            say(undone);
        confirm();
        QCoreApplication::processEvents();
        report();
    }

private:
    void subscribe()
    {
        const bool shared = !m_target.shareGroup.isEmpty();
        // Every box's events (split among a group's collectors), every box's status and
        // every publisher's own status (each collector all of them).
        const QStringList patterns =
            shared ? QStringList{QStringLiteral("$share/%1/dialkite/+/+").arg(m_target.shareGroup),
                                 QStringLiteral("dialkite/+/status"),
                                 QStringLiteral("dialkite-monitor/+/status")}
                   : QStringList{QStringLiteral("dialkite/+/+"),
                                 QStringLiteral("dialkite-monitor/+/status")};
        m_subscriber = std::make_unique<MqttSubscriber>(
            m_target,
            [this](const QString &topic, const QByteArray &payload) { take(topic, payload); },
            nullptr, patterns, !shared);
        // Subscribed (again): publishers send at once what they have not had confirmed,
        // which a broker that lost this collector's session while it was away has dropped.
        m_subscriber->onConnected([this] {
            forgetStatuses();
            announce();
        });
        connect(m_subscriber.get(), &MqttSubscriber::status, this,
                [](const QString &message) { say(QStringLiteral("mqtt: ") + message); });
    }

    // A new session with the broker: every status heard before may be stale (a broker that
    // restarted has forgotten the retained ones, and a monitor that died meanwhile never
    // says so). Each is unknown until its monitor says it again; the live ones do at once.
    void forgetStatuses()
    {
        for (const auto &[box, state] : m_statuses)
            m_intake.push(events::BoxStatus{box, false, false});
        m_statuses.clear();
    }

    // This collector is here: publishers send at once what they have not had confirmed.
    void announce()
    {
        const QString topic = QStringLiteral("dialkite-collector/%1/status").arg(m_target.clientId);
        m_subscriber->publish(topic, signedIfKeyed(topic, "{\"state\":\"online\"}", "online"));
    }

    // On the client's thread, with each message as it came: nothing is trusted yet.
    void take(const QString &topic, const QByteArray &payload)
    {
        Heard heard = hearMessage(topic, payload, m_target.fleetKey);
        if (auto *refused = std::get_if<Refused>(&heard)) {
            m_refusals.count(refused->reason);
        } else if (auto *status = std::get_if<events::BoxStatus>(&heard)) {
            // A collector of a group hears a status on both its subscriptions; a flood of
            // invented boxes makes it forget some, never grow without end.
            const QString state =
                status->online ? QStringLiteral("online") : QStringLiteral("offline");
            if (m_statuses.size() >= kMostStatuses && !m_statuses.count(status->box))
                m_statuses.erase(m_statuses.begin());
            if (std::exchange(m_statuses[status->box], state) != state)
                m_intake.push(std::move(*status));
        } else if (auto *waiting = std::get_if<events::SpoolWaiting>(&heard)) {
            m_intake.push(std::move(*waiting));
        } else if (auto *intake = std::get_if<Intake>(&heard)) {
            // Not taken now: its publisher keeps it, unconfirmed, and sends it again.
            if (!m_history->accepting() || m_intake.waiting() > kLargestHandover)
                return;
            m_intake.push(std::move(*intake));
        }
    }

    // Each publisher hears how far its events of a box are stored.
    void confirm()
    {
        for (const auto &[key, upTo] : m_toConfirm) {
            // A box forgotten for this one has its confirmations cleared on the broker.
            for (const QString &cleared : m_confirmed.note(key.first, key.second))
                m_subscriber->publishRetained(cleared, {});
            const QString topic = confirmationTopic(key.first, key.second);
            const QByteArray payload =
                QJsonDocument(QJsonObject{{QStringLiteral("stored"), upTo},
                                          {QStringLiteral("collector"), m_target.clientId}})
                    .toJson(QJsonDocument::Compact);
            m_subscriber->publishRetained(topic, signedIfKeyed(topic, payload, payload));
        }
        m_toConfirm.clear();
    }

    // With a fleet key, `signable` signed; without, `plain` as it always was.
    QByteArray signedIfKeyed(const QString &topic, const QByteArray &signable,
                             const QByteArray &plain) const
    {
        return m_target.fleetKey.isEmpty() ? plain
                                           : signMessage(m_target.fleetKey, topic, signable);
    }

    void report()
    {
        if (const QString refused = m_refusals.take(); !refused.isEmpty())
            say(refused);
    }

    MqttTarget m_target;
    OutputFactory m_factory;
    std::unique_ptr<OutputSet> m_outputs;
    HistoryOutput *m_history = nullptr;
    Handover<Event> m_intake;
    Refusals m_refusals;
    Gaps m_gaps;
    std::map<QString, QString> m_statuses; // on the client's thread
    std::map<std::pair<QString, QString>, qint64> m_toConfirm;
    ConfirmedBoxes m_confirmed;
    QTimer m_confirming;
    QTimer m_reporting;
    // Last: its thread stops first, before what it hands events to.
    std::unique_ptr<MqttSubscriber> m_subscriber;
};

// The rules between the collector's options, in one place.
QString collectRules(const Config &config, const QString &history)
{
    const QString share = config.valueFrom(Config::Source::CommandLine, QStringLiteral("MQTT"),
                                           QStringLiteral("SHARE"));
    if (!config.given(QStringLiteral("MQTT"), QStringLiteral("URL")))
        return QStringLiteral("--mqtt URL is needed");
    QString error;
    if (!historyLocation(history, &error))
        return error;
    static const QRegularExpression groupName(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    if (!share.isEmpty() && !groupName.match(share).hasMatch())
        return QStringLiteral("--share takes a group name of letters, digits, '_', '.' and '-',"
                              " not '%1'")
            .arg(share);
    if (!share.isEmpty() && !isPostgres(history))
        return QStringLiteral("--share splits the events among collectors that write one"
                              " history: give --history postgresql://...");
    return {};
}

} // namespace

int collectCommand(const Invocation &invocation)
{
    Config config = invocation.config;
    const QString section = QStringLiteral("MQTT");
    QString history = config.valueFrom(Config::Source::CommandLine, QStringLiteral("HISTORY"),
                                       QStringLiteral("FILE"));
    if (history.isEmpty())
        history = defaultHistoryFile();
    if (const QString broken = collectRules(config, history); !broken.isEmpty())
        return usageError(invocation.command, broken);
    // A collector of a group has a session of its own (one PC may run several): what it
    // was sent and did not confirm, its publishers send again, to the others.
    const bool shared = config.given(section, QStringLiteral("SHARE"));
    if (!config.given(section, QStringLiteral("CLIENT_ID")))
        config.set(Config::Source::CommandLine, section, QStringLiteral("CLIENT_ID"),
                   clientIdFor(QStringLiteral("collect-"), history) +
                       (shared ? QStringLiteral("-%1").arg(QCoreApplication::applicationPid())
                               : QString()));
    QString error;
    const auto target = mqttTargetOf(config.value(section, QStringLiteral("URL")), config, &error);
    if (!target)
        return usageError(invocation.command, error);
    OutputHooks hooks;
    hooks.printLine = [](const QByteArray &line, const Event &) { printLine(line); };
    auto plan = planOutputs(config, FrontEnd::Collector, std::move(hooks), &error);
    if (!plan)
        return usageError(invocation.command, error);
    Collector collector(*target, std::move(*plan));
    if (!collector.start())
        return 1;
    onTerminationSignal([] { QCoreApplication::exit(0); });
    const int status = QCoreApplication::exec();
    collector.finish();
    return status;
}

} // namespace dialkite::cli
