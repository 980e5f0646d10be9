// What the page checks of a request before answering: the names it answers to, sessions,
// the pace of wrong tokens, cookies and a search's parameters.

#include "outputs/webguard.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <set>

using namespace dialkite;
using namespace std::chrono_literals;

namespace {

using Params = std::multimap<std::string, std::string>;

QString refusalOf(const Params &params)
{
    QString error;
    EXPECT_FALSE(callQuery(params, &error).has_value()) << params.begin()->first;
    return error;
}

} // namespace

TEST(WebGuard, HostsAreThisPcsNamesTheBoundAddressAndTheGivenOnes)
{
    const HostCheck loopback(QStringLiteral("127.0.0.1"), {QStringLiteral("shop-pc.lan")});
    for (const char *host : {"127.0.0.1:8080", "127.0.0.1", "localhost:8080", "LocalHost.",
                             "[::1]:8080", "shop-pc.lan:8080", "SHOP-PC.LAN"})
        EXPECT_TRUE(loopback.allowed(host, "127.0.0.1")) << host;
    // A rebound name, a name with ours as its prefix, nothing at all.
    for (const char *host : {"evil.example:8080", "127.0.0.1.evil.example", "localhost.evil", "",
                             ":8080", "[::1", "shop-pc.lan.evil"})
        EXPECT_FALSE(loopback.allowed(host, "127.0.0.1")) << host;

    // Bound to every address: the address the request came in on is the page's own, any
    // other address is not.
    const HostCheck everywhere(QStringLiteral("0.0.0.0"), {});
    EXPECT_TRUE(everywhere.allowed("192.168.1.5:8080", "192.168.1.5"));
    EXPECT_FALSE(everywhere.allowed("192.168.1.6:8080", "192.168.1.5"));
    EXPECT_FALSE(everywhere.allowed("0.0.0.0:8080", "192.168.1.5") &&
                 everywhere.allowed("attacker.example", "192.168.1.5"));
    const HostCheck lan(QStringLiteral("192.168.1.5"), {});
    EXPECT_TRUE(lan.allowed("192.168.1.5:8080", "192.168.1.5"));
    EXPECT_FALSE(lan.allowed("attacker.example:8080", "192.168.1.5"));
    const HostCheck six(QStringLiteral("::"), {});
    EXPECT_TRUE(six.allowed("[fe80::1]:8080", "fe80::1"));
}

