#pragma once

// What a box of each variant sends, built from the record tables of its format. These
// builders share no code with the console's decoders, so that a test in which both
// meet can catch a fault in either.

#include "console/variant.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace dialkite::sim {

using Format = RecordFormat;

// The record format of a variant in the console's table (Default for one it lacks).
Format formatOf(int variant);
// Whether the console's table has variant `variant`.
bool knownVariant(int variant);
// The highest line number a box of the variant reports (its table entry says).
int lineCount(int variant);
// Whether a box of the variant reports the end of a call dialled from the console.
bool hasCallEnd(int variant);
// Whether a box can be reprogrammed to variant `variant` (its table entry says).
bool reprogrammableTo(int variant);

enum class Caller { Number, Withheld, PublicPhone, NotCollected };

struct CallEvent {
    int line = 1;
    Caller caller = Caller::Number;
    QByteArray digits; // 1 to 12 digits, for Caller::Number
    bool red = false;  // REZ "m" / RORIVU "M" records instead of "I"
    QDateTime when = QDateTime::currentDateTime();
};

struct Identity {
    QByteArray name;
    QByteArray version;
};

// The name and version a box of the variant reports: its device name from the table,
// in its format's field widths.
Identity defaultIdentity(int variant);

// A caller record, or nullopt (and `why`) when the format cannot carry the event.
// A variant whose table entry brings SimulatedRecords is built from those.
std::optional<QByteArray> callRecord(int variant, const CallEvent &event, QString *why);
QByteArray identificationRecord(int variant, const Identity &identity);
// The "outgoing call over" record; nullopt for the formats without one.
std::optional<QByteArray> callEndRecord(int variant, int line);
// What the console must answer a call record with, if the format wants an answer.
std::optional<QByteArray> acknowledgementOf(int variant, const CallEvent &event);
// The answer to a hook/ring detection read: STX, "a", "x", the setting digit, ETX.
QByteArray detectionRecord(int setting);

// ZURAZA: each byte of line n carries the line's offset; the line's record ends with
// its end byte.
inline constexpr quint8 kZurazaOffsets[4] = {0x00, 0x40, 0x80, 0xC0};
inline constexpr quint8 kZurazaEnd = 0x1F;
inline constexpr quint8 kZurazaFirst = 0x10; // what the box sends before a line's text

} // namespace dialkite::sim
