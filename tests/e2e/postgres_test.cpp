// The fleet's history on PostgreSQL, against a throwaway cluster: the schema made,
// brought up to date and refused when it is a newer program's or another program's;
// a history file copied in (twice: stored once) and searched as the file is; two
// collectors sharing the load through an MQTT 5 shared subscription, with the broker
// restarted and one collector killed mid-burst, storing every call exactly once; and
// a database server restarted under a collector.

#include "support/broker.h"
#include "support/cliprocess.h"
#include "support/postgres.h"
#include "support/simprocess.h"

#include "console/events.h"
#include "history/connection.h"
#include "history/contacts.h"
#include "history/copy.h"
#include "history/phonebook.h"
#include "history/reader.h"
#include "history/schema.h"
#include "outputs/history.h"
#include "outputs/web.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <httplib.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

// The whole output of one dialkite-cli run.
struct CliRun {
    int status = -1;
    QByteArray out, err;
};

CliRun cli(const QStringList &arguments, const QMap<QString, QString> &environment = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto at = environment.begin(); at != environment.end(); ++at)
        env.insert(at.key(), at.value());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(DIALKITE_CLI), arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// A history file with `count` calls over four lines and two boxes, and an
// identification: what a shop's PC has kept.
void makeHistoryFile(const QString &path, int count)
{
    HistoryOutput front(path, QStringLiteral("front"));
    HistoryOutput back(path, QStringLiteral("back"));
    const QDateTime start = QDateTime::currentDateTime().addDays(-2);
    for (int i = 0; i < count; ++i) {
        events::CallerId call;
        call.row = i + 1;
        call.line = QByteArray::number(i % 4 + 1);
        call.digits = "0" + QByteArray::number(212345000 + i * 37);
        call.number = QString::fromLatin1(call.digits);
        call.at = start.addSecs(i * 60);
        (i % 3 == 0 ? back : front).consume(call);
    }
    events::Identification id;
    id.name = QStringLiteral("DK-C");
    id.version = QStringLiteral("Ver V1.0");
    front.consume(id);
    front.finish(QDeadlineTimer(30000));
    back.finish(QDeadlineTimer(30000));
}

class Postgres : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!pg.ok()) {
            std::printf("SKIPPED: %s\n", qPrintable(pg.why()));
            GTEST_SKIP() << pg.why().toStdString();
        }
    }
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString scalar(const QString &database, const QString &sql)
    {
        QString out;
        EXPECT_TRUE(pg.psql(database, sql, &out)) << sql.toStdString();
        return out;
    }

    PostgresCluster pg;
    QTemporaryDir dir;
};

} // namespace

