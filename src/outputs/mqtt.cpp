#include "mqtt.h"

#include "json.h"
#include "writer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <set>
#include <thread>

namespace dialkite {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kFirstRetrySeconds = 1;
constexpr int kLastRetrySeconds = 30;
constexpr int kWindow = 200;           // QoS 1 messages in flight at once, all boxes together
constexpr qint64 kSpoolLimit = 200000; // events a box may keep while the broker is away
constexpr int kDeleteAfterMs = 1000;   // delivered events leave the spool in batches
constexpr int kGatherMs = 50;          // events and acknowledgements are taken together

QString topicOf(const QString &box, const QString &leaf)
{
    return QStringLiteral("dialkite/") + box + QLatin1Char('/') + leaf;
}

void libraryInit()
{
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)done;
}

// What a connection's news means to the operator.
QString connectionNews(const MqttTarget &target, bool up, int rc)
{
    if (up && rc == 0)
        return QStringLiteral("connected to %1").arg(target.where());
    if (up)
        return QStringLiteral("the broker at %1 refused the connection: %2; retrying")
            .arg(target.where(), QString::fromUtf8(mosquitto_connack_string(rc)));
    if (rc < 0)
        return QStringLiteral("cannot reach the broker at %1: %2; retrying")
            .arg(target.where(), QString::fromLocal8Bit(std::strerror(-rc)));
    return QStringLiteral("lost the broker at %1; retrying, events are kept until it is back")
        .arg(target.where());
}

} // namespace

// ---- Target and names ----

QString MqttTarget::where() const
{
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

std::optional<MqttTarget> mqttTarget(const QString &url, const Profile &settings, QString *error)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() ||
        (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) ||
        parsed.host().isEmpty() || (!parsed.path().isEmpty() && parsed.path() != u"/")) {
        *error =
            QStringLiteral("the broker is mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts://...");
        return std::nullopt;
    }
    MqttTarget target;
    target.host = parsed.host();
    target.tls = scheme == QLatin1String("mqtts");
    target.port = parsed.port(target.tls ? 8883 : 1883);
    const QString section = QStringLiteral("MQTT");
    const auto pick = [&](const char *variable, const QString &fromUrl, const char *key) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value;
        return fromUrl.isEmpty() ? settings.value(section, QLatin1String(key)) : fromUrl;
    };
    target.user = pick("DIALKITE_MQTT_USER", parsed.userName(QUrl::FullyDecoded), "USER");
    target.password =
        pick("DIALKITE_MQTT_PASSWORD", parsed.password(QUrl::FullyDecoded), "PASSWORD");
    target.caFile = pick("DIALKITE_MQTT_CA", QString(), "CA");
    if (!target.password.isEmpty() && target.user.isEmpty()) {
        *error = QStringLiteral("the broker's password needs a user");
        return std::nullopt;
    }
    if (target.tls && !target.caFile.isEmpty() && !QFileInfo::exists(target.caFile)) {
        *error = QStringLiteral("the CA file %1 does not exist").arg(target.caFile);
        return std::nullopt;
    }
    return target;
}

QString boxNameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("a box needs a name");
    for (const QChar c : name) {
        if (c == u'+' || c == u'#' || c == u'/' || c.category() == QChar::Other_Control)
            return QStringLiteral("box name \"%1\" may not hold +, #, / or control characters")
                .arg(name);
    }
    return {};
}

QJsonObject publishedEvent(const Event &event, const QString &box)
{
    QJsonObject object = json::toObject(json::eventFields(event));
    object.insert(QStringLiteral("box"), box);
    if (const auto *call = std::get_if<events::CallerId>(&event)) {
        object.insert(QStringLiteral("digits"), QString::fromLatin1(call->digits));
        object.insert(QStringLiteral("status"), json::statusName(call->status));
        object.insert(QStringLiteral("variant"), call->variant.text());
    }
    return object;
}

// ---- One connection to the broker ----

namespace {

class MqttClient {
public:
    struct Callbacks {
        std::function<void(int rc)> connected;
        std::function<void(int rc)> disconnected;
        std::function<void(int mid)> published;
        std::function<void(const QString &topic, const QByteArray &payload)> message;
    };

