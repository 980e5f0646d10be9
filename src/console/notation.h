#pragma once

// The byte notation of scenario scripts and logs: printable ASCII stands for itself,
// <STX> and <ETX> for 0x02 and 0x03, <HH> for any byte, << for "<".

#include <QByteArray>
#include <QString>
#include <optional>

namespace dialkite {

// The bytes `text` stands for; nullopt (with `error` saying at which column, counting
// the first character as `firstColumn`) when it is invalid.
std::optional<QByteArray> parseNotation(const QByteArray &text, QString *error,
                                        int firstColumn = 1);

// A text with its control characters (below 0x20, and 0x7F) written as <STX>, <ETX> or
// <HH>, for showing records; everything else is kept.
QString visibleControls(const QString &text);

// Bytes written so that parseNotation() gives them back exactly.
QString notation(const QByteArray &bytes);

} // namespace dialkite
