// RORIVU format (variant "4"): "S?E" command frames, records ending at "E", the
// identification handshake.

#include "support/fixture.h"
#include "support/numbers.h"

#include "console/texts.h"
#include "variants/rez.h"
#include "variants/rorivu.h"

using namespace dialkite;
using namespace dialkite::test;

namespace {

// STX, type, line, MMDDhhmm, the digits, "E".
QByteArray rorivuCall(char type, char line, const QByteArray &time, const QByteArray &number)
{
    return "\x02" + QByteArray(1, type) + line + time + number + "E";
}

// Identification: pos 3-11 not read, 12-18 name, 19-21 version, then the end "E".
const QByteArray kIdentification = "\x02P" + QByteArray(9, '-') + "DK-D001" + "V12" + "E";

} // namespace

class Rorivu : public ConsoleTest {
protected:
    Rorivu() { setVariant("4"); }
};

TEST_F(Rorivu, CommandFrameIsThreeCharacters)
{
    struct Case {
        QByteArray code;
        QByteArray wire;
    };
    const Case cases[] = {
        {"P", QByteArray("\x53\x50\x45")},
        {"M", "SME"},
        {"I", "SIE"},
        {"PX", "SPE"}, // one command character; the frame keeps its "E"
        {"", "SE"},
    };
    int row = 1;
    for (const Case &c : cases) {
        link.clearWritten();
        RORIVU_Opcode(console, c.code);
        EXPECT_EQ(link.written(), c.wire) << c.code.constData();
        EXPECT_EQ(link.writeCalls(), c.wire.size());
        EXPECT_EQ(sent(row++), QString::fromLatin1(c.wire));
    }
}

TEST_F(Rorivu, AllBuildersShareOneSendLogSequence)
{
    console.MakeOpcode(" ", "P", " ");
    VAZ_Orivir(console, " ", "P", " ");
    RORIVU_Opcode(console, "P");
    EXPECT_EQ(cell(GridId::Sent, 3, 0), QStringLiteral("3"));
    EXPECT_EQ(sent(3), QStringLiteral("SPE"));
    state().SendRow = 9999;
    RORIVU_Opcode(console, "P");
    RORIVU_Opcode(console, "I");
    EXPECT_EQ(sent(9999), QStringLiteral("SPE"));
    EXPECT_EQ(sent(1), QStringLiteral("SIE"));
}

TEST_F(Rorivu, SendLogScrollsTenRowsBelowTop)
{
    state().SendRow = 10; // 11 - 1 = 10: no scroll
    RORIVU_Opcode(console, "I");
    EXPECT_EQ(console.MSFlexGrid2().topRow(), 1);
    state().SendRow = 11; // 12 - 1 = 11
    RORIVU_Opcode(console, "I");
    EXPECT_EQ(console.MSFlexGrid2().topRow(), 2);
}

TEST_F(Rorivu, HandshakeGatesBlueCalls)
{
    const QByteArray call = rorivuCall('I', '2', "12251430", "021234567");
    feed(call);
    EXPECT_TRUE(callCell(1, 0).isEmpty());
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(state().SendRow, 1);
    EXPECT_EQ(received(1), QString::fromLatin1(call));

    feed(kIdentification);
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("DK-D001"));
    EXPECT_EQ(cell(GridId::Identification, 1, 1), QStringLiteral("Ver V12"));
    EXPECT_EQ(link.written(), QByteArray("SME"));
    EXPECT_EQ(state().SendRow, 2);
    EXPECT_EQ(state().IdentifyFlag, 1);

    link.clearWritten();
    feed(call);
    EXPECT_EQ(callCell(1, 0), QStringLiteral("2"));
    EXPECT_EQ(callCell(1, 1), QStringLiteral("12-25 14:30"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("02-123-4567"));
    EXPECT_EQ(console.MSFlexGrid1().colour(1, 0), CellColour::Default);
    EXPECT_EQ(console.MSFlexGrid1().colour(1, 1), CellColour::Blue);
    EXPECT_EQ(console.MSFlexGrid1().colour(1, 2), CellColour::Blue);
    EXPECT_EQ(link.written(), QByteArray("SIE"));
    EXPECT_EQ(state().ChannelText, QByteArray("2"));
}

TEST_F(Rorivu, RedCallsBeforeIdentification)
{
    feed(rorivuCall('M', '3', "01020304", "12345678"));
    EXPECT_EQ(callCell(1, 0), QStringLiteral("3"));
    EXPECT_EQ(callCell(1, 1), QStringLiteral("01-02 03:04"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("1234-5678"));
    EXPECT_EQ(console.MSFlexGrid1().colour(1, 2), CellColour::Red);
    EXPECT_EQ(link.written(), QByteArray("SIE"));
}

TEST_F(Rorivu, NumbersRunIntoTheEnd)
{
    int row = 1;
    for (const NumberCase &c : kNumberCases) {
        feed(rorivuCall('M', '1', "12251430", c.digits));
        EXPECT_EQ(callCell(row++, 2), c.shown) << c.digits.constData();
    }
    const std::pair<char, QString> states[] = {
        {'P', texts::kWithheld}, {'C', texts::kPublicPhone}, {'O', texts::kNotCollected}};
    for (const auto &[letter, text] : states) {
        link.clearWritten();
        feed(rorivuCall('M', '1', "12251430", QByteArray(1, letter)));
        EXPECT_EQ(callCell(row++, 2), text);
        EXPECT_EQ(link.written(), QByteArray("SIE"));
    }
}

TEST_F(Rorivu, CallEndAndOtherTypes)
{
    state().OutgoingFlag = 1;
    feed("\x02S1E");
    EXPECT_EQ(state().OutgoingFlag, 0);
    EXPECT_EQ(console.outgoingCaption(), texts::kDial);
    feed("\x02X1E");
    feed("\x02m1E");
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(state().RxBuffer.isEmpty());
}

TEST_F(Rorivu, CallAtRow9999IsStillAcknowledged)
{
    state().CallRow = 9999;
    feed(rorivuCall('M', '1', "12251430", "12345678"));
    EXPECT_EQ(callCell(9999, 2), QStringLiteral("1234-5678"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_EQ(link.written(), QByteArray("SIE"));
}