    MqttClient(const MqttTarget &target, const QString &clientId, bool cleanSession,
               Callbacks callbacks)
        : m_target(target)
        , m_callbacks(std::move(callbacks))
    {
        libraryInit();
        m_mosq = mosquitto_new(clientId.toUtf8().constData(), cleanSession, this);
        mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_max_inflight_messages_set(m_mosq, kWindow);
        mosquitto_reconnect_delay_set(m_mosq, kFirstRetrySeconds, kLastRetrySeconds, true);
        if (!m_target.user.isEmpty())
            mosquitto_username_pw_set(
                m_mosq, m_target.user.toUtf8().constData(),
                m_target.password.isEmpty() ? nullptr : m_target.password.toUtf8().constData());
        if (m_target.tls)
            mosquitto_tls_set(
                m_mosq, m_target.caFile.isEmpty() ? nullptr : m_target.caFile.toUtf8().constData(),
                m_target.caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto *, void *self, int rc) {
            static_cast<MqttClient *>(self)->m_callbacks.connected(rc);
        });
        mosquitto_disconnect_callback_set(m_mosq, [](mosquitto *, void *self, int rc) {
            static_cast<MqttClient *>(self)->m_callbacks.disconnected(rc);
        });
        mosquitto_publish_callback_set(m_mosq, [](mosquitto *, void *self, int mid) {
            auto *client = static_cast<MqttClient *>(self);
            if (client->m_callbacks.published)
                client->m_callbacks.published(mid);
        });
        mosquitto_message_callback_set(
            m_mosq, [](mosquitto *, void *self, const mosquitto_message *m) {
                auto *client = static_cast<MqttClient *>(self);
                if (client->m_callbacks.message)
                    client->m_callbacks.message(
                        QString::fromUtf8(m->topic),
                        QByteArray(static_cast<const char *>(m->payload), m->payloadlen));
            });
    }
    // The network thread is asked to end (disconnect) and then waited for; it is never
    // cancelled in the middle of a callback.
    ~MqttClient()
    {
        if (m_looping) {
            mosquitto_disconnect(m_mosq);
            mosquitto_loop_stop(m_mosq, false);
        }
        mosquitto_destroy(m_mosq);
    }

    // The last will, sent in every CONNECT from now on.
    void setWill(const QString &topic, const QByteArray &payload)
    {
        mosquitto_will_set(m_mosq, topic.toUtf8().constData(), int(payload.size()),
                           payload.constData(), 1, true);
    }

    // One attempt at the first connection. libmosquitto retries a connection it once
    // had by itself, but not a first one that failed: until one succeeds, the owner
    // calls this again (after retryDelayMs()). True once the network thread runs.
    bool connectOnce()
    {
        if (m_looping)
            return true;
        const int rc = mosquitto_connect_async(m_mosq, m_target.host.toUtf8().constData(),
                                               m_target.port, kKeepAliveSeconds);
        if (rc != MOSQ_ERR_SUCCESS) {
            m_callbacks.disconnected(rc == MOSQ_ERR_ERRNO ? -errno : rc);
            m_retryMs = qMin(m_retryMs * 2, kLastRetrySeconds * 1000);
            return false;
        }
        m_looping = mosquitto_loop_start(m_mosq) == MOSQ_ERR_SUCCESS;
        return m_looping;
    }
    int retryDelayMs() const { return m_retryMs; }

    int publish(const QString &topic, const QByteArray &payload, bool retain, int *mid)
    {
        return mosquitto_publish(m_mosq, mid, topic.toUtf8().constData(), int(payload.size()),
                                 payload.constData(), 1, retain);
    }
    void subscribe(const QString &pattern)
    {
        mosquitto_subscribe(m_mosq, nullptr, pattern.toUtf8().constData(), 1);
    }
    const MqttTarget &target() const { return m_target; }

private:
    MqttTarget m_target;
    Callbacks m_callbacks;
    mosquitto *m_mosq = nullptr;
    bool m_looping = false;
    int m_retryMs = kFirstRetrySeconds * 500;
};

// A client id for this process: the host and a digest of what makes the process (its
// spool file), so that a restarted monitor is the same client and two are never one.
QString clientIdFor(const QString &what)
{
    const QByteArray digest =
        QCryptographicHash::hash(what.toUtf8(), QCryptographicHash::Sha1).toHex().left(10);
    return QStringLiteral("dialkite-%1-%2")
        .arg(QSysInfo::machineHostName().left(40), QString::fromLatin1(digest));
}

} // namespace

