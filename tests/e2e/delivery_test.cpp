// The fleet's delivery under the faults of ordinary life, each with a real mosquitto, real
// simulated boxes, a rig monitor and a collector as separate processes: a broker that
// comes late or is killed, a collector that is away, killed or on a full disk, a monitor
// started again with a new spool, two monitors with one box name, a locked or unusable
// spool. In every case each call the boxes sent is printed by the monitor and stored by
// the collector exactly once. Then what hostile publishers try.

#include "support/broker.h"
#include "support/cliprocess.h"
#include "support/readdb.h"
#include "support/simprocess.h"

#include "outputs/mqtt.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <sys/mount.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

using Cli = CliProcess;

class Delivery : public ::testing::Test {
protected:
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port); }

    void startCollector(const QString &history = {})
    {
        collector.start({QStringLiteral("collect"), QStringLiteral("--mqtt"), url(),
                         QStringLiteral("--history"),
                         history.isEmpty() ? file("fleet.sqlite") : history,
                         QStringLiteral("--settings"), file("none.ini")});
    }
    // A box and the monitor that serves it, publishing as `name`.
    std::unique_ptr<SimProcess> startBox(Cli &monitor, const QString &name, const QString &spool)
    {
        auto box = std::make_unique<SimProcess>(QStringList{QStringLiteral("--keep-running")});
        EXPECT_TRUE(box->ok());
        monitor.start({QStringLiteral("monitor"), QStringLiteral("--box"),
                       name + QLatin1Char('=') + box->path(), QStringLiteral("--mqtt"), url(),
                       QStringLiteral("--spool"), spool, QStringLiteral("--settings"),
                       file("none.ini")});
        EXPECT_TRUE(waitFor([&] { return monitor.out().contains("\"open\""); }, 10000))
            << monitor.err().constData();
        return box;
    }

    // How often each number was stored, by the collector's history.
    QMap<QByteArray, int> stored(const QString &history = {}) const
    {
        return readCounts<QByteArray>(
            history.isEmpty() ? file("fleet.sqlite") : history,
            QStringLiteral(
                "SELECT digits, count(*) FROM events WHERE kind = 'call' GROUP BY digits"));
    }
    // Every call from `first` to `first + count` stored, each once, and nothing else.
    ::testing::AssertionResult storedOnce(int first, int count, int ms, const QString &history = {})
    {
        QMap<QByteArray, int> counts;
        waitFor(
            [&] {
                counts = stored(history);
                return counts.size() >= count;
            },
            ms);
        int once = 0;
        for (int i = first; i < first + count; ++i)
            once += counts.value(numberedDigits(i)) == 1 ? 1 : 0;
        if (once == count && counts.size() == count)
            return ::testing::AssertionSuccess();
        int twice = 0;
        for (const int n : counts)
            twice += n > 1 ? 1 : 0;
        return ::testing::AssertionFailure()
               << once << " of " << count << " stored once, " << counts.size()
               << " numbers stored, " << twice << " more than once";
    }

    QTemporaryDir dir;
    int port = freePort();
    Cli collector;
};

} // namespace

TEST_F(Delivery, ABrokerThatComesLateIsConnectedToByAll)
{
    Broker broker({}, port, false, false);
    startCollector();
    Cli monitor;
    const auto box = startBox(monitor, QStringLiteral("front"), file("spool.sqlite"));
    box->send(numberedCalls(0, 20));
    ASSERT_TRUE(waitFor([&] { return monitor.printedCalls() == 20; }, 10000));
    QThread::msleep(1500);
    ASSERT_TRUE(broker.start());
    EXPECT_TRUE(storedOnce(0, 20, 45000))
        << monitor.err().constData() << collector.err().constData();
    monitor.stop();
    collector.stop();
}

TEST_F(Delivery, ABrokerKilledMidBurstAndRestartedAsInstalled)
{
    Broker broker({}, port, true);
    startCollector();
    Cli monitor;
    const auto box = startBox(monitor, QStringLiteral("front"), file("spool.sqlite"));
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("connected"); }, 10000));
    box->send(numberedCalls(0, 1500));
    QThread::msleep(300);
    broker.kill();
    QThread::msleep(500);
    ASSERT_TRUE(broker.start());
    EXPECT_TRUE(storedOnce(0, 1500, 60000))
        << monitor.err().constData() << collector.err().constData();
    EXPECT_EQ(monitor.printedCalls(), 1500);
    monitor.stop();
    collector.stop();
}

TEST_F(Delivery, ACollectorAwayFor3000CallsMissesNone)
{
    // The broker keeps at most 1,000 messages for a collector that is away, as installed.
    Broker broker({}, port, true);
    startCollector();
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("connected"); }, 10000));
    collector.stop();
    Cli monitor;
    const auto box = startBox(monitor, QStringLiteral("front"), file("spool.sqlite"));
    box->send(numberedCalls(0, 3000));
    ASSERT_TRUE(waitFor([&] { return monitor.printedCalls() == 3000; }, 30000));
    startCollector();
    EXPECT_TRUE(storedOnce(0, 3000, 80000))
        << monitor.err().constData() << collector.err().constData();
    // Confirmed, so gone from the spool: the monitor ends with nothing waiting.
    monitor.stop();
    EXPECT_FALSE(monitor.err().contains("wait in the spool")) << monitor.err().constData();
    collector.stop();
}

