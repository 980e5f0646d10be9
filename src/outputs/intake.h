#pragma once

// What a collector takes from the broker, checked before anything is stored: anyone on
// the broker can publish anything. An event is taken only when it is small, well formed
// JSON of a kind the console publishes, every field of the right type and length, its
// id "BOX:INSTANCE:SEQUENCE" naming the box of its topic, and its time not far in the
// future. Everything else is refused with a reason the collector counts.

#include "console/events.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <map>
#include <optional>
#include <set>
#include <variant>

namespace dialkite {

inline constexpr qsizetype kLargestPayload = 64 * 1024;
inline constexpr qsizetype kLongestField = 64;

// A published event as the collector takes it: the event its outputs consume.
using Intake = events::Published;

// A published event (dialkite/BOX/EVENT) checked; nothing, and a short `reason` ("too
// large", "no id", ...) when it is refused.
std::optional<Intake> acceptPublished(const QString &topic, const QByteArray &payload,
                                      QString *reason);

// "BOX:INSTANCE:SEQUENCE" taken apart; false when `id` is not one.
bool parseEventId(const QString &id, QString *box, QString *instance, qint64 *seq);

inline constexpr qsizetype kMostWaitingBoxes = 64; // boxes a publisher's status may name

// What one message from the broker is to a collector once checked: an event to store, a
// box's retained status, a publisher's count of what waits in its spool, something to
// count as refused (`reason`), or nothing of its business.
struct Refused {
    QString reason;
};
struct Ignored {};
using Heard = std::variant<Refused, Ignored, Intake, events::BoxStatus, events::SpoolWaiting>;
// `topic` and `payload` as they came; with a fleet key (not empty) an event counts only
// with the fleet's signature.
Heard hearMessage(const QString &topic, const QByteArray &payload, const QByteArray &fleetKey);

// The boxes a collector has confirmed events of, and to which of their publishers: at most
// kMost at once. Noting one more returns the confirmation topics of a box that was
// forgotten for it (the one confirmed longest ago), to be cleared on the broker, so that a
// flood of invented boxes leaves nothing retained behind.
class ConfirmedBoxes {
public:
    static constexpr size_t kMost = 1000;
    static constexpr size_t kInstancesABox = 16; // publishers remembered of one box

    QStringList note(const QString &box, const QString &instance);
    size_t size() const { return m_boxes.size(); }

private:
    struct Box {
        qint64 order = 0;
        std::map<QString, qint64> instances; // by when each was last confirmed
    };
    std::map<QString, Box> m_boxes;
    std::map<qint64, QString> m_byOrder;
    qint64 m_next = 0;
};

} // namespace dialkite
