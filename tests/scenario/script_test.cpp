// Parsing scenario scripts: every step form, and the lines that must be refused.

#include "scenario/script.h"

#include <gtest/gtest.h>

using namespace dialkite::scenario;

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

// ---- Captures: time stamps, tx, state, the header's version, a cut-off last line ----

TEST(CaptureScript, StampsTxAndStateParse)
{
    const Script script = parseScript("# dialkite capture 1\n"
                                      "# program dialkite 0.2.0\n"
                                      "@2026-12-07T10:51:04.552 state variant=3 identify=1 "
                                      "outgoing=0 number=9,<3C>1\n"
                                      "@2026-12-07T10:51:04.552 rx <STX>3I<ETX>\n"
                                      "@2026-12-07T10:51:04.553 tx <STX>3I <ETX>\n"
                                      "@2026-12-07T10:51:05.000 dial 2 123\n"
                                      "rx A\n");
    ASSERT_TRUE(script.error.isEmpty()) << script.error.toStdString();
    EXPECT_TRUE(script.capture);
    ASSERT_EQ(script.steps.size(), 5);
    EXPECT_EQ(script.steps[0].kind, Step::Kind::State);
    EXPECT_EQ(script.steps[0].variant, 3);
    EXPECT_EQ(script.steps[0].identify, 1);
    EXPECT_EQ(script.steps[0].bytes, QByteArray("9,<1"));
    EXPECT_EQ(script.steps[1].stamp, QDateTime(QDate(2026, 12, 7), QTime(10, 51, 4, 552)));
    EXPECT_EQ(script.steps[2].kind, Step::Kind::Tx);
    EXPECT_EQ(script.steps[2].bytes, QByteArray("\x02"
                                                "3I \x03"));
    EXPECT_EQ(script.steps[3].text, QStringLiteral("123"));
    EXPECT_FALSE(script.steps[4].stamp.isValid());
}

TEST(CaptureScript, RefusedLines)
{
    struct Case {
        QByteArray text;
        QString error;
    };
    const Case cases[] = {
        {"# dialkite capture 2\nrx A\n",
         QStringLiteral("line 1: capture format 2 is newer than this program")},
        {"# dialkite capture 1\n@2026-12-07T10:51:04.552 rx A\n@2026-12-07T10:5",
         QStringLiteral("line 3: the capture ends inside this line (cut off?)")},
        {"@2026-12-07 10:51:04.552 rx A\n", {}},
        {"@2026-12-07T10:51:04 rx A\n", {}},
        {"@2026-13-07T10:51:04.552 rx A\n", {}},
        {"@2026-12-07T10:51:04.552\n", {}},
        {"tx\n", {}},
        {"state variant=3\n", {}},
        {"state variant=9 identify=0 outgoing=0 number=\n", {}},
        {"state variant=1 identify=2 outgoing=0 number=\n", {}},
        {"state variant=1 identify=0 outgoing=0 number=<G>\n", {}},
    };
    for (const Case &c : cases) {
        const Script script = parseScript(c.text);
        EXPECT_TRUE(script.steps.isEmpty()) << c.text.constData();
        if (c.error.isEmpty())
            EXPECT_TRUE(script.error.startsWith(u"line 1: ")) << c.text.constData();
        else
            EXPECT_EQ(script.error, c.error);
    }
    // A plain script may end without a line end, as it always could.
    EXPECT_TRUE(parseScript("rx A").error.isEmpty());
}
