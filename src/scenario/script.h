#pragma once

// Scenario scripts and captures: one step per line, as the operator and the box would
// act on the main window; captures add time stamps, the console's writes and where it
// stood when the file began.

#include "steps.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace dialkite::scenario {

struct Step {
    using Kind = StepKind;
    Kind kind = Kind::Rx;
    int lineNumber = 0;
    QByteArray bytes;          // rx, tx; the dialled number of state
    std::optional<int> number; // the option or line digit; nullopt for "none chosen"
    QString text;              // dial
    QDateTime stamp;           // "@" time stamp of a capture line; invalid without one
    int variant = 0;           // state
    int identify = 0;          // state
    int outgoing = 0;          // state
};

struct Script {
    QList<Step> steps;
    QString error;        // "line N: reason" when the script is invalid
    bool capture = false; // it starts with the capture header
};

// A script or a capture. A capture (first line "# dialkite capture N") of a newer
// format, or one whose last line has no end (the recorder was killed while writing it),
// is refused like an invalid script.
Script parseScript(const QByteArray &content);

// The bytes an rx argument stands for; nullopt (and `error` set) when it is invalid.
std::optional<QByteArray> parseBytes(const QByteArray &text, QString *error);

} // namespace dialkite::scenario
