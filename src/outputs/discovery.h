#pragma once

// Home Assistant discovery: every box appears as a device (its name, the variant's device
// name as the model, the identified version as the firmware) with a sensor of the last
// caller on each line and one of the hook/ring setting, available while
// dialkite/<box>/status says "online". The configs are retained under PREFIX (default
// "homeassistant") and published again whenever Home Assistant says PREFIX/status
// "online" (it has restarted and forgotten them).

#include "mqtt.h"
#include "output.h"
#include "registry.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <mutex>

namespace dialkite {

// One box as discovery describes it.
struct DiscoveredBox {
    QString variant; // "3"
    QString version; // the identified version ("" until identified)
};

// The retained configs of one box: topic -> payload.
std::map<QString, QByteArray> discoveryConfigs(const QString &prefix, const QString &box,
                                               const DiscoveredBox &info);

// --ha-discovery [PREFIX] on a monitor (its broker) or a collector (the fleet's).
struct DiscoveryPlan {
    MqttTarget target;
    QString prefix;
};
OutputKind discoveryKind();

class HomeAssistantDiscovery : public QObject {
    Q_OBJECT
public:
    // Boxes described at once; beyond, the one heard of longest ago is forgotten.
    static constexpr int kMostBoxes = 1000;
    // Home Assistant's "online" sends every config again at most this often.
    static constexpr int kRepublishEveryMs = 60000;

    HomeAssistantDiscovery(const MqttTarget &target, const QString &prefix,
                           QObject *parent = nullptr);
    ~HomeAssistantDiscovery() override;

    // A box is there, or what is known of it changed (its identification): its own
    // configs go out (again). From any thread.
    void describe(const QString &box, const DiscoveredBox &info);
    int boxes() const;

private:
    struct Known {
        DiscoveredBox info;
        quint64 seen = 0; // when it was last heard of, in describe() calls
    };
    void publish(const QString &box, const DiscoveredBox &info);
    void publishAll();
    void republishSoon();
    void forgetOldest();

    QString m_prefix;
    mutable std::mutex m_mutex;
    std::map<QString, Known> m_boxes;
    quint64 m_clock = 0;
    qint64 m_lastRepublish = 0;
    bool m_republishWanted = false;
    QTimer m_republish;
    std::unique_ptr<MqttSubscriber> m_client;
};

// What discovery learns from each box's events once they are kept: that it is there, its
// variant, its identification.
class DiscoveryOutput : public Output {
    Q_OBJECT
public:
    DiscoveryOutput(std::shared_ptr<HomeAssistantDiscovery> discovery, const QString &box,
                    QObject *parent = nullptr);
    void consume(const Event &event) override;
    QString finish(QDeadlineTimer) override { return {}; }

private:
    std::shared_ptr<HomeAssistantDiscovery> m_discovery;
    QString m_box;
};

} // namespace dialkite
