// Who is calling: a phonebook imported from the files people have, and the name of each
// call wherever the call goes (the monitor's lines, the history, the broker).

#include "support/broker.h"
#include "support/runcli.h"
#include "support/simprocess.h"

#include "outputs/mqtt.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

using namespace dialkite;
using namespace dialkite::test;

namespace {

struct Ran {
    int status;
    QString out;
    QString err;
};

Ran cli(const QStringList &arguments)
{
    const CliOutcome ran = runCli(arguments);
    return {ran.status, QString::fromUtf8(ran.out), QString::fromUtf8(ran.err)};
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(Contacts, ImportedNamesReachTheLinesTheHistoryAndTheBroker)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("calls.sqlite"));
    // A spreadsheet's CSV from a Korean PC (CP949): "이름,번호\n정수진,+82 10-5555-6666\n".
    const QString cp949 = dir.filePath(QStringLiteral("shop.csv"));
    write(cp949, QByteArray::fromHex("c0ccb8a72cb9f8c8a30ac1a4bcf6c1f82c2b3832203130"
                                     "2d353535352d363636360a"));
    const QString vcards = dir.filePath(QStringLiteral("phone.vcf"));
    write(vcards, "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:한지민\r\nTEL;TYPE=work:(02) 555-1234\r\n"
                  "END:VCARD\r\n");
    Ran ran = cli(
        {QStringLiteral("contacts"), QStringLiteral("import"), cp949, QStringLiteral("--db"), db});
    EXPECT_EQ(ran.status, 0) << ran.err.toStdString();
    EXPECT_EQ(ran.out,
              QStringLiteral("shop.csv (CP949): 1 added, 0 merged, 0 unchanged, 0 refused\n"));
    ran = cli(
        {QStringLiteral("contacts"), QStringLiteral("import"), vcards, QStringLiteral("--db"), db});
    EXPECT_EQ(ran.out,
              QStringLiteral("phone.vcf (UTF-8): 1 added, 0 merged, 0 unchanged, 0 refused\n"));

    Broker broker;
    QString error;
    auto target = mqttTarget(broker.url(), {}, &error);
    ASSERT_TRUE(target) << error.toStdString();
    target->clientId = QStringLiteral("contacts-listener");
    std::mutex mutex;
    QList<QJsonObject> published;
    MqttSubscriber listener(
        *target,
        [&](const QString &topic, const QByteArray &payload) {
            if (!topic.endsWith(u"/call"))
                return;
            std::lock_guard lock(mutex);
            published << QJsonDocument::fromJson(payload).object();
        },
        nullptr, {QStringLiteral("dialkite/+/call")}, false);

    SimProcess sim({QStringLiteral("--variant"), QStringLiteral("3")});
    ASSERT_TRUE(sim.ok());
    QProcess monitor;
    monitor.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("monitor"), QStringLiteral("--device"), sim.path(),
                   QStringLiteral("--variant"), QStringLiteral("3"), QStringLiteral("--identify"),
                   QStringLiteral("--history"), db, QStringLiteral("--mqtt"), broker.url(),
                   QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--settings"),
                   dir.filePath(QStringLiteral("none.ini"))});
    QByteArray out;
    ASSERT_TRUE(waitFor([&] {
        out += monitor.readAllStandardOutput();
        return out.contains("identification");
    })) << out.constData();
    // The numbers as the box sends them: digits only, the phonebook's written otherwise.
    sim.send(QStringLiteral("call 1 01055556666\ncall 2 025551234\ncall 3 0311112222\n"));
    ASSERT_TRUE(waitFor([&] { return monitor.state() == QProcess::NotRunning; }, 15000));
    out += monitor.readAllStandardOutput();
    EXPECT_EQ(monitor.exitCode(), 0);
    EXPECT_TRUE(out.contains("\"name\": \"정수진\"")) << out.constData();
    EXPECT_TRUE(out.contains("\"name\": \"한지민\"")) << out.constData();
    EXPECT_EQ(out.count("\"name\""), 3) << out.constData(); // two callers and the identification

    // The history keeps the names; the table shows them in their column, JSON as "name".
    ran = cli({QStringLiteral("history"), QStringLiteral("--db"), db, QStringLiteral("--format"),
               QStringLiteral("json")});
    EXPECT_EQ(ran.status, 0);
    EXPECT_TRUE(ran.out.contains(QStringLiteral("\"name\": \"정수진\""))) << ran.out.toStdString();
    ran = cli({QStringLiteral("history"), QStringLiteral("--db"), db, QStringLiteral("--number"),
               QStringLiteral("지민")});
    EXPECT_TRUE(ran.out.contains(QStringLiteral("한지민"))) << ran.out.toStdString();
    EXPECT_FALSE(ran.out.contains(QStringLiteral("정수진"))) << ran.out.toStdString();

    // A later rename does not rewrite what the history keeps.
    ran = cli({QStringLiteral("contacts"), QStringLiteral("list"), QStringLiteral("--search"),
               QStringLiteral("정수진"), QStringLiteral("--db"), db});
    const QString id = ran.out.split(u'\n').value(1).section(u' ', 0, 0);
    ASSERT_FALSE(id.isEmpty()) << ran.out.toStdString();
    EXPECT_EQ(
        cli({QStringLiteral("contacts"), QStringLiteral("remove"), id, QStringLiteral("--db"), db})
            .status,
        0);
    ran = cli({QStringLiteral("history"), QStringLiteral("--db"), db, QStringLiteral("--format"),
               QStringLiteral("csv")});
    EXPECT_TRUE(ran.out.contains(QStringLiteral(",정수진,"))) << ran.out.toStdString();

    // The broker's events carry the name too.
    ASSERT_TRUE(waitFor(
        [&] {
            std::lock_guard lock(mutex);
            return published.size() >= 3;
        },
        10000));
    std::lock_guard lock(mutex);
    EXPECT_EQ(published[0].value(u"name").toString(), QStringLiteral("정수진"));
    EXPECT_EQ(published[1].value(u"name").toString(), QStringLiteral("한지민"));
    EXPECT_FALSE(published[2].contains(u"name"));
}
