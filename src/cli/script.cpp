#include "script.h"

#include "console/notation.h"
#include "console/variant.h"
#include "outputs/capture.h"

#include <QRegularExpression>

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
    StepSyntax{Step::Kind::Tx, "tx", StepSyntax::Argument::None, 0, 0},
    StepSyntax{Step::Kind::State, "state", StepSyntax::Argument::None, 0, 0},
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

// The format number of a capture's first line, "# dialkite capture N".
std::optional<int> captureFormat(const QByteArray &firstLine)
{
    static const QRegularExpression header(QStringLiteral("^# dialkite capture ([0-9]{1,6})\\r?$"));
    const QRegularExpressionMatch match = header.match(QString::fromLatin1(firstLine));
    return match.hasMatch() ? std::optional<int>(match.captured(1).toInt()) : std::nullopt;
}

// An ISO 8601 local date and time with milliseconds, exactly as the recorder writes it.
QDateTime parseStamp(const QByteArray &text)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}$"));
    const QString stamp = QString::fromLatin1(text);
    if (!form.match(stamp).hasMatch())
        return {};
    return QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
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

// "state variant=V identify=I outgoing=O number=TEXT", TEXT in byte notation and
// possibly empty.
QString parseState(const QByteArray &argument, bool missing, Step &step)
{
    const QString usage = QStringLiteral(
        "'state' takes variant=V identify=0|1 outgoing=0|1 number=BYTES, in that order");
    if (missing)
        return usage;
    const QByteArrayList parts = argument.split(' ');
    if (parts.size() < 4 || !parts[0].startsWith("variant=") || !parts[1].startsWith("identify=") ||
        !parts[2].startsWith("outgoing=") || !parts[3].startsWith("number="))
        return usage;
    const auto variant = digitArgument(parts[0].mid(8), 0, variantTable().highest());
    const auto identify = digitArgument(parts[1].mid(9), 0, 1);
    const auto outgoing = digitArgument(parts[2].mid(9), 0, 1);
    if (!variant || !identify || !outgoing)
        return usage;
    QString error;
    const qsizetype numberAt = argument.indexOf("number=") + 7;
    const auto number = parseNotation(argument.mid(numberAt), &error, int(numberAt) + 7);
    if (!number)
        return error;
    step.variant = *variant;
    step.identify = *identify;
    step.outgoing = *outgoing;
    step.bytes = *number;
    return {};
}

// `column` is where the step's word starts (after a time stamp, if any).
QString parseStep(const QByteArray &line, Step &step, int column)
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

    if (syntax->kind == Step::Kind::State)
        return parseState(argument, blank < 0, step);
    if (syntax->kind == Step::Kind::Rx || syntax->kind == Step::Kind::Tx) {
        if (blank < 0)
            return QStringLiteral("'%1' needs a blank before its bytes").arg(name);
        QString error;
        const auto bytes = parseNotation(argument, &error, column + 3);
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
    const auto fail = [&script](qsizetype line, const QString &reason) {
        script.steps.clear();
        script.error = QStringLiteral("line %1: %2").arg(line).arg(reason);
        return script;
    };
    QByteArray text = content;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    const bool ended = text.endsWith('\n');
    if (ended)
        text.chop(1);
    const QList<QByteArray> lines = text.split('\n');
    if (const auto format = captureFormat(lines.front())) {
        script.capture = true;
        if (*format > kCaptureFormat)
            return fail(
                1, QStringLiteral("capture format %1 is newer than this program").arg(*format));
        // The recorder ends every line; a last line without an end was cut off.
        if (!ended)
            return fail(lines.size(),
                        QStringLiteral("the capture ends inside this line (cut off?)"));
    }
    for (qsizetype i = 0; i < lines.size() && !text.isEmpty(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (isBlank(line) || line.trimmed().startsWith('#'))
            continue;
        Step step;
        step.lineNumber = int(i) + 1;
        int column = 1;
        if (line.startsWith('@')) {
            const qsizetype blank = line.indexOf(' ');
            step.stamp = parseStamp(line.mid(1, blank < 0 ? -1 : blank - 1));
            if (!step.stamp.isValid() || blank < 0)
                return fail(
                    step.lineNumber,
                    QStringLiteral(
                        "a time stamp is @YYYY-MM-DDThh:mm:ss.zzz and one blank before the step"));
            line = line.mid(blank + 1);
            column = int(blank) + 2;
        }
        const QString error = parseStep(line, step, column);
        if (!error.isEmpty())
            return fail(step.lineNumber, error);
        script.steps.append(step);
    }
    return script;
}

} // namespace dialkite::cli
