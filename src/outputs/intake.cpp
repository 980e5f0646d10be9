#include "intake.h"

#include "fleetkey.h"
#include "mqtt.h"

#include "console/notation.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QStringList>

namespace dialkite {

namespace {

constexpr qint64 kFutureMs = 24LL * 3600 * 1000; // a PC clock a day ahead is wrong, not late

// The text fields each event may carry; every one optional, each a string.
const QStringList kTexts = {
    QStringLiteral("event"),   QStringLiteral("box"),    QStringLiteral("id"),
    QStringLiteral("line"),    QStringLiteral("time"),   QStringLiteral("number"),
    QStringLiteral("digits"),  QStringLiteral("status"), QStringLiteral("color"),
    QStringLiteral("variant"), QStringLiteral("name"),   QStringLiteral("version"),
    QStringLiteral("state"),   QStringLiteral("pc_time")};

bool knownKind(const QString &kind)
{
    return kind == u"call" || kind == u"identification" || kind == u"detection" ||
           kind == u"call_end";
}

} // namespace

bool parseEventId(const QString &id, QString *box, QString *instance, qint64 *seq)
{
    // The box may hold ':' itself: the instance and the sequence are the last two parts.
    const qsizetype last = id.lastIndexOf(QLatin1Char(':'));
    const qsizetype middle = last > 0 ? id.lastIndexOf(QLatin1Char(':'), last - 1) : -1;
    if (middle <= 0)
        return false;
    static const QRegularExpression instanceForm(QStringLiteral("^[0-9a-zA-Z]{1,32}$"));
    static const QRegularExpression seqForm(QStringLiteral("^[1-9][0-9]{0,17}$"));
    const QString i = id.mid(middle + 1, last - middle - 1);
    const QString s = id.mid(last + 1);
    if (!instanceForm.match(i).hasMatch() || !seqForm.match(s).hasMatch())
        return false;
    *box = id.left(middle);
    *instance = i;
    *seq = s.toLongLong();
    return true;
}

std::optional<Intake> acceptPublished(const QString &topic, const QByteArray &payload,
                                      QString *reason)
{
    const auto refuse = [reason](const char *why) {
        *reason = QString::fromLatin1(why);
        return std::nullopt;
    };
    const QStringList parts = topic.split(QLatin1Char('/'));
    if (parts.size() != 3 || parts[0] != u"dialkite" || parts[1].isEmpty() ||
        parts[1].size() > kLongestField)
        return refuse("a topic that is not dialkite/BOX/EVENT");
    if (payload.size() > kLargestPayload)
        return refuse("too large");
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return refuse("not a JSON object");
    Intake intake;
    intake.box = parts[1];
    intake.event = document.object();
    const QJsonObject &event = intake.event;
    for (auto it = event.begin(); it != event.end(); ++it) {
        if (kTexts.contains(it.key())) {
            if (!it.value().isString())
                return refuse("a field of the wrong type");
            if (it.value().toString().size() > kLongestField)
                return refuse("a field too long");
        } else if (it.key() == u"row" || it.key() == u"first") {
            if (!it.value().isDouble() || it.value().toDouble() < 0 || it.value().toDouble() > 1e15)
                return refuse("a field of the wrong type");
        } else {
            return refuse("an unknown field");
        }
    }
    const QString kind = event.value(u"event").toString();
    if (!knownKind(kind) || kind != parts[2])
        return refuse("an unknown event");
    if (!event.contains(u"id"))
        return refuse("no id");
    QString idBox;
    if (!parseEventId(event.value(u"id").toString(), &idBox, &intake.instance, &intake.seq))
        return refuse("an id that is not BOX:INSTANCE:SEQUENCE");
    if (idBox != intake.box || event.value(u"box").toString(intake.box) != intake.box)
        return refuse("the id of another box");
    intake.first = qint64(event.value(u"first").toDouble(0));
    if (intake.first > intake.seq)
        return refuse("a field of the wrong type");
    if (event.contains(u"pc_time")) {
        const QDateTime at =
            QDateTime::fromString(event.value(u"pc_time").toString(), Qt::ISODateWithMs);
        if (!at.isValid())
            return refuse("a time that is not one");
        if (at.toMSecsSinceEpoch() > QDateTime::currentMSecsSinceEpoch() + kFutureMs)
            return refuse("a time far in the future");
    }
    return intake;
}

namespace {

constexpr qsizetype kLongestTopicShown = 100;

// {"waiting": {"BOX": N, ...}} from a publisher's status, for the page; anything else in
// it is not ours to read, and nothing in it is trusted.
std::optional<events::SpoolWaiting> waitingOf(const QByteArray &payload)
{
    if (payload.size() > kLargestPayload)
        return std::nullopt;
    const QJsonObject waiting =
        QJsonDocument::fromJson(payload).object().value(u"waiting").toObject();
    events::SpoolWaiting out;
    // A publisher serves a rig of a few dozen boxes; more is somebody's flood.
    if (waiting.size() > kMostWaitingBoxes)
        return std::nullopt;
    for (auto at = waiting.begin(); at != waiting.end(); ++at) {
        const qint64 count = at.value().toInteger(-1);
        if (at.key().size() <= kLongestField && !at.key().contains(u'/') && count >= 0)
            out.boxes.append({at.key(), count});
    }
    return out;
}

} // namespace

Heard hearMessage(const QString &topic, const QByteArray &payload, const QByteArray &fleetKey)
{
    const QStringList parts = topic.split(QLatin1Char('/'));
    if (parts.size() == 3 && parts[0] == u"dialkite-monitor") {
        if (auto waiting = waitingOf(payload))
            return std::move(*waiting);
        return Ignored{};
    }
    if (parts.size() == 3 && parts[0] == u"dialkite" && parts[2] == u"status") {
        // A box's retained status is a plain word.
        const QString state = QString::fromUtf8(payload);
        if (parts[1].isEmpty() || parts[1].size() > kLongestField ||
            (state != u"online" && state != u"offline"))
            return Refused{QStringLiteral("a status that is not one")};
        return events::BoxStatus{parts[1], state == u"online"};
    }
    QByteArray content = payload;
    if (!fleetKey.isEmpty()) {
        // Anyone may publish: with a fleet key only what a publisher of the fleet signed.
        auto verified = verifiedMessage(fleetKey, topic, payload);
        if (!verified)
            return Refused{QStringLiteral("without the fleet's signature on %1")
                               .arg(visibleControls(topic.left(kLongestTopicShown)))};
        content = std::move(*verified);
    }
    QString reason;
    if (auto intake = acceptPublished(topic, content, &reason))
        return std::move(*intake);
    return Refused{reason};
}

QStringList ConfirmedBoxes::note(const QString &box, const QString &instance)
{
    QStringList cleared;
    auto found = m_boxes.find(box);
    if (found == m_boxes.end()) {
        if (m_boxes.size() >= kMost) {
            const auto oldest = m_byOrder.begin();
            for (const auto &[gone, order] : m_boxes.at(oldest->second).instances)
                cleared << confirmationTopic(oldest->second, gone);
            m_boxes.erase(oldest->second);
            m_byOrder.erase(oldest);
        }
        found = m_boxes.emplace(box, Box{}).first;
    } else {
        m_byOrder.erase(found->second.order);
    }
    Box &known = found->second;
    known.order = ++m_next;
    m_byOrder[known.order] = box;
    known.instances[instance] = m_next;
    if (known.instances.size() > kInstancesABox) {
        const auto oldest =
            std::min_element(known.instances.begin(), known.instances.end(),
                             [](const auto &a, const auto &b) { return a.second < b.second; });
        cleared << confirmationTopic(box, oldest->first);
        known.instances.erase(oldest);
    }
    return cleared;
}

} // namespace dialkite