TEST_F(Postgres, TheSchemaIsMadeBroughtUpToDateAndNeverForced)
{
    ASSERT_TRUE(pg.createDatabase(QStringLiteral("fleet")));
    QString notice, problem;
    ASSERT_TRUE(
        openHistory(pg.url(QStringLiteral("fleet")), QStringLiteral("made"), &notice, &problem))
        << problem.toStdString();
    QSqlDatabase::removeDatabase(QStringLiteral("made"));
    EXPECT_EQ(
        scalar(QStringLiteral("fleet"), QStringLiteral("SELECT version FROM dialkite_schema")),
        QString::number(kHistorySchema));
    // The number index is pg_trgm's, or the notice says why there is none.
    const QString index = scalar(QStringLiteral("fleet"),
                                 QStringLiteral("SELECT count(*) FROM pg_indexes WHERE indexname ="
                                                " 'events_digits'"));
    EXPECT_TRUE(index == QStringLiteral("1") || notice.contains(u"pg_trgm"))
        << notice.toStdString();

    // A history made by an earlier program (schema 1) is brought up to date.
    ASSERT_TRUE(pg.createDatabase(QStringLiteral("older")));
    {
        QString ignored;
        const auto location = historyLocation(pg.url(QStringLiteral("older")), &ignored);
        ASSERT_TRUE(connectHistory(*location, QStringLiteral("older"), false, &problem));
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("older"));
        ASSERT_TRUE(migrateHistory(db, 1, &problem)) << problem.toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("older"));
    ASSERT_TRUE(
        pg.psql(QStringLiteral("older"),
                QStringLiteral("INSERT INTO events (kind, pc_utc, pc_time, digits, event_id)"
                               " VALUES ('call', 1, 'then', '0311112222', 'a:b:1')")));
    EXPECT_EQ(scalar(QStringLiteral("older"), QStringLiteral("SELECT to_regclass('runs') IS NULL")),
              QStringLiteral("t"));
    ASSERT_TRUE(
        openHistory(pg.url(QStringLiteral("older")), QStringLiteral("up"), &notice, &problem))
        << problem.toStdString();
    QSqlDatabase::removeDatabase(QStringLiteral("up"));
    EXPECT_EQ(
        scalar(QStringLiteral("older"), QStringLiteral("SELECT version FROM dialkite_schema")),
        QString::number(kHistorySchema));
    EXPECT_EQ(scalar(QStringLiteral("older"), QStringLiteral("SELECT count(*) FROM runs")),
              QStringLiteral("0"));
    EXPECT_EQ(scalar(QStringLiteral("older"), QStringLiteral("SELECT digits FROM events")),
              QStringLiteral("0311112222"));

    // A newer program's history, and another program's events, are left as they are.
    ASSERT_TRUE(
        pg.psql(QStringLiteral("older"), QStringLiteral("UPDATE dialkite_schema SET version = 9")));
    EXPECT_FALSE(
        openHistory(pg.url(QStringLiteral("older")), QStringLiteral("newer"), &notice, &problem));
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    EXPECT_TRUE(problem.contains(u"newer program (schema 9)")) << problem.toStdString();
    EXPECT_EQ(
        scalar(QStringLiteral("older"), QStringLiteral("SELECT version FROM dialkite_schema")),
        QStringLiteral("9"));
    ASSERT_TRUE(pg.createDatabase(QStringLiteral("other")));
    ASSERT_TRUE(pg.psql(QStringLiteral("other"),
                        QStringLiteral("CREATE TABLE events (what TEXT); INSERT INTO events"
                                       " VALUES ('theirs')")));
    const CliRun refused =
        cli({QStringLiteral("history"), QStringLiteral("--db"), pg.url(QStringLiteral("other"))});
    EXPECT_NE(refused.status, 0);
    // A sentence naming the database, not the server's error about a missing table.
    EXPECT_TRUE(refused.err.contains("holds another program's tables and no call history"))
        << refused.err.constData();
    EXPECT_FALSE(refused.err.contains("ERROR")) << refused.err.constData();
    EXPECT_EQ(scalar(QStringLiteral("other"), QStringLiteral("SELECT what FROM events")),
              QStringLiteral("theirs"));
    EXPECT_FALSE(
        openHistory(pg.url(QStringLiteral("other")), QStringLiteral("theirs"), &notice, &problem));
    QSqlDatabase::removeDatabase(QStringLiteral("theirs"));
    EXPECT_TRUE(problem.contains(u"another program")) << problem.toStdString();
    EXPECT_EQ(scalar(QStringLiteral("other"), QStringLiteral("SELECT to_regclass('runs') IS NULL")),
              QStringLiteral("t"));
}