TEST_F(Delivery, ACollectorKilledMidBurstMissesNone)
{
    Broker broker({}, port, true);
    startCollector();
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("connected"); }, 10000));
    Cli monitor;
    const auto box = startBox(monitor, QStringLiteral("front"), file("spool.sqlite"));
    box->send(numberedCalls(0, 2000));
    ASSERT_TRUE(waitFor([&] { return collector.out().count("\"call\"") > 200; }, 20000));
    collector.stop(SIGKILL);
    QThread::msleep(500);
    startCollector();
    EXPECT_TRUE(storedOnce(0, 2000, 80000))
        << monitor.err().constData() << collector.err().constData();
    monitor.stop();
    collector.stop();
}

TEST_F(Delivery, ACollectorOnAFullDiskConfirmsNothingAndCatchesUp)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a full disk is a small tmpfs, which only root may mount";
    const QString disk = file("disk");
    QDir().mkpath(disk);
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=2m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(disk)};
    Broker broker({}, port, true);
    const QString history = disk + QStringLiteral("/fleet.sqlite");
    startCollector(history);
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("connected"); }, 10000));
    Cli monitor;
    const auto box = startBox(monitor, QStringLiteral("front"), file("spool.sqlite"));
    box->send(numberedCalls(0, 50));
    ASSERT_TRUE(storedOnce(0, 50, 20000, history));
    // The disk fills up.
    {
        QFile filler(disk + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    box->send(numberedCalls(50, 1000));
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("cannot store"); }, 20000))
        << collector.err().constData();
    EXPECT_EQ(stored(history).size(), 50);
    // Room again: what waited goes in, and what the collector could not take is sent again.
    QFile::remove(disk + QStringLiteral("/filler"));
    EXPECT_TRUE(storedOnce(0, 1050, 90000, history)) << collector.err().constData();
    EXPECT_TRUE(collector.err().contains("takes events again")) << collector.err().constData();
    monitor.stop();
    collector.stop();
}

TEST_F(Delivery, AMonitorStartedAgainWithANewSpoolIsNotTakenForTheOld)
{
    Broker broker({}, port);
    startCollector();
    Cli monitor;
    {
        const auto box = startBox(monitor, QStringLiteral("front"), file("spool1.sqlite"));
        box->send(numberedCalls(0, 10));
        ASSERT_TRUE(storedOnce(0, 10, 20000));
        monitor.stop();
    }
    const auto box = startBox(monitor, QStringLiteral("front"), file("spool2.sqlite"));
    box->send(numberedCalls(10, 10));
    EXPECT_TRUE(storedOnce(0, 20, 20000)) << collector.err().constData();
    monitor.stop();
    collector.stop();
}

TEST_F(Delivery, TwoMonitorsWithOneBoxNameAreBothStoredAndToldOfEachOther)
{
    Broker broker({}, port);
    startCollector();
    Cli first;
    Cli second;
    const auto one = startBox(first, QStringLiteral("front"), file("spool1.sqlite"));
    const auto two = startBox(second, QStringLiteral("front"), file("spool2.sqlite"));
    one->send(numberedCalls(0, 10));
    two->send(numberedCalls(10, 10));
    EXPECT_TRUE(storedOnce(0, 20, 20000)) << collector.err().constData();
    EXPECT_TRUE(waitFor([&] {
        return first.err().contains("another publisher") &&
               second.err().contains("another publisher");
    })) << first.err().constData()
        << second.err().constData();
    first.stop();
    second.stop();
    collector.stop();
}

TEST_F(Delivery, ASpoolLockedFor12sHoldsThePrintingNotTheBox)
{
    Broker broker({}, port);
    startCollector();
    Cli monitor;
    const QString spool = file("spool.sqlite");
    const auto box = startBox(monitor, QStringLiteral("front"), spool);
    box->send(numberedCalls(0, 5));
    ASSERT_TRUE(waitFor([&] { return monitor.printedCalls() == 5; }, 10000));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("l"));
        db.setDatabaseName(spool);
        ASSERT_TRUE(db.open());
        QSqlQuery lock(db);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        box->send(numberedCalls(5, 20));
        QThread::msleep(12000);
        EXPECT_EQ(monitor.printedCalls(), 5); // not printed while not kept
        lock.exec(QStringLiteral("ROLLBACK"));
        lock = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("l"));
    EXPECT_TRUE(waitFor([&] { return monitor.printedCalls() == 25; }, 20000))
        << monitor.err().constData();
    EXPECT_TRUE(storedOnce(0, 25, 30000)) << monitor.err().constData();
    // Every call was answered meanwhile: the box never waited for the spool.
    box->send(QStringLiteral("status\n"));
    monitor.stop();
    collector.stop();
}

