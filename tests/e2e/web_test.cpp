// The fleet's page and API as a program sees them (the browser's view is in tests/web):
// a collector fed by a simulated box through a real mosquitto serves the boxes, the
// calls, the chart and the live feed; beyond loopback only with a token; every answer
// with its security headers; live pages bounded. Home Assistant's discovery configs read
// back from the broker.

#include "support/broker.h"
#include "support/cliprocess.h"
#include "support/simprocess.h"

#include "outputs/discovery.h"
#include "outputs/mqtt.h"
#include "outputs/web.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>

#include <httplib.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

using Cli = CliProcess;

QJsonDocument get(int port, const char *path, int *status = nullptr)
{
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5, 0);
    const auto response = client.Get(path);
    if (status)
        *status = response ? response->status : -1;
    return response ? QJsonDocument::fromJson(QByteArray::fromStdString(response->body))
                    : QJsonDocument();
}

} // namespace

TEST(WebPage, ACollectorsPageShowsTheFleetLive)
{
    Broker broker;
    QTemporaryDir dir;
    const int port = freePort();
    Cli collector;
    collector.start({QStringLiteral("collect"), QStringLiteral("--mqtt"), broker.url(),
                     QStringLiteral("--history"), dir.filePath(QStringLiteral("fleet.sqlite")),
                     QStringLiteral("--http"), QString::number(port), QStringLiteral("--settings"),
                     dir.filePath(QStringLiteral("none.ini"))});
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("the page is on"); }, 10000))
        << collector.err().constData();

    // A box with a name that is markup: the API carries it as text, never as markup.
    SimProcess box({QStringLiteral("--keep-running")});
    const QString hostile = QStringLiteral("<b>굵게<i>");
    Cli monitor;
    monitor.start({QStringLiteral("monitor"), QStringLiteral("--box"), hostile + u'=' + box.path(),
                   QStringLiteral("--mqtt"), broker.url(), QStringLiteral("--spool"),
                   dir.filePath(QStringLiteral("spool.sqlite")), QStringLiteral("--settings"),
                   dir.filePath(QStringLiteral("none.ini"))});
    QJsonArray boxes;
    ASSERT_TRUE(waitFor(
        [&] {
            boxes = get(port, "/api/boxes").array();
            return !boxes.isEmpty() && boxes[0].toObject().value(u"online").toBool();
        },
        10000))
        << monitor.err().constData();
    EXPECT_EQ(boxes[0].toObject().value(u"box").toString(), hostile);

    // The live feed: a call stored is on the page well within a second.
    httplib::Client live("127.0.0.1", port);
    live.set_read_timeout(5, 0);
    std::mutex mutex;
    std::string received;
    std::thread reader([&] {
        live.Get("/api/events", [&](const char *data, size_t length) {
            std::lock_guard lock(mutex);
            received.append(data, length);
            return received.find("0212345678") == std::string::npos;
        });
    });
    QThread::msleep(300);
    box.send(QStringLiteral("call 1 0212345678\n"));
    const bool arrived = waitFor(
        [&] {
            std::lock_guard lock(mutex);
            return received.find("0212345678") != std::string::npos;
        },
        5000);
    reader.join();
    EXPECT_TRUE(arrived);
    {
        std::lock_guard lock(mutex);
        EXPECT_NE(received.find("data: {"), std::string::npos) << received;
    }

    // The search and its CSV, as the command line makes them.
    const QJsonArray calls = get(port, "/api/calls?number=3456&line=1").array();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].toObject().value(u"number").toString(), QStringLiteral("02-1234-5678"));
    EXPECT_TRUE(get(port, "/api/calls?number=99999").array().isEmpty());
    httplib::Client client("127.0.0.1", port);
    const auto csv = client.Get("/api/calls?format=csv");
    ASSERT_TRUE(csv);
    EXPECT_EQ(csv->body.rfind("\xEF\xBB\xBF"
                              "PC 시각,장비,채널",
                              0),
              0u)
        << csv->body;
    EXPECT_EQ(csv->get_header_value("Content-Type"), "text/csv; charset=utf-8");
    // Calls per hour: 24 of them, this hour's with the call.
    const QJsonArray hours = get(port, "/api/chart").array();
    ASSERT_EQ(hours.size(), 24);
    EXPECT_EQ(hours[23].toObject().value(u"calls").toInt(), 1);
    // Every answer says what may run in it.
    const auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("script-src 'self'"),
              std::string::npos);
    EXPECT_EQ(page->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(page->body.find("http://"), std::string::npos); // nothing from elsewhere
    EXPECT_EQ(page->body.find("https://"), std::string::npos);

    // The publisher says what waits in its spool: nothing, once the call is stored.
    EXPECT_TRUE(waitFor(
        [&] {
            const QJsonArray now = get(port, "/api/boxes").array();
            return !now.isEmpty() && now[0].toObject().value(u"waiting") == QJsonValue(0);
        },
        10000));

    // The box's monitor stops: the box is offline.
    monitor.stop();
    EXPECT_TRUE(waitFor(
        [&] {
            const QJsonArray now = get(port, "/api/boxes").array();
            return !now.isEmpty() && now[0].toObject().value(u"online") == QJsonValue(false);
        },
        10000));
}