// ---- The process's connection and spool ----

class MqttLink {
public:
    using Spooled = std::function<void(qint64 count)>;
    using News = std::function<void(Severity, const QString &)>;

    MqttLink(const MqttTarget &target, QString spool)
        : m_target(target)
        , m_spool(std::move(spool))
        , m_clientId(target.clientId.isEmpty() ? clientIdFor(QFileInfo(m_spool).absoluteFilePath())
                                               : target.clientId)
        , m_client(target, m_clientId, true,
                   {[this](int rc) { onConnection(true, rc); },
                    [this](int rc) { onConnection(false, rc); },
                    [this](int mid) { change([mid](Work &w) { w.acks.push_back(mid); }); },
                    {}})
        , m_thread([this] { run(); })
    {}
    ~MqttLink()
    {
        change([](Work &w) { w.quit = true; }, true);
        m_thread.join();
    }

    // A box joins the connection: its status goes "online" and its events are taken.
    void addBox(const QString &box, Spooled spooled, News news)
    {
        std::lock_guard lock(m_mutex);
        m_boxes[box] = {std::move(spooled), std::move(news)};
        m_work.joined.push_back(box);
        m_idle = false;
        m_wake.notify_one();
    }
    void removeBox(const QString &box)
    {
        change([&box](Work &w) { w.left.push_back(box); });
        std::lock_guard lock(m_mutex);
        m_boxes.erase(box);
    }
    void add(const QString &box, const Event &event, qint64 atMs)
    {
        change([&](Work &w) { w.events.push_back({box, event, atMs}); });
    }
    qint64 backlog(const QString &box) const
    {
        std::lock_guard lock(m_mutex);
        const auto at = m_backlog.find(box);
        return at == m_backlog.end() ? 0 : at->second;
    }
    // Waits until the box's spool is empty (everything delivered) or the deadline.
    bool drain(const QString &box, QDeadlineTimer deadline)
    {
        std::unique_lock lock(m_mutex);
        return m_drained.wait_for(lock, std::chrono::milliseconds(deadline.remainingTime()), [&] {
            const auto at = m_backlog.find(box);
            return m_work.events.empty() && m_memory == 0 &&
                   (at == m_backlog.end() || at->second == 0);
        });
    }

private:
    struct Pending {
        QString box;
        Event event;
        qint64 atMs; // when the console emitted it
    };
    // An event spooled in the last transaction, ready to go out without reading it back.
    struct Fresh {
        qint64 seq;
        QString topic;
        QByteArray payload;
    };
    struct Work {
        std::deque<Pending> events;
        std::deque<int> acks;
        std::optional<bool> connected; // the last change not yet seen
        QStringList joined;
        QStringList left;
        bool quit = false;
    };
    struct Box {
        qint64 sequence = 0; // the last one given out
        qint64 sentUpTo = 0; // sent on this connection, in order
        qint64 spooled = 0;  // the last one in the spool
        bool toldFull = false;
    };
    struct Listener {
        Spooled spooled;
        News news;
    };