TEST(WebGuard, SessionsAreRandomEndAfterTwelveHoursAndAreBounded)
{
    Sessions sessions;
    const auto start = WebClock::now();
    std::set<std::string> ids;
    for (int i = 0; i < 50; ++i)
        ids.insert(sessions.open(start));
    EXPECT_EQ(ids.size(), 50u);
    const std::string id = *ids.begin();
    EXPECT_EQ(id.size(), 64u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_TRUE(sessions.valid(id, start + 11h + 59min));
    EXPECT_FALSE(sessions.valid(id, start + 12h));
    EXPECT_FALSE(sessions.valid("", start));
    EXPECT_FALSE(sessions.valid(id.substr(1) + "0", start));

    // A stranger signing in without end pushes out the oldest sessions, no more.
    const std::string newest = sessions.open(start);
    for (size_t i = 0; i < Sessions::kMost - 1; ++i)
        sessions.open(start);
    EXPECT_TRUE(sessions.valid(newest, start));
    EXPECT_FALSE(sessions.valid(id, start));
}

TEST(WebGuard, FiveWrongTokensAMinuteFromOneAddress)
{
    SignInLimit limit;
    const auto start = WebClock::now();
    for (int i = 0; i < SignInLimit::kWrongAMinute; ++i) {
        EXPECT_TRUE(limit.mayTry("10.0.0.9", start + i * 1s));
        limit.wrong("10.0.0.9", start + i * 1s);
    }
    EXPECT_FALSE(limit.mayTry("10.0.0.9", start + 10s));
    EXPECT_TRUE(limit.mayTry("10.0.0.8", start + 10s)); // another address is not held up
    EXPECT_FALSE(limit.mayTry("10.0.0.9", start + 59s));
    EXPECT_TRUE(limit.mayTry("10.0.0.9", start + 61s)); // the first wrong one is a minute old
    // The table stays bounded when every address is new.
    for (size_t i = 0; i < SignInLimit::kAddresses + 10; ++i)
        limit.wrong("10.1." + std::to_string(i), start + 70s);
    EXPECT_TRUE(limit.mayTry("10.2.0.1", start + 70s));
}

TEST(WebGuard, CookiesAreReadByTheirWholeName)
{
    EXPECT_EQ(cookieValue("a=1; dialkite_session=abc; b=2", "dialkite_session"), "abc");
    EXPECT_EQ(cookieValue("dialkite_session=abc", "dialkite_session"), "abc");
    EXPECT_EQ(cookieValue("xdialkite_session=abc", "dialkite_session"), "");
    EXPECT_EQ(cookieValue("dialkite_session_old=abc;dialkite_session=def", "dialkite_session"),
              "def");
    EXPECT_EQ(cookieValue("dialkite_session", "dialkite_session"), "");
    EXPECT_EQ(cookieValue("", "dialkite_session"), "");
}

TEST(WebGuard, ASearchsParametersAreCheckedAndTheWrongOneNamed)
{
    QString error;
    const auto defaults = callQuery({}, &error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->filter.limit, 100);
    EXPECT_EQ(defaults->filter.offset, 0);
    EXPECT_FALSE(defaults->csv);

    const auto full = callQuery({{"number", " 010 "},
                                 {"box", "front"},
                                 {"line", "03"},
                                 {"since", "2026-12-01"},
                                 {"until", "2026-12-08"},
                                 {"limit", "20"},
                                 {"offset", "40"}},
                                &error);
    ASSERT_TRUE(full) << error.toStdString();
    EXPECT_EQ(full->filter.number, QStringLiteral("010"));
    EXPECT_EQ(full->filter.line, QStringLiteral("3"));
    EXPECT_EQ(full->filter.since, QDate(2026, 12, 1).startOfDay());
    EXPECT_EQ(full->filter.until, QDate(2026, 12, 8).endOfDay());
    EXPECT_EQ(full->filter.limit, 20);
    EXPECT_EQ(full->filter.offset, 40);
    // A CSV download is the whole search.
    const auto csv = callQuery({{"format", "csv"}, {"limit", "5"}}, &error);
    ASSERT_TRUE(csv);
    EXPECT_TRUE(csv->csv);
    EXPECT_EQ(csv->filter.limit, 0);

    EXPECT_TRUE(refusalOf({{"line", "abc"}}).startsWith(u"line=abc:"));
    EXPECT_TRUE(refusalOf({{"line", "17"}}).startsWith(u"line=17:"));
    EXPECT_TRUE(refusalOf({{"since", "garbage"}}).startsWith(u"since=garbage:"));
    EXPECT_TRUE(refusalOf({{"until", "2026-13-01"}}).startsWith(u"until=2026-13-01:"));
    EXPECT_TRUE(refusalOf({{"limit", "-1"}}).startsWith(u"limit=-1:"));
    EXPECT_TRUE(refusalOf({{"limit", "1001"}}).startsWith(u"limit=1001:"));
    EXPECT_TRUE(refusalOf({{"offset", "-5"}}).startsWith(u"offset=-5:"));
    EXPECT_TRUE(refusalOf({{"offset", "99999999999"}}).startsWith(u"offset="));
    EXPECT_TRUE(refusalOf({{"format", "xml"}}).startsWith(u"format=xml:"));
    EXPECT_TRUE(
        refusalOf({{"since", "2026-12-08"}, {"until", "2026-12-01"}}).contains(u"backwards"));
    // A long value is named by its beginning only.
    const QString long_ = refusalOf({{"number", std::string(500, '7')}});
    EXPECT_TRUE(long_.startsWith(u"number=7777")) << long_.toStdString();
    EXPECT_LT(long_.size(), 100);

    EXPECT_EQ(lineParameter({}, &error), QString());
    EXPECT_EQ(lineParameter({{"line", "2"}}, &error), QStringLiteral("2"));
    EXPECT_FALSE(lineParameter({{"line", "x"}}, &error));
}
