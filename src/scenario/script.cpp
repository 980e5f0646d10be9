#include "script.h"

#include "capture.h"

#include "console/notation.h"
#include "console/variant.h"

namespace dialkite::scenario {

namespace {

// The highest option of a step: its own, or the variant table's for the variant dialogs.
int highest(const StepWord &syntax)
{
    if (syntax.kind == StepKind::Select)
        return variantTable().highest();
    if (syntax.kind == StepKind::Reprogram) {
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
    const StepWord *syntax = nullptr;
    for (const StepWord &s : kStepWords) {
        if (std::string_view(word.constData(), size_t(word.size())) == s.word)
            syntax = &s;
    }
    if (!syntax)
        return QStringLiteral("unknown step '%1'").arg(QString::fromUtf8(word));
    step.kind = syntax->kind;
    const QString name = stepText(syntax->kind);
    const int high = highest(*syntax);
    const QString range = QStringLiteral("%1-%2").arg(syntax->low).arg(high);

    switch (syntax->argument) {
    case Argument::Fields:
        return parseState(argument, blank < 0, step);
    case Argument::Bytes: {
        if (blank < 0)
            return QStringLiteral("'%1' needs a blank before its bytes").arg(name);
        QString error;
        const auto bytes = parseNotation(argument, &error, column + 3);
        if (!bytes)
            return error;
        step.bytes = *bytes;
        return {};
    }
    case Argument::None:
        if (blank >= 0)
            return QStringLiteral("'%1' takes no argument").arg(name);
        return {};
    case Argument::Optional:
    case Argument::Required:
        if (blank < 0) {
            if (syntax->argument == Argument::Required)
                return QStringLiteral("'%1' needs one digit %2").arg(name, range);
            return {};
        }
        step.number = digitArgument(argument, syntax->low, high);
        if (!step.number)
            return QStringLiteral("'%1' takes one digit %2").arg(name, range);
        return {};
    case Argument::DialText:
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

} // namespace dialkite::scenario
