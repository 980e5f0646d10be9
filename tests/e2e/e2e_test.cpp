// End to end: the simulated box on a pseudo-terminal, the console's core on the real
// serial link. What the console shows and what the box receives are both checked.

#include "support/consoleaccess.h"
#include "support/numbers.h"
#include "support/simprocess.h"

#include "console/console.h"
#include "console/qserialportlink.h"
#include "console/recording.h"
#include "console/texts.h"
#include "operations/identify.h"
#include "operations/select.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

// The console as the desktop runs it, on COM1 mapped to the simulator's device.
struct LiveConsole {
    explicit LiveConsole(const QString &device)
    {
        settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM1"), device);
        settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("1"));
        console.Form_Load();
        console.Timer1_Timer();
        console.Timer2_Timer();
    }
    ConsoleState &state() { return ConsoleTestAccess::state(console); }
    QString call(int row, int column) { return console.MSFlexGrid1().text(row, column); }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
    QSerialPortLink link{[this](int port) { return portDevice(settings, port); }};
    RecordingView view;
    Console console{link, view, settings};
};

QString spaces(int n)
{
    return QString(n, QLatin1Char(' '));
}

struct VariantCase {
    int variant;
    QString request; // the identification request on the wire, in log notation
    QString answer;  // what the console owes the identification, if anything
    QString name;
    QString version;
};

const VariantCase kVariants[] = {
    {1,
     QStringLiteral("<STX> P") + spaces(18) + QStringLiteral("<ETX>"),
     {},
     QStringLiteral("DK-A0001"),
     QStringLiteral("Ver V10")},
    {2,
     QStringLiteral("<STX> P") + spaces(18) + QStringLiteral("<ETX>"),
     {},
     QStringLiteral("DK-B0001"),
     QStringLiteral("Ver V10")},
    {3, QStringLiteral("<STX> P") + spaces(26) + QStringLiteral("<ETX>"),
     QStringLiteral("<STX> m") + spaces(26) + QStringLiteral("<ETX>"), QStringLiteral("DK-C0001"),
     QStringLiteral("Ver V1.0")},
    {4, QStringLiteral("SPE"), QStringLiteral("SME"), QStringLiteral("DK-D001"),
     QStringLiteral("Ver V10")},
    {5, QStringLiteral("?"), {}, QStringLiteral("V1.00"), QString()},
    {6,
     QStringLiteral("<STX> P") + spaces(26) + QStringLiteral("<ETX>"),
     {},
     QStringLiteral("DK-F001"),
     QStringLiteral("Ver V10")},
    {7,
     QStringLiteral("<STX> P") + spaces(18) + QStringLiteral("<ETX>"),
     {},
     QStringLiteral("DK-G0001"),
     QStringLiteral("Ver V10")},
    {8,
     QStringLiteral("<STX> P") + spaces(18) + QStringLiteral("<ETX>"),
     {},
     QStringLiteral("DK-H0001"),
     QStringLiteral("Ver V10")},
};

struct ExpectedRow {
    int line;
    QString number;
    CellColour colour;
};

void PrintTo(const VariantCase &v, std::ostream *out)
{
    *out << "variant " << v.variant;
}

class EveryVariant : public ::testing::TestWithParam<VariantCase> {};

} // namespace

