// The publisher's spool file and the collector's intake: a file is a spool of ours or
// left exactly as it is; an old spool keeps its events under ids that cannot be taken
// for another's; and what a collector takes from the broker is checked field by field.

#include "history/schema.h"
#include "outputs/fleetkey.h"
#include "outputs/history.h"
#include "outputs/intake.h"
#include "outputs/spool.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dialkite;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs statements on a file with a connection of the test's own.
void sql(const QString &path, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(path);
        db.open();
        for (const QString &statement : statements)
            QSqlQuery(db).exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
}

} // namespace

TEST(Spool, KeepsItsInstanceItsEventsAndItsSequencesAcrossAReopen)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deep/spool.sqlite"));
    QString problem;
    QString instance;
    {
        auto spool = openSpoolFile(path, &problem);
        ASSERT_TRUE(spool) << problem.toStdString();
        instance = spool->instance();
        EXPECT_EQ(instance.size(), 12);
        ASSERT_TRUE(spool->write({{QStringLiteral("a"), 1, QStringLiteral("t"), "1"},
                                  {QStringLiteral("a"), 2, QStringLiteral("t"), "2"},
                                  {QStringLiteral("a"), 3, QStringLiteral("t"), "3"},
                                  {QStringLiteral("b"), 1, QStringLiteral("t"), "b1"}},
                                 {}, {}, &problem));
        // Delivered: a up to 2, b's only one.
        ASSERT_TRUE(
            spool->write({}, {{QStringLiteral("a"), 2}}, {{QStringLiteral("b"), 1}}, &problem));
    }
    auto spool = openSpoolFile(path, &problem);
    ASSERT_TRUE(spool);
    EXPECT_EQ(spool->instance(), instance);
    EXPECT_EQ(spool->count(QStringLiteral("a")), 1);
    EXPECT_EQ(spool->lowest(QStringLiteral("a")), 3);
    EXPECT_EQ(spool->lastSequence(QStringLiteral("a")), 3);
    // Nothing of b is kept, but its sequence goes on where it was.
    EXPECT_EQ(spool->count(QStringLiteral("b")), 0);
    EXPECT_EQ(spool->lastSequence(QStringLiteral("b")), 1);
    const auto after = spool->after(QStringLiteral("a"), 0, 10);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].payload, QByteArray("3"));
    EXPECT_NE(openSpoolFile(dir.filePath(QStringLiteral("other.sqlite")), &problem)->instance(),
              instance);
    // One publisher a spool.
    EXPECT_FALSE(openSpoolFile(path, &problem));
    EXPECT_TRUE(problem.startsWith(u"in use by another program")) << problem.toStdString();
}

TEST(Spool, TrimsTheOldestBeyondItsBound)
{
    {
        const auto spool = memorySpool();
        QString problem;
        std::vector<Spooled> events;
        for (int i = 1; i <= 10; ++i)
            events.push_back({QStringLiteral("a"), i, QStringLiteral("t"), QByteArray::number(i)});
        ASSERT_TRUE(spool->write(events, {}, {}, &problem));
        EXPECT_EQ(spool->trim(QStringLiteral("a"), 4), 6);
        EXPECT_EQ(spool->lowest(QStringLiteral("a")), 7);
        EXPECT_EQ(spool->lastSequence(QStringLiteral("a")), 10);
    }
    QTemporaryDir dir;
    QString problem;
    auto file = openSpoolFile(dir.filePath(QStringLiteral("s.sqlite")), &problem);
    std::vector<Spooled> events;
    for (int i = 1; i <= 10; ++i)
        events.push_back({QStringLiteral("a"), i, QStringLiteral("t"), QByteArray::number(i)});
    ASSERT_TRUE(file->write(events, {}, {}, &problem));
    EXPECT_EQ(file->trim(QStringLiteral("a"), 4), 6);
    EXPECT_EQ(file->lowest(QStringLiteral("a")), 7);
    EXPECT_EQ(file->count(QStringLiteral("a")), 4);
}

