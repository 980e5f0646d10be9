#pragma once

// The number column of the caller-ID log: a status marker becomes its Korean text,
// anything else is taken as the caller's digits and grouped with dashes as Korean
// numbers are written. Decoders differ only in where the number field starts (p), the
// character the box puts right after the last digit (e), and their markers.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <span>

namespace dialkite {

// What the number field says: the caller's digits, or why there are none.
enum class NumberStatus { Number, Withheld, PublicPhone, NotCollected };

// The number field of a record, read.
struct CallerNumber {
    NumberStatus status = NumberStatus::Number;
    QByteArray digits; // for NumberStatus::Number: the grouped characters, blanks dropped
    QString text;      // as the caller-ID log shows it
};

struct NumberMarker {
    QByteArrayView code; // as it stands in the record, from the number field's start
    NumberStatus status;
};

QString statusText(NumberStatus status);

// "P", "C", "O": withheld, public phone, not collected (default, multi-line, REZ, RORIVU).
std::span<const NumberMarker> letterMarkers();
// "@P", "@C", "@O" (ZUD).
std::span<const NumberMarker> atMarkers();
// "C", "O" only: a "P" starts a number (ZURAZA).
std::span<const NumberMarker> zurazaMarkers();

// The status a marker at `p` stands for, if the field starts with one of `markers`.
std::optional<NumberStatus> numberMarker(const QByteArray &record, qsizetype p,
                                         std::span<const NumberMarker> markers);

// The number field of `record` starting at 1-based position `p`. Nothing is trimmed or
// checked; a short record gives short or empty groups.
CallerNumber callerNumber(const QByteArray &record, qsizetype p, char e,
                          std::span<const NumberMarker> markers);
// Its display text only.
QString callerNumberText(const QByteArray &record, qsizetype p, char e,
                         std::span<const NumberMarker> markers);

// The call time of the formats that carry one: two digits each of month, day, hour and
// minute from `position`, shown as "MM-DD hh:mm".
QString callTimeText(const QByteArray &record, qsizetype position);

} // namespace dialkite
