// The flight recorder: what a capture file holds, how long sessions are cut into pieces
// that each replay on their own, and what a disk that refuses the file does (nothing
// to the console).

#include "support/fixture.h"

#include "cli/runner.h"
#include "cli/script.h"
#include "operations/identify.h"
#include "operations/select.h"
#include "outputs/capture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace dialkite;
using namespace dialkite::test;

namespace {

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a capture without their time stamps; the stamps checked for form.
QStringList unstamped(const QByteArray &content)
{
    static const QRegularExpression stamp(
        QStringLiteral("^@\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} "));
    QStringList lines;
    for (QString line : QString::fromUtf8(content).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u'@')) {
            EXPECT_TRUE(stamp.match(line).hasMatch()) << line.toStdString();
            line.remove(stamp);
        }
        lines.append(line);
    }
    return lines;
}

class Capture : public ConsoleTest {
protected:
    CaptureRecorder &record(CaptureOptions options)
    {
        options.program = QStringLiteral("dialkite test");
        recorder = std::make_unique<CaptureRecorder>(console, options);
        QObject::connect(&console, &Console::observed, recorder.get(), &CaptureRecorder::consume);
        return *recorder;
    }
    std::unique_ptr<CaptureRecorder> recorder;
};

} // namespace

TEST_F(Capture, PortSessionAsAReplayableScript)
{
    const QString file = dir.filePath(QStringLiteral("session.scn"));
    record({file, {}, 0, {}});
    link.setOpen(false);
    console.ChangeComport(qint16(3));
    Dialkite_Select(console, qint16(3));
    ReadIdentification_Click(console);
    feed(framed(" P" + QByteArray(14, ' ') + "DK-C0001V1.0"));
    feed(framed("1m12071015P") + QByteArray("\x02"
                                            "2"));
    feed("<");
    recorder->flush();

    const QString ack = QStringLiteral("<STX> m") + QString(26, u' ') + QStringLiteral("<ETX>");
    EXPECT_EQ(unstamped(fileContent(file)),
              (QStringList{
                  QStringLiteral("# dialkite capture 1"),
                  QStringLiteral("# program dialkite test"),
                  QStringLiteral("# port COM3 COM3"),
                  QStringLiteral("# variant 1 DK-A"),
                  unstamped(fileContent(file)).value(4), // "# started" and its time
                  QStringLiteral("state variant=1 identify=0 outgoing=0 number="),
                  QStringLiteral("select 3"),
                  QStringLiteral("identify"),
                  QStringLiteral("tx <STX> P") + QString(26, u' ') + QStringLiteral("<ETX>"),
                  QStringLiteral("rx <STX> P              DK-C0001V1.0<ETX>"),
                  QStringLiteral("tx ") + ack,
                  QStringLiteral("rx <STX>1m12071015P<ETX><STX>2"),
                  QStringLiteral("# call row 1 line 1: 발신번호표시금지"),
                  QStringLiteral("tx <STX>1I") + QString(26, u' ') + QStringLiteral("<ETX>"),
                  QStringLiteral("rx <<"),
              }));
    EXPECT_TRUE(unstamped(fileContent(file)).value(4).startsWith(u"# started 2"));

    // The runner replays it and finds every byte the console wrote.
    const cli::Script script = cli::parseScript(fileContent(file));
    ASSERT_TRUE(script.error.isEmpty()) << script.error.toStdString();
    EXPECT_TRUE(script.capture);
    cli::ScenarioRunner runner(dir.filePath(QStringLiteral("other.ini")));
    EXPECT_EQ(runner.runChecked(script.steps), std::nullopt);
    EXPECT_EQ(runner.console().state().RxBuffer, QByteArray("\x02"
                                                            "2<"));
}