    // `urgent`: the thread hears of it even while it gathers a burst.
    void change(const std::function<void(Work &)> &what, bool urgent = false)
    {
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            what(m_work);
            wake = m_idle || urgent;
            m_idle = m_idle && !wake;
        }
        if (wake)
            m_wake.notify_one();
    }

    void tell(const QString &box, Severity severity, const QString &text)
    {
        std::lock_guard lock(m_mutex);
        if (box.isEmpty()) {
            for (const auto &[name, listener] : m_boxes)
                listener.news(severity, text);
        } else if (const auto at = m_boxes.find(box); at != m_boxes.end()) {
            at->second.news(severity, text);
        }
    }

    void onConnection(bool up, int rc)
    {
        const bool connected = up && rc == 0;
        if (connected != m_lastConnected || rc != m_lastRc)
            tell({}, Severity::Notice, connectionNews(m_target, up, rc));
        m_lastConnected = connected;
        m_lastRc = rc;
        change([connected](Work &w) { w.connected = connected; }, true);
    }

    // ---- the spool, on this thread only ----

    bool openSpool(QString *problem)
    {
        QDir().mkpath(QFileInfo(m_spool).absolutePath());
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(m_spool);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        QSqlQuery q(db);
        // WAL with synchronous NORMAL: an event kept survives the program being killed.
        if (!db.open() || !q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
            !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
            !q.exec(
                QStringLiteral("CREATE TABLE IF NOT EXISTS outbox (box TEXT NOT NULL,"
                               " seq INTEGER NOT NULL, topic TEXT NOT NULL, payload BLOB NOT NULL,"
                               " PRIMARY KEY (box, seq))")) ||
            !q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS counters (box TEXT PRIMARY KEY,"
                                   " seq INTEGER NOT NULL)"))) {
            *problem = db.isOpen() ? q.lastError().text() : db.lastError().text();
            return false;
        }
        m_insert = std::make_unique<QSqlQuery>(db);
        m_insert->prepare(
            QStringLiteral("INSERT INTO outbox (box, seq, topic, payload) VALUES (?, ?, ?, ?)"));
        m_counter = std::make_unique<QSqlQuery>(db);
        m_counter->prepare(QStringLiteral("INSERT INTO counters (box, seq) VALUES (?, ?)"
                                          " ON CONFLICT(box) DO UPDATE SET seq = excluded.seq"));
        m_remove = std::make_unique<QSqlQuery>(db);
        m_remove->prepare(QStringLiteral("DELETE FROM outbox WHERE box = ? AND seq = ?"));
        m_trim = std::make_unique<QSqlQuery>(db);
        m_trim->prepare(QStringLiteral("DELETE FROM outbox WHERE box = ? AND seq <= ?"));
        m_next = std::make_unique<QSqlQuery>(db);
        m_next->prepare(QStringLiteral("SELECT seq, topic, payload FROM outbox WHERE box = ? AND"
                                       " seq > ? ORDER BY seq LIMIT ?"));
        return true;
    }

    // What the spool already holds for a box that joins.
    void loadBox(const QString &name)
    {
        Box &box = m_state[name];
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.prepare(QStringLiteral("SELECT (SELECT seq FROM counters WHERE box = ?),"
                                 " (SELECT count(*) FROM outbox WHERE box = ?),"
                                 " (SELECT max(seq) FROM outbox WHERE box = ?)"));
        q.addBindValue(name);
        q.addBindValue(name);
        q.addBindValue(name);
        if (q.exec() && q.next()) {
            box.sequence = qMax(q.value(0).toLongLong(), q.value(2).toLongLong());
            box.spooled = box.sequence;
            setBacklog(name, q.value(1).toLongLong());
        }
    }

    void setBacklog(const QString &box, qint64 count)
    {
        {
            std::lock_guard lock(m_mutex);
            m_backlog[box] = count;
        }
        m_drained.notify_all();
    }
    void addBacklog(const QString &box, qint64 change)
    {
        {
            std::lock_guard lock(m_mutex);
            m_backlog[box] += change;
        }
        m_drained.notify_all();
    }

    // New events into the spool, each with the next number of its box's sequence, and
    // the deliveries waiting to leave it, in one transaction.
    bool spoolEvents(std::deque<Pending> &events)
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (!db.transaction()) {
            tell({}, Severity::Problem,
                 QStringLiteral("cannot keep events in the spool %1: %2")
                     .arg(m_spool, db.lastError().text()));
            return false;
        }
        std::map<QString, qint64> added;
        bool ok = true;
        std::map<QString, std::vector<Fresh>> fresh;
        for (const auto &[name, event, atMs] : events) {
            Box &box = m_state[name];
            const qint64 seq = box.sequence + 1;
            const QJsonObject object = payloadOf(name, event, atMs, seq);
            Fresh spooled{seq, topicOf(name, object.value(QLatin1String("event")).toString()),
                          QJsonDocument(object).toJson(QJsonDocument::Compact)};
            m_insert->bindValue(0, name);
            m_insert->bindValue(1, seq);
            m_insert->bindValue(2, spooled.topic);
            m_insert->bindValue(3, spooled.payload);
            if (!(ok = m_insert->exec()))
                break;
            ++box.sequence;
            ++added[name];
            fresh[name].push_back(std::move(spooled));
        }
        ok = ok && removeDelivered();
        if (!ok || !db.commit()) {
            tell({}, Severity::Problem,
                 QStringLiteral("cannot keep events in the spool %1: %2")
                     .arg(m_spool, m_insert->lastError().text().isEmpty()
                                       ? db.lastError().text()
                                       : m_insert->lastError().text()));
            db.rollback();
            for (const auto &[name, count] : added)
                m_state[name].sequence -= count;
            return false;
        }
        m_deliveredDone.clear();
        m_fresh = std::move(fresh);
        for (const auto &[name, count] : added) {
            Box &box = m_state[name];
            box.spooled = box.sequence;
            addBacklog(name, count);
            trim(name, box);
            std::lock_guard lock(m_mutex);
            if (const auto at = m_boxes.find(name); at != m_boxes.end())
                at->second.spooled(count);
        }
        events.clear();
        return true;
    }

    // Bounded: the oldest go first, and the operator hears of it once.
    void trim(const QString &name, Box &box)
    {
        if (backlog(name) <= kSpoolLimit)
            return;
        m_trim->bindValue(0, name);
        m_trim->bindValue(1, box.sequence - kSpoolLimit);
        m_trim->exec();
        setBacklog(name, kSpoolLimit);
        if (!box.toldFull)
            tell(name, Severity::Problem,
                 QStringLiteral("the spool holds %1 events; the oldest are dropped")
                     .arg(kSpoolLimit));
        box.toldFull = true;
    }

    // Deliveries are deleted a batch at a time, within the next transaction: a program
    // killed before that sends them again, which the collector takes as the same event.
    // The box's sequence is kept in counters then, once the spool may hold none of it;
    // while it holds some, the highest there is the sequence.
    bool removeDelivered()
    {
        std::map<QString, qint64> highest;
        for (const auto &[box, seq] : m_delivered) {
            m_remove->bindValue(0, box);
            m_remove->bindValue(1, seq);
            if (!m_remove->exec())
                return false;
            highest[box] = std::max(highest[box], seq);
        }
        for (const auto &[box, seq] : highest) {
            m_counter->bindValue(0, box);
            m_counter->bindValue(1, m_state[box].sequence);
            if (!m_counter->exec())
                return false;
        }
        m_deliveredDone.swap(m_delivered);
        m_delivered.clear();
        return true;
    }

    void acknowledge(std::deque<int> &acks)
    {
        for (const int mid : acks) {
            const auto at = m_inFlight.find(mid);
            if (at == m_inFlight.end())
                continue; // a status, or a message of a connection gone since
            m_delivered.push_back(at->second);
            addBacklog(at->second.first, -1);
            m_inFlight.erase(at);
        }
        acks.clear();
        if (!m_delivered.empty() && !m_deleteDue)
            m_deleteDue =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeleteAfterMs);
    }

    void flushDeliveries()
    {
        if (m_delivered.empty())
            return;
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.transaction() && removeDelivered() && db.commit()) {
            m_deliveredDone.clear();
        } else {
            db.rollback();
            m_delivered.insert(m_delivered.end(), m_deliveredDone.begin(), m_deliveredDone.end());
            m_deliveredDone.clear();
        }
        m_deleteDue.reset();
    }

    // The oldest spooled events not yet in flight, up to the window, each box in order.
    void send()
    {
        if (!m_connected)
            return;
        for (auto &[name, box] : m_state) {
            const int room = kWindow - int(m_inFlight.size());
            if (room <= 0)
                return;
            if (box.sentUpTo >= box.spooled)
                continue;
            // Just spooled and next in line: sent as they are, not read back.
            const auto fresh = m_fresh.find(name);
            if (fresh != m_fresh.end() && !fresh->second.empty() &&
                fresh->second.front().seq == box.sentUpTo + 1 &&
                qsizetype(fresh->second.size()) <= room) {
                if (!publishAll(name, box, fresh->second))
                    return;
                continue;
            }
            m_next->bindValue(0, name);
            m_next->bindValue(1, box.sentUpTo);
            m_next->bindValue(2, room);
            m_next->exec();
            while (m_next->next()) {
                int mid = 0;
                if (m_client.publish(m_next->value(1).toString(), m_next->value(2).toByteArray(),
                                     false, &mid) != MOSQ_ERR_SUCCESS) {
                    m_next->finish();
                    return; // the connection went; it is all sent again when it is back
                }
                box.sentUpTo = m_next->value(0).toLongLong();
                m_inFlight[mid] = {name, box.sentUpTo};
            }
            m_next->finish();
            // Nothing more of it in the spool (trimmed, or delivered and gone).
            if (box.sentUpTo < box.spooled && m_inFlight.size() < size_t(kWindow))
                box.sentUpTo = box.spooled;
        }
    }

    bool publishAll(const QString &name, Box &box, const std::vector<Fresh> &events)
    {
        for (const Fresh &event : events) {
            int mid = 0;
            if (m_client.publish(event.topic, event.payload, false, &mid) != MOSQ_ERR_SUCCESS)
                return false; // the connection went; it is all sent again when it is back
            box.sentUpTo = event.seq;
            m_inFlight[mid] = {name, event.seq};
        }
        return true;
    }

    // The JSON a box's event is published as, with its id and the PC's time.
    static QJsonObject payloadOf(const QString &box, const Event &event, qint64 atMs, qint64 seq)
    {
        QJsonObject object = publishedEvent(event, box);
        object.insert(QStringLiteral("id"), box + QLatin1Char(':') + QString::number(seq));
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(atMs);
        object.insert(QStringLiteral("pc_time"),
                      at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODateWithMs));
        return object;
    }

    // ---- the statuses ----

    QByteArray processStatus(const char *state) const
    {
        QJsonArray boxes;
        for (const auto &[name, box] : m_state)
            boxes.append(name);
        return QJsonDocument(QJsonObject{{QStringLiteral("state"), QLatin1String(state)},
                                         {QStringLiteral("boxes"), boxes}})
            .toJson(QJsonDocument::Compact);
    }
    QString processTopic() const
    {
        return QStringLiteral("dialkite-monitor/%1/status").arg(m_clientId);
    }
    void publishStatus(const QString &topic, const QByteArray &payload, int *mid = nullptr)
    {
        int ignored = 0;
        m_client.publish(topic, payload, true, mid ? mid : &ignored);
    }
    void announce()
    {
        publishStatus(processTopic(), processStatus("online"));
        for (const auto &[name, box] : m_state)
            publishStatus(topicOf(name, QStringLiteral("status")), "online");
    }

    // A clean goodbye: every box and the process say "offline" as the will would.
    void sayOffline()
    {
        if (!m_connected)
            return;
        int last = 0;
        for (const auto &[name, box] : m_state)
            publishStatus(topicOf(name, QStringLiteral("status")), "offline");
        publishStatus(processTopic(), processStatus("offline"), &last);
        for (int i = 0; i < 100; ++i) {
            std::unique_lock lock(m_mutex);
            for (const int acked : m_work.acks) {
                if (acked == last)
                    return;
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(10));
        }
    }

    void run()
    {
        QString problem;
        bool spooled = openSpool(&problem);
        if (!spooled)
            tell({}, Severity::Problem,
                 QStringLiteral("cannot open the spool %1: %2; events are sent without it")
                     .arg(m_spool, problem));
        loop(spooled);
        m_insert.reset();
        m_counter.reset();
        m_remove.reset();
        m_trim.reset();
        m_next.reset();
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }

    void loop(bool spooled)
    {
        using Clock = std::chrono::steady_clock;
        auto retryAt = Clock::now();
        auto spoolAt = Clock::now();
        int spoolDelayMs = 0;
        bool looping = false;
        for (;;) {
            Work work;
            {
                std::unique_lock lock(m_mutex);
                const auto ready = [this] {
                    return !m_work.events.empty() || !m_work.acks.empty() || m_work.connected ||
                           !m_work.joined.isEmpty() || !m_work.left.isEmpty() || m_work.quit;
                };
                auto until = m_deleteDue.value_or(Clock::time_point::max());
                if (!looping && (!m_state.empty() || !m_work.joined.isEmpty()))
                    until = std::min(until, retryAt); // boxes wait for a first connection
                if (!m_unspooled.empty())
                    until = std::min(until, spoolAt);
                m_idle = true;
                const bool woken = m_wake.wait_until(lock, until, ready);
                m_idle = false;
                if (woken && !m_work.quit && !m_work.connected)
                    // More of the burst, and the acknowledgements of what went out: one
                    // spool transaction and one wake-up for all of it.
                    m_wake.wait_for(lock, std::chrono::milliseconds(kGatherMs),
                                    [this] { return m_work.quit || m_work.connected; });
                std::swap(work, m_work);
                m_memory += qint64(work.events.size());
            }
            for (const QString &box : std::as_const(work.joined)) {
                if (spooled)
                    loadBox(box);
                else
                    m_state[box];
            }
            if (!looping && !m_state.empty() && Clock::now() >= retryAt) {
                m_client.setWill(processTopic(), processStatus("offline"));
                looping = m_client.connectOnce();
                retryAt = Clock::now() + std::chrono::milliseconds(m_client.retryDelayMs());
            }
            if (work.connected) {
                m_connected = *work.connected;
                // A new connection sends everything not delivered again, in order; what
                // was delivered leaves the spool first.
                flushDeliveries();
                m_inFlight.clear();
                for (auto &[name, box] : m_state)
                    box.sentUpTo = 0;
                if (m_connected)
                    announce();
            }
            for (const QString &box : std::as_const(work.left)) {
                if (m_connected)
                    publishStatus(topicOf(box, QStringLiteral("status")), "offline");
            }
            for (Pending &pending : work.events)
                m_unspooled.push_back(std::move(pending));
            if (spooled && !m_unspooled.empty() && Clock::now() >= spoolAt) {
                const qint64 count = qint64(m_unspooled.size());
                if (spoolEvents(m_unspooled)) {
                    spoolDelayMs = 0;
                    forget(count);
                } else {
                    // Kept in memory and tried again, less and less often.
                    spoolDelayMs = spoolDelayMs == 0 ? 100 : qMin(spoolDelayMs * 2, 5000);
                    spoolAt = Clock::now() + std::chrono::milliseconds(spoolDelayMs);
                }
            }
            if (spooled) {
                acknowledge(work.acks);
                if (m_deleteDue && Clock::now() >= *m_deleteDue)
                    flushDeliveries();
                send();
                m_fresh.clear();
            }
            if (work.quit) {
                flushDeliveries();
                sayOffline();
                return;
            }
        }
    }

    // Events that left memory for the spool.
    void forget(qint64 count)
    {
        {
            std::lock_guard lock(m_mutex);
            m_memory -= count;
        }
        m_drained.notify_all();
    }

    MqttTarget m_target;
    QString m_spool;
    QString m_clientId;
    QString m_name = QStringLiteral("dialkite-spool-%1").arg(quintptr(this), 0, 16);
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    bool m_idle = false; // under m_mutex: the thread waits for work
    Work m_work;
    std::map<QString, Listener> m_boxes; // under m_mutex
    std::map<QString, qint64> m_backlog; // under m_mutex
    qint64 m_memory = 0;                 // under m_mutex: taken, not yet in the spool
    // This thread only:
    std::map<QString, Box> m_state;
    std::deque<Pending> m_unspooled;
    std::map<QString, std::vector<Fresh>> m_fresh;
    std::map<int, std::pair<QString, qint64>> m_inFlight; // message id -> box, sequence
    std::vector<std::pair<QString, qint64>> m_delivered;  // to leave the spool
    std::vector<std::pair<QString, qint64>> m_deliveredDone;
    std::optional<std::chrono::steady_clock::time_point> m_deleteDue;
    std::unique_ptr<QSqlQuery> m_insert, m_counter, m_remove, m_trim, m_next;
    bool m_connected = false;
    std::atomic<bool> m_lastConnected = false;
    std::atomic<int> m_lastRc = 0;
    MqttClient m_client;
    std::thread m_thread;
};