TEST_F(Postgres, AHistoryFileCopiedTwiceIsStoredOnceAndSearchedAlike)
{
    ASSERT_TRUE(pg.createDatabase(QStringLiteral("fleet")));
    const QString history = file("shop.sqlite");
    makeHistoryFile(history, 300);
    const QString url = pg.url(QStringLiteral("fleet"));
    const CliRun first = cli({QStringLiteral("history"), QStringLiteral("--db"), history,
                              QStringLiteral("--copy-to"), url});
    ASSERT_EQ(first.status, 0) << first.err.constData();
    EXPECT_TRUE(first.out.startsWith("copied 301 events")) << first.out.constData();
    const CliRun again = cli({QStringLiteral("history"), QStringLiteral("--db"), history,
                              QStringLiteral("--copy-to"), url});
    ASSERT_EQ(again.status, 0) << again.err.constData();
    EXPECT_TRUE(again.out.startsWith("copied 0 events")) << again.out.constData();
    EXPECT_TRUE(again.out.contains("(301 were there already)")) << again.out.constData();
    EXPECT_EQ(scalar(QStringLiteral("fleet"), QStringLiteral("SELECT count(*) FROM events")),
              QStringLiteral("301"));
    EXPECT_EQ(scalar(QStringLiteral("fleet"),
                     QStringLiteral("SELECT count(DISTINCT event_id) FROM events")),
              QStringLiteral("301"));

    // The same searches find the same rows, in the same order, in both.
    const QList<QStringList> searches = {
        {},
        {QStringLiteral("--number"), QStringLiteral("3456")}, // through pg_trgm
        {QStringLiteral("--number"), QStringLiteral("45")},
        {QStringLiteral("--line"), QStringLiteral("2"), QStringLiteral("--box"),
         QStringLiteral("back")},
        {QStringLiteral("--number"), QStringLiteral("02123"), QStringLiteral("--limit"),
         QStringLiteral("7")},
    };
    for (const QStringList &search : searches) {
        const QStringList common =
            QStringList{QStringLiteral("--format"), QStringLiteral("csv")} + search;
        const CliRun fromFile =
            cli(QStringList{QStringLiteral("history"), QStringLiteral("--db"), history} + common);
        const CliRun fromServer =
            cli(QStringList{QStringLiteral("history"), QStringLiteral("--db"), url} + common);
        ASSERT_EQ(fromServer.status, 0) << fromServer.err.constData();
        EXPECT_GT(fromFile.out.count('\n'), 1) << search.join(u' ').toStdString();
        EXPECT_EQ(fromServer.out, fromFile.out) << search.join(u' ').toStdString();
    }
    // Worked out by hand: "back" has calls 0, 3, ... 297 (100); of them line 2 (i % 4 == 1)
    // are 9, 21, ... 297 (25); 0212345000 is call 0 alone.
    const auto rows = [&](const QStringList &search) {
        return cli(QStringList{QStringLiteral("history"), QStringLiteral("--db"), url,
                               QStringLiteral("--format"), QStringLiteral("json")} +
                   search)
            .out.count('\n');
    };
    EXPECT_EQ(rows({QStringLiteral("--box"), QStringLiteral("back")}), 100);
    EXPECT_EQ(rows({QStringLiteral("--box"), QStringLiteral("back"), QStringLiteral("--line"),
                    QStringLiteral("2")}),
              25);
    EXPECT_EQ(rows({QStringLiteral("--number"), QStringLiteral("0212345000")}), 1);
}

TEST_F(Postgres, TwoCollectorsShareTheLoadThroughBrokerRestartAndAKill)
{
    ASSERT_TRUE(pg.createDatabase(QStringLiteral("fleet")));
    const QString history = pg.url(QStringLiteral("fleet"));
    const int port = freePort();
    Broker broker({}, port, true);
    const QString mqtt = QStringLiteral("mqtt://127.0.0.1:%1").arg(port);
    const auto startCollector = [&](CliProcess &collector) {
        collector.start({QStringLiteral("collect"), QStringLiteral("--mqtt"), mqtt,
                         QStringLiteral("--history"), history, QStringLiteral("--share"),
                         QStringLiteral("fleet"), QStringLiteral("--settings"), file("none.ini")});
    };
    CliProcess first, second;
    startCollector(first);
    startCollector(second);
    ASSERT_TRUE(waitFor(
        [&] { return first.err().contains("connected") && second.err().contains("connected"); },
        15000))
        << first.err().constData() << second.err().constData();

    // Two boxes on two monitors.
    CliProcess monitors[2];
    std::unique_ptr<SimProcess> boxes[2];
    for (int i = 0; i < 2; ++i) {
        boxes[i] = std::make_unique<SimProcess>(QStringList{QStringLiteral("--keep-running")});
        monitors[i].start({QStringLiteral("monitor"), QStringLiteral("--box"),
                           QStringLiteral("box%1=").arg(i) + boxes[i]->path(),
                           QStringLiteral("--mqtt"), mqtt, QStringLiteral("--spool"),
                           file(i == 0 ? "spool0.sqlite" : "spool1.sqlite"),
                           QStringLiteral("--settings"), file("none.ini")});
    }
    boxes[0]->send(numberedCalls(0, 600));
    boxes[1]->send(numberedCalls(600, 600));
    // Both collectors take a share; then one is killed and the broker restarted.
    ASSERT_TRUE(waitFor(
        [&] { return first.out().count("\"call\"") > 50 && second.out().count("\"call\"") > 50; },
        30000))
        << first.err().constData() << second.err().constData();
    // Split, not each taking everything: the two have hardly a call in common.
    const auto numbers = [](const QByteArray &lines) {
        QSet<QByteArray> found;
        for (const QByteArray &line : lines.split('\n')) {
            const qsizetype at = line.indexOf("\"digits\":\"");
            if (at >= 0)
                found.insert(line.mid(at + 10, 10));
        }
        return found;
    };
    const QSet<QByteArray> firstTook = numbers(first.out());
    const QSet<QByteArray> secondTook = numbers(second.out());
    EXPECT_LT(QSet<QByteArray>(firstTook).intersect(secondTook).size(),
              (firstTook.size() + secondTook.size()) / 10)
        << firstTook.size() << " and " << secondTook.size();
    first.stop(SIGKILL);
    broker.kill();
    QThread::msleep(300);
    ASSERT_TRUE(broker.start());
    boxes[0]->send(numberedCalls(1200, 300));

    const auto counts = [&] {
        QMap<QString, int> stored;
        QString out;
        pg.psql(QStringLiteral("fleet"),
                QStringLiteral("SELECT digits || ' ' || count(*) FROM events WHERE kind = 'call'"
                               " GROUP BY digits"),
                &out);
        for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts))
            stored[line.section(u' ', 0, 0)] = line.section(u' ', 1).toInt();
        return stored;
    };
    QMap<QString, int> stored;
    waitFor(
        [&] {
            stored = counts();
            return stored.size() >= 1500;
        },
        120000);
    int once = 0;
    for (int i = 0; i < 1500; ++i)
        once += stored.value(QString::fromLatin1(numberedDigits(i))) == 1 ? 1 : 0;
    EXPECT_EQ(once, 1500) << "stored: " << stored.size() << "\n"
                          << second.err().constData() << monitors[0].err().constData();
    EXPECT_EQ(stored.size(), 1500);
    // The monitors hear every event confirmed (sent again, if need be, once overdue): their
    // spools empty, and nothing waits when they stop.
    const auto spooled = [&](const char *spool) {
        qint64 rows = -1;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("spool"));
            db.setDatabaseName(file(spool));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            QSqlQuery query(db);
            if (db.open() && query.exec(QStringLiteral("SELECT count(*) FROM outbox")) &&
                query.next())
                rows = query.value(0).toLongLong();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("spool"));
        return rows;
    };
    EXPECT_TRUE(waitFor(
        [&] { return spooled("spool0.sqlite") == 0 && spooled("spool1.sqlite") == 0; }, 60000))
        << spooled("spool0.sqlite") << " and " << spooled("spool1.sqlite") << " left";
    for (CliProcess &monitor : monitors) {
        EXPECT_TRUE(waitFor([&] { return monitor.printedCalls() >= 600; }, 10000));
        monitor.stop();
        EXPECT_FALSE(monitor.err().contains("wait in the spool"))
            << monitor.err().constData() << second.err().constData();
    }
    second.stop();
}

