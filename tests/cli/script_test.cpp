// Parsing scenario scripts: every step form, and the lines that must be refused.

#include "cli/script.h"

#include <gtest/gtest.h>

using namespace dialkite::cli;

TEST(ScriptBytes, Notation)
{
    struct Case {
        QByteArray text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"", ""},
        {"AZ az 09 ~!", "AZ az 09 ~!"},
        {"<STX><ETX>", "\x02\x03"},
        {"<00><ff><Fe><7f>", QByteArray("\x00\xff\xfe\x7f", 4)},
        {"<<", "<"},
        {"<<STX>", "<STX>"},
        {"a<<<3C>b", "a<<b"},
        {"  ", "  "},
    };
    for (const Case &c : cases) {
        QString error;
        const auto bytes = parseBytes(c.text, &error);
        ASSERT_TRUE(bytes.has_value()) << c.text.constData() << ": " << error.toStdString();
        EXPECT_EQ(*bytes, c.bytes) << c.text.constData();
    }
    for (const QByteArray bad :
         {"<", "<G0>", "<0>", "<stx>", "<STX", "a\tb", "<SOH>", "\xC3\xA9"}) {
        QString error;
        EXPECT_FALSE(parseBytes(bad, &error).has_value()) << bad.constData();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(Script, EveryStepForm)
{
    const Script script = parseScript("\xEF\xBB\xBF"
                                      "rx <STX>1I<ETX>\r\n"
                                      "\n"
                                      "   \n"
                                      "  # indented comment\n"
                                      "#rx nothing\n"
                                      "rx \n"
                                      "select 8\n"
                                      "select\n"
                                      "reprogram 6\n"
                                      "reprogram\n"
                                      "identify\n"
                                      "dial 2 9,1234567\n"
                                      "dial 2\n"
                                      "dial 3  \n"
                                      "hangup 4\n"
                                      "volume 0\n"
                                      "volume\n"
                                      "detect-read\n"
                                      "detect-set 2\n"
                                      "detect-set");
    ASSERT_TRUE(script.error.isEmpty()) << script.error.toStdString();
    using K = Step::Kind;
    struct Expected {
        K kind;
        int line;
        std::optional<int> number;
        QString text;
    };
    const Expected expected[] = {
        {K::Rx, 1, {}, {}},        {K::Rx, 6, {}, {}},
        {K::Select, 7, 8, {}},     {K::Select, 8, {}, {}},
        {K::Reprogram, 9, 6, {}},  {K::Reprogram, 10, {}, {}},
        {K::Identify, 11, {}, {}}, {K::Dial, 12, 2, QStringLiteral("9,1234567")},
        {K::Dial, 13, 2, {}},      {K::Dial, 14, 3, QStringLiteral(" ")},
        {K::Hangup, 15, 4, {}},    {K::Volume, 16, 0, {}},
        {K::Volume, 17, {}, {}},   {K::DetectRead, 18, {}, {}},
        {K::DetectSet, 19, 2, {}}, {K::DetectSet, 20, {}, {}},
    };
    ASSERT_EQ(script.steps.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Step &step = script.steps[qsizetype(i)];
        EXPECT_EQ(step.kind, expected[i].kind) << i;
        EXPECT_EQ(step.lineNumber, expected[i].line) << i;
        EXPECT_EQ(step.number, expected[i].number) << i;
        EXPECT_EQ(step.text, expected[i].text) << i;
    }
    EXPECT_EQ(script.steps[0].bytes, QByteArray("\x02"
                                                "1I\x03"));
    EXPECT_TRUE(script.steps[1].bytes.isEmpty());
}

TEST(Script, InvalidLinesAreRefusedWithTheirNumber)
{
    const QByteArray bad[] = {
        "rx",         "rx<STX>",   " rx a",      "RX a",     "select 9",     "select 0",
        "select 12",  "select  1", "select ",    "select x", "reprogram 7",  "identify ",
        "identify 1", "dial",      "dial 5 1",   "dial 0",   "dial 23",      "dial  2",
        "hangup",     "hangup 5",  "hangup 1 x", "volume 4", "detect-set 3", "detect-read 1",
        "beep",       "rx <XYZ>",
    };
    for (const QByteArray &line : bad) {
        const Script script = parseScript("rx a\n# fine so far\n" + line + "\nrx b\n");
        EXPECT_TRUE(script.error.startsWith(QStringLiteral("line 3: ")))
            << line.constData() << " -> " << script.error.toStdString();
        EXPECT_TRUE(script.steps.isEmpty());
    }
}