TEST_P(EveryVariant, IdentificationCallsAndAcknowledgements)
{
    const VariantCase &v = GetParam();
    SimProcess sim({QStringLiteral("--variant"), QString::number(v.variant),
                    QStringLiteral("--ack-timeout"), QStringLiteral("3000")});
    ASSERT_TRUE(sim.ok()) << sim.log().toStdString();
    LiveConsole live(sim.path());
    ASSERT_TRUE(live.link.isOpen());
    Dialkite_Select(live.console, qint16(v.variant));

    ReadIdentification_Click(live.console);
    ASSERT_TRUE(waitFor([&] { return !live.console.MSFlexGrid5().text(1, 0).isEmpty(); }))
        << sim.log().toStdString();
    EXPECT_EQ(live.console.MSFlexGrid5().text(1, 0), v.name);
    EXPECT_EQ(live.console.MSFlexGrid5().text(1, 1), v.version);

    const bool multi = v.variant >= 7;
    const bool handshake = v.variant == 3 || v.variant == 4;
    const int lines[] = {1, 2, 3, 4};
    const int multiLines[] = {1, 9, 12, 16};
    QString commands;
    QList<ExpectedRow> rows;
    int i = 0;
    for (const NumberCase &c : kNumberCases) {
        const int line = multi ? multiLines[i % 4] : lines[i % 4];
        commands += QStringLiteral("call %1 %2\n").arg(line).arg(QString::fromLatin1(c.digits));
        rows.append({line, c.shown, handshake ? CellColour::Blue : CellColour::Default});
        ++i;
    }
    if (v.variant != 5) {
        commands += QStringLiteral("withheld 2\n");
        rows.append({2, texts::kWithheld, handshake ? CellColour::Blue : CellColour::Default});
    }
    commands += QStringLiteral("public 3\nunavailable 1\n");
    rows.append({3, texts::kPublicPhone, handshake ? CellColour::Blue : CellColour::Default});
    rows.append({1, texts::kNotCollected, handshake ? CellColour::Blue : CellColour::Default});
    if (handshake) {
        commands += QStringLiteral("call 4 12345678 red\n");
        rows.append({4, QStringLiteral("1234-5678"), CellColour::Red});
    }
    sim.send(commands);
    ASSERT_TRUE(waitFor([&] { return live.state().CallRow == rows.size() + 1; }, 10000))
        << "rows: " << live.state().CallRow << "\n"
        << sim.log().toStdString();

    const QRegularExpression time(QStringLiteral("^\\d\\d-\\d\\d \\d\\d:\\d\\d$"));
    const bool timed = v.variant == 3 || v.variant == 4 || v.variant == 6;
    for (int r = 1; r <= rows.size(); ++r) {
        const ExpectedRow &expected = rows[r - 1];
        const QString line = multi
                                 ? QStringLiteral("%1").arg(expected.line, 2, 10, QLatin1Char('0'))
                                 : QString::number(expected.line);
        EXPECT_EQ(live.call(r, 0), line) << "row " << r;
        EXPECT_EQ(live.call(r, 2), expected.number) << "row " << r;
        EXPECT_EQ(time.match(live.call(r, 1)).hasMatch(), timed) << live.call(r, 1).toStdString();
        EXPECT_EQ(live.console.MSFlexGrid1().colour(r, 2), expected.colour) << "row " << r;
    }

    EXPECT_TRUE(live.view.messages().isEmpty());
    ASSERT_TRUE(sim.finish());
    QStringList expectedFrames{v.request};
    if (!v.answer.isEmpty())
        expectedFrames.append(v.answer);
    for (const ExpectedRow &row : rows) {
        if (v.variant == 3)
            expectedFrames.append(QStringLiteral("<STX>%1I").arg(row.line) + spaces(26) +
                                  QStringLiteral("<ETX>"));
        else if (v.variant == 4)
            expectedFrames.append(QStringLiteral("SIE"));
    }
    EXPECT_EQ(sim.received(), expectedFrames) << sim.log().toStdString();
    EXPECT_TRUE(sim.log().contains(QStringLiteral(" 0 acknowledgements missing")));
}

INSTANTIATE_TEST_SUITE_P(Sim, EveryVariant, ::testing::ValuesIn(kVariants), [](const auto &info) {
    return "variant" + std::to_string(info.param.variant);
});

TEST(EndToEnd, RecordsInPiecesAndCommandsAnswered)
{
    SimProcess sim({QStringLiteral("--pieces"), QStringLiteral("7"),
                    QStringLiteral("--call-end-after"), QStringLiteral("200")});
    ASSERT_TRUE(sim.ok());
    LiveConsole live(sim.path());
    sim.send(QStringLiteral("call 1 0212345678\ncall 2 12345678901\n"));
    ASSERT_TRUE(waitFor([&] { return live.state().CallRow == 3; }, 10000))
        << sim.log().toStdString();
    EXPECT_EQ(live.call(1, 2), QStringLiteral("02-1234-5678"));
    EXPECT_EQ(live.call(2, 2), QStringLiteral("1-234-567-8901"));

    // A dialled call, which the box ends by itself; a detection read and its answer.
    live.console.MakeOpcode("2", "O", "9,123");
    live.state().OutgoingFlag = 1;
    live.console.MakeOpcode("a", "x", " ");
    ASSERT_TRUE(waitFor([&] { return live.state().OutgoingFlag == 0; }, 10000))
        << sim.log().toStdString();
    EXPECT_EQ(live.console.MSFlexGrid7().text(1, 0), texts::kDetectRing);
    ASSERT_TRUE(sim.finish());
    EXPECT_EQ(sim.received(),
              (QStringList{QStringLiteral("<STX>2O9,123") + spaces(13) + QStringLiteral("<ETX>"),
                           QStringLiteral("<STX>ax") + spaces(18) + QStringLiteral("<ETX>")}));
}

