// The 22-character command frame on the wire and in the send log.

#include "support/fixture.h"
#include "support/frames.h"

#include "console/texts.h"

using namespace dialkite;
using namespace dialkite::test;

class Transmitter : public ConsoleTest {};

TEST_F(Transmitter, FramesOnTheWire)
{
    struct Case {
        QByteArray port, code, value;
        QByteArray wire;
    };
    const Case cases[] = {
        {" ", "v", "2", "\x02 v2" + blanks(17) + "\x03"},
        {" ", "P", " ", "\x02 P" + blanks(18) + "\x03"},
        {"2", "O", "123",
         "\x02"
         "2O123" +
             blanks(15) + "\x03"},
        {"a", "y", "-1",
         "\x02"
         "ay-1" +
             blanks(16) + "\x03"},
        {"1", "O", "",
         "\x02"
         "1O" +
             blanks(18) + "\x03"},
        // 18 characters of Value fill the frame exactly.
        {"1", "O", "9,1234567890123456",
         "\x02"
         "1O9,1234567890123456\x03"},
        // Longer values are cut so that the frame still ends with ETX.
        {"1", "O", "9,12345678901234567",
         "\x02"
         "1O9,1234567890123456\x03"},
        {"1", "O", QByteArray(40, '7'),
         "\x02"
         "1O" +
             QByteArray(18, '7') + "\x03"},
        // The bare identification request of variant "5".
        {"?", " ", " ", "?"},
    };
    for (const Case &c : cases) {
        link.clearWritten();
        console.MakeOpcode(c.port, c.code, c.value);
        EXPECT_EQ(link.written(), c.wire) << c.value.constData();
        EXPECT_EQ(link.writeCalls(), c.wire.size()) << "one write per character";
    }
}

TEST_F(Transmitter, SendLogShowsExactlyWhatWasWritten)
{
    console.MakeOpcode(" ", "v", "2");
    console.MakeOpcode("1", "O", QByteArray(25, '5'));
    console.MakeOpcode("?", " ", " ");
    EXPECT_EQ(cell(GridId::Sent, 1, 0), QStringLiteral("1"));
    EXPECT_EQ(sent(1), QStringLiteral("\u0002 v2                 \u0003"));
    EXPECT_EQ(sent(2), QStringLiteral("\u00021O555555555555555555\u0003"));
    EXPECT_EQ(sent(3), QStringLiteral("?"));
    EXPECT_EQ(state().SendRow, 4);
}

TEST_F(Transmitter, BoxSettingFramesAreSentButNotLogged)
{
    console.MakeOpcode("a", "x", " ");
    EXPECT_EQ(link.written(), "\x02"
                              "ax" +
                                  blanks(18) + "\x03");
    EXPECT_EQ(state().SendRow, 1);
    EXPECT_TRUE(cell(GridId::Sent, 1, 0).isEmpty());
}

TEST_F(Transmitter, SendLogWrapsAfterRow9999WithoutJumpingBack)
{
    state().SendRow = 9999;
    console.MSFlexGrid2().setTopRow(9990);
    console.MakeOpcode(" ", "v", "1");
    EXPECT_EQ(cell(GridId::Sent, 9999, 0), QStringLiteral("9999"));
    EXPECT_EQ(state().SendRow, 1);
    // The scroll test saw 10000 - 9990 = 10: no scroll.
    EXPECT_EQ(console.MSFlexGrid2().topRow(), 9990);
    console.MakeOpcode(" ", "v", "2");
    EXPECT_EQ(sent(1), QStringLiteral("\u0002 v2                 \u0003"));
    EXPECT_EQ(console.MSFlexGrid2().topRow(), 9990);
}

TEST_F(Transmitter, SendLogScrollsWhenTheNextRowIsMoreThan10BelowTop)
{
    state().SendRow = 10; // becomes 11: 11 - 1 = 10, no scroll
    console.MakeOpcode(" ", "v", "1");
    EXPECT_EQ(console.MSFlexGrid2().topRow(), 1);
    console.MakeOpcode(" ", "v", "1"); // 12 - 1 = 11
    EXPECT_EQ(console.MSFlexGrid2().topRow(), 2);
}

TEST_F(Transmitter, ClosedPortDropsTheFrameAndSaysSo)
{
    link.setOpen(false);
    console.MakeOpcode(" ", "v", "2");
    EXPECT_TRUE(link.written().isEmpty());
    ASSERT_EQ(view.messages().size(), 1);
    EXPECT_EQ(view.messages()[0].title, texts::kPortErrorTitle);
    EXPECT_EQ(view.messages()[0].text, texts::kPortErrorText);
    // The send log keeps its rules: the frame the operator asked for is listed.
    EXPECT_EQ(state().SendRow, 2);
}
