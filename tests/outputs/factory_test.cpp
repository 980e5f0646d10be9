// The one place that builds outputs: what the settings file and the command line ask
// for, what is refused with a message, and what a console's outputs are made of.

#include "support/fixture.h"
#include "support/outputs.h"

#include "outputs/factory.h"

#include <QSqlDatabase>
#include <QSqlQuery>

using namespace dialkite;
using namespace dialkite::test;

TEST(OutputPlans, TheWindowRecordsAndKeepsByDefaultAndPublishesWhenTold)
{
    qunsetenv("DIALKITE_MQTT_USER");
    qunsetenv("DIALKITE_MQTT_PASSWORD");
    const OutputPlan plain = desktopPlan(Profile::parse(""));
    EXPECT_TRUE(plain.capture);
    EXPECT_EQ(plain.history, defaultHistoryFile());
    EXPECT_FALSE(plain.mqtt);
    EXPECT_TRUE(plain.problems.isEmpty());

    const OutputPlan off =
        desktopPlan(Profile::parse("[CAPTURE]\nRECORD=0\n[HISTORY]\nRECORD=0\n"));
    EXPECT_FALSE(off.capture);
    EXPECT_FALSE(off.history);

    const OutputPlan publishing =
        desktopPlan(Profile::parse("[MQTT]\nURL=mqtt://broker.shop.lan\nBOX=front\nUSER=shop\n"));
    ASSERT_TRUE(publishing.mqtt);
    EXPECT_EQ(publishing.mqtt->host, QStringLiteral("broker.shop.lan"));
    EXPECT_EQ(publishing.mqtt->user, QStringLiteral("shop"));
    EXPECT_EQ(publishing.mqttBox, QStringLiteral("front"));
}

TEST(OutputPlans, WhatCannotBeHadIsSaidNotGuessed)
{
    // A box name that cannot be a topic, an address that is not a broker's.
    for (const char *settings :
         {"[MQTT]\nURL=mqtt://b\nBOX=front/back\n", "[MQTT]\nURL=http://b\n"}) {
        const OutputPlan plan = desktopPlan(Profile::parse(settings));
        EXPECT_FALSE(plan.mqtt) << settings;
        ASSERT_EQ(plan.problems.size(), 1) << settings;
        EXPECT_TRUE(plan.problems[0].startsWith(u"settings [MQTT]: ")) << settings;
        EXPECT_TRUE(plan.problems[0].endsWith(u"nothing is published")) << settings;
    }
    // A capture limit that would delete every capture, or overflow, or mean nothing.
    for (const char *limit : {"0", "-5", "8796093022208", "lots"}) {
        const OutputPlan plan =
            desktopPlan(Profile::parse(QByteArray("[CAPTURE]\nLIMIT_MB=") + limit + "\n"));
        ASSERT_TRUE(plan.capture) << limit;
        EXPECT_EQ(plan.capture->folderLimit, 200LL * 1024 * 1024) << limit;
        ASSERT_EQ(plan.problems.size(), 1) << limit;
        EXPECT_TRUE(plan.problems[0].contains(QString::fromLatin1(limit))) << limit;
    }
    EXPECT_EQ(desktopPlan(Profile::parse("[CAPTURE]\nLIMIT_MB=1000000\n")).capture->folderLimit,
              1000000LL * 1024 * 1024);
}

TEST(OutputPlans, TheCommandLineRunsOnlyWhatItAsksFor)
{
    QString error;
    const auto nothing = commandLinePlan(Profile::parse(""), {}, &error);
    ASSERT_TRUE(nothing);
    EXPECT_FALSE(nothing->capture || nothing->history || nothing->mqtt);

    const auto all = commandLinePlan(Profile::parse("[MQTT]\nPASSWORD=secret\nUSER=shop\n"),
                                     {QStringLiteral("/tmp/c.scn"), QStringLiteral("/tmp/h.sqlite"),
                                      QStringLiteral("mqtt://127.0.0.1:1884"),
                                      QStringLiteral("/tmp/s.sqlite"), QStringLiteral("rig-1"),
                                      QStringLiteral("broker")},
                                     &error);
    ASSERT_TRUE(all) << error.toStdString();
    EXPECT_EQ(all->capture->file, QStringLiteral("/tmp/c.scn"));
    EXPECT_EQ(all->history, QStringLiteral("/tmp/h.sqlite"));
    EXPECT_EQ(all->spool, QStringLiteral("/tmp/s.sqlite"));
    EXPECT_EQ(all->mqtt->port, 1884);
    EXPECT_EQ(all->mqtt->password, QStringLiteral("secret"));
    EXPECT_EQ(all->mqtt->clientId, QStringLiteral("rig-1"));
    EXPECT_TRUE(all->mqtt->confirmByBroker);
    EXPECT_FALSE(commandLinePlan({}, {{}, {}, QStringLiteral("mqtt://b"), {}, {}, QStringLiteral("x")},
                                 &error));

    EXPECT_FALSE(commandLinePlan({}, {{}, {}, QStringLiteral("mqtt:/nohost"), {}, {}, {}}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(OutputFactories, AConsolesOutputsAreWhatThePlanSays)
{
    QTemporaryDir dir;
    OutputPlan plan;
    plan.history = dir.filePath(QStringLiteral("h.sqlite"));
    plan.capture = CaptureOptions{dir.filePath(QStringLiteral("c.scn")), {}, 0, {}};
    plan.printer = [](const QByteArray &, const Event &) {};
    OutputFactory factory(plan);
    const auto outputs = factory.build(QStringLiteral("front"));
    EXPECT_TRUE(outputs->find(QStringLiteral("history")));
    EXPECT_TRUE(outputs->find(QStringLiteral("capture")));
    EXPECT_TRUE(outputs->find(QStringLiteral("json")));
    EXPECT_FALSE(outputs->find(QStringLiteral("mqtt")));
    EXPECT_TRUE(OutputFactory(OutputPlan{}).build()->isEmpty());
}

namespace {

class TwoHistories : public ConsoleTest {};

} // namespace

// With two durable outputs a follower waits for the slower one: a history whose file is
// locked by another program holds every line back, the other history notwithstanding.
TEST_F(TwoHistories, AFollowerWaitsForEveryDurableOutput)
{
    const QString fast = dir.filePath(QStringLiteral("fast.sqlite"));
    const QString slow = dir.filePath(QStringLiteral("slow.sqlite"));
    {
        HistoryOutput create(slow);
        create.finish(QDeadlineTimer(QDeadlineTimer::Forever));
    }
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("x"));
    other.setDatabaseName(slow);
    ASSERT_TRUE(other.open());
    QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE"));

    OutputSet set;
    set.add(std::make_unique<HistoryOutput>(fast));
    set.add(std::make_unique<HistoryOutput>(slow));
    int printed = 0;
    set.addFollower(std::make_unique<json::LinesOutput>(
        QString(), [&](const QByteArray &, const Event &) { ++printed; }));
    QObject::connect(&console, &Console::observed, &set, &OutputSet::consume);
    feed(framed("1I021234567   "));
    set.finish(QDeadlineTimer(500));
    EXPECT_EQ(printed, 0);

    QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("x"));
    EXPECT_TRUE(set.finish(QDeadlineTimer(QDeadlineTimer::Forever)).isEmpty());
    EXPECT_EQ(printed, 1);
}
