// Box acceptance runs end to end: every example suite in suites/ against a healthy
// simulated box of its variant, and against boxes with each kind of fault, over
// pseudo-terminals; the JUnit report read back with a real XML parser; the run kept in
// the call history and captured.

#include "support/pty.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace dialkite::test;

namespace {

const QString kSuites = QStringLiteral(DIALKITE_SUITES);

QString suiteOf(int variant)
{
    const QStringList found =
        QDir(kSuites).entryList({QStringLiteral("variant%1-*.suite").arg(variant)});
    return found.isEmpty() ? QString() : QDir(kSuites).filePath(found.front());
}

struct SuiteRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// One suite against a simulated box of `variant` with `faults`; when the suite asks a
// person to ring line 2, the box reports a caller there and the prompt is answered.
SuiteRun runSuite(QTemporaryDir &dir, int variant, const QString &suite,
                  const QStringList &faults = {}, const QStringList &extra = {},
                  const QString &language = QStringLiteral("C.UTF-8"))
{
    QProcess sim;
    QStringList simArguments{QStringLiteral("--variant"),
                             QString::number(variant),
                             QStringLiteral("--keep-running"),
                             QStringLiteral("--call-end-after"),
                             QStringLiteral("800"),
                             QStringLiteral("--seed"),
                             QStringLiteral("7")};
    for (const QString &fault : faults)
        simArguments << QStringLiteral("--fault") << fault;
    sim.start(QStringLiteral(DIALKITE_SIM), simArguments);
    QByteArray path;
    waitFor([&] {
        path += sim.readAllStandardOutput();
        return path.contains('\n') || sim.state() == QProcess::NotRunning;
    });
    QStringList arguments{QStringLiteral("test"),       suite,
                          QStringLiteral("--device"),   QString::fromLocal8Bit(path.trimmed()),
                          QStringLiteral("--captures"), dir.filePath(QStringLiteral("runs")),
                          QStringLiteral("--settings"), dir.filePath(QStringLiteral("none.ini"))};
    if (!extra.contains(QStringLiteral("--history")))
        arguments << QStringLiteral("--history") << dir.filePath(QStringLiteral("history.sqlite"));
    QProcess test;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANG"), language);
    test.setProcessEnvironment(environment);
    test.start(QStringLiteral(DIALKITE_CLI), arguments + extra);
    SuiteRun run;
    bool rang = false;
    waitFor(
        [&] {
            run.out += test.readAllStandardOutput();
            run.err += test.readAllStandardError();
            if (!rang && run.err.contains("  ?  ")) {
                sim.write("call 2 0212345678\n");
                test.write("\n");
                rang = true;
            }
            return test.state() == QProcess::NotRunning;
        },
        60000);
    run.out += test.readAllStandardOutput();
    run.err += test.readAllStandardError();
    run.status = test.state() == QProcess::NotRunning ? test.exitCode() : -2;
    if (test.state() != QProcess::NotRunning)
        test.kill();
    sim.kill();
    sim.waitForFinished(3000);
    test.waitForFinished(3000);
    return run;
}

// A suite of the test's own, `content` in a file `name` of `dir`; its path.
QString writeSuite(const QTemporaryDir &dir, const char *name, const QByteArray &content)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

// The first line a run reports as failed.
QByteArray firstFailure(const QByteArray &out)
{
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("  FAIL"))
            return line;
    }
    return {};
}

class EverySuite : public ::testing::TestWithParam<int> {};

} // namespace

// Under a Korean locale the run's own lines are Korean, the banner included.
TEST(EverySuiteInKorean, SaysItsVerdictInKorean)
{
    QTemporaryDir dir;
    const SuiteRun run = runSuite(dir, 1, suiteOf(1), {}, {}, QStringLiteral("ko_KR.UTF-8"));
    EXPECT_EQ(run.status, 0) << run.out.constData() << run.err.constData();
    EXPECT_TRUE(run.out.contains("\n==================== 합격 ====================\n"))
        << run.out.constData();
    EXPECT_TRUE(run.out.contains(", 실패 0\n")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("\n시간: ")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("\n통신 기록: " + dir.filePath(QStringLiteral("runs")).toUtf8()))
        << run.out.constData();
}