TEST(Spool, AFileThatIsNotOneIsRefusedAndLeftAsItWas)
{
    QTemporaryDir dir;
    const QString foreign = dir.filePath(QStringLiteral("theirs.sqlite"));
    sql(foreign, {QStringLiteral("CREATE TABLE invoices (n INTEGER)")});
    const QString garbage = dir.filePath(QStringLiteral("notes.sqlite"));
    {
        QFile file(garbage);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(4096, 'n'));
    }
    const QString newer = dir.filePath(QStringLiteral("newer.sqlite"));
    {
        QString problem;
        openSpoolFile(newer, &problem);
    }
    sql(newer, {QStringLiteral("PRAGMA user_version=9")});
    for (const auto &[path, why] : {std::pair{foreign, "a database of another program"},
                                    std::pair{garbage, "not an SQLite database or damaged"},
                                    std::pair{newer, "written by a newer program (schema 9)"}}) {
        const QByteArray before = bytesOf(path);
        QString problem;
        EXPECT_FALSE(openSpoolFile(path, &problem)) << why;
        EXPECT_EQ(problem, QString::fromLatin1(why));
        EXPECT_EQ(bytesOf(path), before) << why;
        EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal"))) << why;
    }
}

// A spool of the program before instances: its events keep waiting, and go out under
// ids of the new instance.
TEST(Spool, AnOldSpoolIsBroughtUpToDateWithItsEvents)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.sqlite"));
    sql(path,
        {QStringLiteral("CREATE TABLE outbox (box TEXT NOT NULL, seq INTEGER NOT NULL,"
                        " topic TEXT NOT NULL, payload BLOB NOT NULL, PRIMARY KEY (box, seq))"),
         QStringLiteral("CREATE TABLE counters (box TEXT PRIMARY KEY, seq INTEGER NOT NULL)"),
         QStringLiteral("INSERT INTO outbox VALUES ('front', 7, 'dialkite/front/call',"
                        " '{\"event\":\"call\",\"id\":\"front:7\"}')"),
         QStringLiteral("INSERT INTO counters VALUES ('front', 7)")});
    QString problem;
    auto spool = openSpoolFile(path, &problem);
    ASSERT_TRUE(spool) << problem.toStdString();
    EXPECT_EQ(spool->lastSequence(QStringLiteral("front")), 7);
    const auto events = spool->after(QStringLiteral("front"), 0, 10);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(QJsonDocument::fromJson(events[0].payload).object().value(u"id").toString(),
              QStringLiteral("front:%1:7").arg(spool->instance()));
}

