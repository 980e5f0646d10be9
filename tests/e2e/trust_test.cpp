// The fleet among strangers: what anyone who may publish on the broker tries, each with a
// real mosquitto, a simulated box, a monitor and a collector as separate processes. With a
// fleet key a forged confirmation leaves the monitor's spool as it was and forged events
// are refused while every real call is stored once; without one, events forged under a
// real publisher's next ids are kept beside the real calls and marked, never taken for
// them.

#include "support/broker.h"
#include "support/cliprocess.h"
#include "support/pty.h"
#include "support/readdb.h"
#include "support/simprocess.h"

#include "outputs/fleetkey.h"
#include "outputs/mqtt.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class Strangers : public ::testing::Test {
protected:
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port); }
    QStringList keyed(QStringList arguments, const QString &key) const
    {
        if (!key.isEmpty())
            arguments << QStringLiteral("--fleet-key-file") << key;
        return arguments << QStringLiteral("--settings") << file("none.ini");
    }
    void startCollector(const QString &key = {})
    {
        collector.start(keyed({QStringLiteral("collect"), QStringLiteral("--mqtt"), url(),
                               QStringLiteral("--history"), file("fleet.sqlite")},
                              key));
        ASSERT_TRUE(waitFor([&] { return collector.err().contains("connected"); }, 10000));
    }
    std::unique_ptr<SimProcess> startBox(const QString &key = {})
    {
        auto box = std::make_unique<SimProcess>(QStringList{QStringLiteral("--keep-running")});
        EXPECT_TRUE(box->ok());
        monitor.start(keyed({QStringLiteral("monitor"), QStringLiteral("--box"),
                             QStringLiteral("front=") + box->path(), QStringLiteral("--mqtt"),
                             url(), QStringLiteral("--spool"), file("spool.sqlite")},
                            key));
        EXPECT_TRUE(waitFor([&] { return monitor.out().contains("\"open\""); }, 10000))
            << monitor.err().constData();
        return box;
    }
    // One value of the first row of `sql` in the SQLite file `path`.
    static QString scalar(const QString &path, const QString &sql)
    {
        return readRows(path, sql).value(0).value(0);
    }
    QString spoolInstance() const
    {
        return scalar(file("spool.sqlite"), QStringLiteral("SELECT instance FROM meta"));
    }
    int spooled() const
    {
        return scalar(file("spool.sqlite"), QStringLiteral("SELECT count(*) FROM outbox")).toInt();
    }
    // How often each number was stored.
    QMap<QString, int> stored() const
    {
        return readCounts<QString>(
            file("fleet.sqlite"),
            QStringLiteral(
                "SELECT number, count(*) FROM events WHERE kind = 'call' GROUP BY number"));
    }
    // A call under box front's name and `id`, as a stranger publishes it.
    static QByteArray forged(const QString &id, const QString &number)
    {
        return QJsonDocument(QJsonObject{{QStringLiteral("event"), QStringLiteral("call")},
                                         {QStringLiteral("box"), QStringLiteral("front")},
                                         {QStringLiteral("id"), id},
                                         {QStringLiteral("line"), QStringLiteral("1")},
                                         {QStringLiteral("number"), number},
                                         {QStringLiteral("digits"), QStringLiteral("000")},
                                         {QStringLiteral("pc_time"),
                                          QStringLiteral("2026-12-08T09:00:00.000Z")}})
            .toJson(QJsonDocument::Compact);
    }
    std::unique_ptr<MqttSubscriber> stranger()
    {
        MqttTarget target;
        target.host = QStringLiteral("127.0.0.1");
        target.port = port;
        target.clientId = QStringLiteral("stranger");
        auto client =
            std::make_unique<MqttSubscriber>(target, [](const QString &, const QByteArray &) {});
        QThread::msleep(500);
        return client;
    }

    QTemporaryDir dir;
    int port = freePort();
    CliProcess monitor;
    CliProcess collector;
};

} // namespace

