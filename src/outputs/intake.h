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
#include <optional>

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

} // namespace dialkite
