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
// The highest line number a box of the format reports.
int lineCount(Format format);
// Whether the format reports the end of a call dialled from the console.
bool hasCallEnd(Format format);

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

// The name and version a box of variant 1 to 8 reports, in its format's field widths.
Identity defaultIdentity(int variant);

// A caller record, or nullopt (and `why`) when the format cannot carry the event.
std::optional<QByteArray> callRecord(Format format, const CallEvent &event, QString *why);
QByteArray identificationRecord(Format format, const Identity &identity);
// The "outgoing call over" record; nullopt for the formats without one.
std::optional<QByteArray> callEndRecord(Format format, int line);
// The answer to a hook/ring detection read: STX, "a", "x", the setting digit, ETX.
QByteArray detectionRecord(int setting);

// ZURAZA: each byte of line n carries the line's offset; the line's record ends with
// its end byte.
inline constexpr quint8 kZurazaOffsets[4] = {0x00, 0x40, 0x80, 0xC0};
inline constexpr quint8 kZurazaEnd = 0x1F;
inline constexpr quint8 kZurazaFirst = 0x10; // what the box sends before a line's text

} // namespace dialkite::sim