TEST_P(EverySuite, PassesOnAHealthyBoxOfItsVariant)
{
    QTemporaryDir dir;
    const QString suite = suiteOf(GetParam());
    ASSERT_FALSE(suite.isEmpty());
    const SuiteRun run = runSuite(dir, GetParam(), suite);
    EXPECT_EQ(run.status, 0) << run.out.constData() << run.err.constData();
    EXPECT_TRUE(run.out.contains(" passed, 0 failed\n")) << run.out.constData();
    EXPECT_FALSE(run.out.contains("FAIL")) << run.out.constData();
    // The verdict from across the room (plain: this is no terminal), and the evidence, in
    // the language of the locale (the tests' is English).
    EXPECT_TRUE(run.out.contains("\n==================== PASSED ====================\n"))
        << run.out.constData();
    EXPECT_FALSE(run.out.contains("\x1b[")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("\ncapture: " + dir.filePath(QStringLiteral("runs")).toUtf8()))
        << run.out.constData();
}

INSTANTIATE_TEST_SUITE_P(Suites, EverySuite, ::testing::Range(1, 9),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return "variant" + std::to_string(info.param);
                         });

// Each fault makes the suite fail at the step that sees it, and says what came instead.
TEST(FaultyBoxes, EachFaultFailsTheStepThatSeesIt)
{
    struct Case {
        int variant;
        const char *fault;
        const char *failing; // the expectation that must fail first
        const char *message; // and what its message says
    };
    const Case cases[] = {
        {3, "no-identify", "expect identification", "last seen: tx"},
        {3, "wrong-version", "expect identification",
         "원했던 것: identification name=DK-C* version=V1.*; 받은 것: identification "
         "name=DK-C0001 version=V9.9 ("},
        {3, "wrong-variant:1", "expect identification", "장비가 DK-A0001(1번 종류)로 응답했습니다"},
        {3, "slow:2500", "expect identification", "last seen: tx"},
        {3, "drop-call-end", "expect call-end", "last seen"},
        {1, "ignore:x", "expect detection", "last seen"},
        {6, "garble:1", "expect detection", "last seen"}, // its answer is garbled
        {3, "no-ack-wait", "expect no rx", "원했던 것: rx 없음; 받은 것: rx <STX>2I"},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const SuiteRun run =
            runSuite(dir, c.variant, suiteOf(c.variant), {QString::fromLatin1(c.fault)});
        EXPECT_EQ(run.status, 1) << c.fault << "\n" << run.out.constData();
        const QByteArray failure = firstFailure(run.out);
        EXPECT_TRUE(failure.contains(c.failing)) << c.fault << "\n" << run.out.constData();
        const QByteArray after = run.out.mid(run.out.indexOf(failure) + failure.size(), 400);
        EXPECT_TRUE(after.contains(c.message)) << c.fault << "\n" << run.out.constData();
        // Another identification than the one wanted fails at once, not after 2 s.
        if (QByteArray(c.fault).startsWith("wrong-")) {
            EXPECT_FALSE(failure.contains("(20")) << run.out.constData();
        }
        // It stopped there: what came after was not run.
        EXPECT_TRUE(run.out.contains("  skip  ") ||
                    run.out.indexOf(failure) > run.out.lastIndexOf("  ok"))
            << c.fault << "\n"
            << run.out.constData();
    }
}

