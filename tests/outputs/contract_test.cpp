// What every output promises, checked on each against the real thing it writes to (a
// file, an SQLite history, a mosquitto broker): everything taken is in place when
// finish() returns; finish() keeps its deadline and says what it left undone when the
// file or the broker does not answer; a failure is news, once, and the console goes on;
// a durable output lets a follower have an event only once it is kept.

#include "support/fixture.h"
#include "support/outputs.h"

#include "outputs/capture.h"
#include "outputs/history.h"
#include "outputs/mqtt.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <mutex>

#if defined(Q_OS_UNIX)
#include "support/broker.h"
#include "support/pty.h"
#include <fcntl.h>
#include <sys/stat.h>
#endif

using namespace dialkite;
using namespace dialkite::test;

namespace {

// A REZ call record on line 1 with `digits`; the console shows it once identified.
QByteArray call(int i)
{
    return framed("1I12071015" + QByteArray("0101234") + QByteArray::number(1000 + i) +
                  QByteArray(7, ' '));
}

class Contract : public ConsoleTest {
protected:
    Contract()
    {
        link.setOpen(false);
        setVariant("3");
        ConsoleTestAccess::state(console).IdentifyFlag = 1;
    }
    // The port opens: a session starts, as the window and the monitor start one.
    void open() { console.ChangeComport(qint16(1)); }
    int printedCalls(const Watched &watched) const
    {
        int count = 0;
        for (const Event &event : watched.printed)
            count += std::holds_alternative<events::CallerId>(event) ? 1 : 0;
        return count;
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // A folder nobody can make: a file stands where it would be.
    QString blocked()
    {
        QFile blocker(path("blocker"));
        blocker.open(QIODevice::WriteOnly);
        return blocker.fileName() + QStringLiteral("/inside");
    }
};

int rows(const QString &file, const QString &sql)
{
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("c"));
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (db.open() && query.exec(sql) && query.next())
            count = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("c"));
    return count;
}

} // namespace