TEST(WebPage, AMonitorWithoutACollectorServesItsOwnHistory)
{
    QTemporaryDir dir;
    const int port = freePort();
    SimProcess box({QStringLiteral("--keep-running")});
    Cli monitor;
    const QString history = dir.filePath(QStringLiteral("shop.sqlite"));
    monitor.start({QStringLiteral("monitor"), QStringLiteral("--device"), box.path(),
                   QStringLiteral("--history"), history, QStringLiteral("--http"),
                   QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--settings"),
                   dir.filePath(QStringLiteral("none.ini"))});
    ASSERT_TRUE(waitFor([&] { return monitor.err().contains("the page is on"); }, 10000))
        << monitor.err().constData();
    box.send(QStringLiteral("call 2 0317654321\n"));
    QJsonArray calls;
    ASSERT_TRUE(waitFor(
        [&] {
            calls = get(port, "/api/calls").array();
            return !calls.isEmpty();
        },
        10000))
        << monitor.err().constData();
    EXPECT_EQ(calls[0].toObject().value(u"number").toString(), QStringLiteral("031-765-4321"));
    EXPECT_EQ(calls[0].toObject().value(u"line").toString().toInt(), 2);
    // The board hears of the call a moment after it is stored (once the monitor's outputs
    // have it), never before.
    QJsonArray boxes;
    EXPECT_TRUE(waitFor(
        [&] {
            boxes = get(port, "/api/boxes").array();
            return boxes.size() == 1 && boxes[0].toObject().value(u"calls_today").toInt() == 1;
        },
        5000));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].toObject().value(u"online"), QJsonValue(true));
    EXPECT_EQ(boxes[0].toObject().value(u"calls_today").toInt(), 1);

    // The page needs the history it serves.
    QProcess refused;
    refused.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("monitor"), QStringLiteral("--device"), box.path(),
                   QStringLiteral("--http"), QStringLiteral("0")});
    refused.waitForFinished(10000);
    EXPECT_EQ(refused.exitCode(), 2);
    EXPECT_TRUE(refused.readAllStandardError().contains("--history"));
}