TEST(EndToEnd, ScriptFileRunsBeforeAndAfterTheConsoleOpens)
{
    QTemporaryDir dir;
    QFile script(dir.filePath(QStringLiteral("calls.txt")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("# sent before the console has opened the port\n"
                 "call 1 021234567\n"
                 "wait 300\n"
                 "public 2\n");
    script.close();
    SimProcess sim(
        {QStringLiteral("--script"), script.fileName(), QStringLiteral("--keep-running")});
    ASSERT_TRUE(sim.ok());
    LiveConsole live(sim.path());
    ASSERT_TRUE(waitFor([&] { return live.state().CallRow == 3; })) << sim.log().toStdString();
    EXPECT_EQ(live.call(1, 2), QStringLiteral("02-123-4567"));
    EXPECT_EQ(live.call(2, 2), texts::kPublicPhone);
}

TEST(EndToEnd, ThousandRecordsInOneWriteNoneLost)
{
    SimProcess sim({});
    ASSERT_TRUE(sim.ok());
    LiveConsole live(sim.path());
    sim.send(QStringLiteral("burst 1000\n"));
    ASSERT_TRUE(waitFor([&] { return live.state().CallRow == 1001; }, 30000))
        << "rows: " << live.state().CallRow;
    EXPECT_EQ(live.state().ReceiveRow, 1001);
    EXPECT_EQ(live.call(1, 2), QStringLiteral("1000-0000"));
    EXPECT_EQ(live.call(1000, 0), QStringLiteral("4"));
    EXPECT_EQ(live.call(1000, 2), QStringLiteral("1000-0999"));
    EXPECT_TRUE(live.state().RxBuffer.isEmpty());
}

TEST(EndToEnd, BoxKilledMidRecord)
{
    auto sim = std::make_unique<SimProcess>(QStringList{});
    ASSERT_TRUE(sim->ok());
    LiveConsole live(sim->path());
    sim->send(QStringLiteral("raw <STX>1I0212\n"));
    ASSERT_TRUE(waitFor([&] { return live.state().RxBuffer.size() == 7; }));
    sim->kill();
    ASSERT_TRUE(waitFor([&] { return !live.view.notices().isEmpty(); }));
    EXPECT_EQ(live.view.notices()[0].title, texts::kPortErrorTitle);
    EXPECT_FALSE(live.link.isOpen());

    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    idle(500);
    EXPECT_LT(cpuSeconds() - before, 0.25 * double(wall.elapsed()) / 1000.0);
    EXPECT_EQ(live.view.notices().size(), 1);

    SimProcess again({});
    ASSERT_TRUE(again.ok());
    live.settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM2"), again.path());
    live.console.ChangeComport(2);
    ASSERT_TRUE(live.link.isOpen());
    // The half record from before the unplug waits in the buffer: the new box's first
    // ETX ends it (a short caller record of line 1), then its calls come through.
    again.send(QStringLiteral("raw <ETX>\ncall 3 021234567\n"));
    ASSERT_TRUE(waitFor([&] { return live.state().CallRow == 3; }));
    EXPECT_EQ(live.console.MSFlexGrid3().text(1, 1), QStringLiteral("\u00021I0212\u0003"));
    EXPECT_EQ(live.call(2, 0), QStringLiteral("3"));
    EXPECT_EQ(live.call(2, 2), QStringLiteral("02-123-4567"));
}

TEST(EndToEnd, MonitorPrintsTheSession)
{
    SimProcess sim({QStringLiteral("--variant"), QStringLiteral("3"),
                    QStringLiteral("--ack-timeout"), QStringLiteral("3000")});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir dir;
    QProcess monitor;
    monitor.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("monitor"), QStringLiteral("--device"), sim.path(),
                   QStringLiteral("--variant"), QStringLiteral("3"), QStringLiteral("--identify"),
                   QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--settings"),
                   dir.filePath(QStringLiteral("none.ini"))});
    QByteArray out;
    ASSERT_TRUE(waitFor([&] {
        out += monitor.readAllStandardOutput();
        return out.count('\n') >= 2;
    })) << out.constData();
    sim.send(QStringLiteral("call 1 021234567\nwithheld 2 red\nend 1\ncall 3 12345678\n"));
    ASSERT_TRUE(waitFor([&] { return monitor.state() == QProcess::NotRunning; }, 10000));
    out += monitor.readAllStandardOutput();
    EXPECT_EQ(monitor.exitCode(), 0) << monitor.readAllStandardError().constData();

    QList<QJsonObject> events;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty())
            events.append(QJsonDocument::fromJson(line).object());
    }
    ASSERT_EQ(events.size(), 6) << out.constData();
    const auto text = [&](int i, const char *key) {
        return events[i].value(QLatin1String(key)).toString();
    };
    EXPECT_EQ(text(0, "event"), QStringLiteral("open"));
    EXPECT_EQ(text(0, "device"), sim.path());
    EXPECT_EQ(text(1, "event"), QStringLiteral("identification"));
    EXPECT_EQ(text(1, "name"), QStringLiteral("DK-C0001"));
    EXPECT_EQ(text(2, "event"), QStringLiteral("call"));
    EXPECT_EQ(text(2, "line"), QStringLiteral("1"));
    EXPECT_EQ(text(2, "number"), QStringLiteral("02-123-4567"));
    EXPECT_EQ(text(2, "color"), QStringLiteral("#0000ff"));
    EXPECT_EQ(events[2].value(QLatin1String("row")).toInt(), 1);
    EXPECT_EQ(text(3, "number"), texts::kWithheld);
    EXPECT_EQ(text(3, "color"), QStringLiteral("#ff0000"));
    EXPECT_EQ(text(4, "event"), QStringLiteral("call_end"));
    EXPECT_EQ(text(5, "number"), QStringLiteral("1234-5678"));

    ASSERT_TRUE(sim.finish());
    const QString ack = spaces(26) + QStringLiteral("<ETX>");
    EXPECT_EQ(sim.received(),
              (QStringList{QStringLiteral("<STX> P") + ack, QStringLiteral("<STX> m") + ack,
                           QStringLiteral("<STX>1I") + ack, QStringLiteral("<STX>2I") + ack,
                           QStringLiteral("<STX>3I") + ack}))
        << sim.log().toStdString();
}

