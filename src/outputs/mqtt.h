#pragma once

// Publishing to an MQTT broker (libmosquitto): every event of a box as JSON on
// dialkite/<box>/<event>, QoS 1, with a retained dialkite/<box>/status, "online" while
// its console runs and "offline" when it stops. One connection serves every box of a
// process; its own retained status, dialkite-monitor/<client>/status, names the boxes
// and turns "offline" as the connection's last will when the process dies.
//
// Nothing is lost while the broker is away: each event goes first into a spool (an
// SQLite file, bounded) and leaves it only once it is delivered; after a reconnect the
// backlog goes out in each box's order before anything new. The console's thread only
// hands events over; the spool and the network have one thread each for the process.

#include "json.h"
#include "output.h"
#include "registry.h"

#include "console/config.h"
#include "console/settings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace dialkite {

struct MqttTarget {
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile;
    QString user;
    QString password; // never printed
    QString clientId; // default: made from the host and the program's files
    // Delivered once the broker acknowledges an event, for feeds without a collector
    // (a home-automation hub); otherwise once a collector confirms it stored it.
    bool confirmByBroker = false;
    // A collector of a group that splits the events (an MQTT 5 shared subscription,
    // $share/GROUP/...); "" for one that takes them all.
    QString shareGroup;
    // The fleet's key ([MQTT] KEY_FILE): events, confirmations and announcements are
    // signed with it, and what is not signed with it is refused. Empty: no key.
    QByteArray fleetKey;

    // "host:port", for messages.
    QString where() const;
};

// mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts://...; user, password and CA file come
// from the environment (DIALKITE_MQTT_USER, DIALKITE_MQTT_PASSWORD, DIALKITE_MQTT_CA)
// when set, else from the URL, else from the settings file's [MQTT] USER, PASSWORD, CA;
// [MQTT] CONFIRM=broker or collector (the default) says what delivers an event; [MQTT]
// KEY_FILE (DIALKITE_FLEET_KEY_FILE, --fleet-key-file) names the fleet key.
// Nothing, and `error`, when the URL or a setting is not one of these.
std::optional<MqttTarget> mqttTargetOf(const QString &url, const Config &config, QString *error);
std::optional<MqttTarget> mqttTarget(const QString &url, const Profile &settings, QString *error);
// What a program says once at start when it talks to a broker without a fleet key.
QString unsignedFleetWarning();

// The settings the environment stands for ([MQTT] USER, PASSWORD, CA, KEY_FILE).
QList<Config::Environment> mqttEnvironment();

// What a front end publishes: to which broker, with which spool, as which box when its
// console has no name of its own (the window: [MQTT] BOX or the host's name).
struct MqttPlan {
    MqttTarget target;
    QString spool;
    QString box;
};
OutputKind mqttKind();

// Why `name` cannot be a box's name in a topic ("" when it can): not empty, no "+",
// "#", "/" or control characters.
QString boxNameProblem(const QString &name);

// The JSON a published event carries: the monitor's event object and the box; the
// publisher adds a unique id and the PC's time ("pc_time").
QJsonObject publishedEvent(const Event &event, const QString &box);
// The same as fields, "event" first.
json::Fields publishedFields(const Event &event, const QString &box);

// A client id for a process: `role` ("collect-"), the host and a digest of what makes
// the process (its spool file, its history), so that the same process started again is
// the same client and two processes are never one.
QString clientIdFor(const QString &role, const QString &what);

class MqttLink;

// The connection and spool of this process for `target` (one a target and spool file).
std::shared_ptr<MqttLink> mqttLink(const MqttTarget &target, const QString &spool);

// One box's events onto the process's connection.
class MqttOutput : public Output {
    Q_OBJECT
public:
    MqttOutput(std::shared_ptr<MqttLink> link, const QString &box, QObject *parent = nullptr);
    ~MqttOutput() override;

    void consume(const Event &event) override;
    void take(const SharedEvent &event) override;
    // Waits for the box's spool to empty; says how many events still wait in it.
    QString finish(QDeadlineTimer deadline) override;
    bool durable() const override { return true; }
    quint64 committedCount() const override;

    // Events of this box not delivered yet.
    qint64 backlog() const;
    const QString &box() const { return m_box; }

private:
    void onSpooled(qint64 count);

    std::shared_ptr<MqttLink> m_link;
    QString m_box;
    quint64 m_given = 0;
    std::deque<quint64> m_pending; // numbers of the events handed over, not yet spooled
};

// Receives every box's messages (dialkite/+/+) with a persistent session, for the
// collector, and publishes its confirmations. handler() runs on the client's network
// thread with each message as it came: nothing from the broker is trusted yet.
class MqttSubscriber : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &topic, const QByteArray &payload)>;
    // `patterns`: what it subscribes to (default: every box's messages); `persistent`: a
    // session the broker keeps while it is away.
    MqttSubscriber(const MqttTarget &target, Handler handler, QObject *parent = nullptr,
                   const QStringList &patterns = {QStringLiteral("dialkite/+/+")},
                   bool persistent = true);
    // Called (on the client's thread) each time the connection is made, after subscribing.
    void onConnected(std::function<void()> call);
    ~MqttSubscriber() override;

    // A retained QoS 1 message (a confirmation), from any thread.
    void publishRetained(const QString &topic, const QByteArray &payload);
    // A QoS 1 message that is not kept, from any thread.
    void publish(const QString &topic, const QByteArray &payload);

Q_SIGNALS:
    void status(const QString &message);

private:
    class Client;
    std::unique_ptr<Client> m_client;
    std::function<void()> m_onConnected;
    std::mutex m_mutex;
};

// The retained topic on which a collector confirms a publisher's events of `box`.
QString confirmationTopic(const QString &box, const QString &instance);

} // namespace dialkite
