#include "discovery.h"

#include "console/variant.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <utility>

namespace dialkite {

namespace {

// What Home Assistant takes as part of an id: letters, digits, '_' and '-'; a box's name
// may hold more (Hangul, dots). Every other byte, and '_' itself, is written as '_' and its
// two hexadecimal digits, so that two names never make one id ("col.x" and "col_2ex"
// stay apart); a name of letters, digits and '-' is its own id.
QString idOf(const QString &box)
{
    QString id;
    for (const char c : box.toUtf8()) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-')
            id += QLatin1Char(c);
        else
            id += QStringLiteral("_%1").arg(quint8(c), 2, 16, QLatin1Char('0'));
    }
    return id;
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

std::map<QString, QByteArray> discoveryConfigs(const QString &prefix, const QString &box,
                                               const DiscoveredBox &info)
{
    const QString id = QStringLiteral("dialkite_") + idOf(box);
    const VariantInfo *variant = variantTable().find(VariantId::fromText(info.variant));
    QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{id}},
                       {QStringLiteral("name"), QStringLiteral("Dial Kite ") + box},
                       {QStringLiteral("manufacturer"), QStringLiteral("Dial Kite")},
                       {QStringLiteral("model"), variant ? variant->deviceName : QString()}};
    if (!info.version.isEmpty())
        device.insert(QStringLiteral("sw_version"), info.version);
    const QString base = QStringLiteral("dialkite/") + box + QLatin1Char('/');
    const QJsonArray availability{
        QJsonObject{{QStringLiteral("topic"), base + QStringLiteral("status")}}};
    std::map<QString, QByteArray> configs;
    const int lines = variant ? variant->lines : 4;
    for (int line = 1; line <= lines; ++line) {
        // The last caller of this line: the call topic carries every line, so a call of
        // another line leaves the sensor as it was.
        configs[QStringLiteral("%1/sensor/%2/caller_%3/config").arg(prefix, id).arg(line)] =
            compact(
                {{QStringLiteral("name"), QStringLiteral("Line %1 caller").arg(line)},
                 {QStringLiteral("unique_id"), QStringLiteral("%1_caller_%2").arg(id).arg(line)},
                 {QStringLiteral("state_topic"), base + QStringLiteral("call")},
                 {QStringLiteral("value_template"),
                  // The caller's name first when the phonebook has the number.
                  QStringLiteral(
                      "{%% if value_json.line | int == %1 %%}"
                      "{%% set n = value_json.get('name', '') %%}"
                      "{{ n ~ ' (' ~ value_json.number ~ ')' if n else value_json.number }}"
                      "{%% else %%}{{ this.state }}{%% endif %%}")
                      .arg(line)
                      .replace(QStringLiteral("%%"), QStringLiteral("%"))},
                 {QStringLiteral("icon"), QStringLiteral("mdi:phone-incoming")},
                 {QStringLiteral("availability"), availability},
                 {QStringLiteral("device"), device}});
    }
    configs[QStringLiteral("%1/sensor/%2/detection/config").arg(prefix, id)] =
        compact({{QStringLiteral("name"), QStringLiteral("Hook/ring detection")},
                 {QStringLiteral("unique_id"), id + QStringLiteral("_detection")},
                 {QStringLiteral("state_topic"), base + QStringLiteral("detection")},
                 {QStringLiteral("value_template"), QStringLiteral("{{ value_json.state }}")},
                 {QStringLiteral("icon"), QStringLiteral("mdi:phone-classic")},
                 {QStringLiteral("availability"), availability},
                 {QStringLiteral("device"), device}});
    return configs;
}

HomeAssistantDiscovery::HomeAssistantDiscovery(const MqttTarget &target, const QString &prefix,
                                               QObject *parent)
    : QObject(parent)
    , m_prefix(prefix)
{
    MqttTarget mine = target;
    mine.clientId = clientIdFor(QStringLiteral("discovery-"), target.clientId + prefix);
    m_client = std::make_unique<MqttSubscriber>(
        mine,
        [this](const QString &topic, const QByteArray &payload) {
            // Home Assistant (re)started: it has forgotten what was not retained by it.
            // Anyone may say so, so all is sent again at most once a minute.
            if (topic == m_prefix + QStringLiteral("/status") && payload == "online")
                republishSoon();
        },
        nullptr, QStringList{prefix + QStringLiteral("/status")}, false);
    m_client->onConnected([this] { publishAll(); });
    m_republish.setInterval(kRepublishEveryMs);
    connect(&m_republish, &QTimer::timeout, this, [this] {
        std::lock_guard lock(m_mutex);
        if (!std::exchange(m_republishWanted, false))
            return;
        m_lastRepublish = QDateTime::currentMSecsSinceEpoch();
        for (const auto &[box, known] : m_boxes)
            publish(box, known.info);
    });
    m_republish.start();
}

HomeAssistantDiscovery::~HomeAssistantDiscovery() = default;

void HomeAssistantDiscovery::republishSoon()
{
    std::lock_guard lock(m_mutex);
    if (QDateTime::currentMSecsSinceEpoch() - m_lastRepublish < kRepublishEveryMs) {
        m_republishWanted = true; // when the minute is over
        return;
    }
    m_lastRepublish = QDateTime::currentMSecsSinceEpoch();
    for (const auto &[box, known] : m_boxes)
        publish(box, known.info);
}