// A box that goes away (its adapter pulled) is tried again until it is back, as a rig's
// box is; a port held by another program is said to be in use.
TEST(EndToEnd, MonitorKeepsTryingABoxThatWentAwayAndSaysAPortIsInUse)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyUSB-box"));
    auto sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--link"), path});
    ASSERT_TRUE(sim->ok());
    QProcess monitor;
    monitor.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("monitor"), QStringLiteral("--device"), path,
                   QStringLiteral("--settings"), dir.filePath(QStringLiteral("none.ini"))});
    QByteArray out, err;
    ASSERT_TRUE(waitFor([&] {
        out += monitor.readAllStandardOutput();
        return out.count('\n') >= 1;
    }));
    // Another program on the same port: told it is in use, and nothing else touched.
    QProcess second;
    second.start(QStringLiteral(DIALKITE_CLI),
                 {QStringLiteral("monitor"), QStringLiteral("--device"), path,
                  QStringLiteral("--settings"), dir.filePath(QStringLiteral("none.ini"))});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(second.readAllStandardError().trimmed(),
              "dialkite-cli: cannot open " + path.toUtf8() + ": in use by another program");

    sim->end();
    ASSERT_TRUE(waitFor(
        [&] {
            err += monitor.readAllStandardError();
            return err.contains("trying again");
        },
        10000))
        << err.constData();
    EXPECT_TRUE(
        err.startsWith("dialkite-cli: device removed or closed by the other end: " + path.toUtf8()))
        << err.constData();
    EXPECT_EQ(monitor.state(), QProcess::Running);
    sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--link"), path});
    ASSERT_TRUE(sim->ok());
    ASSERT_TRUE(waitFor(
        [&] {
            out += monitor.readAllStandardOutput();
            return out.count("\"event\": \"open\"") + out.count("\"event\":\"open\"") >= 2;
        },
        15000))
        << out.constData();
    ::kill(pid_t(monitor.processId()), SIGTERM);
    ASSERT_TRUE(monitor.waitForFinished(10000));
    EXPECT_EQ(monitor.exitCode(), 0);
}

TEST(EndToEnd, MonitorReportsAPortThatCannotOpen)
{
    QTemporaryDir dir;
    QProcess monitor;
    monitor.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("monitor"), QStringLiteral("--device"),
                   QStringLiteral("/dev/no-such-port"), QStringLiteral("--settings"),
                   dir.filePath(QStringLiteral("none.ini"))});
    ASSERT_TRUE(monitor.waitForFinished(10000));
    EXPECT_EQ(monitor.exitCode(), 1);
    EXPECT_TRUE(monitor.readAllStandardError().contains("/dev/no-such-port"));
    EXPECT_TRUE(monitor.readAllStandardOutput().isEmpty());
}