TEST(Reports, JUnitForCiTheRunInTheHistoryAndItsCapture)
{
    QTemporaryDir dir;
    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const SuiteRun run =
        runSuite(dir, 3, suiteOf(3), {QStringLiteral("drop-call-end")},
                 {QStringLiteral("--junit"), junit, QStringLiteral("--keep-going")});
    EXPECT_EQ(run.status, 1);
    // --keep-going: the expectations after the failed one still ran.
    EXPECT_FALSE(run.out.contains("  skip  ")) << run.out.constData();

    QFile file(junit);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int suites = 0;
    int cases = 0;
    int failures = 0;
    QStringList properties;
    QString failureMessage;
    QString declaredTests;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == u"testsuites")
            declaredTests = xml.attributes().value(QStringLiteral("tests")).toString();
        else if (name == u"testsuite")
            ++suites;
        else if (name == u"property")
            properties << xml.attributes().value(QStringLiteral("name")).toString() +
                              QLatin1Char('=') +
                              xml.attributes().value(QStringLiteral("value")).toString();
        else if (name == u"testcase")
            ++cases;
        else if (name == u"failure") {
            ++failures;
            failureMessage = xml.attributes().value(QStringLiteral("message")).toString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(suites, 1);
    EXPECT_EQ(cases, 8); // the suite's expectations; its prompt is the person's, not a test
    EXPECT_EQ(declaredTests, QString::number(cases));
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(failureMessage.startsWith(u"원했던 것: call-end; 받은 것: 없음"))
        << failureMessage.toStdString();
    // Each expectation's measured time beside its limit.
    EXPECT_TRUE(properties.contains(QStringLiteral("limit_ms=15000")))
        << properties.join(u' ').toStdString();
    EXPECT_TRUE(properties.contains(QStringLiteral("measured_ms=15000")) ||
                properties.contains(QStringLiteral("measured_ms=15001")))
        << properties.join(u' ').toStdString();
    EXPECT_TRUE(properties.contains(QStringLiteral("box.name=DK-C0001")))
        << properties.join(u' ').toStdString();
    EXPECT_TRUE(properties.contains(QStringLiteral("box.version=Ver V1.0")));

    // Kept in the history, newest first, with its capture named by box and time.
    QProcess history;
    history.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("history"), QStringLiteral("--db"),
                   dir.filePath(QStringLiteral("history.sqlite")), QStringLiteral("--runs"),
                   QStringLiteral("--format"), QStringLiteral("json")});
    history.waitForFinished(10000);
    const QByteArray runs = history.readAllStandardOutput();
    EXPECT_TRUE(runs.contains("\"verdict\": \"failed\"")) << runs.constData();
    // People read it in Korean.
    QProcess table;
    table.start(QStringLiteral(DIALKITE_CLI),
                {QStringLiteral("history"), QStringLiteral("--db"),
                 dir.filePath(QStringLiteral("history.sqlite")), QStringLiteral("--runs")});
    table.waitForFinished(10000);
    const QByteArray shown = table.readAllStandardOutput();
    EXPECT_TRUE(shown.contains("불합격")) << shown.constData();
    EXPECT_FALSE(shown.contains("failed")) << shown.constData();
    EXPECT_TRUE(runs.contains("\"box_name\": \"DK-C0001\"")) << runs.constData();
    const QStringList captures = QDir(dir.filePath(QStringLiteral("runs")))
                                     .entryList({QStringLiteral("DK-C0001-*-variant3-rez.scn")});
    ASSERT_EQ(captures.size(), 1)
        << QDir(dir.filePath(QStringLiteral("runs"))).entryList().join(u' ').toStdString();
    EXPECT_TRUE(runs.contains(captures.front().toUtf8())) << runs.constData();
    // The table shows the capture's whole path (its last column is never cut short).
    EXPECT_TRUE(shown.contains(
        QDir(dir.filePath(QStringLiteral("runs"))).filePath(captures.front()).toUtf8()))
        << shown.constData();
}