TEST(Intake, APublishersEventIsTakenOnlyWhenEveryFieldIsRight)
{
    const QJsonObject good{
        {QStringLiteral("event"), QStringLiteral("call")},
        {QStringLiteral("row"), 3},
        {QStringLiteral("box"), QStringLiteral("a:b")},
        {QStringLiteral("id"), QStringLiteral("a:b:0f3e:12")},
        {QStringLiteral("first"), 10},
        {QStringLiteral("number"), QStringLiteral("02-123-4567")},
        {QStringLiteral("pc_time"), QStringLiteral("2026-12-07T10:00:00.000+09:00")}};
    const auto take = [](const QString &topic, const QJsonObject &event, QString *reason) {
        return acceptPublished(topic, QJsonDocument(event).toJson(QJsonDocument::Compact), reason);
    };
    QString reason;
    const auto taken = take(QStringLiteral("dialkite/a:b/call"), good, &reason);
    ASSERT_TRUE(taken) << reason.toStdString();
    EXPECT_EQ(taken->box, QStringLiteral("a:b")); // a box name may hold ':'
    EXPECT_EQ(taken->instance, QStringLiteral("0f3e"));
    EXPECT_EQ(taken->seq, 12);
    EXPECT_EQ(taken->first, 10);

    const auto with = [&](const char *key, const QJsonValue &value) {
        QJsonObject changed = good;
        if (value.isUndefined())
            changed.remove(QLatin1String(key));
        else
            changed.insert(QLatin1String(key), value);
        return changed;
    };
    const std::pair<QJsonObject, const char *> refused[] = {
        {with("id", QJsonValue::Undefined), "no id"},
        {with("id", QStringLiteral("a:b:12")), "the id of another box"}, // box a, instance b
        {with("id", QStringLiteral("12")), "an id that is not BOX:INSTANCE:SEQUENCE"},
        {with("id", QStringLiteral("a:b:x-y:12")), "an id that is not BOX:INSTANCE:SEQUENCE"},
        {with("id", QStringLiteral("other:0f3e:12")), "the id of another box"},
        {with("box", QStringLiteral("other")), "the id of another box"},
        {with("number", 5), "a field of the wrong type"},
        {with("row", QStringLiteral("3")), "a field of the wrong type"},
        {with("first", 13), "a field of the wrong type"},
        {with("number", QString(65, u'1')), "a field too long"},
        {with("script", QStringLiteral("x")), "an unknown field"},
        {with("event", QStringLiteral("reboot")), "an unknown event"},
        {with("pc_time", QStringLiteral("2099-01-01T00:00:00.000Z")), "a time far in the future"},
        {with("pc_time", QStringLiteral("yesterday")), "a time that is not one"},
    };
    for (const auto &[event, why] : refused) {
        EXPECT_FALSE(take(QStringLiteral("dialkite/a:b/call"), event, &reason)) << why;
        EXPECT_EQ(reason, QString::fromLatin1(why));
    }
    EXPECT_FALSE(take(QStringLiteral("dialkite/a:b/identification"), good, &reason));
    EXPECT_EQ(reason, QStringLiteral("an unknown event")); // the topic says otherwise
    EXPECT_FALSE(acceptPublished(QStringLiteral("dialkite/a:b/call"), "[1,2]", &reason));
    EXPECT_FALSE(acceptPublished(QStringLiteral("dialkite/a:b/call"),
                                 QByteArray(kLargestPayload + 1, ' '), &reason));
    EXPECT_EQ(reason, QStringLiteral("too large"));
}

TEST(Intake, EachMessageIsAnEventAStatusASpoolCountOrRefused)
{
    const QByteArray key(32, 'k');
    const QString topic = QStringLiteral("dialkite/front/call");
    const QByteArray event = R"({"event":"call","box":"front","id":"front:a1:5","line":"1",)"
                             R"("number":"02-123-4567","pc_time":"2026-12-08T09:00:00.000+09:00"})";
    const auto reason = [](const Heard &heard) {
        return std::holds_alternative<Refused>(heard) ? std::get<Refused>(heard).reason
                                                      : QStringLiteral("(taken)");
    };
    EXPECT_TRUE(std::holds_alternative<Intake>(hearMessage(topic, event, {})));
    // With a fleet key: only what the fleet signed, for the topic it was signed for.
    EXPECT_TRUE(
        std::holds_alternative<Intake>(hearMessage(topic, signMessage(key, topic, event), key)));
    EXPECT_TRUE(
        reason(hearMessage(topic, event, key)).startsWith(u"without the fleet's signature"));
    EXPECT_TRUE(reason(hearMessage(QStringLiteral("dialkite/back/call"),
                                   signMessage(key, topic, event), key))
                    .startsWith(u"without the fleet's signature"));

    const auto status = hearMessage(QStringLiteral("dialkite/front/status"), "offline", key);
    ASSERT_TRUE(std::holds_alternative<events::BoxStatus>(status));
    EXPECT_EQ(std::get<events::BoxStatus>(status).box, QStringLiteral("front"));
    EXPECT_FALSE(std::get<events::BoxStatus>(status).online);
    EXPECT_EQ(reason(hearMessage(QStringLiteral("dialkite/front/status"), "<b>on</b>", {})),
              QStringLiteral("a status that is not one"));
    EXPECT_EQ(reason(hearMessage(QStringLiteral("dialkite/") + QString(65, u'x') +
                                     QStringLiteral("/status"),
                                 "online", {})),
              QStringLiteral("a status that is not one"));

    // A publisher's spool count: at most 64 boxes, nothing odd in a name or a count.
    const auto waiting =
        hearMessage(QStringLiteral("dialkite-monitor/pc1/status"),
                    R"({"state":"online","waiting":{"front":3,"a/b":1,"c":-2}})", {});
    ASSERT_TRUE(std::holds_alternative<events::SpoolWaiting>(waiting));
    const auto &boxes = std::get<events::SpoolWaiting>(waiting).boxes;
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], std::make_pair(QStringLiteral("front"), qint64(3)));
    QJsonObject many;
    for (int i = 0; i <= kMostWaitingBoxes; ++i)
        many.insert(QStringLiteral("b%1").arg(i), 1);
    EXPECT_TRUE(std::holds_alternative<Ignored>(
        hearMessage(QStringLiteral("dialkite-monitor/pc1/status"),
                    QJsonDocument(QJsonObject{{QStringLiteral("waiting"), many}}).toJson(), {})));
}