std::shared_ptr<MqttLink> mqttLink(const MqttTarget &target, const QString &spool)
{
    static std::mutex mutex;
    static std::map<QString, std::weak_ptr<MqttLink>> links;
    const QString key = target.where() + QLatin1Char(' ') + target.user + QLatin1Char(' ') +
                        target.clientId + QLatin1Char(' ') + QFileInfo(spool).absoluteFilePath();
    std::lock_guard lock(mutex);
    if (auto link = links[key].lock())
        return link;
    auto link = std::make_shared<MqttLink>(target, spool);
    links[key] = link;
    return link;
}

// ---- One box ----

MqttOutput::MqttOutput(std::shared_ptr<MqttLink> link, const QString &box, QObject *parent)
    : Output(QStringLiteral("mqtt"), parent)
    , m_link(std::move(link))
    , m_box(box)
{
    m_link->addBox(
        m_box,
        [this](qint64 count) {
            onOwnerThread(this, [count](MqttOutput *self) { self->onSpooled(count); });
        },
        [this](Severity severity, const QString &text) {
            onOwnerThread(
                this, [severity, text](MqttOutput *self) { Q_EMIT self->news(severity, text); });
        });
}

MqttOutput::~MqttOutput()
{
    m_link->removeBox(m_box);
}

quint64 MqttOutput::committedCount() const
{
    return m_pending.empty() ? m_given : m_pending.front() - 1;
}

