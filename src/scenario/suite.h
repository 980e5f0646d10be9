#pragma once

// Box test suites: a script of the operator's steps (select, identify, dial, hangup,
// detect-read, detect-set, volume, reprogram) run against a real box, with waits, prompts
// for a person, and expectations, each with a time limit:
//
//     expect identification [name=GLOB] [version=GLOB] within 2s
//     expect detection HOOK|RING within 2s
//     expect call [line=L] [number=GLOB] [status=S] [color=blue|red|none] within 60s
//     expect call-end within 15s
//     expect tx|rx BYTES within 100ms        (BYTES in byte notation, * any bytes)
//     expect no call|call-end|rx|tx|identification|detection within 3s
//     wait 500ms
//     prompt 2번 회선에 전화를 거십시오
//
// An expectation looks at what the console saw since the last expectation was met (an
// operator step's frames too), then waits for the rest of its time: "expect no X" passes
// when nothing of X came after what was expected (and after the last `wait`), up to its
// time limit. Times are measured from the step's start and are never negative.
//
// GLOB: `*` any characters, `?` one. A time limit is N followed by ms, s or m. A line's
// text from a blank and `#` on is a comment (not inside byte notation: rx and tx patterns
// take everything to the `within`).

#include "script.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace dialkite::scenario {

struct Expectation {
    enum class What { Identification, Detection, Call, CallEnd, Tx, Rx };
    What what = What::Call;
    bool none = false; // "expect no ..."
    int withinMs = 0;
    // Identification: name and version globs. Call: line, number, status, colour.
    QString name, version;
    QStringList detection; // any of these states
    QString line, number, status, colour;
    QList<QByteArray> pieces; // tx/rx: the pattern's bytes between its `*`s, in order
};

struct SuiteStep {
    enum class Kind { Operator, Expect, Wait, Prompt };
    Kind kind = Kind::Operator;
    int lineNumber = 0;
    QString text;            // the line as written, without its comment
    Step step;               // Operator
    Expectation expectation; // Expect
    int waitMs = 0;          // Wait
    QString prompt;          // Prompt
};

struct Suite {
    QList<SuiteStep> steps;
    QString error; // "line N: reason" when the suite is invalid
};

Suite parseSuite(const QByteArray &content);

// Whether `text` matches `glob` (`*` any characters, `?` one).
bool globMatch(const QString &glob, const QString &text);
// Whether `bytes` match the pattern of an expectation (`*` any bytes).
bool bytesMatch(const Expectation &expectation, const QByteArray &bytes);
// A time limit as written: 250ms, 2s, 1m; nullopt for anything else.
std::optional<int> parseDuration(const QString &text);

} // namespace dialkite::scenario
