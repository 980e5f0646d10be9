#include "script.h"

#include "console/notation.h"
#include "console/variant.h"

#include <array>

namespace dialkite::cli {

namespace {

struct StepSyntax {
    Step::Kind kind;
    const char *word;
    enum class Argument { None, Optional, Required, DialText } argument;
    int low;
    int high;
};

constexpr std::array kSyntax = {
    StepSyntax{Step::Kind::Rx, "rx", StepSyntax::Argument::None, 0, 0},
    // The ranges of select and reprogram come from the variant table (see range()).
    StepSyntax{Step::Kind::Select, "select", StepSyntax::Argument::Optional, 1, 0},
    StepSyntax{Step::Kind::Reprogram, "reprogram", StepSyntax::Argument::Optional, 1, 0},
    StepSyntax{Step::Kind::Identify, "identify", StepSyntax::Argument::None, 0, 0},
    StepSyntax{Step::Kind::Dial, "dial", StepSyntax::Argument::DialText, 1, 4},
    StepSyntax{Step::Kind::Hangup, "hangup", StepSyntax::Argument::Required, 1, 4},
    StepSyntax{Step::Kind::Volume, "volume", StepSyntax::Argument::Optional, 0, 3},
    StepSyntax{Step::Kind::DetectRead, "detect-read", StepSyntax::Argument::None, 0, 0},
    StepSyntax{Step::Kind::DetectSet, "detect-set", StepSyntax::Argument::Optional, 0, 2},
};

// The highest option of a step: its own, or the variant table's for the variant dialogs.
int highest(const StepSyntax &syntax)
{
    if (syntax.kind == Step::Kind::Select)
        return variantTable().highest();
    if (syntax.kind == Step::Kind::Reprogram) {
        const auto options = variantTable().reprogrammable();
        return options.isEmpty() ? 0 : options.back()->code.number();
    }
    return syntax.high;
}

bool isBlank(const QByteArray &line)
{
    for (const char c : line) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

// A single digit in [low, high] with nothing after it.
std::optional<int> digitArgument(const QByteArray &text, int low, int high)
{
    if (text.size() != 1 || text[0] < '0' || text[0] > '9')
        return std::nullopt;
    const int digit = text[0] - '0';
    return digit >= low && digit <= high ? std::optional<int>(digit) : std::nullopt;
}

QString parseStep(const QByteArray &line, Step &step)
{
    if (line.startsWith(' ') || line.startsWith('\t'))
        return QStringLiteral("a step starts in the first column");
    const qsizetype blank = line.indexOf(' ');
    const QByteArray word = blank < 0 ? line : line.left(blank);
    const QByteArray argument = blank < 0 ? QByteArray() : line.mid(blank + 1);
    const StepSyntax *syntax = nullptr;
    for (const StepSyntax &s : kSyntax) {
        if (word == s.word)
            syntax = &s;
    }
    if (!syntax)
        return QStringLiteral("unknown step '%1'").arg(QString::fromUtf8(word));
    step.kind = syntax->kind;
    const QString name = QString::fromLatin1(syntax->word);
    const int high = highest(*syntax);
    const QString range = QStringLiteral("%1-%2").arg(syntax->low).arg(high);

    if (syntax->kind == Step::Kind::Rx) {
        if (blank < 0)
            return QStringLiteral("'rx' needs a blank before its bytes");
        QString error;
        const auto bytes = parseBytes(argument, &error);
        if (!bytes)
            return error;
        step.bytes = *bytes;
        return {};
    }
    switch (syntax->argument) {
    case StepSyntax::Argument::None:
        if (blank >= 0)
            return QStringLiteral("'%1' takes no argument").arg(name);
        return {};
    case StepSyntax::Argument::Optional:
    case StepSyntax::Argument::Required:
        if (blank < 0) {
            if (syntax->argument == StepSyntax::Argument::Required)
                return QStringLiteral("'%1' needs one digit %2").arg(name, range);
            return {};
        }
        step.number = digitArgument(argument, syntax->low, high);
        if (!step.number)
            return QStringLiteral("'%1' takes one digit %2").arg(name, range);
        return {};
    case StepSyntax::Argument::DialText:
        step.number = blank < 0 ? std::nullopt : digitArgument(argument.left(1), 1, 4);
        if (!step.number || (argument.size() > 1 && argument[1] != ' '))
            return QStringLiteral("'dial' needs a line digit 1-4, then a blank and the number");
        step.text = QString::fromUtf8(argument.mid(2));
        return {};
    }
    return {};
}

} // namespace

std::optional<QByteArray> parseBytes(const QByteArray &text, QString *error)
{
    return parseNotation(text, error, 4); // the bytes start after "rx "
}

Script parseScript(const QByteArray &content)
{
    Script script;
    QByteArray text = content;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    if (text.endsWith('\n'))
        text.chop(1);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size() && !text.isEmpty(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (isBlank(line) || line.trimmed().startsWith('#'))
            continue;
        Step step;
        step.lineNumber = int(i) + 1;
        const QString error = parseStep(line, step);
        if (!error.isEmpty()) {
            script.steps.clear();
            script.error = QStringLiteral("line %1: %2").arg(step.lineNumber).arg(error);
            return script;
        }
        script.steps.append(step);
    }
    return script;
}

} // namespace dialkite::cli