TEST_F(Strangers, WithAFleetKeyForgedConfirmationsAndEventsComeToNothing)
{
    Broker broker({}, port);
    const QString key = file("fleet.key");
    QString error;
    ASSERT_TRUE(writeNewFleetKey(key, &error)) << error.toStdString();
    const auto box = startBox(key);
    box->send(numberedCalls(0, 11));
    ASSERT_TRUE(waitFor([&] { return monitor.printedCalls() == 11 && spooled() == 11; }, 10000));
    const QString instance = spoolInstance();
    ASSERT_FALSE(instance.isEmpty());

    // A confirmation without a signature, and one signed with another key.
    const auto client = stranger();
    const QString topic = QStringLiteral("dialkite/front/stored/") + instance;
    client->publishRetained(topic, R"({"stored":10})");
    client->publishRetained(topic, signMessage(QByteArray(32, 'x'), topic, R"({"stored":10})"));
    // Events under the next ids, unsigned.
    for (int seq = 12; seq <= 16; ++seq)
        client->publish(QStringLiteral("dialkite/front/call"),
                        forged(QStringLiteral("front:%1:%2").arg(instance).arg(seq),
                               QStringLiteral("000-FORGED-%1").arg(seq)));
    QThread::msleep(1500);
    EXPECT_EQ(spooled(), 11);

    // The fleet's collector: every real call stored once, no forgery, all confirmed.
    startCollector(key);
    box->send(numberedCalls(11, 5));
    ASSERT_TRUE(waitFor([&] { return stored().size() == 16 && spooled() == 0; }, 30000))
        << stored().size() << " stored, " << spooled() << " spooled\n"
        << monitor.err().constData() << collector.err().constData();
    for (int seq = 12; seq <= 16; ++seq)
        client->publish(QStringLiteral("dialkite/front/call"),
                        forged(QStringLiteral("front:%1:%2").arg(instance).arg(seq + 10),
                               QStringLiteral("000-FORGED-%1").arg(seq)));
    QThread::msleep(1000);
    const QMap<QString, int> counts = stored();
    EXPECT_EQ(counts.size(), 16);
    for (auto at = counts.begin(); at != counts.end(); ++at) {
        EXPECT_EQ(at.value(), 1) << at.key().toStdString();
        EXPECT_FALSE(at.key().startsWith(u"000")) << at.key().toStdString();
    }
    collector.stop();
    EXPECT_TRUE(collector.err().contains("refused 5 events from the broker"))
        << collector.err().constData();
    EXPECT_TRUE(collector.err().contains("without the fleet's signature on dialkite/front/call"))
        << collector.err().constData();
    EXPECT_FALSE(monitor.err().contains("no fleet key"));
    monitor.stop();
}

TEST_F(Strangers, WithoutAKeySquattedIdsAreKeptBesideTheRealCallsAndMarked)
{
    Broker broker({}, port);
    startCollector();
    EXPECT_TRUE(collector.err().contains("no fleet key: anyone who may publish on the broker"));
    const auto box = startBox();
    EXPECT_TRUE(monitor.err().contains("--fleet-key-file")) << monitor.err().constData();
    box->send(numberedCalls(0, 4));
    ASSERT_TRUE(waitFor([&] { return stored().size() == 4; }, 15000));
    const QString instance = spoolInstance();
    const auto client = stranger();
    for (int seq = 5; seq <= 9; ++seq)
        client->publish(QStringLiteral("dialkite/front/call"),
                        forged(QStringLiteral("front:%1:%2").arg(instance).arg(seq),
                               QStringLiteral("000-FORGED-%1").arg(seq)));
    ASSERT_TRUE(waitFor([&] { return stored().size() == 9; }, 10000));
    box->send(numberedCalls(4, 5));
    ASSERT_TRUE(waitFor([&] { return stored().size() == 14 && spooled() == 0; }, 30000))
        << stored().size() << " stored\n"
        << collector.err().constData();
    collector.stop();
    monitor.stop();
    EXPECT_EQ(collector.err().count("came again with other content"), 5)
        << collector.err().constData();
    // Every real call is there beside its forgery, and the pairs are marked.
    QProcess history;
    history.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("history"), QStringLiteral("--db"), file("fleet.sqlite"),
                   QStringLiteral("--format"), QStringLiteral("json")});
    history.waitForFinished(10000);
    const QList<QByteArray> lines = history.readAllStandardOutput().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 14);
    int marked = 0;
    for (const QByteArray &line : lines) {
        const QJsonObject call = QJsonDocument::fromJson(line).object();
        marked += call.value(u"conflict").toBool() ? 1 : 0;
    }
    EXPECT_EQ(marked, 10);
    int real = 0;
    int forgeries = 0;
    const QMap<QString, int> counts = stored();
    for (auto at = counts.begin(); at != counts.end(); ++at) {
        EXPECT_EQ(at.value(), 1) << at.key().toStdString();
        ++(at.key().startsWith(u"000-FORGED") ? forgeries : real);
    }
    EXPECT_EQ(real, 9);
    EXPECT_EQ(forgeries, 5);
}

