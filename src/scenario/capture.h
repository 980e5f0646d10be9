#pragma once

// The capture side of the script format: what the flight recorder writes and the parser
// recognises. A capture is a script with a header of comment lines, a state step that
// puts the console where it stood, and every line stamped with the local time to the
// millisecond.

#include "console/events.h"
#include "steps.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace dialkite::scenario {

// The format's version, written in the first line; readers refuse higher ones.
inline constexpr int kCaptureFormat = 1;

// What the header says about the session.
struct CaptureHeader {
    QString program; // "dialkite 0.2.0"
    QString port;    // "COM3", or "" when the device was opened by its path
    QString device;
    VariantId variant;
    QDateTime started;
};

// A line's time stamp: local time to the millisecond, "2026-12-07T12:01:37.340".
QByteArray stamp(const QDateTime &at);
// A stamp exactly as stamp() writes it; invalid for anything else.
QDateTime parseStamp(const QByteArray &text);
// The format number of a capture's first line, "# dialkite capture N".
std::optional<int> captureFormat(const QByteArray &firstLine);

// The comment lines that open a capture, each ended.
QByteArray headerLines(const CaptureHeader &header);
// "@STAMP TEXT" and the line end.
QByteArray stampedLine(const QDateTime &at, const QByteArray &text);
// The state step: where the console stood.
QByteArray stateStep(const events::Standing &standing);
// "rx BYTES" or "tx BYTES" in byte notation.
QByteArray bytesStep(StepKind kind, const QByteArray &bytes);
// A comment line for the reader ("# call row 1 line 1: 02-123-4567"); control
// characters are made visible so the comment stays on its line.
QByteArray commentLine(const QString &text);

} // namespace dialkite::scenario
