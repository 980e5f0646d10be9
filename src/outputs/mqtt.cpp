#include "mqtt.h"

#include "handover.h"
#include "json.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <thread>

namespace dialkite {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr unsigned kReconnectMaxSeconds = 30;
constexpr int kWindow = 200;           // QoS 1 messages in flight at once
constexpr qint64 kSpoolLimit = 200000; // events a box may keep while the broker is away

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

} // namespace

// ---- Target and names ----

std::optional<MqttTarget> mqttTarget(const QString &url, const QString &user,
                                     const QString &password, const QString &caFile, QString *error)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() ||
        (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) ||
        parsed.host().isEmpty()) {
        *error = QStringLiteral("the broker is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]");
        return std::nullopt;
    }
    MqttTarget target;
    target.host = parsed.host();
    target.tls = scheme == QLatin1String("mqtts");
    target.port = parsed.port(target.tls ? 8883 : 1883);
    const auto fromEnvironment = [](const char *name, const QString &fallback) {
        const QString value = qEnvironmentVariable(name);
        return value.isEmpty() ? fallback : value;
    };
    target.user = fromEnvironment("DIALKITE_MQTT_USER", user);
    target.password = fromEnvironment("DIALKITE_MQTT_PASSWORD", password);
    target.caFile = fromEnvironment("DIALKITE_MQTT_CA", caFile);
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

class MqttClient {
public:
    struct Callbacks {
        std::function<void(int rc)> connected;
        std::function<void(int rc)> disconnected;
        std::function<void(int mid)> published;
        std::function<void(const QString &topic, const QByteArray &payload)> message;
    };

    MqttClient(const MqttTarget &target, const QString &clientId, bool cleanSession,
               const QString &willTopic, Callbacks callbacks)
        : m_target(target)
        , m_callbacks(std::move(callbacks))
    {
        libraryInit();
        m_mosq = mosquitto_new(clientId.toUtf8().constData(), cleanSession, this);
        mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_max_inflight_messages_set(m_mosq, kWindow);
        mosquitto_reconnect_delay_set(m_mosq, 1, kReconnectMaxSeconds, true);
        if (!m_target.user.isEmpty())
            mosquitto_username_pw_set(
                m_mosq, m_target.user.toUtf8().constData(),
                m_target.password.isEmpty() ? nullptr : m_target.password.toUtf8().constData());
        if (m_target.tls)
            mosquitto_tls_set(
                m_mosq, m_target.caFile.isEmpty() ? nullptr : m_target.caFile.toUtf8().constData(),
                m_target.caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (!willTopic.isEmpty())
            mosquitto_will_set(m_mosq, willTopic.toUtf8().constData(), 7, "offline", 1, true);
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
    ~MqttClient()
    {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, true);
        mosquitto_destroy(m_mosq);
    }

    // Connects in the background; a broker that is not there yet is retried with a
    // growing delay by the client's own thread.
    void start()
    {
        const int rc = mosquitto_connect_async(m_mosq, m_target.host.toUtf8().constData(),
                                               m_target.port, kKeepAliveSeconds);
        if (rc != MOSQ_ERR_SUCCESS)
            m_callbacks.disconnected(rc == MOSQ_ERR_ERRNO ? -errno : rc);
        mosquitto_loop_start(m_mosq);
    }
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
};

namespace {

// What a connection's news means to the operator.
QString connectionNews(const MqttTarget &target, bool up, int rc)
{
    const QString where = QStringLiteral("%1:%2").arg(target.host).arg(target.port);
    if (up && rc == 0)
        return QStringLiteral("connected to %1").arg(where);
    if (up)
        return QStringLiteral("the broker at %1 refused the connection: %2; retrying")
            .arg(where, QString::fromUtf8(mosquitto_connack_string(rc)));
    if (rc < 0)
        return QStringLiteral("cannot reach the broker at %1: %2; retrying")
            .arg(where, QString::fromLocal8Bit(std::strerror(-rc)));
    return QStringLiteral("lost the broker at %1; retrying, events are kept until it is back")
        .arg(where);
}

} // namespace

// ---- The publisher's own thread: the spool and the sending ----

class PublisherThread {
public:
    using Report = std::function<void(const QString &)>;

    PublisherThread(QString box, MqttTarget target, QString spool, Report report)
        : m_box(std::move(box))
        , m_spool(std::move(spool))
        , m_report(std::move(report))
        , m_client(target,
                   target.clientId.isEmpty() ? QStringLiteral("dialkite-") + m_box
                                             : target.clientId,
                   true, topicOf(m_box, QStringLiteral("status")),
                   {[this](int rc) { onConnection(true, rc); },
                    [this](int rc) { onConnection(false, rc); },
                    [this](int mid) { push([mid](Work &w) { w.acks.push_back(mid); }); },
                    {}})
        , m_thread([this] { run(); })
    {
        m_client.start();
    }
    ~PublisherThread()
    {
        push([](Work &w) { w.quit = true; });
        m_thread.join();
    }