TEST(Intake, ACollectorRemembersAThousandBoxesAndClearsWhatItForgets)
{
    ConfirmedBoxes confirmed;
    EXPECT_TRUE(confirmed.note(QStringLiteral("front"), QStringLiteral("a1")).isEmpty());
    EXPECT_TRUE(confirmed.note(QStringLiteral("front"), QStringLiteral("b2")).isEmpty());
    for (size_t i = 1; i < ConfirmedBoxes::kMost; ++i)
        EXPECT_TRUE(confirmed.note(QStringLiteral("fake%1").arg(i), QStringLiteral("x")).isEmpty());
    EXPECT_EQ(confirmed.size(), ConfirmedBoxes::kMost);
    // Heard again, "fake1" is no longer the oldest: "front" is, and goes with both its
    // publishers' confirmations.
    EXPECT_TRUE(confirmed.note(QStringLiteral("fake1"), QStringLiteral("x")).isEmpty());
    QStringList cleared = confirmed.note(QStringLiteral("one-more"), QStringLiteral("x"));
    cleared.sort();
    EXPECT_EQ(cleared, (QStringList{QStringLiteral("dialkite/front/stored/a1"),
                                    QStringLiteral("dialkite/front/stored/b2")}));
    EXPECT_EQ(confirmed.note(QStringLiteral("two-more"), QStringLiteral("x")),
              QStringList{QStringLiteral("dialkite/fake2/stored/x")});
    EXPECT_EQ(confirmed.size(), ConfirmedBoxes::kMost);
    // A box's publishers are bounded too: the one confirmed longest ago is cleared.
    EXPECT_EQ(confirmed.note(QStringLiteral("rig"), QStringLiteral("i0")),
              QStringList{QStringLiteral("dialkite/fake3/stored/x")});
    for (size_t i = 1; i < ConfirmedBoxes::kInstancesABox; ++i)
        EXPECT_TRUE(confirmed.note(QStringLiteral("rig"), QStringLiteral("i%1").arg(i)).isEmpty());
    EXPECT_EQ(confirmed.note(QStringLiteral("rig"), QStringLiteral("new")),
              QStringList{QStringLiteral("dialkite/rig/stored/i0")});
}

TEST(HistoryFiles, ANewerProgramsHistoryIsLeftAloneNotMovedAside)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    {
        HistoryOutput create(path);
        create.finish(QDeadlineTimer(QDeadlineTimer::Forever));
    }
    sql(path, {QStringLiteral("PRAGMA user_version=99")});
    const QByteArray before = bytesOf(path);
    QString moved;
    QString problem;
    EXPECT_FALSE(openHistory(path, QStringLiteral("newer"), &moved, &problem));
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    EXPECT_TRUE(moved.isEmpty());
    EXPECT_TRUE(problem.contains(u"newer program (schema 99)")) << problem.toStdString();
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.unusable")}).isEmpty());
}