TEST_F(Delivery, ASpoolThatCannotBeUsedIsLeftAloneAndEventsWaitInMemory)
{
    Broker broker({}, port);
    startCollector();
    // Another program's database where the spool should be.
    const QString foreign = file("theirs.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("f"));
        db.setDatabaseName(foreign);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE invoices (n INTEGER)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("f"));
    QFile before(foreign);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();

    Cli monitor;
    const auto box = startBox(monitor, QStringLiteral("front"), foreign);
    box->send(numberedCalls(0, 30));
    EXPECT_TRUE(storedOnce(0, 30, 20000)) << monitor.err().constData();
    EXPECT_TRUE(monitor.err().contains("a database of another program"))
        << monitor.err().constData();
    EXPECT_TRUE(monitor.err().contains("wait in memory")) << monitor.err().constData();
    monitor.stop();
    collector.stop();
    QFile after(foreign);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);
    EXPECT_FALSE(QFile::exists(foreign + QStringLiteral("-wal")));
}

// Anyone on the broker can publish anything: what is not a console's event is refused
// and counted; what is stored is shown escaped.
TEST_F(Delivery, HostilePublishesLeaveTheHistoryIntactAndTheOutputsEscaped)
{
    Broker broker({}, port);
    startCollector();
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("connected"); }, 10000));
    MqttTarget target;
    target.host = QStringLiteral("127.0.0.1");
    target.port = port;
    target.clientId = QStringLiteral("hostile");
    MqttSubscriber hostile(target, [](const QString &, const QByteArray &) {});
    QThread::msleep(500);
    const auto send = [&](const QString &topic, const QJsonObject &event) {
        hostile.publishRetained(topic, QJsonDocument(event).toJson(QJsonDocument::Compact));
    };
    const QJsonObject good{{QStringLiteral("event"), QStringLiteral("call")},
                           {QStringLiteral("box"), QStringLiteral("shop")},
                           {QStringLiteral("id"), QStringLiteral("shop:abc123:1")},
                           {QStringLiteral("line"), QStringLiteral("1")},
                           {QStringLiteral("number"), QStringLiteral("=HYPERLINK(\"x\")")},
                           {QStringLiteral("digits"), QStringLiteral("0212345678")}};
    QJsonObject noId = good;
    noId.remove(QStringLiteral("id"));
    QJsonObject wrongType = good;
    wrongType.insert(QStringLiteral("id"), QStringLiteral("shop:abc123:2"));
    wrongType.insert(QStringLiteral("number"), 12345);
    QJsonObject tooLong = good;
    tooLong.insert(QStringLiteral("id"), QStringLiteral("shop:abc123:3"));
    tooLong.insert(QStringLiteral("number"), QString(65, u'1'));
    QJsonObject future = good;
    future.insert(QStringLiteral("id"), QStringLiteral("shop:abc123:4"));
    future.insert(QStringLiteral("pc_time"), QStringLiteral("2099-01-01T00:00:00.000+00:00"));
    send(QStringLiteral("dialkite/victim/call"), good); // the id of another box
    send(QStringLiteral("dialkite/shop/call"), noId);
    send(QStringLiteral("dialkite/shop/call"), wrongType);
    send(QStringLiteral("dialkite/shop/call"), tooLong);
    send(QStringLiteral("dialkite/shop/call"), future);
    send(QStringLiteral("dialkite/shop/reboot"), good);
    hostile.publishRetained(QStringLiteral("dialkite/shop/call"), QByteArray(70 * 1024, '{'));
    // And what is allowed, but must not harm whoever reads the history.
    send(QStringLiteral("dialkite/shop/call"), good);
    QJsonObject bell = good;
    bell.insert(QStringLiteral("id"), QStringLiteral("shop:abc123:5"));
    bell.insert(QStringLiteral("number"), QStringLiteral("02\u0007\u001b[31m"));
    bell.insert(QStringLiteral("digits"), QStringLiteral("0299"));
    send(QStringLiteral("dialkite/shop/call"), bell);

    ASSERT_TRUE(waitFor([&] { return stored().size() == 2; }, 10000));
    QThread::msleep(500);
    EXPECT_EQ(stored().size(), 2);
    collector.stop();
    EXPECT_TRUE(collector.err().contains("refused 7 events from the broker"))
        << collector.err().constData();

    QProcess history;
    history.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("history"), QStringLiteral("--db"), file("fleet.sqlite"),
                   QStringLiteral("--format"), QStringLiteral("csv")});
    history.waitForFinished(10000);
    const QByteArray csv = history.readAllStandardOutput();
    EXPECT_TRUE(csv.contains("'=HYPERLINK")) << csv.constData();
    EXPECT_FALSE(csv.contains('\x07')) << csv.constData();
    EXPECT_FALSE(csv.contains('\x1b')) << csv.constData();
    EXPECT_TRUE(csv.contains("02<07><1B>[31m")) << csv.constData();
    history.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("history"), QStringLiteral("--db"), file("fleet.sqlite")});
    history.waitForFinished(10000);
    const QByteArray table = history.readAllStandardOutput();
    EXPECT_FALSE(table.contains('\x1b')) << table.constData();
    EXPECT_TRUE(table.contains("02<07><1B>[31m")) << table.constData();
}
