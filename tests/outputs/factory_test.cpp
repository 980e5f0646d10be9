// The one place that builds outputs: what the settings file and the command line ask
// for, what is refused with a message, and what a console's outputs are made of.

#include "support/fixture.h"
#include "support/outputs.h"

#include "cli/commands.h"
#include "history/location.h"
#include "outputs/capture.h"
#include "outputs/factory.h"
#include "outputs/history.h"
#include "outputs/mqtt.h"

#include <QSqlDatabase>
#include <QSqlQuery>

using namespace dialkite;
using namespace dialkite::test;

namespace {

const QString kCapture = QStringLiteral("capture");
const QString kHistory = QStringLiteral("history");
const QString kMqtt = QStringLiteral("mqtt");

// A monitor's plan from its command line, as dialkite-cli reads it, over `settings`.
std::optional<OutputPlan> monitorPlan(const QStringList &arguments, const Profile &settings,
                                      QString *error)
{
    const cli::CliCommand *monitor = cli::findCommand(QStringLiteral("monitor"));
    const auto parsed = cmdline::parse(monitor->syntax, arguments, error);
    if (!parsed)
        return std::nullopt;
    const Config config = Config::build(settings, OutputRegistry::instance().environment(),
                                        monitor->syntax.options, *parsed);
    return planOutputs(config, FrontEnd::Monitor, {}, error);
}

} // namespace

TEST(OutputPlans, TheWindowRecordsAndKeepsByDefaultAndPublishesWhenTold)
{
    qunsetenv("DIALKITE_MQTT_USER");
    qunsetenv("DIALKITE_MQTT_PASSWORD");
    const OutputPlan plain = desktopPlan(Profile::parse(""));
    EXPECT_TRUE(plain.has(kCapture));
    ASSERT_TRUE(plain.get<HistoryPlan>(kHistory));
    EXPECT_EQ(plain.get<HistoryPlan>(kHistory)->path, defaultHistoryFile());
    EXPECT_FALSE(plain.has(kMqtt));
    EXPECT_TRUE(plain.problems.isEmpty());

    const OutputPlan off =
        desktopPlan(Profile::parse("[CAPTURE]\nRECORD=0\n[HISTORY]\nRECORD=0\n"));
    EXPECT_FALSE(off.has(kCapture));
    EXPECT_FALSE(off.has(kHistory));

    const OutputPlan publishing =
        desktopPlan(Profile::parse("[MQTT]\nURL=mqtt://broker.shop.lan\nBOX=front\nUSER=shop\n"));
    const auto *mqtt = publishing.get<MqttPlan>(kMqtt);
    ASSERT_TRUE(mqtt);
    EXPECT_EQ(mqtt->target.host, QStringLiteral("broker.shop.lan"));
    EXPECT_EQ(mqtt->target.user, QStringLiteral("shop"));
    EXPECT_EQ(mqtt->box, QStringLiteral("front"));
}

TEST(OutputPlans, WhatCannotBeHadIsSaidNotGuessed)
{
    // A box name that cannot be a topic, an address that is not a broker's.
    for (const char *settings :
         {"[MQTT]\nURL=mqtt://b\nBOX=front/back\n", "[MQTT]\nURL=http://b\n"}) {
        const OutputPlan plan = desktopPlan(Profile::parse(settings));
        EXPECT_FALSE(plan.has(kMqtt)) << settings;
        ASSERT_EQ(plan.problems.size(), 1) << settings;
        EXPECT_TRUE(plan.problems[0].startsWith(u"settings [MQTT]: ")) << settings;
        EXPECT_TRUE(plan.problems[0].endsWith(u"nothing is published")) << settings;
    }
    // A capture limit that would delete every capture, or overflow, or mean nothing.
    for (const char *limit : {"0", "-5", "8796093022208", "lots"}) {
        const OutputPlan plan =
            desktopPlan(Profile::parse(QByteArray("[CAPTURE]\nLIMIT_MB=") + limit + "\n"));
        ASSERT_TRUE(plan.has(kCapture)) << limit;
        EXPECT_EQ(plan.get<CaptureOptions>(kCapture)->folderLimit, 200LL * 1024 * 1024) << limit;
        ASSERT_EQ(plan.problems.size(), 1) << limit;
        EXPECT_TRUE(plan.problems[0].contains(QString::fromLatin1(limit))) << limit;
    }
    const OutputPlan largest = desktopPlan(Profile::parse("[CAPTURE]\nLIMIT_MB=1000000\n"));
    EXPECT_EQ(largest.get<CaptureOptions>(kCapture)->folderLimit, 1000000LL * 1024 * 1024);
}

