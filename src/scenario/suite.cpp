#include "suite.h"

#include "console/notation.h"

#include <QRegularExpression>

namespace dialkite::scenario {

namespace {

// The words a suite may use beside the operator's steps.
const QStringList kWhat = {
    QStringLiteral("identification"), QStringLiteral("detection"), QStringLiteral("call"),
    QStringLiteral("call-end"),       QStringLiteral("tx"),        QStringLiteral("rx")};
const QStringList kStates = {QStringLiteral("NOT"), QStringLiteral("HOOK"), QStringLiteral("RING")};
const QStringList kStatuses = {QStringLiteral("number"), QStringLiteral("withheld"),
                               QStringLiteral("public_phone"), QStringLiteral("not_collected")};
const QStringList kColours = {QStringLiteral("blue"), QStringLiteral("red"),
                              QStringLiteral("none")};

// The text before a comment: a blank and `#` end what counts.
QString withoutComment(const QString &line)
{
    static const QRegularExpression comment(QStringLiteral("\\s#.*$"));
    return QString(line).remove(comment).trimmed();
}

// "BYTES" of a tx/rx pattern into the pieces between its `*`s; `error` when the notation
// is not one.
std::optional<QList<QByteArray>> pattern(const QString &text, QString *error)
{
    QList<QByteArray> pieces;
    QString piece;
    bool inName = false;
    const auto flush = [&] {
        const auto bytes = parseNotation(piece.toLatin1(), error, 1);
        if (!bytes)
            return false;
        pieces << *bytes;
        piece.clear();
        return true;
    };
    for (const QChar c : text) {
        if (c == u'<')
            inName = !inName || piece.endsWith(u'<');
        else if (c == u'>')
            inName = false;
        if (c == u'*' && !inName) {
            if (!flush())
                return std::nullopt;
            continue;
        }
        piece += c;
    }
    if (!flush())
        return std::nullopt;
    return pieces;
}

QString parseExpectation(const QString &rest, Expectation &e)
{
    static const QRegularExpression form(
        QStringLiteral("^(no\\s+)?(\\S+)(.*)\\s+within\\s+(\\S+)$"));
    const QRegularExpressionMatch match = form.match(rest);
    if (!match.hasMatch())
        return QStringLiteral("an expectation is: expect [no] WHAT [...] within TIME");
    const auto limit = parseDuration(match.captured(4));
    if (!limit)
        return QStringLiteral("'%1' is not a time: 250ms, 2s, 1m").arg(match.captured(4));
    e.withinMs = *limit;
    e.none = !match.captured(1).isEmpty();
    const QString what = match.captured(2);
    const QString args = match.captured(3).trimmed();
    const int index = int(kWhat.indexOf(what));
    if (index < 0)
        return QStringLiteral("expect what? %1, not '%2'")
            .arg(kWhat.join(QStringLiteral(", ")), what);
    e.what = Expectation::What(index);
    if (e.none)
        return args.isEmpty() ? QString()
                              : QStringLiteral("'expect no %1' takes nothing more").arg(what);
    switch (e.what) {
    case Expectation::What::Tx:
    case Expectation::What::Rx: {
        if (args.isEmpty())
            return QStringLiteral("'expect %1' needs the bytes").arg(what);
        QString error;
        const auto pieces = pattern(args, &error);
        if (!pieces)
            return error;
        e.pieces = *pieces;
        return {};
    }
    case Expectation::What::Detection:
        e.detection = args.split(u'|');
        for (const QString &state : std::as_const(e.detection)) {
            if (!kStates.contains(state))
                return QStringLiteral("a detection state is NOT, HOOK or RING, not '%1'")
                    .arg(state);
        }
        return {};
    case Expectation::What::CallEnd:
        return args.isEmpty() ? QString() : QStringLiteral("'expect call-end' takes nothing more");
    case Expectation::What::Identification:
    case Expectation::What::Call:
        break;
    }
    for (const QString &field :
         args.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const qsizetype equals = field.indexOf(u'=');
        const QString key = field.left(equals);
        const QString value = field.mid(equals + 1);
        if (equals <= 0 || value.isEmpty())
            return QStringLiteral("'%1' is not KEY=VALUE").arg(field);
        if (e.what == Expectation::What::Identification && key == u"name")
            e.name = value;
        else if (e.what == Expectation::What::Identification && key == u"version")
            e.version = value;
        else if (e.what == Expectation::What::Call && key == u"line")
            e.line = value;
        else if (e.what == Expectation::What::Call && key == u"number")
            e.number = value;
        else if (e.what == Expectation::What::Call && key == u"status" && kStatuses.contains(value))
            e.status = value;
        else if (e.what == Expectation::What::Call && key == u"color" && kColours.contains(value))
            e.colour = value;
        else
            return QStringLiteral("'%1' is not something an expected %2 has").arg(field, what);
    }
    return {};
}

// Everything of the runner's syntax that an operator does; a box test has no rx, tx or
// state: the box is real.
bool operatorStep(StepKind kind)
{
    return kind != StepKind::Rx && kind != StepKind::Tx && kind != StepKind::State;
}

} // namespace

std::optional<int> parseDuration(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,7})(ms|s|m)$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int n = match.captured(1).toInt();
    const QString unit = match.captured(2);
    const qint64 ms = unit == u"ms" ? n : unit == u"s" ? qint64(n) * 1000 : qint64(n) * 60000;
    if (ms > 24LL * 3600 * 1000)
        return std::nullopt;
    return int(ms);
}

