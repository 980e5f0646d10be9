#include "runner.h"

#include "commands.h"
#include "printer.h"

#include "console/notation.h"
#include "outputs/json.h"

#include "operations/change.h"
#include "operations/detection.h"
#include "operations/identify.h"
#include "operations/outgoing.h"
#include "operations/select.h"
#include "operations/volume.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QStringList>
#include <cstdio>
#include <functional>

namespace dialkite::cli {

namespace {

Choice choice(const Step &step)
{
    return step.number ? Choice(qint16(*step.number)) : Choice();
}

bool rowUsed(const Grid &grid, int row)
{
    for (int column = 0; column < grid.columns(); ++column) {
        if (!grid.text(row, column).isEmpty() || grid.colour(row, column) != CellColour::Default)
            return true;
    }
    return false;
}

// The used rows of a log, one object a line.
QByteArray logRows(const Grid &grid, const std::function<json::Fields(int row)> &fields)
{
    QByteArrayList rows;
    for (int row = 1; row < grid.rows(); ++row) {
        if (rowUsed(grid, row))
            rows += "    " + json::object(fields(row));
    }
    return rows.isEmpty() ? "[]" : "[\n" + rows.join(",\n") + "\n  ]";
}

QByteArray callLog(const Grid &grid)
{
    return logRows(grid, [&grid](int row) {
        QJsonArray cells;
        QJsonArray colours;
        for (int column = 0; column < grid.columns(); ++column) {
            cells.append(grid.text(row, column));
            colours.append(json::colourName(grid.colour(row, column)));
        }
        return json::Fields{{QStringLiteral("row"), row},
                            {QStringLiteral("cells"), cells},
                            {QStringLiteral("colors"), colours}};
    });
}

QByteArray textLog(const Grid &grid)
{
    return logRows(grid, [&grid](int row) {
        return json::Fields{{QStringLiteral("row"), row},
                            {QStringLiteral("text"), grid.text(row, 1)}};
    });
}

QByteArray counters(int call, int send, int receive)
{
    return json::object({{QStringLiteral("call"), call},
                         {QStringLiteral("send"), send},
                         {QStringLiteral("receive"), receive}});
}

} // namespace

ScenarioRunner::ScenarioRunner(const QString &settingsPath)
    : m_settings(settingsPath)
    , m_console(m_link, m_view, m_settings)
{
    // Where the main window stands once start-up has finished, with a port that is open.
    m_console.Form_Load();
    m_console.Timer2_Timer();
    m_link.setOpen(true);
}

void ScenarioRunner::run(const QList<Step> &steps)
{
    for (const Step &step : steps)
        runStep(m_console, m_link, step);
}

namespace {

// What a capture's tx lines say the core must write: their bytes one after another,
// and which line each byte came from.
class TxLines {
public:
    explicit TxLines(const QList<Step> &steps)
    {
        for (const Step &step : steps) {
            if (step.kind != Step::Kind::Tx)
                continue;
            m_bytes += step.bytes;
            m_spans.append({m_bytes.size(), step.lineNumber});
        }
    }

    // After a step: the first difference between `written` and the tx lines.
    std::optional<QString> differs(const QByteArray &written, int stepLine) const
    {
        const qsizetype common = qMin(written.size(), m_bytes.size());
        for (qsizetype i = 0; i < common; ++i) {
            if (written[i] != m_bytes[i])
                return report(spanOf(i), written);
        }
        if (written.size() > m_bytes.size())
            return QStringLiteral("line %1: expected nothing, wrote %2")
                .arg(stepLine)
                .arg(notation(written.mid(m_bytes.size())));
        return std::nullopt;
    }
    // After the last step: tx bytes that were never written.
    std::optional<QString> missing(const QByteArray &written) const
    {
        if (written.size() >= m_bytes.size())
            return std::nullopt;
        return report(spanOf(written.size()), written);
    }

private:
    struct Span {
        qsizetype end; // one past the line's last byte in m_bytes
        int line;
    };

    qsizetype spanOf(qsizetype position) const
    {
        qsizetype i = 0;
        while (m_spans[i].end <= position)
            ++i;
        return i;
    }
    QString report(qsizetype span, const QByteArray &written) const
    {
        const qsizetype start = span == 0 ? 0 : m_spans[span - 1].end;
        const qsizetype end = m_spans[span].end;
        const QByteArray wrote = written.mid(start, end - start);
        return QStringLiteral("line %1: expected %2, wrote %3")
            .arg(m_spans[span].line)
            .arg(notation(m_bytes.mid(start, end - start)),
                 wrote.isEmpty() ? QStringLiteral("nothing") : notation(wrote));
    }