TEST(EndToEnd, MonitorCountStopsAtExactlyThatCall)
{
    SimProcess sim({QStringLiteral("--variant"), QStringLiteral("3"),
                    QStringLiteral("--ack-timeout"), QStringLiteral("300")});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir dir;
    QProcess monitor;
    monitor.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("monitor"), QStringLiteral("--device"), sim.path(),
                   QStringLiteral("--variant"), QStringLiteral("3"), QStringLiteral("--identify"),
                   QStringLiteral("--count"), QStringLiteral("1"), QStringLiteral("--settings"),
                   dir.filePath(QStringLiteral("none.ini"))});
    QByteArray out;
    ASSERT_TRUE(waitFor([&] {
        out += monitor.readAllStandardOutput();
        return out.count('\n') >= 2;
    })) << out.constData();
    // Five red call records in one write: the first is shown and answered, no other.
    sim.send(QStringLiteral("burst 5 2\n"));
    ASSERT_TRUE(waitFor([&] { return monitor.state() == QProcess::NotRunning; }, 10000));
    out += monitor.readAllStandardOutput();
    EXPECT_EQ(monitor.exitCode(), 0);
    EXPECT_EQ(out.count("\"event\": \"call\""), 1) << out.constData();
    ASSERT_TRUE(sim.finish());
    const QStringList received = sim.received();
    EXPECT_EQ(received.filter(QStringLiteral("<STX>2I")).size(), 1) << sim.log().toStdString();
}

TEST(EndToEnd, EveryProgramAnswersHelp)
{
    for (const auto &[program, word] :
         {std::pair{DIALKITE_SIM, "--variant"}, std::pair{DIALKITE_CLI, "monitor"}}) {
        QProcess process;
        process.start(QString::fromUtf8(program), {QStringLiteral("--help")});
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0) << program;
        EXPECT_TRUE(process.readAllStandardOutput().contains(word)) << program;
    }
}

// ---- Captures: recorded by one monitor, replayed to another, checked by the runner ----

namespace {

// A monitor process on `device` that stops after three calls.
struct MonitorRun {
    MonitorRun(const QString &device, int variant, const QString &capture)
    {
        process.start(QStringLiteral(DIALKITE_CLI),
                      {QStringLiteral("monitor"), QStringLiteral("--device"), device,
                       QStringLiteral("--variant"), QString::number(variant),
                       QStringLiteral("--identify"), QStringLiteral("--count"), QStringLiteral("3"),
                       QStringLiteral("--capture"), capture, QStringLiteral("--settings"),
                       capture + QStringLiteral(".ini")});
    }
    bool finished()
    {
        return waitFor([this] { return process.state() == QProcess::NotRunning; }, 15000);
    }
    QProcess process;
};

QProcess *runCheck(QProcess &cli, const QString &capture)
{
    cli.start(QStringLiteral(DIALKITE_CLI),
              {QStringLiteral("run"), capture, QStringLiteral("--check"),
               QStringLiteral("--settings"), capture + QStringLiteral(".ini")});
    cli.waitForFinished(15000);
    return &cli;
}

// The capture with one byte of its first tx line changed; `line` gets that line's number.
QByteArray withOneByteChanged(const QByteArray &capture, int *line)
{
    QByteArrayList lines = capture.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray &text = lines[i];
        const qsizetype tx = text.indexOf(" tx ");
        if (!text.startsWith('@') || tx < 0)
            continue;
        // The byte after STX, or the frame's first byte ("?", "S"), becomes "Q".
        const bool stx = text.mid(tx + 4, 5) == "<STX>";
        text[stx ? tx + 9 : tx + 4] = 'Q';
        *line = int(i) + 1;
        break;
    }
    return lines.join('\n');
}

class RoundTrip : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(RoundTrip, CapturedReplayedAndCheckedWithoutADifference)
{
    const int variant = GetParam();
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.scn"));
    {
        SimProcess box({QStringLiteral("--variant"), QString::number(variant),
                        QStringLiteral("--ack-timeout"), QStringLiteral("3000")});
        ASSERT_TRUE(box.ok());
        MonitorRun monitor(box.path(), variant, first);
        QByteArray out;
        ASSERT_TRUE(waitFor(
            [&] {
                out += monitor.process.readAllStandardOutput();
                return out.contains("identification");
            },
            10000))
            << out.constData() << box.log().toStdString();
        box.send(QStringLiteral("call 1 021234567\npublic 2\nwait 100\ncall 3 12345678\n"));
        ASSERT_TRUE(monitor.finished());
        EXPECT_EQ(monitor.process.exitCode(), 0);
        ASSERT_TRUE(box.finish());
    }
    QFile file(first);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray capture = file.readAll();
    file.close();

