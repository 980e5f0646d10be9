// The fleet end to end: simulated boxes on one rig monitor publishing to a real
// mosquitto, a collector storing every box's calls in one history; the broker stopped
// and started again in the middle of it all.

#include "support/broker.h"
#include "support/simprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace dialkite::test;

namespace {

QProcess *startCli(QProcess &process, const QStringList &arguments)
{
    process.start(QStringLiteral(DIALKITE_CLI), arguments);
    process.waitForStarted(5000);
    return &process;
}

void stopGently(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), SIGTERM);
    process.waitForFinished(15000);
}

// Every stored call of every box, in the order the history received them.
QMap<QString, QStringList> storedCalls(const QString &db)
{
    QMap<QString, QStringList> calls;
    {
        QSqlDatabase connection =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fleet"));
        connection.setDatabaseName(db);
        if (connection.open()) {
            QSqlQuery query(connection);
            query.exec(
                QStringLiteral("SELECT box, event_id FROM events WHERE kind = 'call' ORDER BY id"));
            while (query.next())
                calls[query.value(0).toString()].append(query.value(1).toString());
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fleet"));
    return calls;
}

} // namespace

TEST(Fleet, EightBoxesThroughARestartedBrokerEveryCallOnceInOrder)
{
    Broker broker;
    QTemporaryDir dir;
    const QString history = dir.filePath(QStringLiteral("fleet.sqlite"));
    QProcess collector;
    startCli(collector, {QStringLiteral("collect"), QStringLiteral("--mqtt"), broker.url(),
                         QStringLiteral("--history"), history, QStringLiteral("--client-id"),
                         QStringLiteral("fleet-test-collector")});

    // Eight boxes of every variant, each reporting two bursts of calls.
    std::vector<std::unique_ptr<SimProcess>> boxes;
    QByteArray rig;
    for (int variant = 1; variant <= 8; ++variant) {
        boxes.push_back(std::make_unique<SimProcess>(QStringList{
            QStringLiteral("--variant"), QString::number(variant), QStringLiteral("--ack-timeout"),
            QStringLiteral("5000"), QStringLiteral("--keep-running")}));
        ASSERT_TRUE(boxes.back()->ok());
        rig += "[box" + QByteArray::number(variant) + "]\nDEVICE=" + boxes.back()->path().toUtf8() +
               "\nVARIANT=" + QByteArray::number(variant) + "\nIDENTIFY=1\n";
    }
    QFile rigFile(dir.filePath(QStringLiteral("rig.ini")));
    ASSERT_TRUE(rigFile.open(QIODevice::WriteOnly));
    rigFile.write(rig);
    rigFile.close();
    QProcess monitor;
    startCli(monitor, {QStringLiteral("monitor"), QStringLiteral("--rig"), rigFile.fileName(),
                       QStringLiteral("--mqtt"), broker.url(), QStringLiteral("--spool"),
                       dir.filePath(QStringLiteral("spool.sqlite")), QStringLiteral("--settings"),
                       dir.filePath(QStringLiteral("none.ini"))});
    QByteArray printed;
    ASSERT_TRUE(waitFor(
        [&] {
            printed += monitor.readAllStandardOutput();
            return printed.count("\"identification\"") == 8;
        },
        15000))
        << printed.constData() << monitor.readAllStandardError().constData();

    const int perBurst = 40;
    for (auto &box : boxes)
        box->send(QStringLiteral("burst %1\n").arg(perBurst));
    // The broker goes away in the middle: the second burst comes while it is down.
    QThread::msleep(150);
    broker.stop();
    for (auto &box : boxes)
        box->send(QStringLiteral("burst %1\n").arg(perBurst));
    QThread::msleep(1000);
    ASSERT_TRUE(broker.start());

    const auto complete = [&] {
        const auto calls = storedCalls(history);
        if (calls.size() != 8)
            return false;
        for (const QStringList &ids : calls) {
            if (ids.size() < 2 * perBurst)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(waitFor(complete, 60000)) << collector.readAllStandardError().constData()
                                          << monitor.readAllStandardError().constData();
    stopGently(monitor);
    stopGently(collector);

    // Every call of every box exactly once, in the box's own order.
    const auto calls = storedCalls(history);
    ASSERT_EQ(calls.size(), 8);
    for (auto it = calls.begin(); it != calls.end(); ++it) {
        const QStringList &ids = it.value();
        EXPECT_EQ(ids.size(), 2 * perBurst) << it.key().toStdString();
        qint64 last = 0;
        for (const QString &id : ids) {
            ASSERT_TRUE(id.startsWith(it.key() + QLatin1Char(':'))) << id.toStdString();
            const qint64 sequence = id.section(QLatin1Char(':'), 2).toLongLong();
            EXPECT_GT(sequence, last) << id.toStdString();
            last = sequence;
        }
    }
    // Every box got every acknowledgement, the broker's absence notwithstanding.
    for (auto &box : boxes) {
        box->kill();
        EXPECT_FALSE(box->log().contains(QStringLiteral("missing"))) << box->log().toStdString();
    }
}

TEST(Fleet, ABrokerThatRefusesOrIsNotThereIsRetriedNotFatal)
{
    QTemporaryDir dir;
    const QString passwords = dir.filePath(QStringLiteral("passwords"));
    QProcess::execute(QStringLiteral("mosquitto_passwd"),
                      {QStringLiteral("-b"), QStringLiteral("-c"), passwords,
                       QStringLiteral("shop"), QStringLiteral("right")});
    Broker broker(passwords);
    SimProcess box({QStringLiteral("--keep-running")});
    ASSERT_TRUE(box.ok());
    const int unreachable = freePort();
    for (const auto &attempt : {std::pair{broker.url(), QByteArray("refused the connection")},
                                std::pair{QStringLiteral("mqtt://127.0.0.1:%1").arg(unreachable),
                                          QByteArray("cannot reach")}}) {
        const QString url = attempt.first;
        const QByteArray reason = attempt.second;
        QProcess monitor;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DIALKITE_MQTT_USER"), QStringLiteral("shop"));
        environment.insert(QStringLiteral("DIALKITE_MQTT_PASSWORD"),
                           QStringLiteral("wrong-secret"));
        monitor.setProcessEnvironment(environment);
        startCli(monitor, {QStringLiteral("monitor"), QStringLiteral("--box"),
                           QStringLiteral("shop1=") + box.path(), QStringLiteral("--mqtt"), url,
                           QStringLiteral("--spool"), dir.filePath(QStringLiteral("spool.sqlite")),
                           QStringLiteral("--settings"), dir.filePath(QStringLiteral("none.ini"))});
        QByteArray err;
        EXPECT_TRUE(waitFor(
            [&] {
                err += monitor.readAllStandardError();
                return err.count(reason) >= 1 && err.contains("retrying");
            },
            10000))
            << err.constData();
        box.send(QStringLiteral("call 1 021234567\n"));
        QByteArray out;
        EXPECT_TRUE(waitFor([&] {
            out += monitor.readAllStandardOutput();
            return out.contains("\"call\"");
        })) << out.constData();
        EXPECT_EQ(monitor.state(), QProcess::Running); // still serving its box
        EXPECT_FALSE(err.contains("wrong-secret"));
        stopGently(monitor);
    }
}