TEST_F(Postgres, ADatabaseServerRestartedUnderACollectorLosesNothing)
{
    const QDate today = QDate::currentDate();
    ASSERT_TRUE(pg.createDatabase(QStringLiteral("fleet")));
    const int port = freePort();
    Broker broker({}, port, true);
    const QString mqtt = QStringLiteral("mqtt://127.0.0.1:%1").arg(port);
    CliProcess collector;
    const int page = freePort();
    collector.start({QStringLiteral("collect"), QStringLiteral("--mqtt"), mqtt,
                     QStringLiteral("--history"), pg.url(QStringLiteral("fleet")),
                     QStringLiteral("--http"), QString::number(page), QStringLiteral("--settings"),
                     file("none.ini")});
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("connected"); }, 15000));
    SimProcess box({QStringLiteral("--keep-running")});
    CliProcess monitor;
    monitor.start({QStringLiteral("monitor"), QStringLiteral("--box"),
                   QStringLiteral("front=") + box.path(), QStringLiteral("--mqtt"), mqtt,
                   QStringLiteral("--spool"), file("spool.sqlite"), QStringLiteral("--settings"),
                   file("none.ini")});
    box.send(numberedCalls(0, 100));
    ASSERT_TRUE(waitFor([&] { return collector.out().count("\"call\"") > 20; }, 20000));
    pg.stop();
    box.send(numberedCalls(100, 100));
    QThread::msleep(1500);
    ASSERT_TRUE(pg.start()) << pg.why().toStdString();
    QString count;
    waitFor(
        [&] {
            pg.psql(QStringLiteral("fleet"),
                    QStringLiteral("SELECT count(DISTINCT digits) || ' ' || count(*) FROM events"
                                   " WHERE kind = 'call'"),
                    &count);
            return count == QStringLiteral("200 200");
        },
        60000);
    EXPECT_EQ(count, QStringLiteral("200 200")) << collector.err().constData();
    EXPECT_TRUE(waitFor([&] { return collector.err().contains("takes events again"); }, 5000))
        << collector.err().constData();
    // The page reads the same database, its connection made again after the restart.
    httplib::Client client("127.0.0.1", page);
    const auto calls = client.Get("/api/calls?limit=1000&number=02120001");
    ASSERT_TRUE(calls);
    EXPECT_EQ(calls->status, 200);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(calls->body)).array().size(), 100)
        << calls->body; // 0212000100 to 0212000199
    const auto hours = client.Get("/api/chart?box=front");
    ASSERT_TRUE(hours);
    const QJsonArray chart =
        QJsonDocument::fromJson(QByteArray::fromStdString(hours->body)).array();
    ASSERT_EQ(chart.size(), 24) << hours->body;
    // This hour's bar, and the one before should the hour have turned during the test.
    EXPECT_EQ(chart[22].toObject().value(u"calls").toInt() +
                  chart[23].toObject().value(u"calls").toInt(),
              200)
        << hours->body;
    // A page started later learns the boxes from the database itself.
    WebOptions later;
    later.history = pg.url(QStringLiteral("fleet"));
    WebServer board(later);
    QString error;
    ASSERT_TRUE(board.start(&error)) << error.toStdString();
    httplib::Client boardClient("127.0.0.1", board.port());
    const auto boxes = boardClient.Get("/api/boxes");
    ASSERT_TRUE(boxes);
    const QJsonArray known =
        QJsonDocument::fromJson(QByteArray::fromStdString(boxes->body)).array();
    ASSERT_EQ(known.size(), 1) << boxes->body;
    EXPECT_EQ(known[0].toObject().value(u"box").toString(), QStringLiteral("front"));
    if (QDate::currentDate() == today) { // not across midnight
        EXPECT_EQ(known[0].toObject().value(u"calls_today").toInt(), 200) << boxes->body;
    }
    monitor.stop();
    EXPECT_FALSE(monitor.err().contains("wait in the spool")) << monitor.err().constData();
    collector.stop();
}