bool globMatch(const QString &glob, const QString &text)
{
    QString pattern;
    for (const QChar c : glob) {
        if (c == u'*')
            pattern += QStringLiteral(".*");
        else if (c == u'?')
            pattern += QLatin1Char('.');
        else
            pattern += QRegularExpression::escape(QString(c));
    }
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern),
                                        QRegularExpression::DotMatchesEverythingOption);
    return expression.match(text).hasMatch();
}

bool bytesMatch(const Expectation &expectation, const QByteArray &bytes)
{
    const QList<QByteArray> &pieces = expectation.pieces;
    if (pieces.isEmpty()) // not a pattern of bytes: nothing is one
        return false;
    if (pieces.size() == 1)
        return bytes == pieces.front();
    if (!bytes.startsWith(pieces.front()) || !bytes.endsWith(pieces.back()) ||
        bytes.size() < pieces.front().size() + pieces.back().size())
        return false;
    qsizetype at = pieces.front().size();
    const qsizetype end = bytes.size() - pieces.back().size();
    for (qsizetype i = 1; i + 1 < pieces.size(); ++i) {
        const qsizetype found = bytes.indexOf(pieces[i], at);
        if (found < 0 || found + pieces[i].size() > end)
            return false;
        at = found + pieces[i].size();
    }
    return true;
}

Suite parseSuite(const QByteArray &content)
{
    Suite suite;
    QByteArray text = content;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray raw = lines[i];
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString line = QString::fromUtf8(raw);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(u'#'))
            continue;
        SuiteStep step;
        step.lineNumber = int(i) + 1;
        const QString word = line.section(u' ', 0, 0);
        QString error;
        if (word == u"expect") {
            step.kind = SuiteStep::Kind::Expect;
            step.text = withoutComment(line);
            error = parseExpectation(step.text.mid(7).trimmed(), step.expectation);
        } else if (word == u"wait") {
            step.kind = SuiteStep::Kind::Wait;
            step.text = withoutComment(line);
            const auto ms = parseDuration(step.text.mid(5).trimmed());
            if (!ms)
                error = QStringLiteral("'wait' takes a time: 250ms, 2s, 1m");
            step.waitMs = ms.value_or(0);
        } else if (word == u"prompt") {
            step.kind = SuiteStep::Kind::Prompt;
            step.text = line.trimmed();
            step.prompt = line.mid(7).trimmed();
            if (step.prompt.isEmpty())
                error = QStringLiteral("'prompt' needs the words to show");
        } else {
            step.kind = SuiteStep::Kind::Operator;
            step.text = withoutComment(line);
            const Script one = parseScript(step.text.toUtf8() + '\n');
            if (!one.error.isEmpty())
                error = one.error.section(QStringLiteral(": "), 1);
            else if (one.steps.size() != 1 || !operatorStep(one.steps.front().kind))
                error = QStringLiteral("'%1' is not an operator's step (a box test talks to a real"
                                       " box: no rx, tx or state)")
                            .arg(word);
            else
                step.step = one.steps.front();
        }
        if (!error.isEmpty()) {
            suite.steps.clear();
            suite.error = QStringLiteral("line %1: %2").arg(step.lineNumber).arg(error);
            return suite;
        }
        step.step.lineNumber = step.lineNumber;
        suite.steps.append(step);
    }
    return suite;
}

} // namespace dialkite::scenario