    void add(const QString &leaf, const QJsonObject &event)
    {
        push([&](Work &w) { w.events.push_back({leaf, event}); });
    }
    qint64 backlog() const { return m_backlog.load(); }
    bool drain(int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            {
                std::lock_guard lock(m_mutex);
                if (m_work.events.empty() && m_backlog.load() == 0)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    struct Work {
        std::deque<std::pair<QString, QJsonObject>> events;
        std::deque<int> acks;
        std::optional<bool> connected; // the last change not yet seen
        bool quit = false;
    };

    void push(const std::function<void(Work &)> &change)
    {
        {
            std::lock_guard lock(m_mutex);
            change(m_work);
        }
        m_wake.notify_one();
    }

    void onConnection(bool up, int rc)
    {
        const bool connected = up && rc == 0;
        if (connected != m_lastConnected || rc != m_lastRc)
            m_report(connectionNews(m_client.target(), up, rc));
        m_lastConnected = connected;
        m_lastRc = rc;
        push([connected](Work &w) { w.connected = connected; });
    }

    bool openSpool(QSqlDatabase &db, QString *problem)
    {
        QDir().mkpath(QFileInfo(m_spool).absolutePath());
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
        q.prepare(QStringLiteral("SELECT (SELECT seq FROM counters WHERE box = ?),"
                                 " (SELECT count(*) FROM outbox WHERE box = ?)"));
        q.addBindValue(m_box);
        q.addBindValue(m_box);
        if (q.exec() && q.next()) {
            m_sequence = q.value(0).toLongLong();
            m_backlog = q.value(1).toLongLong();
        }
        return true;
    }

    // New events into the spool, each with the next number of the box's sequence.
    bool spoolEvents(QSqlDatabase &db, std::deque<std::pair<QString, QJsonObject>> &events)
    {
        if (events.empty())
            return true;
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(
            QStringLiteral("INSERT INTO outbox (box, seq, topic, payload) VALUES (?, ?, ?, ?)"));
        for (auto &[leaf, event] : events) {
            ++m_sequence;
            event.insert(QStringLiteral("id"),
                         m_box + QLatin1Char(':') + QString::number(m_sequence));
            insert.addBindValue(m_box);
            insert.addBindValue(m_sequence);
            insert.addBindValue(topicOf(m_box, leaf));
            insert.addBindValue(QJsonDocument(event).toJson(QJsonDocument::Compact));
            if (!insert.exec())
                break;
        }
        QSqlQuery counter(db);
        counter.prepare(QStringLiteral("INSERT INTO counters (box, seq) VALUES (?, ?)"
                                       " ON CONFLICT(box) DO UPDATE SET seq = excluded.seq"));
        counter.addBindValue(m_box);
        counter.addBindValue(m_sequence);
        counter.exec();
        if (!db.commit()) {
            m_report(QStringLiteral("cannot keep events in the spool %1: %2")
                         .arg(m_spool, db.lastError().text()));
            db.rollback();
            return false;
        }
        m_backlog += qint64(events.size());
        events.clear();
        if (m_backlog > kSpoolLimit) {
            // Bounded: the oldest go first, and the operator hears of it once.
            QSqlQuery trim(db);
            trim.prepare(QStringLiteral("DELETE FROM outbox WHERE box = ? AND seq <= ?"));
            trim.addBindValue(m_box);
            trim.addBindValue(m_sequence - kSpoolLimit);
            trim.exec();
            m_backlog = kSpoolLimit;
            if (!m_toldFull)
                m_report(QStringLiteral("the spool holds %1 events; the oldest are dropped")
                             .arg(kSpoolLimit));
            m_toldFull = true;
        }
        return true;
    }

    void acknowledge(QSqlDatabase &db, std::deque<int> &acks)
    {
        if (acks.empty())
            return;
        db.transaction();
        QSqlQuery remove(db);
        remove.prepare(QStringLiteral("DELETE FROM outbox WHERE box = ? AND seq = ?"));
        for (const int mid : acks) {
            const auto at = m_inFlight.find(mid);
            if (at == m_inFlight.end())
                continue; // "online", or a message of a connection gone since
            remove.addBindValue(m_box);
            remove.addBindValue(at->second);
            if (remove.exec() && remove.numRowsAffected() > 0)
                --m_backlog;
            m_inFlight.erase(at);
        }
        db.commit();
        acks.clear();
    }

    // The oldest spooled events not yet in flight, up to the window, in order.
    void send(QSqlDatabase &db)
    {
        const int room = kWindow - int(m_inFlight.size());
        if (!m_connected || room <= 0)
            return;
        QSqlQuery next(db);
        next.prepare(
            QStringLiteral("SELECT seq, topic, payload FROM outbox WHERE box = ? AND seq > ?"
                           " ORDER BY seq LIMIT ?"));
        next.addBindValue(m_box);
        next.addBindValue(m_sentUpTo);
        next.addBindValue(room);
        next.exec();
        while (next.next()) {
            int mid = 0;
            if (m_client.publish(next.value(1).toString(), next.value(2).toByteArray(), false,
                                 &mid) != MOSQ_ERR_SUCCESS)
                return; // the connection went; it is all sent again when it is back
            m_sentUpTo = next.value(0).toLongLong();
            m_inFlight[mid] = m_sentUpTo;
        }
    }

    // A clean goodbye: the retained status says "offline" as the last will would.
    void sayOffline()
    {
        int mid = 0;
        if (!m_connected || m_client.publish(topicOf(m_box, QStringLiteral("status")), "offline",
                                             true, &mid) != MOSQ_ERR_SUCCESS)
            return;
        for (int i = 0; i < 100; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::lock_guard lock(m_mutex);
            for (const int acked : m_work.acks) {
                if (acked == mid)
                    return;
            }
        }
    }

    void run()
    {
        const QString name = QStringLiteral("dialkite-spool-%1").arg(quintptr(this), 0, 16);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            QString problem;
            const bool open = openSpool(db, &problem);
            if (!open)
                m_report(QStringLiteral("cannot open the spool %1: %2; events are sent without it")
                             .arg(m_spool, problem));
            loop(db, open);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    void loop(QSqlDatabase &db, bool spooled)
    {
        for (;;) {
            Work work;
            {
                std::unique_lock lock(m_mutex);
                // Woken by new events, acknowledgements and connection news; a full
                // window waits for acknowledgements, which wake it too.
                m_wake.wait(lock, [this] {
                    return !m_work.events.empty() || !m_work.acks.empty() || m_work.connected ||
                           m_work.quit;
                });
                std::swap(work, m_work);
            }
            if (work.connected) {
                m_connected = *work.connected;
                // A new connection sends everything not acknowledged again, in order;
                // the collector drops what it already has by the id.
                m_inFlight.clear();
                m_sentUpTo = 0;
                if (m_connected) {
                    int mid = 0;
                    m_client.publish(topicOf(m_box, QStringLiteral("status")), "online", true,
                                     &mid);
                }
            }
            if (spooled) {
                if (!spoolEvents(db, work.events))
                    spooled = false;
                acknowledge(db, work.acks);
                send(db);
            }
            if (work.quit) {
                sayOffline();
                return;
            }
        }
    }

    QString m_box;
    QString m_spool;
    Report m_report;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Work m_work;
    std::atomic<qint64> m_backlog = 0;
    qint64 m_sequence = 0;
    qint64 m_sentUpTo = 0;
    std::map<int, qint64> m_inFlight; // message id -> sequence
    bool m_connected = false;
    bool m_toldFull = false;
    std::atomic<bool> m_lastConnected = false;
    std::atomic<int> m_lastRc = 0;
    MqttClient m_client;
    std::thread m_thread;
};

MqttPublisher::MqttPublisher(const QString &box, const MqttTarget &target, const QString &spool,
                             QObject *parent)
    : QObject(parent)
    , m_box(box)
{
    m_thread =
        std::make_unique<PublisherThread>(box, target, spool, [this](const QString &message) {
            onOwnerThread(this, [message](MqttPublisher *self) { Q_EMIT self->status(message); });
        });
}

MqttPublisher::~MqttPublisher() = default;

void MqttPublisher::consume(const Event &event)
{
    const json::Fields fields = json::eventFields(event);
    if (fields.isEmpty())
        return;
    QJsonObject object = publishedEvent(event, m_box);
    const QDateTime now = QDateTime::currentDateTime();
    object.insert(QStringLiteral("pc_time"),
                  now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs));
    m_thread->add(fields.front().second.toString(), object);
}

bool MqttPublisher::drain(int ms)
{
    return m_thread->drain(ms);
}

qint64 MqttPublisher::backlog() const
{
    return m_thread->backlog();
}

MqttSubscriber::MqttSubscriber(const MqttTarget &target, Handler handler, QObject *parent)
    : QObject(parent)
{
    const auto report = [this](const QString &message) {
        onOwnerThread(this, [message](MqttSubscriber *self) { Q_EMIT self->status(message); });
    };
    const QString clientId = target.clientId.isEmpty()
                                 ? QStringLiteral("dialkite-collect-") + QSysInfo::machineHostName()
                                 : target.clientId;
    m_client = std::make_unique<MqttClient>(
        target, clientId, false, QString(),
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
    m_client->start();
}

MqttSubscriber::~MqttSubscriber() = default;

} // namespace dialkite