    QByteArray m_bytes;
    QList<Span> m_spans;
};

} // namespace

std::optional<QString> ScenarioRunner::runChecked(const QList<Step> &steps)
{
    const TxLines expected(steps);
    for (const Step &step : steps) {
        runStep(m_console, m_link, step);
        if (const auto difference = expected.differs(m_link.written(), step.lineNumber))
            return difference;
    }
    return expected.missing(m_link.written());
}

void runStep(Console &console, RecordingLink &link, const Step &step)
{
    if (step.kind == Step::Kind::Rx)
        link.inject(step.bytes);
    else
        runOperatorStep(console, step);
}

void runOperatorStep(Console &console, const Step &step)
{
    switch (step.kind) {
    case Step::Kind::Rx:
        break; // the box's, not the operator's
    case Step::Kind::Select:
        Dialkite_Select(console, choice(step));
        break;
    case Step::Kind::Identify:
        ReadIdentification_Click(console);
        break;
    case Step::Kind::Reprogram:
        Dialkite_change(console, choice(step));
        break;
    case Step::Kind::Dial:
        dialNumber(console, step.number.value_or(1), step.text.left(kMaxDialLength));
        break;
    case Step::Kind::Hangup:
        OutgoingProc2(console, QByteArray::number(step.number.value_or(1)));
        break;
    case Step::Kind::Volume:
        Volume_Select(console, choice(step));
        break;
    case Step::Kind::DetectRead:
        readDetection(console);
        break;
    case Step::Kind::Tx:
        break; // compared by runChecked(), nothing to do
    case Step::Kind::State:
        console.restoreState(VariantId(step.variant), qint16(step.identify), qint16(step.outgoing),
                             step.bytes);
        break;
    case Step::Kind::DetectSet:
        // Option n+1 of the dialog carries digit n.
        Status_Change(console, step.number ? Choice(qint16(*step.number + 1)) : Choice());
        break;
    }
}

QByteArray ScenarioRunner::json() const
{
    const ConsoleState &s = m_console.state();
    const auto cell = [&](GridId id, int column) { return m_console.grid(id).text(1, column); };
    QByteArrayList messages;
    for (const MessageBox &box : m_view.messages())
        messages += json::object(
            {{QStringLiteral("title"), box.title}, {QStringLiteral("text"), box.text}});

    QByteArray out = "{\n";
    out += "  \"variant\": " + json::string(s.VariantCode.text()) + ",\n";
    out += "  \"flags\": " +
           json::object({{QStringLiteral("identify"), s.IdentifyFlag},
                         {QStringLiteral("outgoing"), s.OutgoingFlag}}) +
           ",\n";
    out += "  \"outgoing_caption\": " + json::string(m_console.outgoingCaption()) + ",\n";
    out += "  \"rows\": " + counters(s.CallRow, s.SendRow, s.ReceiveRow) + ",\n";
    out += "  \"top\":  " +
           counters(m_console.grid(GridId::Calls).topRow(), m_console.grid(GridId::Sent).topRow(),
                    m_console.grid(GridId::Received).topRow()) +
           ",\n";
    out += "  \"panels\": " +
           json::object({{QStringLiteral("device"), cell(GridId::Device, 0)},
                         {QStringLiteral("ident_name"), cell(GridId::Identification, 0)},
                         {QStringLiteral("ident_version"), cell(GridId::Identification, 1)},
                         {QStringLiteral("port"), cell(GridId::Port, 0)},
                         {QStringLiteral("detect"), cell(GridId::Detection, 0)}}) +
           ",\n";
    out += "  \"call_log\": " + callLog(m_console.grid(GridId::Calls)) + ",\n";
    out += "  \"send_log\": " + textLog(m_console.grid(GridId::Sent)) + ",\n";
    out += "  \"receive_log\": " + textLog(m_console.grid(GridId::Received)) + ",\n";
    out += "  \"wire\": " + json::string(QString::fromLatin1(m_link.written().toHex())) + ",\n";
    out += "  \"messages\": [" + messages.join(", ") + "]\n";
    out += "}\n";
    return out;
}

} // namespace dialkite::cli

// ---- dialkite-cli run ----

namespace dialkite::cli {

int runScriptCommand(const Invocation &invocation)
{
    const QString scriptPath = invocation.arguments.words.front();
    QFile file;
    const bool opened = scriptPath == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(scriptPath), file.open(QIODevice::ReadOnly));
    if (!opened) {
        say(QCoreApplication::translate("dialkite", "cannot read %1: %2")
                .arg(scriptPath, file.errorString()));
        return 1;
    }
    const Script script = scenario::parseScript(file.readAll());
    if (!script.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(script.error));
        return 2;
    }
    ScenarioRunner runner(invocation.config.settingsPath);
    if (invocation.arguments.has(QStringLiteral("--check"))) {
        if (const auto difference = runner.runChecked(script.steps)) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(*difference));
            return 1;
        }
    } else {
        runner.run(script.steps);
    }
    const QByteArray out = runner.json();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return 0;
}

} // namespace dialkite::cli
