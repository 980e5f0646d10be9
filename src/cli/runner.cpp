#include "runner.h"

#include "json.h"

#include "operations/change.h"
#include "operations/detection.h"
#include "operations/identify.h"
#include "operations/outgoing.h"
#include "operations/select.h"
#include "operations/volume.h"

#include <QStringList>

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

QByteArray callLog(const Grid &grid)
{
    QByteArrayList rows;
    for (int row = 1; row < grid.rows(); ++row) {
        if (!rowUsed(grid, row))
            continue;
        QByteArrayList cells;
        QByteArrayList colours;
        for (int column = 0; column < grid.columns(); ++column) {
            cells += jsonString(grid.text(row, column));
            colours += '"' + colourName(grid.colour(row, column)) + '"';
        }
        rows += "    {\"row\": " + QByteArray::number(row) + ", \"cells\": [" + cells.join(", ") +
                "], \"colors\": [" + colours.join(", ") + "]}";
    }
    return rows.isEmpty() ? "[]" : "[\n" + rows.join(",\n") + "\n  ]";
}

QByteArray textLog(const Grid &grid)
{
    QByteArrayList rows;
    for (int row = 1; row < grid.rows(); ++row) {
        if (!rowUsed(grid, row))
            continue;
        rows += "    {\"row\": " + QByteArray::number(row) +
                ", \"text\": " + jsonString(grid.text(row, 1)) + "}";
    }
    return rows.isEmpty() ? "[]" : "[\n" + rows.join(",\n") + "\n  ]";
}

QByteArray counters(int call, int send, int receive)
{
    return "{\"call\": " + QByteArray::number(call) + ", \"send\": " + QByteArray::number(send) +
           ", \"receive\": " + QByteArray::number(receive) + "}";
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

void runStep(Console &console, RecordingLink &link, const Step &step)
{
    switch (step.kind) {
    case Step::Kind::Rx:
        link.inject(step.bytes);
        break;
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
    case Step::Kind::DetectSet:
        // Option n+1 of the dialog carries digit n.
        Status_Change(console, step.number ? Choice(qint16(*step.number + 1)) : Choice());
        break;
    }
}

QByteArray ScenarioRunner::json() const
{
    const ConsoleState &s = m_console.state();
    const auto cell = [&](GridId id, int column) {
        return jsonString(m_console.grid(id).text(1, column));
    };
    QByteArrayList messages;
    for (const MessageBox &box : m_view.messages())
        messages +=
            "{\"title\": " + jsonString(box.title) + ", \"text\": " + jsonString(box.text) + "}";

    QByteArray out = "{\n";
    out += "  \"variant\": " + jsonString(s.VariantCode) + ",\n";
    out += "  \"flags\": {\"identify\": " + QByteArray::number(s.IdentifyFlag) +
           ", \"outgoing\": " + QByteArray::number(s.OutgoingFlag) + "},\n";
    out += "  \"outgoing_caption\": " + jsonString(m_console.outgoingCaption()) + ",\n";
    out += "  \"rows\": " + counters(s.CallRow, s.SendRow, s.ReceiveRow) + ",\n";
    out += "  \"top\":  " +
           counters(m_console.grid(GridId::Calls).topRow(), m_console.grid(GridId::Sent).topRow(),
                    m_console.grid(GridId::Received).topRow()) +
           ",\n";
    out += "  \"panels\": {\"device\": " + cell(GridId::Device, 0) +
           ", \"ident_name\": " + cell(GridId::Identification, 0) +
           ", \"ident_version\": " + cell(GridId::Identification, 1) +
           ", \"port\": " + cell(GridId::Port, 0) + ", \"detect\": " + cell(GridId::Detection, 0) +
           "},\n";
    out += "  \"call_log\": " + callLog(m_console.grid(GridId::Calls)) + ",\n";
    out += "  \"send_log\": " + textLog(m_console.grid(GridId::Sent)) + ",\n";
    out += "  \"receive_log\": " + textLog(m_console.grid(GridId::Received)) + ",\n";
    out += "  \"wire\": \"" + m_link.written().toHex() + "\",\n";
    out += "  \"messages\": [" + messages.join(", ") + "]\n";
    out += "}\n";
    return out;
}

} // namespace dialkite::cli