void HomeAssistantDiscovery::describe(const QString &box, const DiscoveredBox &info)
{
    std::lock_guard lock(m_mutex);
    auto at = m_boxes.find(box);
    if (at == m_boxes.end()) {
        if (m_boxes.size() >= size_t(kMostBoxes))
            forgetOldest();
        at = m_boxes.emplace(box, Known{info, ++m_clock}).first;
        publish(box, at->second.info);
        return;
    }
    Known &known = at->second;
    known.seen = ++m_clock;
    const bool changed = (!info.variant.isEmpty() && info.variant != known.info.variant) ||
                         (!info.version.isEmpty() && info.version != known.info.version);
    if (!changed)
        return; // nothing new: every call of a box would otherwise send its configs
    if (!info.variant.isEmpty())
        known.info.variant = info.variant;
    if (!info.version.isEmpty())
        known.info.version = info.version;
    publish(box, known.info); // this box's configs only
}

int HomeAssistantDiscovery::boxes() const
{
    std::lock_guard lock(m_mutex);
    return int(m_boxes.size());
}

// Under m_mutex.
void HomeAssistantDiscovery::forgetOldest()
{
    auto oldest = m_boxes.begin();
    for (auto at = m_boxes.begin(); at != m_boxes.end(); ++at) {
        if (at->second.seen < oldest->second.seen)
            oldest = at;
    }
    // Its retained configs go too, or Home Assistant would keep a device nobody serves.
    for (const auto &[topic, payload] :
         discoveryConfigs(m_prefix, oldest->first, oldest->second.info))
        m_client->publishRetained(topic, {});
    m_boxes.erase(oldest);
}

// Under m_mutex.
void HomeAssistantDiscovery::publish(const QString &box, const DiscoveredBox &info)
{
    for (const auto &[topic, payload] : discoveryConfigs(m_prefix, box, info))
        m_client->publishRetained(topic, payload);
}

void HomeAssistantDiscovery::publishAll()
{
    std::lock_guard lock(m_mutex);
    for (const auto &[box, known] : m_boxes)
        publish(box, known.info);
}

// ---- As an output ----

namespace {

// Constant at compile time: the registry is made during static initialisation.
constexpr QLatin1StringView kDiscovery("discovery");

bool readDiscoveryPlan(const Config &config, FrontEnd frontEnd, OutputPlan *plan, QString *error)
{
    const QString section = QStringLiteral("HOMEASSISTANT");
    if (frontEnd == FrontEnd::Desktop || !config.given(section, QStringLiteral("PREFIX")))
        return true;
    DiscoveryPlan part;
    part.prefix = config.value(section, QStringLiteral("PREFIX"));
    if (frontEnd == FrontEnd::Monitor) {
        // The monitor's own broker; without one the command's rules say what is missing.
        const auto *mqtt = plan->get<MqttPlan>(QStringLiteral("mqtt"));
        if (!mqtt)
            return true;
        part.target = mqtt->target;
    } else {
        auto target = mqttTargetOf(config.value(QStringLiteral("MQTT"), QStringLiteral("URL")),
                                   config, error);
        if (!target)
            return false;
        part.target = *target;
    }
    plan->set(kDiscovery, part);
    return true;
}

bool startDiscovery(const OutputPlan &plan, SharedOutputs &shared, QString *, QString *)
{
    if (const auto *part = plan.get<DiscoveryPlan>(kDiscovery))
        shared.get<HomeAssistantDiscovery>(kDiscovery, [part] {
            return std::make_shared<HomeAssistantDiscovery>(part->target, part->prefix);
        });
    return true;
}

std::unique_ptr<Output> buildDiscovery(const OutputPlan &, SharedOutputs &shared,
                                       const QString &box)
{
    const auto discovery = shared.find<HomeAssistantDiscovery>(kDiscovery);
    return discovery ? std::make_unique<DiscoveryOutput>(discovery, box) : nullptr;
}

} // namespace

DiscoveryOutput::DiscoveryOutput(std::shared_ptr<HomeAssistantDiscovery> discovery,
                                 const QString &box, QObject *parent)
    : Output(kDiscovery, parent)
    , m_discovery(std::move(discovery))
    , m_box(box.isEmpty() ? QStringLiteral("box") : box)
{}

void DiscoveryOutput::consume(const Event &event)
{
    if (const auto *started = std::get_if<events::SessionStarted>(&event)) {
        m_discovery->describe(m_box, {started->standing.variant.text(), {}});
    } else if (const auto *id = std::get_if<events::Identification>(&event)) {
        m_discovery->describe(m_box, {{}, id->version});
    } else if (const auto *published = std::get_if<events::Published>(&event)) {
        const QJsonObject &fields = published->event;
        const bool identification = fields.value(u"event").toString() == u"identification";
        m_discovery->describe(published->box,
                              {fields.value(u"variant").toString(),
                               identification ? fields.value(u"version").toString() : QString()});
    } else if (const auto *status = std::get_if<events::BoxStatus>(&event)) {
        m_discovery->describe(status->box, {});
    }
}

OutputKind discoveryKind()
{
    OutputKind kind;
    kind.name = kDiscovery;
    kind.options = {{{QStringLiteral("monitor"), QStringLiteral("collect")},
                     {QStringLiteral("--ha-discovery"), QStringLiteral("PREFIX"),
                      QStringLiteral("describe every box to Home Assistant (retained configs\n"
                                     "under PREFIX, default homeassistant)"),
                      true, QStringLiteral("homeassistant"), false, QStringLiteral("HOMEASSISTANT"),
                      QStringLiteral("PREFIX")}}};
    kind.role = OutputRole::Follower;
    kind.read = readDiscoveryPlan;
    kind.start = startDiscovery;
    kind.build = buildDiscovery;
    return kind;
}

} // namespace dialkite
