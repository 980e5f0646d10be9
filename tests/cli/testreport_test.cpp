// The page a box's test run leaves to hand over with it: Korean, self-contained, and what
// came from the box shown as text.

#include "cli/testreport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::cli;

TEST(TestReport, AllOfTheRunAsTextOnAPageThatRunsNothing)
{
    TestReport report;
    report.suite = QStringLiteral("suites/variant3-rez.suite");
    report.boxName = QStringLiteral("<script>alert(1)</script>\x1b[31m");
    report.boxVersion = QStringLiteral("Ver V1.0");
    report.variant = QStringLiteral("3");
    report.device = QStringLiteral("/dev/ttyUSB0");
    report.operatorName = QStringLiteral("김시험");
    report.station = QStringLiteral("bench-2");
    report.started = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 0));
    report.ended = report.started.addMSecs(17300);
    report.passed = false;
    report.steps = {{6,
                     QStringLiteral("expect identification name=DK-C* within 2s"),
                     QStringLiteral("passed"),
                     14,
                     2000,
                     {},
                     {}},
                    {12,
                     QStringLiteral("expect call-end within 15s"),
                     QStringLiteral("failed"),
                     15000,
                     15000,
                     QStringLiteral("원했던 것: call-end; 받은 것: 없음"),
                     {}},
                    {13,
                     QStringLiteral("prompt 소리가 났습니까? 예|아니요"),
                     QStringLiteral("not_run"),
                     0,
                     0,
                     {},
                     {}},
                    {14, QStringLiteral("prompt 불이 켜졌습니까? 예|아니요"),
                     QStringLiteral("failed"), 3000, 0, QStringLiteral("답: 아니요"),
                     QStringLiteral("아니요")}};
    report.capture = QStringLiteral("/runs/DK-C0001-20261208-101500-variant3-rez.scn");
    report.captureSha256 = QByteArray(64, 'a');
    const QString html = QString::fromUtf8(reportHtml(report));

    // Nothing runs: no script of its own, none from the box, no outside resource.
    EXPECT_FALSE(html.contains(u"<script")) << html.toStdString();
    EXPECT_TRUE(html.contains(u"&lt;script&gt;alert(1)&lt;/script&gt;&lt;1B&gt;[31m"))
        << html.toStdString();
    EXPECT_TRUE(html.contains(u"content=\"default-src 'none'; style-src 'unsafe-inline'\""));
    EXPECT_FALSE(html.contains(u"http://") || html.contains(u"https://") || html.contains(u"src="));
    // The verdict, who, where and when, every step with its time and limit, the evidence.
    EXPECT_TRUE(html.contains(u"<p class=\"verdict failed\">불합격</p>"));
    for (const char *shown :
         {"김시험", "bench-2", "2026-12-08 10:15:00", "2026-12-08 10:15:17", "Ver V1.0",
          "/dev/ttyUSB0",
          "<td>12</td><td>expect call-end within 15s</td><td>불합격</td>"
          "<td>15000</td><td>15000</td><td>원했던 것: call-end; 받은 것: 없음</td>",
          "<td>13</td><td>prompt 소리가 났습니까? 예|아니요</td><td>실행 안 함</td><td></td>",
          "<td>답: 아니요</td><td>아니요</td>", "DK-C0001-20261208-101500-variant3-rez.scn",
          "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(shown))) << shown;
    EXPECT_FALSE(html.contains(u"/runs/")); // the file's name, not where this PC keeps it

    report.passed = true;
    EXPECT_TRUE(
        QString::fromUtf8(reportHtml(report)).contains(u"<p class=\"verdict passed\">합격</p>"));
}

TEST(TestReport, TheCapturesDigest)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.scn"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("abc");
    file.close();
    // SHA-256("abc"), the standard's own example.
    EXPECT_EQ(fileSha256(path),
              QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_TRUE(fileSha256(dir.filePath(QStringLiteral("none"))).isEmpty());
}