TEST_F(Contract, EverythingTakenIsInPlaceWhenFinishReturns)
{
    Watched capture(console, std::make_unique<CaptureOutput>(
                                 CaptureOptions{path("c.scn"), {}, 0, QStringLiteral("test")}));
    Watched history(console, std::make_unique<HistoryOutput>(path("h.sqlite")));
    open();
    for (int i = 0; i < 50; ++i)
        feed(call(i));
    EXPECT_EQ(capture.finish(), QStringList());
    EXPECT_EQ(history.finish(), QStringList());

    QFile file(path("c.scn"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray lines = file.readAll();
    EXPECT_EQ(lines.count("\n@"), 1 + 50 + 50); // the state step, each rx and its ack
    EXPECT_EQ(lines.count("# call row"), 50);
    EXPECT_TRUE(lines.endsWith('\n'));
    EXPECT_EQ(rows(path("h.sqlite"), QStringLiteral("SELECT count(*) FROM events")), 50);
    EXPECT_EQ(printedCalls(history), 50);
    EXPECT_TRUE(capture.news.isEmpty());
    EXPECT_TRUE(history.news.isEmpty());
}

TEST_F(Contract, AFollowerGetsAnEventOnlyOnceTheHistoryHasIt)
{
    const QString file = path("h.sqlite");
    auto history = std::make_unique<HistoryOutput>(file);
    OutputSet set;
    set.add(std::move(history));
    QList<int> storedWhenPrinted;
    set.addFollower(
        std::make_unique<json::LinesOutput>(QString(), [&](const QByteArray &, const Event &event) {
            if (std::holds_alternative<events::CallerId>(event))
                storedWhenPrinted << rows(file, QStringLiteral("SELECT count(*) FROM events"));
        }));
    QObject::connect(&console, &Console::observed, &set, &OutputSet::consume);
    open();
    for (int i = 0; i < 5; ++i)
        feed(call(i));
    // Nothing is committed yet: the writer gathers the burst.
    EXPECT_TRUE(storedWhenPrinted.isEmpty());
    set.finish(QDeadlineTimer(QDeadlineTimer::Forever));
    ASSERT_EQ(storedWhenPrinted.size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_GE(storedWhenPrinted[i], i + 1);
}

TEST_F(Contract, AFailureIsNewsOnceAndTheConsoleGoesOn)
{
    const QString nowhere = blocked();
    Watched capture(console, std::make_unique<CaptureOutput>(
                                 CaptureOptions{{}, nowhere, 1 << 20, QStringLiteral("test")}));
    Watched history(console,
                    std::make_unique<HistoryOutput>(nowhere + QStringLiteral("/h.sqlite")));
    open();
    feed(call(1));
    capture.finish();
    history.finish();
    console.ChangeComport(qint16(2)); // a second session: still nothing more to say
    feed(call(2));
    capture.finish();
    history.finish();
    EXPECT_EQ(capture.told(Severity::Stopped), 1);
    EXPECT_EQ(history.told(Severity::Stopped), 1);
    EXPECT_EQ(capture.news.size(), 1);
    EXPECT_EQ(history.news.size(), 1);
    // The console served the box, and whoever prints still got both calls.
    EXPECT_EQ(state().CallRow, 3);
    EXPECT_EQ(printedCalls(history), 2);
}

#if defined(Q_OS_UNIX)

TEST_F(Contract, FinishKeepsItsDeadlineWhenTheFileDoesNotAnswer)
{
    // A capture into a pipe nobody reads: opening it waits for a reader.
    const QString fifo = path("fifo.scn");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Watched capture(
        console, std::make_unique<CaptureOutput>(CaptureOptions{fifo, {}, 0, QStringLiteral("t")}));
    // A history whose file another program holds locked.
    const QString file = path("locked.sqlite");
    {
        Watched first(console, std::make_unique<HistoryOutput>(file));
        first.finish();
    }
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("o"));
    other.setDatabaseName(file);
    ASSERT_TRUE(other.open());
    QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE"));
    Watched history(console, std::make_unique<HistoryOutput>(file));

    open();
    feed(call(1));
    QElapsedTimer timer;
    timer.start();
    const QStringList captureUndone = capture.finish(300);
    const QStringList historyUndone = history.finish(300);
    EXPECT_LT(timer.elapsed(), 3000);
    ASSERT_EQ(captureUndone.size(), 1);
    EXPECT_TRUE(captureUndone[0].startsWith(u"capture: ")) << captureUndone[0].toStdString();
    ASSERT_EQ(historyUndone.size(), 1);
    EXPECT_TRUE(historyUndone[0].contains(u"not stored")) << historyUndone[0].toStdString();
    EXPECT_EQ(printedCalls(history), 0); // not printed while not stored

    // The file answers again: the rest goes in, and is printed.
    QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("o"));
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(capture.finish(), QStringList());
    EXPECT_EQ(history.finish(), QStringList());
    EXPECT_EQ(printedCalls(history), 1);
    ::close(reader);
}

TEST_F(Contract, APublisherDeliversThroughARealBrokerAndSaysWhatWaitsWithout)
{
    // No broker yet: finish() gives up at its deadline and counts what waits.
    const int port = freePort();
    QString error;
    // Delivered once the broker has it: no collector here.
    const auto target = mqttTarget(QStringLiteral("mqtt://127.0.0.1:%1").arg(port),
                                   Profile::parse("[MQTT]\nCONFIRM=broker\n"), &error);
    ASSERT_TRUE(target) << error.toStdString();
    Watched mqtt(console, std::make_unique<MqttOutput>(mqttLink(*target, path("spool.sqlite")),
                                                       QStringLiteral("box1")));
    open();
    for (int i = 0; i < 3; ++i)
        feed(call(i));
    QElapsedTimer timer;
    timer.start();
    const QStringList undone = mqtt.finish(300);
    EXPECT_LT(timer.elapsed(), 3000);
    ASSERT_EQ(undone.size(), 1);
    EXPECT_EQ(undone[0], QStringLiteral("mqtt: 3 events wait in the spool for the broker"));
    // Spooled, so printed: a killed monitor printed nothing the spool lacks.
    EXPECT_EQ(printedCalls(mqtt), 3);
    EXPECT_GE(mqtt.told(Severity::Notice), 1); // "cannot reach the broker ..."

    // The broker comes: everything goes out, in order, and finish() has nothing left.
    std::mutex mutex;
    QStringList ids;
    MqttTarget listen = *target;
    listen.clientId = QStringLiteral("contract-listener");
    Broker broker({}, port);
    MqttSubscriber subscriber(listen, [&](const QString &topic, const QByteArray &payload) {
        const QJsonObject event = QJsonDocument::fromJson(payload).object();
        std::lock_guard lock(mutex);
        if (topic == u"dialkite/box1/call")
            ids << event.value(u"id").toString();
    });
    EXPECT_TRUE(waitFor(
        [&] {
            QCoreApplication::processEvents();
            return mqtt.output<MqttOutput>().backlog() == 0;
        },
        15000));
    EXPECT_EQ(mqtt.finish(2000), QStringList());
    EXPECT_TRUE(waitFor(
        [&] {
            std::lock_guard lock(mutex);
            return ids.size() >= 3;
        },
        5000));
    std::lock_guard lock(mutex);
    // box:instance:sequence, the instance the spool's own.
    ASSERT_GE(ids.size(), 3);
    const QString instance = ids[0].section(u':', 1, 1);
    EXPECT_EQ(instance.size(), 12);
    EXPECT_EQ(ids.mid(0, 3), (QStringList{QStringLiteral("box1:%1:1").arg(instance),
                                          QStringLiteral("box1:%1:2").arg(instance),
                                          QStringLiteral("box1:%1:3").arg(instance)}));
}

#endif