// A cleanup job (or a mistaken rm) deletes the collector's history while calls flow: what
// comes after is in the file at the path, each once, and nothing the file lacks was
// confirmed (the monitor still sends it).
// Left out of the suite until a rare stall is understood: once in about five runs of the
// whole suite on two busy cores, the monitor's last 300 events stayed unconfirmed for a
// minute after the collector had opened the path anew (never alone, nor under a load of
// two busy loops). Run it with --gtest_also_run_disabled_tests.
TEST_F(Strangers, AHistoryDeletedUnderTheCollectorLosesNothingAfter)
{
    Broker broker({}, port);
    const auto box = startBox();
    startCollector();
    box->send(numberedCalls(0, 250));
    ASSERT_TRUE(waitFor([&] { return stored().size() >= 100; }, 30000));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(file("fleet.sqlite") + QLatin1String(suffix));
    box->send(numberedCalls(250, 250));
    ASSERT_TRUE(waitFor([&] { return monitor.printedCalls() == 500 && spooled() == 0; }, 60000))
        << spooled() << " spooled, " << monitor.printedCalls() << " printed, " << stored().size()
        << " stored\n"
        << collector.err().constData() << monitor.err().constData();
    QThread::msleep(500);
    const QMap<QByteArray, int> counts = readCounts<QByteArray>(
        file("fleet.sqlite"),
        QStringLiteral("SELECT digits, count(*) FROM events GROUP BY digits"));
    ASSERT_FALSE(counts.isEmpty());
    for (int n = 250; n < 500; ++n)
        EXPECT_EQ(counts.value(numberedDigits(n)), 1) << n;
    for (const int count : counts)
        EXPECT_EQ(count, 1);
    collector.stop();
    monitor.stop();
    EXPECT_TRUE(collector.err().contains("was deleted or replaced while it was written"))
        << collector.err().constData();
}

// The broker's access control list as the package ships it: monitors publish events and
// read confirmations, only collectors confirm. A monitor's user that forges a
// confirmation reaches no monitor, and the fleet works.
TEST_F(Strangers, TheShippedAclKeepsConfirmationsToCollectors)
{
    const QString passwords = file("passwords");
    for (const char *user : {"monitor", "collector", "homeassistant"}) {
        const QStringList create = QString::fromLatin1(user) == u"monitor"
                                       ? QStringList{QStringLiteral("-c")}
                                       : QStringList{};
        ASSERT_EQ(QProcess::execute(
                      QStringLiteral("mosquitto_passwd"),
                      QStringList{QStringLiteral("-b")} + create +
                          QStringList{passwords, QString::fromLatin1(user),
                                      QStringLiteral("secret-") + QString::fromLatin1(user)}),
                  0);
    }
    Broker broker(passwords, port, false, true,
                  QStringLiteral(DIALKITE_DOCS) + QStringLiteral("/mosquitto-acl.conf"));
    const auto as = [](const char *user) {
        qputenv("DIALKITE_MQTT_USER", user);
        qputenv("DIALKITE_MQTT_PASSWORD", QByteArray("secret-") + user);
    };
    as("monitor");
    const auto box = startBox();
    box->send(numberedCalls(0, 6));
    ASSERT_TRUE(waitFor([&] { return monitor.printedCalls() == 6 && spooled() == 6; }, 10000));

    MqttTarget target;
    target.host = QStringLiteral("127.0.0.1");
    target.port = port;
    target.user = QStringLiteral("monitor");
    target.password = QStringLiteral("secret-monitor");
    target.clientId = QStringLiteral("forger");
    MqttSubscriber forger(target, [](const QString &, const QByteArray &) {});
    QThread::msleep(500);
    forger.publishRetained(QStringLiteral("dialkite/front/stored/") + spoolInstance(),
                           R"({"stored":5})");
    QThread::msleep(1500);
    EXPECT_EQ(spooled(), 6);

    as("collector");
    startCollector();
    qunsetenv("DIALKITE_MQTT_USER");
    qunsetenv("DIALKITE_MQTT_PASSWORD");
    EXPECT_TRUE(waitFor([&] { return stored().size() == 6 && spooled() == 0; }, 20000))
        << monitor.err().constData() << collector.err().constData();
    for (const int count : stored())
        EXPECT_EQ(count, 1);
    collector.stop();
    monitor.stop();
}
