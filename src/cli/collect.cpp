#include "collect.h"

#include "outputs/discovery.h"
#include "outputs/history.h"
#include "outputs/intake.h"
#include "outputs/web.h"
#include "platform/termination.h"

#include "console/notation.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace dialkite::cli {

namespace {

constexpr int kReportEveryMs = 60000;     // refused events are counted and told this often
constexpr int kConfirmEveryMs = 500;      // a box's confirmation is published at most this often
constexpr qint64 kGapToldAfterMs = 60000; // a gap still open after this is reported

void say(const QString &text)
{
    std::fprintf(stderr, "dialkite-cli: %s\n", text.toUtf8().constData());
}

// What the broker brought that was not stored, by reason, since the last report.
class Refusals {
public:
    void count(const QString &reason)
    {
        std::lock_guard lock(m_mutex);
        ++m_counts[reason];
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
            say(QStringLiteral("box %1 (publisher %2): the events from %3 on are missing; %4"
                               " were stored after them")
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

// {"waiting": {"BOX": N, ...}} from a publisher's status, for the page; anything else in
// it is not ours to read, and nothing in it is trusted.
void takeWaiting(const QByteArray &payload, WebServer &web)
{
    if (payload.size() > kLargestPayload)
        return;
    const QJsonObject waiting =
        QJsonDocument::fromJson(payload).object().value(u"waiting").toObject();
    for (auto at = waiting.begin(); at != waiting.end(); ++at) {
        const qint64 count = at.value().toInteger(-1);
        if (at.key().size() <= kLongestField && !at.key().contains(u'/') && count >= 0)
            web.setWaiting(at.key(), count);
    }
}

} // namespace

int runCollector(const MqttTarget &given, const QString &historyFile, const WebOptions *webOptions,
                 const QString &discoveryPrefix)
{
    MqttTarget target = given;
    const bool shared = !target.shareGroup.isEmpty();
    // A collector of a group has a session of its own (one PC may run several): what it
    // was sent and did not confirm, its publishers send again, to the others.
    if (target.clientId.isEmpty())
        target.clientId =
            clientIdFor(QStringLiteral("collect-"), historyFile) +
            (shared ? QStringLiteral("-%1").arg(QCoreApplication::applicationPid()) : QString());
    RemoteHistory history(historyFile);
    // The page: every event once it is stored, the boxes' retained statuses.
    std::unique_ptr<WebServer> web;
    std::mutex takenMutex;
    std::deque<QJsonObject> taken; // handed to the history, not committed yet
    if (webOptions) {
        web = std::make_unique<WebServer>(*webOptions);
        QString error;
        history.flush(); // the file exists (made or brought up to date) for the page to read
        if (!web->start(&error)) {
            say(error);
            return 1;
        }
        say(QStringLiteral("the page is on http://%1:%2/")
                .arg(webOptions->address)
                .arg(web->port()));
        QObject::connect(&history, &RemoteHistory::committed, [&](qint64 count) {
            std::lock_guard lock(takenMutex);
            for (qint64 i = 0; i < count && !taken.empty(); ++i) {
                web->publish(taken.front());
                taken.pop_front();
            }
        });
    }
    QObject::connect(&history, &RemoteHistory::news, [](Severity, const QString &text) {
        say(QStringLiteral("history: ") + text);
    });

    // Home Assistant hears of every box the broker brings, and of its identification.
    std::unique_ptr<HomeAssistantDiscovery> discovery;
    if (!discoveryPrefix.isEmpty())
        discovery = std::make_unique<HomeAssistantDiscovery>(target, discoveryPrefix);
    Refusals refusals;
    static std::mutex printing;
    const auto print = [](const QJsonObject &event) {
        const QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n';
        std::lock_guard lock(printing);
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    };
    // Every box's events (split among a group's collectors), every box's status and every
    // publisher's own status (each collector all of them).
    const QStringList patterns =
        shared ? QStringList{QStringLiteral("$share/%1/dialkite/+/+").arg(target.shareGroup),
                             QStringLiteral("dialkite/+/status"),
                             QStringLiteral("dialkite-monitor/+/status")}
               : QStringList{QStringLiteral("dialkite/+/+"),
                             QStringLiteral("dialkite-monitor/+/status")};
    std::map<QString, QString> statuses; // on the client's thread
    MqttSubscriber subscriber(
        target,
        [&](const QString &topic, const QByteArray &payload) {
            const QStringList parts = topic.split(QLatin1Char('/'));
            if (parts.size() == 3 && parts[0] == u"dialkite-monitor") {
                // A publisher's own status: how many events of each box wait in its spool.
                if (web)
                    takeWaiting(payload, *web);
                return;
            }
            if (parts.size() == 3 && parts[2] == u"status") {
                // A box's retained status is a plain word.
                const QString state = QString::fromUtf8(payload);
                if (parts[1].size() <= kLongestField &&
                    (state == u"online" || state == u"offline")) {
                    // A collector of a group hears a status on both its subscriptions.
                    if (std::exchange(statuses[parts[1]], state) == state)
                        return;
                    print({{QStringLiteral("event"), QStringLiteral("status")},
                           {QStringLiteral("box"), parts[1]},
                           {QStringLiteral("state"), state}});
                    if (web)
                        web->setStatus(parts[1], state == u"online");
                    if (discovery)
                        discovery->describe(parts[1], {});
                } else {
                    refusals.count(QStringLiteral("a status that is not one"));
                }
                return;
            }
            QString reason;
            const auto intake = acceptPublished(topic, payload, &reason);
            if (!intake) {
                refusals.count(reason);
                return;
            }
            if (discovery) {
                const QJsonObject &event = intake->event;
                const bool identification = event.value(u"event").toString() == u"identification";
                discovery->describe(
                    intake->box, {event.value(u"variant").toString(),
                                  identification ? event.value(u"version").toString() : QString()});
            }
            // Not taken now: its publisher keeps it, unconfirmed, and sends it again.
            std::lock_guard lock(takenMutex);
            if (history.store(*intake)) {
                print(intake->event);
                if (web)
                    taken.push_back(intake->event);
            }
        },
        nullptr, patterns, !shared);
    // Subscribed (again): publishers send at once what they have not had confirmed, which
    // a broker that lost this collector's session while it was away has dropped.
    subscriber.onConnected([&subscriber, &target] {
        subscriber.publish(QStringLiteral("dialkite-collector/%1/status").arg(target.clientId),
                           "online");
    });
    QObject::connect(&subscriber, &MqttSubscriber::status,
                     [](const QString &m) { say(QStringLiteral("mqtt: ") + m); });

    // Confirmations: each publisher hears how far its events of a box are stored.
    std::map<std::pair<QString, QString>, qint64> toConfirm;
    Gaps gaps;
    QObject::connect(&history, &RemoteHistory::stored, [&](const Stored &stored) {
        toConfirm[{stored.box, stored.instance}] = stored.upTo;
        gaps.update(stored);
    });
    const auto confirm = [&] {
        for (const auto &[key, upTo] : toConfirm)
            subscriber.publishRetained(
                confirmationTopic(key.first, key.second),
                QJsonDocument(QJsonObject{{QStringLiteral("stored"), upTo},
                                          {QStringLiteral("collector"), target.clientId}})
                    .toJson(QJsonDocument::Compact));
        toConfirm.clear();
    };
    QTimer confirming;
    QObject::connect(&confirming, &QTimer::timeout, confirm);
    confirming.start(kConfirmEveryMs);
    QTimer reporting;
    QObject::connect(&reporting, &QTimer::timeout, [&] {
        if (const QString report = refusals.take(); !report.isEmpty())
            say(report);
    });
    reporting.start(kReportEveryMs);

    onTerminationSignal([] { QCoreApplication::exit(0); });
    const int status = QCoreApplication::exec();
    history.flush();
    confirm();
    QCoreApplication::processEvents();
    if (const QString report = refusals.take(); !report.isEmpty())
        say(report);
    return status;
}

} // namespace dialkite::cli
