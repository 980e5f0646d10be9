// REZ format (variant "3"): the 30-character command frame, the identification
// handshake, blue and red calls and their acknowledgements.

#include "support/fixture.h"
#include "support/frames.h"
#include "support/numbers.h"

#include "console/texts.h"
#include "variants/rez.h"

using namespace dialkite;
using namespace dialkite::test;

namespace {

// STX, line, type, MMDDhhmm, number field, ETX.
QByteArray rezCall(char type, char line, const QByteArray &time, const QByteArray &number)
{
    return framed(QByteArray(1, line) + type + time + blankFilled(number));
}

// Identification: pos 4-17 not read, 18-25 name, 26-29 version.
const QByteArray kIdentification = framed(" P" + QByteArray(14, '-') + "DK-C0001" + "V1.2");

} // namespace

class Rez : public ConsoleTest {
protected:
    Rez() { setVariant("3"); }
};

TEST_F(Rez, CommandFrameOnTheWireAndInTheLog)
{
    struct Case {
        QByteArray port, code, value;
        QByteArray wire;
    };
    const Case cases[] = {
        {" ", "P", " ", QByteArray("\x02\x20\x50\x20") + blanks(25) + "\x03"},
        {"3", "I", " ", QByteArray("\x02\x33\x49\x20") + blanks(25) + "\x03"},
        {"?", "P", " ", "\x02?P " + blanks(25) + "\x03"},
        {"a", "x", " ",
         "\x02"
         "ax " +
             blanks(25) + "\x03"},
        {"", "", "", "\x02" + blanks(28) + "\x03"},
        // Arguments longer than 28 characters are cut so that ETX still goes out.
        {"1", "O", QByteArray(27, '9'),
         "\x02"
         "1O" +
             QByteArray(26, '9') + "\x03"},
        {"1", "O", QByteArray(26, '9'),
         "\x02"
         "1O" +
             QByteArray(26, '9') + "\x03"},
    };
    int row = 1;
    for (const Case &c : cases) {
        link.clearWritten();
        VAZ_Orivir(console, c.port, c.code, c.value);
        EXPECT_EQ(link.written(), c.wire) << c.value.constData();
        EXPECT_EQ(link.writeCalls(), 30);
        EXPECT_EQ(sent(row), QString::fromLatin1(c.wire)) << "every frame is logged";
        ++row;
    }
    EXPECT_EQ(state().SendRow, row);
}

TEST_F(Rez, SendLogWrapAndScroll)
{
    state().SendRow = 9999;
    console.MSFlexGrid2().setTopRow(9989);
    VAZ_Orivir(console, " ", "P", " ");
    EXPECT_EQ(cell(GridId::Sent, 9999, 0), QStringLiteral("9999"));
    EXPECT_EQ(console.MSFlexGrid2().topRow(), 9990); // 10000 - 9989 = 11 > 10
    EXPECT_EQ(state().SendRow, 1);
}

TEST_F(Rez, HandshakeGatesBlueCalls)
{
    const QByteArray call = rezCall('I', '2', "03151407", "0212345678");
    feed(call);
    EXPECT_TRUE(callCell(1, 0).isEmpty()) << "dropped before identification";
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(state().RxBuffer.isEmpty());
    EXPECT_EQ(received(1), QString::fromLatin1(call)) << "still in the receive log";

    feed(kIdentification);
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("DK-C0001"));
    EXPECT_EQ(cell(GridId::Identification, 1, 1), QStringLiteral("Ver V1.2"));
    EXPECT_EQ(link.written(), frame30(" m"));
    EXPECT_EQ(state().IdentifyFlag, 1);
    EXPECT_EQ(state().CallRow, 1);

    link.clearWritten();
    feed(call);
    EXPECT_EQ(callCell(1, 0), QStringLiteral("2"));
    EXPECT_EQ(callCell(1, 1), QStringLiteral("03-15 14:07"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("02-1234-5678"));
    EXPECT_TRUE(callCell(1, 3).isEmpty());
    const Grid &log = console.MSFlexGrid1();
    EXPECT_EQ(log.colour(1, 0), CellColour::Default);
    EXPECT_EQ(log.colour(1, 1), CellColour::Blue);
    EXPECT_EQ(log.colour(1, 2), CellColour::Blue);
    EXPECT_EQ(log.colour(1, 3), CellColour::Default);
    EXPECT_EQ(link.written(), frame30("2I"));
    EXPECT_EQ(state().CallRow, 2);
    EXPECT_EQ(sent(2), QString::fromLatin1(frame30("2I")));
}

TEST_F(Rez, RedCallsAreShownAndAcknowledgedAlways)
{
    feed(rezCall('m', '4', "12251430", "021234567"));
    EXPECT_EQ(callCell(1, 0), QStringLiteral("4"));
    EXPECT_EQ(callCell(1, 1), QStringLiteral("12-25 14:30"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("02-123-4567"));
    EXPECT_EQ(console.MSFlexGrid1().colour(1, 1), CellColour::Red);
    EXPECT_EQ(console.MSFlexGrid1().colour(1, 2), CellColour::Red);
    EXPECT_EQ(link.written(), frame30("4I"));
    EXPECT_EQ(state().IdentifyFlag, 0);
}

TEST_F(Rez, NumbersAndStatesAtPositionTwelve)
{
    state().IdentifyFlag = 1;
    int row = 1;
    for (const NumberCase &c : kNumberCases) {
        feed(rezCall('I', '1', "01010000", c.digits));
        EXPECT_EQ(callCell(row++, 2), c.shown) << c.digits.constData();
    }
    const std::pair<char, QString> states[] = {
        {'P', texts::kWithheld}, {'C', texts::kPublicPhone}, {'O', texts::kNotCollected}};
    for (const auto &[letter, text] : states) {
        link.clearWritten();
        feed(rezCall('I', '3', "01010000", QByteArray(1, letter)));
        EXPECT_EQ(callCell(row++, 2), text);
        EXPECT_EQ(link.written(), frame30("3I"));
    }
    EXPECT_EQ(state().CallRow, row);
}

TEST_F(Rez, CallAtRow9999AcknowledgedAfterTheWrap)
{
    state().CallRow = 9999;
    console.MSFlexGrid1().setTopRow(9970);
    feed(rezCall('m', '1', "01010000", "12345678"));
    EXPECT_EQ(callCell(9999, 2), QStringLiteral("1234-5678"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_EQ(console.MSFlexGrid1().topRow(), 9970); // tested with the wrapped value 1
    EXPECT_EQ(link.written(), frame30("1I"));
}

TEST_F(Rez, CallEndAndUnknownTypes)
{
    state().OutgoingFlag = 1;
    console.setOutgoingCaption(texts::kHangUp);
    feed(framed("1S"));
    EXPECT_EQ(state().OutgoingFlag, 0);
    EXPECT_EQ(console.outgoingCaption(), texts::kDial);
    for (const char *type : {"i", "M", "s", "x"}) {
        feed(framed(QByteArray("1") + type + "01010000" + "12345678    "));
    }
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(callCell(1, 0).isEmpty());
}

TEST_F(Rez, IdentificationAnswerIgnoresTheLine)
{
    feed(framed("3P" + QByteArray(14, '-') + "NAME" + "    " + "V100"));
    EXPECT_EQ(state().ChannelText, QByteArray("3"));
    EXPECT_EQ(link.written(), frame30(" m"));
}
