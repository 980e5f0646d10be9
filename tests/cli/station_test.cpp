// The station's board, its page's answers (as bytes, no socket) and questions answered from
// the page while a box's thread waits on them.

#include "cli/promptdesk.h"
#include "cli/stationboard.h"
#include "cli/stationpage.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QThread>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::cli;

namespace {

int statusOf(const std::string &answer)
{
    return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : -1;
}

std::string bodyOf(const std::string &answer)
{
    const size_t at = answer.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : answer.substr(at + 4);
}

std::string post(const std::string &target, const std::string &body,
                 const std::string &headers = "Content-Type: application/json\r\n")
{
    return "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string get(const std::string &target, const std::string &headers = {})
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n" + headers + "\r\n";
}

QJsonObject tileOf(const StationBoard &board, const QString &box)
{
    for (const QJsonValue tile : board.snapshot().value(u"boxes").toArray())
        if (tile[u"box"].toString() == box)
            return tile.toObject();
    return {};
}

// Runs the main thread's events until `done` or 5 s.
template <typename Done> bool spinUntil(Done done)
{
    for (int i = 0; i < 500 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    return done();
}

} // namespace

TEST(StationBoard, FollowsEachBoxThroughItsRunAndKeepsTheLatestRuns)
{
    StationBoard board({{QStringLiteral("a"), QStringLiteral("/dev/ttyUSB0")},
                        {QStringLiteral("b"), QStringLiteral("COM3")}},
                       QStringLiteral("bench-1"));
    EXPECT_EQ(tileOf(board, QStringLiteral("a"))[u"state"].toString(), u"waiting");
    board.begin(QStringLiteral("a"), QStringLiteral("quick.suite"), 2);
    board.identified(QStringLiteral("a"), QStringLiteral("DK-C0001"), QStringLiteral("V1.0"),
                     QStringLiteral("3"));
    board.stepAt(QStringLiteral("a"), 4, QStringLiteral("prompt 소리가 났습니까? 예|아니요"));
    board.asked(QStringLiteral("a"), 7, QStringLiteral("소리가 났습니까?"),
                {QStringLiteral("예"), QStringLiteral("아니요")});
    // A box that is not on the board changes nothing.
    board.stepAt(QStringLiteral("stranger"), 1, QStringLiteral("x"));

    QJsonObject a = tileOf(board, QStringLiteral("a"));
    EXPECT_EQ(a[u"state"].toString(), u"running");
    EXPECT_EQ(a[u"attempt"].toInt(), 2);
    EXPECT_EQ(a[u"name"].toString(), u"DK-C0001");
    EXPECT_EQ(a[u"line"].toInt(), 4);
    EXPECT_EQ(a[u"prompt"][u"id"].toInt(), 7);
    EXPECT_EQ(a[u"prompt"][u"choices"].toArray().size(), 2);
    EXPECT_EQ(board.choicesOf(7), QStringList({QStringLiteral("예"), QStringLiteral("아니요")}));
    EXPECT_FALSE(board.choicesOf(8));
    EXPECT_EQ(board.snapshot().value(u"boxes").toArray().size(), 2);

    board.answered(QStringLiteral("a"), 6); // another question's answer leaves this one
    EXPECT_TRUE(board.choicesOf(7));
    board.answered(QStringLiteral("a"), 7);
    EXPECT_FALSE(board.choicesOf(7));
    for (int i = 0; i < StationBoard::kStepsShown + 5; ++i)
        board.stepDone(
            QStringLiteral("a"),
            RunStep{i, QStringLiteral("expect tx"), QStringLiteral("passed"), 12, 1000, {}, {}});
    a = tileOf(board, QStringLiteral("a"));
    const QJsonArray steps = a[u"steps"].toArray();
    ASSERT_EQ(steps.size(), StationBoard::kStepsShown);
    EXPECT_EQ(steps.first()[u"line"].toInt(), 5); // the latest are kept
    EXPECT_EQ(steps.last()[u"ms"].toInt(), 12);
    EXPECT_EQ(steps.last()[u"limit_ms"].toInt(), 1000);

    board.runEnded(QStringLiteral("a"), false, "<html>first</html>");
    board.boxDone(QStringLiteral("a"), false);
    board.boxDone(QStringLiteral("b"), false, QStringLiteral("cannot open COM3"));
    a = tileOf(board, QStringLiteral("a"));
    EXPECT_EQ(a[u"state"].toString(), u"failed");
    EXPECT_GE(a[u"elapsed_ms"].toInteger(), 0);
    EXPECT_EQ(tileOf(board, QStringLiteral("b"))[u"state"].toString(), u"unopened");
    EXPECT_EQ(tileOf(board, QStringLiteral("b"))[u"problem"].toString(), u"cannot open COM3");
    const QJsonObject run = board.snapshot().value(u"runs").toArray().first().toObject();
    EXPECT_EQ(run[u"verdict"].toString(), u"failed");
    EXPECT_EQ(run[u"report"].toString(), u"/report/1");
    EXPECT_EQ(board.report(1), QByteArray("<html>first</html>"));

    // Only the latest runs are kept, with their reports.
    for (int i = 0; i < StationBoard::kRunsKept; ++i)
        board.runEnded(QStringLiteral("b"), true, QByteArray::number(i));
    EXPECT_FALSE(board.report(1));
    EXPECT_EQ(board.report(StationBoard::kRunsKept + 1),
              QByteArray::number(StationBoard::kRunsKept - 1));
    const QJsonArray runs = board.snapshot().value(u"runs").toArray();
    EXPECT_EQ(runs.size(), StationBoard::kRunsKept);
    EXPECT_EQ(runs.first()[u"id"].toInt(), StationBoard::kRunsKept + 1); // the latest first
}

TEST(StationPage, AnswersAWaitingQuestionOnlyAsJsonFromItsOwnPage)
{
    StationBoard board({{QStringLiteral("a"), QStringLiteral("/dev/pts/9")}});
    PromptDesk desk(&board);
    WebOptions options;
    StationPage page(options, board, desk);

    std::optional<QByteArray> answered;
    std::atomic<bool> done = false;
    std::unique_ptr<QThread> box(QThread::create([&] {
        answered = desk.ask({QStringLiteral("a"),
                             QStringLiteral("  ?     [a] 소리가 났습니까?"),
                             QStringLiteral("소리가 났습니까?"),
                             {QStringLiteral("예"), QStringLiteral("아니요")}});
        done = true;
    }));
    box->start();
    ASSERT_TRUE(spinUntil([&] { return board.choicesOf(1).has_value(); }));

    // A form posted from elsewhere, a page of another origin, an answer it does not take,
    // a question that does not wait: all refused, and the question still waits.
    EXPECT_EQ(statusOf(page.answer(post("/api/answer", "id=1&answer=%EC%98%88",
                                        "Content-Type: application/x-www-form-urlencoded\r\n"))),
              415);
    EXPECT_EQ(statusOf(page.answer(post("/api/answer", R"({"id":1,"answer":"예"})",
                                        "Content-Type: application/json\r\n"
                                        "Origin: http://evil.example\r\n"))),
              403);
    const std::string wrong = page.answer(post("/api/answer", R"({"id":1,"answer":"몰라"})"));
    EXPECT_EQ(statusOf(wrong), 400);
    EXPECT_NE(bodyOf(wrong).find("one of 예, 아니요"), std::string::npos) << wrong;
    EXPECT_EQ(statusOf(page.answer(post("/api/answer", R"({"id":2,"answer":"예"})"))), 409);
    EXPECT_EQ(statusOf(page.answer(post("/api/answer", R"({"id":"1","answer":"예"})"))), 400);
    EXPECT_EQ(statusOf(page.answer(post("/api/answer", R"({"id":1.5,"answer":"예"})"))), 400);
    EXPECT_EQ(statusOf(page.answer(post("/api/answer", "not json"))), 400);
    EXPECT_EQ(statusOf(page.answer("GET /api/station HTTP/1.1\r\nHost: evil.example\r\n\r\n")),
              421);
    QCoreApplication::processEvents();
    EXPECT_FALSE(done);

    const std::string ok = page.answer(post("/api/answer", R"({"id":1,"answer":"아니요"})",
                                            "Content-Type: application/json\r\n"
                                            "Origin: http://127.0.0.1:8080\r\n"));
    EXPECT_EQ(statusOf(ok), 200) << ok;
    ASSERT_TRUE(spinUntil([&] { return done.load(); }));
    box->wait();
    EXPECT_EQ(answered, QByteArray("아니요"));
    EXPECT_FALSE(tileOf(board, QStringLiteral("a")).contains(u"prompt"));
    // Answered once only.
    EXPECT_EQ(statusOf(page.answer(post("/api/answer", R"({"id":1,"answer":"예"})"))), 409);
}

TEST(StationPage, ShowsTheBoardAndReportsOnlyToThoseSignedInAndReportsRunNoScript)
{
    StationBoard board({{QStringLiteral("a"), QStringLiteral("/dev/pts/9")}});
    board.begin(QStringLiteral("a"), QStringLiteral("quick.suite"), 1);
    board.runEnded(QStringLiteral("a"), true, "<!DOCTYPE html><title>보고서</title>");
    PromptDesk desk(&board);
    WebOptions open;
    StationPage local(open, board, desk);
    const std::string report = local.answer(get("/report/1"));
    EXPECT_EQ(statusOf(report), 200);
    EXPECT_NE(report.find("<title>보고서</title>"), std::string::npos);
    // One policy only (two would both apply): its own style, no script.
    EXPECT_EQ(report.find("Content-Security-Policy"), report.rfind("Content-Security-Policy"));
    EXPECT_NE(report.find("default-src 'none'; style-src 'unsafe-inline'"), std::string::npos);
    EXPECT_EQ(statusOf(local.answer(get("/report/2"))), 404);
    EXPECT_EQ(statusOf(local.answer(get("/report/x"))), 404);
    const std::string state = local.answer(get("/api/station"));
    EXPECT_EQ(statusOf(state), 200);
    const QJsonObject snapshot =
        QJsonDocument::fromJson(QByteArray::fromStdString(bodyOf(state))).object();
    EXPECT_EQ(snapshot[u"runs"].toArray().size(), 1);
    EXPECT_NE(local.answer(get("/")).find("/station.js"), std::string::npos);
    // The live feed starts with the whole board, and sends it again when it changes.
    QString error;
    ASSERT_TRUE(local.start(&error)) << error.toStdString();
    QTcpSocket feed;
    feed.connectToHost(QStringLiteral("127.0.0.1"), quint16(local.port()));
    ASSERT_TRUE(feed.waitForConnected(2000));
    feed.write(get("/api/events").c_str());
    QByteArray fed;
    const auto feedSays = [&](const QByteArray &text) {
        for (int i = 0; i < 50 && !fed.contains(text); ++i)
            if (feed.waitForReadyRead(100))
                fed += feed.readAll();
        return fed.contains(text);
    };
    EXPECT_TRUE(feedSays("\"suite\":\"quick.suite\"")) << fed.toStdString();
    EXPECT_TRUE(fed.contains("text/event-stream"));
    board.identified(QStringLiteral("a"), QStringLiteral("DK-C0001"), QStringLiteral("V1.0"),
                     QStringLiteral("3"));
    EXPECT_TRUE(feedSays("\"name\":\"DK-C0001\"")) << fed.toStdString();

    WebOptions beyond;
    beyond.address = QStringLiteral("0.0.0.0");
    {
        StationPage tokenless(beyond, board, desk);
        EXPECT_FALSE(tokenless.start(&error));
        EXPECT_NE(error.indexOf(u"needs a token"), -1) << error.toStdString();
    }
    beyond.token = QStringLiteral("bench-token");
    StationPage guarded(beyond, board, desk);
    EXPECT_EQ(statusOf(guarded.answer(get("/api/station"))), 401);
    EXPECT_EQ(statusOf(guarded.answer(get("/report/1"))), 401);
    EXPECT_EQ(statusOf(guarded.answer(post("/api/answer", R"({"id":1,"answer":""})"))), 401);
    EXPECT_NE(guarded.answer(get("/")).find("name=\"token\""), std::string::npos);
    EXPECT_EQ(
        statusOf(guarded.answer(get("/api/station", "Authorization: Bearer bench-token\r\n"))),
        200);
    const std::string signedIn = guarded.answer(
        post("/login", "token=bench-token", "Content-Type: application/x-www-form-urlencoded\r\n"));
    ASSERT_EQ(statusOf(signedIn), 303) << signedIn;
    const size_t at = signedIn.find("dialkite_session=");
    const std::string cookie = signedIn.substr(at, signedIn.find(';', at) - at);
    EXPECT_EQ(statusOf(guarded.answer(get("/report/1", "Cookie: " + cookie + "\r\n"))), 200);
}
