// Actions on a call: a webhook that is away and then refuses gets every call once, in
// order, with its token and id; a 4xx is said and not tried again; a program run on a call
// gets whatever a stranger put in a call as text in its environment, never as a command,
// and only for the calls its rules take.

#include "support/broker.h"
#include "support/cliprocess.h"
#include "support/simprocess.h"

#include "outputs/mqtt.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

#include <httplib.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

// A receiver of webhooks on 127.0.0.1:port: each request answered with the next status
// of `answers` (then 200), the ones it took kept in order.
struct Receiver {
    struct Taken {
        QString key;
        QString authorization;
        QJsonObject body;
    };
    explicit Receiver(int port, QList<int> answers)
        : m_answers(std::move(answers))
    {
        m_server.Post("/hook", [this](const httplib::Request &request,
                                      httplib::Response &response) {
            std::lock_guard lock(mutex);
            ++requests;
            const int status = m_answers.isEmpty() ? 200 : m_answers.takeFirst();
            response.status = status;
            if (status == 200 && request.get_header_value("Content-Type") == "application/json")
                taken.append(
                    {QString::fromStdString(request.get_header_value("Idempotency-Key")),
                     QString::fromStdString(request.get_header_value("Authorization")),
                     QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object()});
        });
        m_server.bind_to_port("127.0.0.1", port);
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~Receiver()
    {
        m_server.stop();
        m_thread.join();
    }
    void answerNext(QList<int> answers)
    {
        std::lock_guard lock(mutex);
        m_answers = std::move(answers);
    }
    int takenCount()
    {
        std::lock_guard lock(mutex);
        return int(taken.size());
    }

    std::mutex mutex;
    QList<Taken> taken;
    int requests = 0;

private:
    QList<int> m_answers;
    httplib::Server m_server;
    std::thread m_thread;
};

QString calls(int first, int count)
{
    QString script;
    for (int i = first; i < first + count; ++i)
        script +=
            QStringLiteral("call %1 0101234%2\n").arg(i % 4 + 1).arg(i, 4, 10, QLatin1Char('0'));
    return script;
}

} // namespace

TEST(Actions, AWebhookAwayThenRefusingGetsEveryCallOnceInOrder)
{
    QTemporaryDir dir;
    const int port = freePort();
    QFile token(dir.filePath(QStringLiteral("token")));
    ASSERT_TRUE(token.open(QIODevice::WriteOnly));
    token.write("s3cret-token\n");
    token.close();
    SimProcess sim({QStringLiteral("--variant"), QStringLiteral("3")});
    ASSERT_TRUE(sim.ok());
    CliProcess monitor;
    monitor.start({QStringLiteral("monitor"), QStringLiteral("--device"), sim.path(),
                   QStringLiteral("--variant"), QStringLiteral("3"), QStringLiteral("--identify"),
                   QStringLiteral("--webhook"),
                   QStringLiteral("http://127.0.0.1:%1/hook?shop=1").arg(port),
                   QStringLiteral("--webhook-token-file"), token.fileName(),
                   QStringLiteral("--action-spool"), dir.filePath(QStringLiteral("spool")),
                   QStringLiteral("--settings"), dir.filePath(QStringLiteral("none.ini"))});
    ASSERT_TRUE(waitFor([&] { return monitor.out().contains("identification"); }));
    // The receiver is away for 30 s while calls come.
    sim.send(calls(0, 5));
    ASSERT_TRUE(waitFor([&] { return monitor.printedCalls() == 5; }));
    waitFor([] { return false; }, 30000);
    EXPECT_TRUE(monitor.err().contains("webhook: cannot reach")) << monitor.err().constData();
    // Back, it answers 503 five times; more calls come meanwhile.
    Receiver receiver(port, {503, 503, 503, 503, 503});
    sim.send(calls(5, 3));
    ASSERT_TRUE(waitFor([&] { return receiver.takenCount() == 8; }, 40000))
        << monitor.err().constData();
    {
        std::lock_guard lock(receiver.mutex);
        EXPECT_EQ(receiver.requests, 13);
        QStringList numbers;
        QSet<QString> keys;
        for (const Receiver::Taken &taken : std::as_const(receiver.taken)) {
            EXPECT_EQ(taken.authorization, QStringLiteral("Bearer s3cret-token"));
            EXPECT_EQ(taken.key, taken.body.value(u"id").toString());
            EXPECT_EQ(taken.body.value(u"event").toString(), QStringLiteral("call"));
            keys.insert(taken.key);
            numbers << taken.body.value(u"number").toString();
        }
        EXPECT_EQ(keys.size(), 8); // none twice
        QStringList sent;
        for (int i = 0; i < 8; ++i)
            sent << QStringLiteral("010-1234-%1").arg(i, 4, 10, QLatin1Char('0'));
        EXPECT_EQ(numbers, sent); // in order
    }
    // A 4xx is said and not tried again; the next call goes on.
    receiver.answerNext({404});
    sim.send(calls(8, 2));
    ASSERT_TRUE(waitFor([&] { return receiver.takenCount() == 9; }, 10000));
    EXPECT_TRUE(waitFor([&] { return monitor.err().contains("answered 404"); }, 5000))
        << monitor.err().constData();
    EXPECT_EQ(receiver.takenCount(), 9);
    std::lock_guard lock(receiver.mutex);
    EXPECT_EQ(receiver.requests, 15);
    EXPECT_EQ(receiver.taken.last().body.value(u"number").toString(),
              QStringLiteral("010-1234-0009"));
}

