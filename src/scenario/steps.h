#pragma once

// The words of the script format, in one table: what the operator's steps are called in
// a scenario, a capture and a box test suite. The operations name the step they perform
// through it, the parser reads it, and the capture writer and the simulator's replay
// find the steps by it. Header only: the core includes it without linking the format's
// parser.

#include <QString>
#include <array>
#include <optional>
#include <string_view>

namespace dialkite::scenario {

enum class StepKind {
    Rx,         // the box sends bytes
    Select,     // the selection dialog
    Reprogram,  // the reprogramming dialog
    Identify,   // the identification button
    Dial,       // the dial dialog
    Hangup,     // the hang-up dialog
    Volume,     // the volume dialog
    DetectRead, // the hook/ring dialog's read button
    DetectSet,  // the hook/ring dialog's setting
    Tx,         // captures: what the console wrote
    State,      // captures: where the console stood when the file began
};

// What follows a step's word.
enum class Argument {
    None,     // nothing
    Optional, // one digit, or nothing ("none chosen")
    Required, // one digit
    DialText, // a line digit, a blank, the typed number
    Bytes,    // byte notation
    Fields,   // the state step's name=value fields
};

struct StepWord {
    StepKind kind;
    std::string_view word;
    Argument argument;
    int low;  // the lowest digit
    int high; // the highest digit; 0: the variant table decides (select, reprogram)
};

inline constexpr std::array kStepWords = {
    StepWord{StepKind::Rx, "rx", Argument::Bytes, 0, 0},
    StepWord{StepKind::Select, "select", Argument::Optional, 1, 0},
    StepWord{StepKind::Reprogram, "reprogram", Argument::Optional, 1, 0},
    StepWord{StepKind::Identify, "identify", Argument::None, 0, 0},
    StepWord{StepKind::Dial, "dial", Argument::DialText, 1, 4},
    StepWord{StepKind::Hangup, "hangup", Argument::Required, 1, 4},
    StepWord{StepKind::Volume, "volume", Argument::Optional, 0, 3},
    StepWord{StepKind::DetectRead, "detect-read", Argument::None, 0, 0},
    StepWord{StepKind::DetectSet, "detect-set", Argument::Optional, 0, 2},
    StepWord{StepKind::Tx, "tx", Argument::Bytes, 0, 0},
    StepWord{StepKind::State, "state", Argument::Fields, 0, 0},
};

constexpr const StepWord &stepWord(StepKind kind)
{
    for (const StepWord &entry : kStepWords) {
        if (entry.kind == kind)
            return entry;
    }
    return kStepWords.front();
}

// The step as a script writes it: "identify", "select 3", "select" (none chosen).
inline QString stepText(StepKind kind, std::optional<int> digit = std::nullopt)
{
    const std::string_view word = stepWord(kind).word;
    QString text = QString::fromLatin1(word.data(), qsizetype(word.size()));
    if (digit)
        text += QLatin1Char(' ') + QString::number(*digit);
    return text;
}

// "dial LINE TEXT": the line digit, a blank and the typed number as it is.
inline QString dialText(int line, const QString &number)
{
    return stepText(StepKind::Dial, line) + QLatin1Char(' ') + number;
}

} // namespace dialkite::scenario