    // The box's side played back to a second monitor, which answers as the first did.
    const QString second = dir.filePath(QStringLiteral("second.scn"));
    {
        SimProcess replay({QStringLiteral("--replay"), first});
        ASSERT_TRUE(replay.ok());
        MonitorRun monitor(replay.path(), variant, second);
        ASSERT_TRUE(monitor.finished());
        ASSERT_TRUE(replay.finish());
        EXPECT_EQ(replay.exitCode(), 0) << replay.log().toStdString() << capture.constData();
        EXPECT_TRUE(replay.log().contains(QStringLiteral("answered exactly as recorded")));
    }
    for (const QString &recorded : {first, second}) {
        QProcess check;
        runCheck(check, recorded);
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().constData();
    }

    // One byte of a tx line edited: the runner and the replay both name that line.
    int line = 0;
    const QString edited = dir.filePath(QStringLiteral("edited.scn"));
    QFile out(edited);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(withOneByteChanged(capture, &line));
    out.close();
    ASSERT_GT(line, 0);
    const QByteArray prefix = "line " + QByteArray::number(line) + ": expected ";
    QProcess check;
    runCheck(check, edited);
    EXPECT_EQ(check.exitCode(), 1);
    EXPECT_TRUE(check.readAllStandardError().startsWith(prefix));
    SimProcess replay(
        {QStringLiteral("--replay"), edited, QStringLiteral("--speed"), QStringLiteral("0")});
    ASSERT_TRUE(replay.ok());
    MonitorRun monitor(replay.path(), variant, dir.filePath(QStringLiteral("third.scn")));
    // The replay stops at the edited line, before the calls the monitor counts: the monitor
    // waits for its box to come back, and is asked to end.
    ASSERT_TRUE(replay.finish());
    EXPECT_EQ(replay.exitCode(), 1);
    monitor.process.terminate();
    ASSERT_TRUE(monitor.finished());
    EXPECT_TRUE(replay.log().contains(QString::fromLatin1(prefix))) << replay.log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Captures, RoundTrip, ::testing::Range(1, 9),
                         [](const auto &info) { return "variant" + std::to_string(info.param); });

// ---- The call history survives the monitor being killed ----

TEST(EndToEnd, MonitorKilledMidBurstHasStoredEveryCallItPrinted)
{
    SimProcess sim({});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("history.sqlite"));
    QProcess monitor;
    monitor.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("monitor"), QStringLiteral("--device"), sim.path(),
                   QStringLiteral("--history"), db, QStringLiteral("--settings"),
                   dir.filePath(QStringLiteral("none.ini"))});
    QByteArray out;
    ASSERT_TRUE(waitFor([&] {
        out += monitor.readAllStandardOutput();
        return out.contains('\n');
    }));
    sim.send(QStringLiteral("burst 3000\n"));
    ASSERT_TRUE(waitFor(
        [&] {
            out += monitor.readAllStandardOutput();
            return out.count("\"call\"") >= 200;
        },
        20000))
        << out.size();
    ::kill(pid_t(monitor.processId()), SIGKILL);
    monitor.waitForFinished(5000);
    out += monitor.readAllStandardOutput();

    QSet<QString> printed;
    for (const QByteArray &line : out.split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (event.value(u"event").toString() == QLatin1String("call"))
            printed.insert(event.value(u"number").toString());
    }
    ASSERT_GE(printed.size(), 200);
    QSet<QString> stored;
    {
        QSqlDatabase connection =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("e2e"));
        connection.setDatabaseName(db);
        ASSERT_TRUE(connection.open());
        QSqlQuery query(connection);
        ASSERT_TRUE(query.exec(QStringLiteral("SELECT number FROM events WHERE kind = 'call'")));
        while (query.next())
            stored.insert(query.value(0).toString());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("e2e"));
    EXPECT_TRUE(stored.contains(printed))
        << printed.size() << " printed, " << stored.size() << " stored";
    EXPECT_LT(printed.size(), 3000); // killed mid-burst indeed
}