// The phonebook on PostgreSQL as on SQLite: imported, merged, refused, found, followed by
// the names the outputs give, and named again.
TEST_F(Postgres, ThePhonebookWorksAsOnAFile)
{
    ASSERT_TRUE(pg.createDatabase(QStringLiteral("shop")));
    const QString url = pg.url(QStringLiteral("shop"));
    ContactBook book(url);
    QString problem;
    ASSERT_TRUE(book.open(&problem)) << problem.toStdString();
    const QList<contacts::Entry> file = {
        {2, QStringLiteral("홍길동"), QStringLiteral("단골"), {QStringLiteral("+82 10-1234-5678")}},
        {3, QStringLiteral("50%_할인\\상회"), {}, {QStringLiteral("02-123-4567")}},
        {4, QStringLiteral("박지성"), {}, {QStringLiteral("01012345678")}},
        {5, QStringLiteral("홍길동"), {}, {QStringLiteral("031-999-8888")}},
    };
    auto result = book.import(file, &problem);
    ASSERT_TRUE(result) << problem.toStdString();
    EXPECT_EQ(result->added, 2);
    EXPECT_EQ(result->merged, 1);
    EXPECT_EQ(result->refusals,
              QStringList{QStringLiteral("line 4: 01012345678 is 홍길동's number already")});
    result = book.import(file, &problem);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->added + result->merged, 0);
    // LIKE's own characters in a search stand for themselves.
    auto found = book.list(QStringLiteral("%_할인\\"), &problem);
    ASSERT_TRUE(found) << problem.toStdString();
    ASSERT_EQ(found->size(), 1);
    EXPECT_EQ(found->front().name, QStringLiteral("50%_할인\\상회"));
    found = book.list(QStringLiteral("1234-5678"), &problem);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1);
    EXPECT_EQ(found->front().numbers.size(), 2);

    Phonebook names(url, 50);
    names.start();
    EXPECT_EQ(names.nameOf(QStringLiteral("0319998888")), QStringLiteral("홍길동"));
    const qint64 before = names.version();
    ASSERT_TRUE(book.nameNumber(QStringLiteral("0212345670"), QStringLiteral("새 손님"), &problem))
        << problem.toStdString();
    ASSERT_TRUE(
        book.nameNumber(QStringLiteral("02-123-4567"), QStringLiteral("할인상회"), &problem));
    ASSERT_TRUE(waitFor([&] { return names.version() > before + 1; }, 5000));
    EXPECT_EQ(names.nameOf(QStringLiteral("021234567")), QStringLiteral("할인상회"));
    EXPECT_EQ(names.nameOf(QStringLiteral("0212345670")), QStringLiteral("새 손님"));
}
