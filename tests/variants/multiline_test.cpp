// Multi-line format (variants "7" and "8"): two-character lines.

#include "support/fixture.h"
#include "support/numbers.h"

#include "console/texts.h"

using namespace dialkite;
using namespace dialkite::test;

class MultiLine : public ConsoleTest {
protected:
    MultiLine() { setVariant("7"); }
};

TEST_F(MultiLine, CallRecordsOfEveryNumberLength)
{
    int row = 1;
    for (const NumberCase &c : kNumberCases) {
        feed(framed("03I" + blankFilled(c.digits)));
        EXPECT_EQ(callCell(row, 0), QStringLiteral("03"));
        EXPECT_EQ(callCell(row, 2), c.shown) << c.digits.constData();
        EXPECT_TRUE(callCell(row, 1).isEmpty());
        EXPECT_EQ(state().ChannelText, QByteArray("03"));
        EXPECT_EQ(state().CallRow, ++row);
    }
    EXPECT_TRUE(link.written().isEmpty()); // no acknowledgement in this format
}

TEST_F(MultiLine, StateLettersAndBothVariantCodes)
{
    for (const char *code : {"7", "8"}) {
        Harness fresh;
        fresh.setVariant(code);
        fresh.feed(framed("12IP            ") + framed("13IC") + framed("16IO  "));
        EXPECT_EQ(fresh.callCell(1, 0), QStringLiteral("12"));
        EXPECT_EQ(fresh.callCell(1, 2), texts::kWithheld);
        EXPECT_EQ(fresh.callCell(2, 2), texts::kPublicPhone);
        EXPECT_EQ(fresh.callCell(3, 0), QStringLiteral("16"));
        EXPECT_EQ(fresh.callCell(3, 2), texts::kNotCollected);
        EXPECT_EQ(fresh.state().CallRow, 4);
    }
}

TEST_F(MultiLine, IdentificationRecord)
{
    // pos 2 and 4-9 not read, 3 "P", 10-17 name, 18-20 version.
    feed(framed("9PABBBBBNAME1234V10tail"));
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("NAME1234"));
    EXPECT_EQ(cell(GridId::Identification, 1, 1), QStringLiteral("Ver V10"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_EQ(state().ChannelText, QByteArray("9P"));
    EXPECT_TRUE(state().RxBuffer.isEmpty());
}

TEST_F(MultiLine, OtherRecordsOnlySetTheChannel)
{
    feed(framed("04S") + framed("x") + framed(""));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(callCell(1, 0).isEmpty());
    EXPECT_TRUE(state().RxBuffer.isEmpty());
    EXPECT_EQ(state().OutgoingFlag, 0);
}

TEST_F(MultiLine, CallEndIsNotReadInThisFormat)
{
    state().OutgoingFlag = 1;
    feed(framed("01S"));
    EXPECT_EQ(state().OutgoingFlag, 1);
}

TEST_F(MultiLine, RowWrapsAndScrolls)
{
    state().CallRow = 9999;
    feed(framed("01I12345678    "));
    EXPECT_EQ(callCell(9999, 2), QStringLiteral("1234-5678"));
    EXPECT_EQ(state().CallRow, 1);
    state().CallRow = 33;
    console.MSFlexGrid1().setTopRow(1);
    feed(framed("01I12345678    "));
    EXPECT_EQ(console.MSFlexGrid1().topRow(), 2);
}

TEST_F(MultiLine, NumberRecordOfLineXPIsReadAsIdentification)
{
    // A line whose second character is "P" makes a number record look like an
    // identification as well: the row is written but does not advance.
    feed(framed("1PI12345678   NAME5678V20"));
    EXPECT_EQ(callCell(1, 0), QStringLiteral("1P"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("1234-5678"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("678   NA"));
    EXPECT_EQ(cell(GridId::Identification, 1, 1), QStringLiteral("Ver ME5"));
    // With a state letter the row advances and nothing is read as identification.
    feed(framed("1PIC  NAMEXXXXV30"));
    EXPECT_EQ(state().CallRow, 2);
    EXPECT_EQ(cell(GridId::Identification, 1, 1), QStringLiteral("Ver ME5"));
}