TEST(WebPage, BeyondLoopbackOnlyWithATokenAndLivePagesBounded)
{
    QTemporaryDir dir;
    const QString history = dir.filePath(QStringLiteral("h.sqlite"));
    WebOptions open;
    QString error;
    ASSERT_TRUE(parseListenAddress(QStringLiteral("0.0.0.0:0"), &open, &error));
    open.history = history;
    WebServer refused(open);
    EXPECT_FALSE(refused.start(&error));
    EXPECT_TRUE(error.contains(u"token")) << error.toStdString();

    WebOptions guarded = open;
    guarded.address = QStringLiteral("127.0.0.1");
    guarded.token = QStringLiteral("s3cret-token");
    guarded.maxLiveClients = 2;
    WebServer server(guarded);
    ASSERT_TRUE(server.start(&error)) << error.toStdString();
    int status = 0;
    get(server.port(), "/api/boxes", &status);
    EXPECT_EQ(status, 401);
    httplib::Client client("127.0.0.1", server.port());
    const auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("action=\"/login\""), std::string::npos); // the sign-in form
    const auto wrong = client.Post("/login", "token=guess", "application/x-www-form-urlencoded");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 401);
    const auto signIn =
        client.Post("/login", "token=s3cret-token", "application/x-www-form-urlencoded");
    ASSERT_TRUE(signIn);
    EXPECT_EQ(signIn->status, 303);
    const std::string cookie = signIn->get_header_value("Set-Cookie");
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    const auto allowed = client.Get("/api/boxes", {{"Cookie", cookie.substr(0, cookie.find(';'))}});
    ASSERT_TRUE(allowed);
    EXPECT_EQ(allowed->status, 200);
    const auto bearer = client.Get("/api/boxes", {{"Authorization", "Bearer s3cret-token"}});
    ASSERT_TRUE(bearer);
    EXPECT_EQ(bearer->status, 200);

    // Two live pages at most; a third is turned away, the storing side never waits.
    std::vector<std::thread> pages;
    std::atomic<int> turnedAway = 0;
    for (int i = 0; i < 3; ++i)
        pages.emplace_back([&] {
            httplib::Client page("127.0.0.1", server.port());
            page.set_read_timeout(2, 0);
            const auto result = page.Get("/api/events", {{"Authorization", "Bearer s3cret-token"}},
                                         [](const char *, size_t) { return true; });
            if (result && result->status == 503)
                ++turnedAway;
        });
    QThread::msleep(500);
    for (int i = 0; i < 2000; ++i)
        server.publish({{QStringLiteral("event"), QStringLiteral("call")},
                        {QStringLiteral("box"), QStringLiteral("b")}});
    for (std::thread &page : pages)
        page.join();
    EXPECT_EQ(turnedAway, 1);
}

TEST(HomeAssistant, DiscoveryConfigsAreRetainedAndSentAgainWhenItComesBack)
{
    Broker broker;
    QString error;
    auto target = mqttTarget(broker.url(), {}, &error);
    ASSERT_TRUE(target);
    target->clientId = QStringLiteral("ha-test");
    HomeAssistantDiscovery discovery(*target, QStringLiteral("homeassistant"));
    discovery.describe(QStringLiteral("front"), {QStringLiteral("3"), QStringLiteral("Ver V1.0")});

    std::mutex mutex;
    std::map<QString, QJsonObject> configs;
    int arrivals = 0;
    MqttTarget listen = *target;
    listen.clientId = QStringLiteral("ha-listener");
    MqttSubscriber ha(
        listen,
        [&](const QString &topic, const QByteArray &payload) {
            std::lock_guard lock(mutex);
            configs[topic] = QJsonDocument::fromJson(payload).object();
            ++arrivals;
        },
        nullptr, {QStringLiteral("homeassistant/sensor/#")}, false);
    ASSERT_TRUE(waitFor(
        [&] {
            std::lock_guard lock(mutex);
            return configs.size() == 5; // four lines and the detection
        },
        10000));
    {
        std::lock_guard lock(mutex);
        const QJsonObject line2 =
            configs[QStringLiteral("homeassistant/sensor/dialkite_front/caller_2/config")];
        EXPECT_EQ(line2.value(u"state_topic").toString(), QStringLiteral("dialkite/front/call"));
        EXPECT_TRUE(
            line2.value(u"value_template").toString().contains(u"value_json.line | int == 2"));
        EXPECT_EQ(line2.value(u"availability").toArray()[0].toObject().value(u"topic").toString(),
                  QStringLiteral("dialkite/front/status"));
        const QJsonObject device = line2.value(u"device").toObject();
        EXPECT_EQ(device.value(u"model").toString(), QStringLiteral("DK-C"));
        EXPECT_EQ(device.value(u"sw_version").toString(), QStringLiteral("Ver V1.0"));
        EXPECT_EQ(configs[QStringLiteral("homeassistant/sensor/dialkite_front/detection/config")]
                      .value(u"state_topic")
                      .toString(),
                  QStringLiteral("dialkite/front/detection"));
    }
    // Retained: a newcomer gets them; Home Assistant back online gets them again.
    const int before = arrivals;
    MqttTarget haBroker = *target;
    haBroker.clientId = QStringLiteral("ha-itself");
    MqttSubscriber homeAssistant(
        haBroker, [](const QString &, const QByteArray &) {}, nullptr,
        {QStringLiteral("homeassistant/none")}, false);
    QThread::msleep(500);
    homeAssistant.publishRetained(QStringLiteral("homeassistant/status"), "online");
    EXPECT_TRUE(waitFor(
        [&] {
            std::lock_guard lock(mutex);
            return arrivals >= before + 5;
        },
        10000));

    // Every call names the box's variant: nothing goes out again for it; a new version does.
    QThread::msleep(300);
    int settled = 0;
    {
        std::lock_guard lock(mutex);
        settled = arrivals;
    }
    for (int i = 0; i < 3; ++i)
        discovery.describe(QStringLiteral("front"), {QStringLiteral("3"), {}});
    discovery.describe(QStringLiteral("front"), {QStringLiteral("3"), QStringLiteral("Ver V2.0")});
    EXPECT_TRUE(waitFor(
        [&] {
            std::lock_guard lock(mutex);
            return configs[QStringLiteral("homeassistant/sensor/dialkite_front/detection/config")]
                       .value(u"device")
                       .toObject()
                       .value(u"sw_version") == QStringLiteral("Ver V2.0");
        },
        10000));
    QThread::msleep(300);
    std::lock_guard lock(mutex);
    EXPECT_EQ(arrivals, settled + 5);
}

