#pragma once

// Scenario scripts for the headless runner: one step per line, as the operator and the
// box would act on the main window.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace dialkite::cli {

struct Step {
    enum class Kind {
        Rx,
        Select,
        Reprogram,
        Identify,
        Dial,
        Hangup,
        Volume,
        DetectRead,
        DetectSet,
        Tx,    // captures: what the console wrote
        State, // captures: where the console stood when the file began
    };
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

} // namespace dialkite::cli