TEST(Reports, APromptFailsAtOnceInABatchRun)
{
    QTemporaryDir dir;
    const SuiteRun run = runSuite(dir, 1, suiteOf(1), {}, {QStringLiteral("--batch")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(firstFailure(run.out).contains("prompt")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("needs a person")) << run.out.constData();
}

// A box that goes away in the middle fails every shipped suite: the step at hand at once,
// with the reason, and nothing after it runs ("expect no" included, which nothing from a
// dead box would ever break).
TEST_P(EverySuite, FailsWhenItsBoxGoesAwayMidway)
{
    QTemporaryDir dir;
    const SuiteRun run =
        runSuite(dir, GetParam(), suiteOf(GetParam()), {QStringLiteral("die-after:1200")},
                 {QStringLiteral("--keep-going")});
    EXPECT_EQ(run.status, 1) << run.out.constData() << run.err.constData();
    const QByteArray failure = firstFailure(run.out);
    const QByteArray after = run.out.mid(run.out.indexOf(failure) + failure.size(), 200);
    EXPECT_TRUE(after.contains("장비 연결이 끊겼습니다")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("= FAILED =")) << run.out.constData();
    EXPECT_FALSE(run.out.contains(" passed, 0 failed")) << run.out.constData();
    // One failure for it, however many steps were left (--keep-going or not).
    EXPECT_EQ(run.out.count("  FAIL  "), 1) << run.out.constData();
    EXPECT_LT(run.out.lastIndexOf("  ok  "), run.out.indexOf("  FAIL  ")) << run.out.constData();
}

// A suite's times: an "expect no" looks at what follows its step only, and no time is
// ever negative; a suite that expects nothing is refused before the box is touched.
TEST(HonestVerdicts, ExpectNoWatchesOnlyItsOwnTimeAndAnEmptySuiteIsRefused)
{
    QTemporaryDir dir;
    // A variant 3 box's identification is answered by the console (a tx) after it came:
    // before the wait, so not the "expect no tx"'s business.
    const QString suite =
        writeSuite(dir, "after-a-wait.suite",
                   "select 3\nidentify\nexpect identification within 2s\nwait 1s\n"
                   "expect no tx within 500ms\nexpect no identification within 300ms\n");
    const QString junit = dir.filePath(QStringLiteral("report.xml"));
    const SuiteRun run = runSuite(dir, 3, suite, {}, {QStringLiteral("--junit"), junit});
    EXPECT_EQ(run.status, 0) << run.out.constData() << run.err.constData();
    EXPECT_TRUE(run.out.contains("3 passed, 0 failed")) << run.out.constData();
    EXPECT_FALSE(run.out.contains("(-")) << run.out.constData();
    QFile report(junit);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_FALSE(report.readAll().contains("time=\"-")) << junit.toStdString();

    const QString empty = writeSuite(dir, "empty.suite", "# only comments\nidentify\nwait 1s\n");
    QProcess test;
    test.start(
        QStringLiteral(DIALKITE_CLI),
        {QStringLiteral("test"), empty, QStringLiteral("--device"), QStringLiteral("/dev/null")});
    ASSERT_TRUE(test.waitForFinished(10000));
    EXPECT_EQ(test.exitCode(), 2);
    EXPECT_TRUE(test.readAllStandardError().contains("no expectation"));
}

// A --batch run whose prompt cannot be answered does not wait for what the person was to
// do; a run whose history cannot be written ends with status 3, never as a pass.
TEST(HonestVerdicts, AnUnansweredPromptWaitsForNothingAndALostRecordIsNoPass)
{
    QTemporaryDir dir;
    QElapsedTimer timer;
    timer.start();
    const SuiteRun batch = runSuite(dir, 1, suiteOf(1), {},
                                    {QStringLiteral("--batch"), QStringLiteral("--keep-going")});
    EXPECT_LT(timer.elapsed(), 30000); // not the 60 s of the call a person was to make
    EXPECT_EQ(batch.status, 1);
    EXPECT_TRUE(batch.out.contains("  skip  line 13: expect call")) << batch.out.constData();
    EXPECT_TRUE(batch.out.contains("  skip  line 14: expect no rx")) << batch.out.constData();

    // Another program's database where the history should be: refused, so the run's
    // record is lost.
    const QString theirs = dir.filePath(QStringLiteral("theirs.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(theirs);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE orders (what TEXT)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
    const SuiteRun unkept = runSuite(dir, 1, suiteOf(1), {}, {QStringLiteral("--history"), theirs});
    EXPECT_EQ(unkept.status, 3) << unkept.out.constData() << unkept.err.constData();
    EXPECT_TRUE(unkept.err.contains("the run's record is not kept in the history"))
        << unkept.err.constData();
}

// Every step's measured time and limit kept with the run, read back by `history --runs
// --steps RUN`; a failed suite run again with --retry, each attempt kept, the last deciding.
TEST(MeasuredSteps, EachAttemptAndEachStepAreKept)
{
    QTemporaryDir dir;
    const QString suite =
        writeSuite(dir, "wrong-name.suite",
                   "select 1\nidentify\nexpect identification name=DK-Z* within 300ms\n"
                   "expect no rx within 200ms\n");
    const SuiteRun run =
        runSuite(dir, 1, suite, {}, {QStringLiteral("--retry"), QStringLiteral("2")});
    EXPECT_EQ(run.status, 1) << run.out.constData() << run.err.constData();
    EXPECT_TRUE(run.out.contains("attempt 3 of 3")) << run.out.constData();
    EXPECT_EQ(run.out.count(" on /dev/"), 3) << run.out.constData();

    const auto history = [&](const QStringList &extra) {
        QProcess cli;
        cli.start(QStringLiteral(DIALKITE_CLI),
                  QStringList{QStringLiteral("history"), QStringLiteral("--db"),
                              dir.filePath(QStringLiteral("history.sqlite")),
                              QStringLiteral("--runs")} +
                      extra);
        cli.waitForFinished(10000);
        return cli.readAllStandardOutput();
    };
    const QByteArray runs = history({QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(runs.count("\"event\": \"run\""), 3) << runs.constData();
    for (const char *attempt : {"\"attempt\": \"1\"", "\"attempt\": \"2\"", "\"attempt\": \"3\""})
        EXPECT_TRUE(runs.contains(attempt)) << runs.constData();
    // The newest first: its number is the last of the three.
    const qsizetype at = runs.indexOf("\"run\": \"") + 8;
    const QByteArray newest = runs.mid(at, runs.indexOf('"', at) - at);
    const QByteArray steps = history({QStringLiteral("--steps"), QString::fromLatin1(newest),
                                      QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(steps.count("\"event\": \"step\""), 2) << steps.constData();
    EXPECT_TRUE(steps.contains("\"line\": \"3\"") && steps.contains("\"verdict\": \"failed\"") &&
                steps.contains("\"limit_ms\": \"300\"") &&
                steps.contains("원했던 것: identification name=DK-Z*"))
        << steps.constData();
    EXPECT_TRUE(steps.contains("\"line\": \"4\"") && steps.contains("\"verdict\": \"not_run\""))
        << steps.constData();
    // For people: Korean verdicts.
    const QByteArray table = history({QStringLiteral("--steps"), QString::fromLatin1(newest)});
    EXPECT_TRUE(table.contains("불합격") && table.contains("실행 안 함")) << table.constData();
}

// A prompt with choices takes one by its number or its text (anything else is asked
// again); the first passes, another fails, and the answer is kept with the run.
TEST(Prompts, AChoiceIsTakenCheckedAndKept)
{
    QTemporaryDir dir;
    const QString suite =
        writeSuite(dir, "sound.suite",
                   "select 1\nidentify\nexpect identification within 2s\n"
                   "prompt 소리가 났습니까? 예|아니요\nprompt 불이 켜졌습니까? 예|아니요\n");
    QProcess sim;
    sim.start(QStringLiteral(DIALKITE_SIM), {QStringLiteral("--keep-running")});
    QByteArray path;
    ASSERT_TRUE(waitFor([&] {
        path += sim.readAllStandardOutput();
        return path.contains('\n');
    }));
    QProcess test;
    test.start(QStringLiteral(DIALKITE_CLI),
               {QStringLiteral("test"), suite, QStringLiteral("--device"),
                QString::fromLocal8Bit(path.trimmed()), QStringLiteral("--keep-going"),
                QStringLiteral("--captures"), dir.filePath(QStringLiteral("runs")),
                QStringLiteral("--history"), dir.filePath(QStringLiteral("history.sqlite")),
                QStringLiteral("--settings"), dir.filePath(QStringLiteral("none.ini"))});
    test.write("maybe\n예\n2\n");
    test.closeWriteChannel();
    ASSERT_TRUE(test.waitForFinished(20000));
    const QByteArray out = test.readAllStandardOutput();
    const QByteArray err = test.readAllStandardError();
    sim.kill();
    sim.waitForFinished(3000);
    EXPECT_EQ(test.exitCode(), 1) << out.constData() << err.constData();
    EXPECT_TRUE(err.contains("[1] 예 [2] 아니요")) << err.constData();
    EXPECT_EQ(err.count("소리가 났습니까?"), 2) << err.constData(); // "maybe" asked again
    EXPECT_TRUE(out.contains("  ok    line 4: prompt")) << out.constData();
    EXPECT_TRUE(out.contains("  FAIL  line 5: prompt")) << out.constData();
    EXPECT_TRUE(out.contains("답: 아니요")) << out.constData();
    QProcess history;
    history.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("history"), QStringLiteral("--db"),
                   dir.filePath(QStringLiteral("history.sqlite")), QStringLiteral("--runs"),
                   QStringLiteral("--steps"), QStringLiteral("1"), QStringLiteral("--format"),
                   QStringLiteral("json")});
    history.waitForFinished(10000);
    const QByteArray steps = history.readAllStandardOutput();
    EXPECT_TRUE(steps.contains("\"answer\": \"예\"") && steps.contains("\"answer\": \"아니요\""))
        << steps.constData();
}

// A run's report: written where asked (or one a run in a folder), named in the output,
// with the box, the operator, the verdict, every step, and its capture's SHA-256 as
// sha256sum computes it.
TEST(RunReports, APageForTheBoxWithItsEvidence)
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("report.html"));
    const SuiteRun run = runSuite(
        dir, 3, suiteOf(3), {},
        {QStringLiteral("--report"), page, QStringLiteral("--operator"), QStringLiteral("김시험")});
    ASSERT_EQ(run.status, 0) << run.out.constData() << run.err.constData();
    EXPECT_TRUE(run.out.contains("report: " + page.toUtf8())) << run.out.constData();
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(html.contains(u"<p class=\"verdict passed\">합격</p>"));
    EXPECT_TRUE(html.contains(u"DK-C0001") && html.contains(u"김시험"));
    EXPECT_EQ(html.count(u"<tr class=\"passed\">"), 9); // the suite's expectations and prompt
    const QStringList captures =
        QDir(dir.filePath(QStringLiteral("runs"))).entryList({QStringLiteral("*.scn")});
    ASSERT_EQ(captures.size(), 1);
    QProcess sum;
    sum.start(QStringLiteral("sha256sum"),
              {QDir(dir.filePath(QStringLiteral("runs"))).filePath(captures[0])});
    ASSERT_TRUE(sum.waitForFinished(5000));
    const QString digest = QString::fromLatin1(sum.readAllStandardOutput().left(64));
    EXPECT_EQ(digest.size(), 64);
    EXPECT_TRUE(html.contains(digest)) << digest.toStdString();
    EXPECT_TRUE(html.contains(captures[0]));

    // One a run in a folder, each named as its capture.
    const QString failing =
        writeSuite(dir, "wrong-name.suite",
                   "select 3\nidentify\nexpect identification name=DK-Z* within 300ms\n");
    const SuiteRun two = runSuite(dir, 3, failing, {},
                                  {QStringLiteral("--reports"), dir.filePath(QStringLiteral("r")),
                                   QStringLiteral("--retry"), QStringLiteral("1")});
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("r"))).entryList({QStringLiteral("*.html")}).size(),
              2);
}

// A station: four boxes at once, one console each on a thread of its own; every line names
// its box, their prompts are asked one at a time naming the box, each box has its own
// capture, record and JUnit test suite, and one box's failure is its own.
TEST(Station, FourBoxesAtOnceEachWithItsOwnVerdict)
{
    QTemporaryDir dir;
    const QString suite = writeSuite(dir, "ready.suite",
                                     "select 1\nidentify\nexpect identification within 2s\n"
                                     "prompt 준비됐습니까? 예|아니요\ndetect-read\n"
                                     "expect detection NOT|HOOK|RING within 2s\n");
    std::vector<std::unique_ptr<QProcess>> boxes;
    QStringList arguments{QStringLiteral("test"), suite};
    for (int i = 0; i < 4; ++i) {
        boxes.push_back(std::make_unique<QProcess>());
        boxes.back()->start(QStringLiteral(DIALKITE_SIM), {QStringLiteral("--keep-running")});
        QByteArray path;
        ASSERT_TRUE(waitFor([&] {
            path += boxes.back()->readAllStandardOutput();
            return path.contains('\n');
        }));
        arguments << QStringLiteral("--device") << QString::fromLocal8Bit(path.trimmed());
    }
    const QString junit = dir.filePath(QStringLiteral("station.xml"));
    arguments << QStringLiteral("--captures") << dir.filePath(QStringLiteral("runs"))
              << QStringLiteral("--history") << dir.filePath(QStringLiteral("history.sqlite"))
              << QStringLiteral("--junit") << junit << QStringLiteral("--settings")
              << dir.filePath(QStringLiteral("none.ini"));
    QProcess station;
    station.start(QStringLiteral(DIALKITE_CLI), arguments);
    QByteArray out, err, refused;
    int answered = 0;
    waitFor(
        [&] {
            out += station.readAllStandardOutput();
            err += station.readAllStandardError();
            // Each prompt names its box; the first is answered "no", the others "yes".
            while (err.count("준비됐습니까?") > answered) {
                if (answered == 0) {
                    const qsizetype at = err.indexOf("  ?     [") + 9;
                    refused = err.mid(at, err.indexOf(']', at) - at);
                }
                station.write(answered == 0 ? "2\n" : "1\n");
                ++answered;
            }
            return station.state() == QProcess::NotRunning;
        },
        30000);
    out += station.readAllStandardOutput();
    for (auto &box : boxes)
        box->kill();
    EXPECT_EQ(station.exitCode(), 1) << out.constData() << err.constData();
    EXPECT_EQ(answered, 4) << err.constData();
    ASSERT_FALSE(refused.isEmpty()) << err.constData();
    EXPECT_TRUE(out.contains("[" + refused + "] FAILED: 1 passed, 1 failed")) << out.constData();
    EXPECT_EQ(out.count("] PASSED: 3 passed, 0 failed"), 3) << out.constData();
    // Every line of a box's run names it.
    for (const QByteArray &line : out.split('\n'))
        if (line.contains("line ") && !line.startsWith("["))
            ADD_FAILURE() << "a line without its box: " << line.constData();
    EXPECT_EQ(
        QDir(dir.filePath(QStringLiteral("runs"))).entryList({QStringLiteral("*.scn")}).size(), 4);
    QFile report(junit);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_EQ(report.readAll().count("<testsuite "), 4);
}