TEST_F(Capture, StateStepPutsAReplayWhereTheFileBegan)
{
    setVariant("5");
    ConsoleTestAccess::state(console).IdentifyFlag = 1;
    console.startOutgoingCall("9,<12");
    const QString file = dir.filePath(QStringLiteral("s.scn"));
    record({file, {}, 0, {}});
    recorder->startSession(QString(), QStringLiteral("/dev/pts/9"));
    recorder->flush();
    const QStringList lines = unstamped(fileContent(file));
    EXPECT_EQ(lines.value(2), QStringLiteral("# port /dev/pts/9"));
    EXPECT_EQ(lines.value(5),
              QStringLiteral("state variant=5 identify=1 outgoing=1 number=9,<<12"));

    cli::ScenarioRunner runner(dir.filePath(QStringLiteral("other.ini")));
    runner.run(cli::parseScript(fileContent(file)).steps);
    const ConsoleState &s = runner.console().state();
    EXPECT_EQ(s.VariantCode, QStringLiteral("5"));
    EXPECT_EQ(s.IdentifyFlag, 1);
    EXPECT_EQ(s.OutgoingFlag, 1);
    EXPECT_EQ(s.OutgoingNumber, QByteArray("9,<12"));
    EXPECT_EQ(runner.console().grid(GridId::Device).text(1, 0), QStringLiteral("DK-E"));
}

TEST_F(Capture, LongSessionsArePiecesAndTheFolderStaysUnderItsLimit)
{
    const QString folder = dir.filePath(QStringLiteral("captures"));
    // 64 KiB pieces (the smallest), 300 KiB in all.
    record({{}, folder, 300 * 1024, {}});
    link.setOpen(false);
    console.ChangeComport(qint16(1));
    const QByteArray call = framed("1I021234567" + QByteArray(60, ' '));
    for (int i = 0; i < 6000; ++i)
        feed(call);
    recorder->flush();

    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.scn")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 3);
    qint64 total = 0;
    for (const QFileInfo &file : files) {
        total += file.size();
        const QStringList lines = unstamped(fileContent(file.absoluteFilePath()));
        EXPECT_EQ(lines.value(0), QStringLiteral("# dialkite capture 1"));
        EXPECT_TRUE(lines.value(5).startsWith(u"state variant=1")) << lines.value(5).toStdString();
        EXPECT_TRUE(lines.value(6).startsWith(u"rx <STX>1I")) << lines.value(6).toStdString();
        EXPECT_TRUE(cli::parseScript(fileContent(file.absoluteFilePath())).error.isEmpty());
    }
    EXPECT_LE(total, 300 * 1024);
    EXPECT_EQ(state().CallRow, 6001);
}

TEST_F(Capture, ADiskThatRefusesStopsTheRecordingOnceNeverTheConsole)
{
    // A folder where a file is in the way cannot be made, by anyone.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile(blocker).open(QIODevice::WriteOnly);
    CaptureRecorder &r = record({{}, blocker + QStringLiteral("/captures"), 1 << 20, {}});
    QSignalSpy failed(&r, &CaptureRecorder::failed);
    link.setOpen(false);
    console.ChangeComport(qint16(1));
    feed(framed("1I021234567   "));
    recorder->flush();
    ASSERT_TRUE(failed.wait(2000));
    console.ChangeComport(qint16(2));
    feed(framed("2I021234567   "));
    recorder->flush();
    processEvents();
    EXPECT_EQ(failed.size(), 1);
    EXPECT_TRUE(r.stopped());
    EXPECT_EQ(state().CallRow, 3);
    EXPECT_EQ(callCell(2, 2), QStringLiteral("02-123-4567"));
}

TEST(RecorderSettings, OnByDefaultMovedOrOffByTheSettingsFile)
{
    const auto standard = recorderOptions(Profile::parse(""), QStringLiteral("/data/captures"));
    ASSERT_TRUE(standard);
    EXPECT_EQ(standard->folder, QStringLiteral("/data/captures"));
    EXPECT_EQ(standard->folderLimit, 200LL * 1024 * 1024);
    const auto moved = recorderOptions(
        Profile::parse("[capture]\nfolder = /mnt/rig/captures\nLIMIT_MB=50\n"), QString());
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->folder, QStringLiteral("/mnt/rig/captures"));
    EXPECT_EQ(moved->folderLimit, 50LL * 1024 * 1024);
    EXPECT_FALSE(recorderOptions(Profile::parse("[CAPTURE]\nRECORD=0\n"), QString()));
}