TEST(OutputPlans, TheCommandLineRunsOnlyWhatItAsksFor)
{
    QString error;
    // The settings file names a broker and a history: a monitor asked for neither has none.
    const Profile settings =
        Profile::parse("[MQTT]\nURL=mqtt://elsewhere\nPASSWORD=secret\nUSER=shop\n"
                       "[HISTORY]\nFILE=/tmp/window.sqlite\n");
    const auto nothing = monitorPlan({}, settings, &error);
    ASSERT_TRUE(nothing) << error.toStdString();
    EXPECT_FALSE(nothing->has(kCapture) || nothing->has(kHistory) || nothing->has(kMqtt));

    const auto all = monitorPlan({QStringLiteral("--capture"), QStringLiteral("/tmp/c.scn"),
                                  QStringLiteral("--history"), QStringLiteral("/tmp/h.sqlite"),
                                  QStringLiteral("--mqtt"), QStringLiteral("mqtt://127.0.0.1:1884"),
                                  QStringLiteral("--spool"), QStringLiteral("/tmp/s.sqlite"),
                                  QStringLiteral("--confirm"), QStringLiteral("broker")},
                                 settings, &error);
    ASSERT_TRUE(all) << error.toStdString();
    EXPECT_EQ(all->get<CaptureOptions>(kCapture)->file, QStringLiteral("/tmp/c.scn"));
    EXPECT_EQ(all->get<HistoryPlan>(kHistory)->path, QStringLiteral("/tmp/h.sqlite"));
    const auto *mqtt = all->get<MqttPlan>(kMqtt);
    EXPECT_EQ(mqtt->spool, QStringLiteral("/tmp/s.sqlite"));
    EXPECT_EQ(mqtt->target.port, 1884);
    EXPECT_EQ(mqtt->target.password, QStringLiteral("secret"));
    EXPECT_TRUE(mqtt->target.confirmByBroker);
    EXPECT_FALSE(monitorPlan({QStringLiteral("--mqtt"), QStringLiteral("mqtt://b"),
                              QStringLiteral("--confirm"), QStringLiteral("x")},
                             {}, &error));
    EXPECT_EQ(error, QStringLiteral("--confirm takes collector or broker, not 'x'"));
    EXPECT_FALSE(
        monitorPlan({QStringLiteral("--mqtt"), QStringLiteral("mqtt:/nohost")}, {}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(OutputFactories, AConsolesOutputsAreWhatThePlanSays)
{
    QTemporaryDir dir;
    OutputPlan plan;
    plan.set(kHistory, HistoryPlan{dir.filePath(QStringLiteral("h.sqlite"))});
    plan.set(kCapture, CaptureOptions{dir.filePath(QStringLiteral("c.scn")), {}, 0, {}});
    plan.hooks.printLine = [](const QByteArray &, const Event &) {};
    OutputFactory factory(plan);
    const auto outputs = factory.build(QStringLiteral("front"));
    EXPECT_TRUE(outputs->find(kHistory));
    EXPECT_TRUE(outputs->find(kCapture));
    EXPECT_TRUE(outputs->find(QStringLiteral("json")));
    EXPECT_FALSE(outputs->find(kMqtt));
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