TEST(Actions, AProgramGetsAStrangersCallAsTextNeverAsACommand)
{
    QTemporaryDir dir;
    const int port = freePort();
    Broker broker({}, port);
    const QString seen = dir.filePath(QStringLiteral("seen.txt"));
    const QString hook = dir.filePath(QStringLiteral("hook"));
    QFile script(hook);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s|%s|%s\\n' \"$DIALKITE_NUMBER\" "
                                "\"$DIALKITE_NAME\" \"$DIALKITE_LINE\" >> '%1'\n")
                     .arg(seen)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Only line 1's calls.
    QFile settings(dir.filePath(QStringLiteral("rules.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[ACTIONS]\nLINES=1\n");
    settings.close();
    CliProcess collector;
    collector.start({QStringLiteral("collect"), QStringLiteral("--mqtt"), broker.url(),
                     QStringLiteral("--history"), dir.filePath(QStringLiteral("fleet.sqlite")),
                     QStringLiteral("--on-call"), QStringLiteral("'%1' --flag").arg(hook),
                     QStringLiteral("--action-spool"), dir.filePath(QStringLiteral("spool")),
                     QStringLiteral("--settings"), settings.fileName()});
    QThread::msleep(1000);
    MqttTarget target;
    target.host = QStringLiteral("127.0.0.1");
    target.port = port;
    target.clientId = QStringLiteral("stranger");
    MqttSubscriber stranger(target, [](const QString &, const QByteArray &) {});
    QThread::msleep(500);
    // Short enough for a call's field: files a shell would make, if one ever read them.
    const QString made = QStringLiteral("/tmp/dk%1").arg(port);
    const QString evil = QStringLiteral("$(touch %1x); `touch %1y`; 02-1234").arg(made);
    for (const auto &[seq, line] : {std::pair{1, "2"}, std::pair{2, "1"}})
        stranger.publish(
            QStringLiteral("dialkite/front/call"),
            QJsonDocument(
                QJsonObject{
                    {QStringLiteral("event"), QStringLiteral("call")},
                    {QStringLiteral("box"), QStringLiteral("front")},
                    {QStringLiteral("id"), QStringLiteral("front:abc123abc123:%1").arg(seq)},
                    {QStringLiteral("line"), QLatin1String(line)},
                    {QStringLiteral("number"), evil},
                    {QStringLiteral("name"), QStringLiteral("'; rm -rf ~ #")},
                    {QStringLiteral("digits"), QStringLiteral("021234")},
                    {QStringLiteral("pc_time"), QStringLiteral("2026-12-08T09:00:00.000Z")}})
                .toJson(QJsonDocument::Compact));
    ASSERT_TRUE(waitFor([&] { return QFile::exists(seen); }, 10000))
        << collector.err().constData() << collector.out().constData();
    QThread::msleep(1000);
    QFile read(seen);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(read.readAll()), evil + QStringLiteral("|'; rm -rf ~ #|1\n"));
    EXPECT_FALSE(QFile::exists(made + u'x'));
    EXPECT_FALSE(QFile::exists(made + u'y'));
    QFile::remove(made + u'x');
    QFile::remove(made + u'y');
}
