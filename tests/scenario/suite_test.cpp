// The box test suite syntax: what each line means, and what is refused at its line.

#include "scenario/suite.h"

#include <gtest/gtest.h>

using namespace dialkite::scenario;

TEST(Suites, ExpectationsWaitsAndPromptsBesideTheOperatorsSteps)
{
    const Suite suite =
        parseSuite("# a REZ box\n"
                   "select 3\n"
                   "identify\n"
                   "expect identification name=DK-C* version=V1.* within 2s\n"
                   "expect detection HOOK|RING within 1500ms   # either will do\n"
                   "dial 1 0212345678\n"
                   "expect tx <STX>1O0212345678*<ETX> within 100ms\n"
                   "expect call line=2 number=02-* status=number color=blue within 1m\n"
                   "expect no rx within 3s\n"
                   "wait 250ms\n"
                   "prompt 2번 회선에 전화를 거십시오\n");
    ASSERT_TRUE(suite.error.isEmpty()) << suite.error.toStdString();
    ASSERT_EQ(suite.steps.size(), 10);
    EXPECT_EQ(suite.steps[0].kind, SuiteStep::Kind::Operator);
    EXPECT_EQ(suite.steps[0].step.kind, StepKind::Select);
    const Expectation &id = suite.steps[2].expectation;
    EXPECT_EQ(id.what, Expectation::What::Identification);
    EXPECT_EQ(id.name, QStringLiteral("DK-C*"));
    EXPECT_EQ(id.withinMs, 2000);
    const Expectation &detection = suite.steps[3].expectation;
    EXPECT_EQ(detection.detection, (QStringList{QStringLiteral("HOOK"), QStringLiteral("RING")}));
    EXPECT_EQ(detection.withinMs, 1500);
    EXPECT_EQ(suite.steps[3].text, QStringLiteral("expect detection HOOK|RING within 1500ms"));
    const Expectation &tx = suite.steps[5].expectation;
    EXPECT_EQ(tx.pieces, (QList<QByteArray>{"\x02"
                                            "1O0212345678",
                                            "\x03"}));
    EXPECT_TRUE(bytesMatch(tx, "\x02"
                               "1O0212345678      \x03"));
    EXPECT_FALSE(bytesMatch(tx, "\x02"
                                "1F0212345678      \x03"));
    const Expectation &call = suite.steps[6].expectation;
    EXPECT_EQ(call.line, QStringLiteral("2"));
    EXPECT_EQ(call.colour, QStringLiteral("blue"));
    EXPECT_EQ(call.withinMs, 60000);
    EXPECT_TRUE(suite.steps[7].expectation.none);
    EXPECT_EQ(suite.steps[8].waitMs, 250);
    EXPECT_EQ(suite.steps[9].prompt, QStringLiteral("2번 회선에 전화를 거십시오"));
}

TEST(Suites, MistakesAreRefusedAtTheirLine)
{
    const std::pair<const char *, const char *> cases[] = {
        {"identify\nexpect call within 2\n", "line 2: '2' is not a time"},
        {"expect ringing within 2s\n", "line 1: expect what?"},
        {"expect detection HOOKED within 2s\n", "line 1: a detection state is NOT, HOOK or RING"},
        {"expect call colour=blue within 2s\n", "line 1: 'colour=blue' is not something"},
        {"expect call status=busy within 2s\n", "line 1: 'status=busy' is not something"},
        {"expect tx <STX within 2s\n", "line 1: "},
        {"expect no call line=2 within 2s\n", "line 1: 'expect no call' takes nothing more"},
        {"rx <STX>1I02<ETX>\n", "line 1: 'rx' is not an operator's step"},
        {"select 3\nwait forever\n", "line 2: 'wait' takes a time"},
        {"prompt\n", "line 1: 'prompt' needs the words"},
        {"identify now\n", "line 1: 'identify' takes no argument"},
        {"expect call within 25h\n", "line 1: '25h' is not a time"},
    };
    for (const auto &[text, error] : cases) {
        const Suite suite = parseSuite(text);
        EXPECT_TRUE(suite.steps.isEmpty()) << text;
        EXPECT_TRUE(suite.error.startsWith(QString::fromUtf8(error)))
            << text << " -> " << suite.error.toStdString();
    }
}

TEST(Suites, GlobsAndBytePatterns)
{
    EXPECT_TRUE(globMatch(QStringLiteral("DK-C*"), QStringLiteral("DK-C0001")));
    EXPECT_TRUE(globMatch(QStringLiteral("V1.?"), QStringLiteral("V1.0")));
    EXPECT_FALSE(globMatch(QStringLiteral("V1.?"), QStringLiteral("V1.00")));
    EXPECT_FALSE(globMatch(QStringLiteral("02-*"), QStringLiteral("031-123-4567")));
    EXPECT_TRUE(globMatch(QStringLiteral("(*)"), QStringLiteral("(x)"))); // not a regex
    Expectation e;
    e.pieces = {"\x02", "I", "\x03"};
    EXPECT_TRUE(bytesMatch(e, "\x02"
                              "2I     \x03"));
    EXPECT_FALSE(bytesMatch(e, "\x02\x03"));
    EXPECT_FALSE(bytesMatch(e, "\x02"
                               "2I     \x03x"));
    const Suite literal = parseSuite("expect rx <2A><STX>*<ETX> within 1s\n");
    ASSERT_TRUE(literal.error.isEmpty()) << literal.error.toStdString();
    EXPECT_EQ(literal.steps[0].expectation.pieces, (QList<QByteArray>{"*\x02", "\x03"}));
    EXPECT_EQ(parseDuration(QStringLiteral("1m")), 60000);
    EXPECT_FALSE(parseDuration(QStringLiteral("-1s")));
}