// Anyone on the broker may invent boxes or say Home Assistant is back: discovery sends a
// new box's own configs once, all of them again at most once a minute, and never gives two
// names one id.
TEST(HomeAssistant, DiscoveryScalesWithWhatChangedNotWithWhoAsks)
{
    Broker broker;
    QTemporaryDir dir;
    CliProcess collector;
    collector.start({QStringLiteral("collect"), QStringLiteral("--mqtt"), broker.url(),
                     QStringLiteral("--history"), dir.filePath(QStringLiteral("fleet.sqlite")),
                     QStringLiteral("--ha-discovery"), QStringLiteral("--settings"),
                     dir.filePath(QStringLiteral("none.ini"))});
    ASSERT_TRUE(waitFor([&] { return collector.err().contains("connected"); }, 10000));
    QString error;
    auto target = mqttTarget(broker.url(), {}, &error);
    ASSERT_TRUE(target);
    std::atomic<int> configs = 0;
    std::mutex mutex;
    std::set<QString> ids;
    target->clientId = QStringLiteral("ha-listener");
    MqttSubscriber ha(
        *target,
        [&](const QString &, const QByteArray &payload) {
            ++configs;
            std::lock_guard lock(mutex);
            ids.insert(QJsonDocument::fromJson(payload).object().value(u"unique_id").toString());
        },
        nullptr, {QStringLiteral("homeassistant/sensor/#")}, false);
    target->clientId = QStringLiteral("stranger");
    MqttSubscriber stranger(*target, [](const QString &, const QByteArray &) {});
    QThread::msleep(500);
    for (int i = 0; i < 198; ++i)
        stranger.publish(QStringLiteral("dialkite/fake%1/status").arg(i), "online");
    // Two names an id escape could once confuse.
    stranger.publish(QStringLiteral("dialkite/col.x/status"), "online");
    stranger.publish(QStringLiteral("dialkite/colx2ex/status"), "online");
    // Four lines and the detection for each box of an unknown variant: 200 boxes' worth.
    ASSERT_TRUE(waitFor([&] { return configs >= 1000; }, 20000)) << configs;
    for (int i = 0; i < 3; ++i)
        stranger.publish(QStringLiteral("homeassistant/status"), "online");
    QThread::msleep(2000);
    EXPECT_LE(configs, 2000) << "all again once, not for each who asks";
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(ids.size(), 1000u) << "every box's five sensors apart";
    }
    collector.stop();
}
