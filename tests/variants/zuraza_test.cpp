// ZURAZA format (variant "5"): four lines multiplexed by byte value.

#include "support/fixture.h"

#include "console/texts.h"

using namespace dialkite;
using namespace dialkite::test;

namespace {

int offset(int line)
{
    return (line - 1) * 0x40;
}

// What the box sends for one record of `line`: a first character, the text, the end
// byte; every byte carries the line's offset.
QByteArray lineRecord(int line, const QByteArray &text, char first = '0')
{
    QByteArray bytes(1, char(first + offset(line)));
    for (const char c : text)
        bytes.append(char(c + offset(line)));
    bytes.append(char(0x1F + offset(line)));
    return bytes;
}

} // namespace

class Zuraza : public ConsoleTest {
protected:
    Zuraza() { setVariant("5"); }
};

TEST_F(Zuraza, EightDigitsOnLineTwo)
{
    feed(lineRecord(2, "12345678"));
    EXPECT_EQ(callCell(1, 0), QStringLiteral("2"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("1234-5678"));
    EXPECT_TRUE(callCell(1, 1).isEmpty());
    EXPECT_EQ(received(1), QStringLiteral("12345678 "));
    EXPECT_EQ(state().CallRow, 2);
    EXPECT_TRUE(state().LineBuffer[1].isEmpty());
    EXPECT_TRUE(state().RxBuffer.isEmpty());
    EXPECT_TRUE(link.written().isEmpty());
}

TEST_F(Zuraza, NumbersAndStatesOnEachLine)
{
    struct Case {
        int line;
        QByteArray text;
        QString shown;
    };
    const Case cases[] = {
        {1, "C", texts::kPublicPhone},
        {2, "O", texts::kNotCollected},
        {3, "0212345678", QStringLiteral("02-1234-5678")},
        {4, "021234567", QStringLiteral("02-123-4567")},
        {1, "01012345678", QStringLiteral("010-1234-5678")},
        {2, "12345678901", QStringLiteral("1-234-567-8901")},
        {3, "123456789012", QStringLiteral("12-345-678-9012")},
        {4, "0311234567", QStringLiteral("031-123-4567")},
        // Nine digits beginning 03: position 11 does not exist, so 3-4-4 applies and
        // the last group holds two digits and the end blank.
        {1, "031123456", QStringLiteral("031-1234-56 ")},
    };
    int row = 1;
    for (const Case &c : cases) {
        feed(lineRecord(c.line, c.text));
        EXPECT_EQ(callCell(row, 0), QString::number(c.line));
        EXPECT_EQ(callCell(row, 2), c.shown) << c.text.constData();
        ++row;
    }
}

TEST_F(Zuraza, ScanLimitsCutLongTexts)
{
    const QByteArray digits = "12345678901234567890123456789"; // 29 characters
    feed(lineRecord(1, digits));
    EXPECT_EQ(received(1), QString::fromLatin1(digits)) << "no end blank";
    EXPECT_EQ(callCell(1, 2), QStringLiteral("12-345-678-9012"));
    feed(lineRecord(2, digits));
    EXPECT_EQ(received(2), QString::fromLatin1(digits.left(19)));
    EXPECT_EQ(state().CallRow, 3);
}

TEST_F(Zuraza, EmptyAndShortRecordsStillUseARow)
{
    feed(QByteArray(1, char(0x5F))); // the end byte alone
    EXPECT_EQ(received(1), QString());
    EXPECT_EQ(cell(GridId::Received, 1, 0), QStringLiteral("1"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("---"));
    feed(lineRecord(3, "")); // only the first character
    EXPECT_EQ(received(2), QStringLiteral(" "));
    EXPECT_EQ(callCell(2, 2), QStringLiteral(" ---"));
    feed(lineRecord(1, "12E34")); // "E" ends the text early
    EXPECT_EQ(received(3), QStringLiteral("12 "));
    EXPECT_EQ(state().CallRow, 4);
}

TEST_F(Zuraza, InterleavedLinesGetConsecutiveRows)
{
    const QByteArray one = lineRecord(1, "12345678");
    const QByteArray four = lineRecord(4, "87654321");
    QByteArray mixed;
    for (qsizetype i = 0; i < one.size(); ++i)
        mixed += QByteArray(1, one[i]) + four[i] + "\xFF";
    feed(mixed);
    EXPECT_EQ(callCell(1, 0), QStringLiteral("1"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("1234-5678"));
    EXPECT_EQ(callCell(2, 0), QStringLiteral("4"));
    EXPECT_EQ(callCell(2, 2), QStringLiteral("8765-4321"));
}

TEST_F(Zuraza, RowWrapsAfter9999)
{
    state().CallRow = 9999;
    feed(lineRecord(3, "12345678") + lineRecord(3, "11112222"));
    EXPECT_EQ(callCell(9999, 0), QStringLiteral("3"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("1111-2222"));
    EXPECT_EQ(state().CallRow, 2);
}

TEST_F(Zuraza, CallEndIsNotReadInThisFormat)
{
    state().OutgoingFlag = 1;
    feed(lineRecord(1, "S"));
    EXPECT_EQ(state().OutgoingFlag, 1);
}
