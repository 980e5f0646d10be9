#pragma once

// Scenario scripts for the headless runner: one step per line, as the operator and the
// box would act on the main window.

#include <QByteArray>
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
        DetectSet
    };
    Kind kind = Kind::Rx;
    int lineNumber = 0;
    QByteArray bytes;          // rx
    std::optional<int> number; // the option or line digit; nullopt for "none chosen"
    QString text;              // dial
};

struct Script {
    QList<Step> steps;
    QString error; // "line N: reason" when the script is invalid
};

Script parseScript(const QByteArray &content);

// The bytes an rx argument stands for; nullopt (and `error` set) when it is invalid.
std::optional<QByteArray> parseBytes(const QByteArray &text, QString *error);

} // namespace dialkite::cli
