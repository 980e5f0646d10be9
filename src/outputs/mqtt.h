#pragma once

// Publishing to an MQTT broker (libmosquitto): every event of a box as JSON on
// dialkite/<box>/<event>, QoS 1, with a retained dialkite/<box>/status that says
// "online" while the box's console is connected and "offline" as its last will.
//
// Nothing is lost while the broker is away: each event goes first into a spool (an
// SQLite file, bounded) and leaves it only when the broker has acknowledged it; after
// a reconnect the backlog goes out in order before anything new. The console's thread
// only hands events over; the spool and the network have threads of their own.

#include "console/events.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace dialkite {

struct MqttTarget {
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile;
    QString user;
    QString password; // never printed
    QString clientId; // default: made from the box or the program
};

// mqtt://host[:port] or mqtts://host[:port]; user, password and CA file come from the
// environment (DIALKITE_MQTT_USER, DIALKITE_MQTT_PASSWORD, DIALKITE_MQTT_CA) when set,
// else from the settings file's [MQTT] USER, PASSWORD, CA. Nothing, and `error`, when
// the URL is not one of these.
std::optional<MqttTarget> mqttTarget(const QString &url, const QString &user,
                                     const QString &password, const QString &caFile,
                                     QString *error);

// Why `name` cannot be a box's name in a topic ("" when it can): not empty, no "+",
// "#", "/" or control characters.
QString boxNameProblem(const QString &name);

// The JSON a published event carries: the monitor's event object and the box; the
// publisher adds a unique id ("<box>:<sequence>") and the PC's time ("pc_time").
QJsonObject publishedEvent(const Event &event, const QString &box);

class MqttClient;
class PublisherThread;

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    // `spool` is the SQLite file that holds what the broker has not acknowledged yet;
    // several boxes and processes may share one.
    MqttPublisher(const QString &box, const MqttTarget &target, const QString &spool,
                  QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Connected to Console::observed.
    void consume(const Event &event);
    // Waits up to `ms` for the spool to empty (everything acknowledged); true when it did.
    bool drain(int ms);
    qint64 backlog() const;

Q_SIGNALS:
    // The broker connection's news, for the operator: connected, refused (with the
    // broker's reason), lost; the publisher goes on retrying by itself.
    void status(const QString &message);

private:
    QString m_box;
    std::unique_ptr<PublisherThread> m_thread;
};

// Receives every box's events (dialkite/+/+), for the collector. handler() runs on the
// client's network thread with the topic's box and the parsed event.
class MqttSubscriber : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &box, const QJsonObject &event)>;
    MqttSubscriber(const MqttTarget &target, Handler handler, QObject *parent = nullptr);
    ~MqttSubscriber() override;

Q_SIGNALS:
    void status(const QString &message);

private:
    std::unique_ptr<MqttClient> m_client;
};

} // namespace dialkite