qint64 MqttOutput::backlog() const
{
    return m_link->backlog(m_box);
}

void MqttOutput::onSpooled(qint64 count)
{
    for (qint64 i = 0; i < count && !m_pending.empty(); ++i)
        m_pending.pop_front();
    Q_EMIT committed();
}

void MqttOutput::consume(const Event &event)
{
    ++m_given;
    // The events the monitor prints are published; the JSON is made on the link's thread.
    if (!std::holds_alternative<events::CallerId>(event) &&
        !std::holds_alternative<events::Identification>(event) &&
        !std::holds_alternative<events::DetectionState>(event) &&
        !std::holds_alternative<events::OutgoingCallEnded>(event)) {
        if (m_pending.empty())
            Q_EMIT committed();
        return;
    }
    m_pending.push_back(m_given);
    m_link->add(m_box, event, QDateTime::currentMSecsSinceEpoch());
}

QString MqttOutput::finish(QDeadlineTimer deadline)
{
    if (m_link->drain(m_box, deadline))
        return {};
    QCoreApplication::sendPostedEvents(this);
    return QStringLiteral("%1 events wait in the spool for the broker").arg(backlog());
}

// ---- The collector's side ----

class MqttSubscriber::Client : public MqttClient {
public:
    using MqttClient::MqttClient;
};

