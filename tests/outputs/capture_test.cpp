// The flight recorder: what a capture file holds, how long sessions are cut into pieces
// that each replay on their own, and what a disk that refuses the file does (nothing
// to the console).

#include "support/fixture.h"
#include "support/outputs.h"

#include "cli/runner.h"
#include "operations/identify.h"
#include "operations/select.h"
#include "outputs/capture.h"
#include "outputs/factory.h"
#include "scenario/script.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <unistd.h>

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
    Watched &record(CaptureOptions options)
    {
        options.program = QStringLiteral("dialkite test");
        recorder = std::make_unique<Watched>(console, std::make_unique<CaptureOutput>(options));
        return *recorder;
    }
    std::unique_ptr<Watched> recorder;
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
    recorder->finish();

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
    const scenario::Script script = scenario::parseScript(fileContent(file));
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
    link.setOpen(false);
    ASSERT_TRUE(link.open(9)); // the recording link calls its device by the port number
    console.linkOpened(0);     // opened by its path, as the monitor does
    recorder->finish();
    const QStringList lines = unstamped(fileContent(file));
    EXPECT_EQ(lines.value(2), QStringLiteral("# port COM9"));
    EXPECT_EQ(lines.value(5),
              QStringLiteral("state variant=5 identify=1 outgoing=1 number=9,<<12"));

    cli::ScenarioRunner runner(dir.filePath(QStringLiteral("other.ini")));
    runner.run(scenario::parseScript(fileContent(file)).steps);
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
    recorder->finish();

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
        EXPECT_TRUE(scenario::parseScript(fileContent(file.absoluteFilePath())).error.isEmpty());
    }
    EXPECT_LE(total, 300 * 1024);
    EXPECT_EQ(state().CallRow, 6001);
}

TEST_F(Capture, ADiskThatRefusesStopsTheRecordingOnceNeverTheConsole)
{
    // A folder where a file is in the way cannot be made, by anyone.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile(blocker).open(QIODevice::WriteOnly);
    Watched &r = record({{}, blocker + QStringLiteral("/captures"), 1 << 20, {}});
    link.setOpen(false);
    console.ChangeComport(qint16(1));
    feed(framed("1I021234567   "));
    r.finish();
    console.ChangeComport(qint16(2));
    feed(framed("2I021234567   "));
    r.finish();
    EXPECT_EQ(r.told(Severity::Stopped), 1);
    EXPECT_TRUE(r.output<CaptureOutput>().stopped());
    EXPECT_EQ(state().CallRow, 3);
    EXPECT_EQ(callCell(2, 2), QStringLiteral("02-123-4567"));
}

TEST_F(Capture, AFullDiskIsSaidAsSuchAndTheFileEndsAtAWholeLine)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a full disk is a small tmpfs, which only root may mount";
    const QString disk = dir.filePath(QStringLiteral("disk"));
    QDir().mkpath(disk);
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(disk)};
    Watched &r = record({{}, disk, 1 << 20, {}});
    link.setOpen(false);
    console.ChangeComport(qint16(1));
    for (int burst = 0; burst < 40 && r.told(Severity::Stopped) == 0; ++burst) {
        for (int i = 0; i < 50; ++i)
            feed(framed("1I021234567   "));
        r.finish();
    }
    ASSERT_EQ(r.told(Severity::Stopped), 1);
    QString said;
    for (const auto &[severity, text] : r.news)
        if (severity == Severity::Stopped)
            said = text;
    EXPECT_TRUE(said.contains(u"No space left on device")) << said.toStdString();
    EXPECT_FALSE(said.contains(u"Unknown error")) << said.toStdString();
    const QStringList files = QDir(disk).entryList({QStringLiteral("*.scn")}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile capture(QDir(disk).filePath(files[0]));
    ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
    EXPECT_TRUE(capture.readAll().endsWith('\n'));
    EXPECT_EQ(state().CallRow > 100, true); // the console went on serving the box
}

TEST(RecorderSettings, OnByDefaultMovedOrOffByTheSettingsFile)
{
    const QString capture = QStringLiteral("capture");
    const OutputPlan plain = desktopPlan(Profile::parse(""));
    const auto *standard = plain.get<CaptureOptions>(capture);
    ASSERT_TRUE(standard);
    EXPECT_EQ(standard->folder, defaultCaptureFolder());
    EXPECT_TRUE(defaultCaptureFolder().endsWith(u"/dialkite/captures"));
    EXPECT_EQ(standard->folderLimit, 200LL * 1024 * 1024);
    const OutputPlan elsewhere =
        desktopPlan(Profile::parse("[capture]\nfolder = /mnt/rig/captures\nLIMIT_MB=50\n"));
    const auto *moved = elsewhere.get<CaptureOptions>(capture);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->folder, QStringLiteral("/mnt/rig/captures"));
    EXPECT_EQ(moved->folderLimit, 50LL * 1024 * 1024);
    EXPECT_FALSE(desktopPlan(Profile::parse("[CAPTURE]\nRECORD=0\n")).has(capture));
}