MqttSubscriber::MqttSubscriber(const MqttTarget &target, Handler handler, QObject *parent)
    : QObject(parent)
{
    const auto report = [this](const QString &message) {
        onOwnerThread(this, [message](MqttSubscriber *self) { Q_EMIT self->status(message); });
    };
    const QString clientId = target.clientId.isEmpty()
                                 ? QStringLiteral("dialkite-collect-") + QSysInfo::machineHostName()
                                 : target.clientId;
    m_client = std::make_unique<Client>(
        target, clientId, false,
        MqttClient::Callbacks{
            [this, report, target](int rc) {
                report(connectionNews(target, true, rc));
                // A persistent session: what the broker kept meanwhile comes now.
                if (rc == 0)
                    m_client->subscribe(QStringLiteral("dialkite/+/+"));
            },
            [report, target](int rc) { report(connectionNews(target, false, rc)); },
            {},
            [handler](const QString &topic, const QByteArray &payload) {
                const QStringList parts = topic.split(QLatin1Char('/'));
                if (parts.size() != 3)
                    return;
                // A box's retained status is a plain word: "online", or "offline".
                const QJsonObject event =
                    parts[2] == QLatin1String("status")
                        ? QJsonObject{{QStringLiteral("event"), QStringLiteral("status")},
                                      {QStringLiteral("box"), parts[1]},
                                      {QStringLiteral("state"), QString::fromUtf8(payload)}}
                        : QJsonDocument::fromJson(payload).object();
                if (!event.isEmpty())
                    handler(parts[1], event);
            }});
    // Until a first connection succeeds the client is asked again, less and less often.
    auto *retry = new QTimer(this);
    retry->setSingleShot(true);
    const auto attempt = [this, retry] {
        if (!m_client->connectOnce())
            retry->start(m_client->retryDelayMs());
    };
    connect(retry, &QTimer::timeout, this, attempt);
    attempt();
}

MqttSubscriber::~MqttSubscriber() = default;

} // namespace dialkite
