// Receive framing: how bytes become records in every variant, the hook/ring status
// answer, the receive log with its scrolling and wrap, and the buffer bound.

#include "support/fixture.h"

#include "console/texts.h"

#include <QRandomGenerator>

using namespace dialkite;
using namespace dialkite::test;

namespace {

const QByteArray kCall = framed("1I021234567   ");

} // namespace

class Framing : public ConsoleTest {};

TEST_F(Framing, RecordSplitAtEveryOffsetIsOneRecord)
{
    for (qsizetype split = 0; split <= kCall.size(); ++split) {
        Harness fresh;
        fresh.feed(kCall.left(split));
        fresh.feed(kCall.mid(split));
        EXPECT_EQ(fresh.received(1), QString::fromLatin1(kCall)) << "split at " << split;
        EXPECT_EQ(fresh.callCell(1, 2), QStringLiteral("02-123-4567")) << "split at " << split;
        EXPECT_EQ(fresh.state().ReceiveRow, 2);
        EXPECT_EQ(fresh.state().CallRow, 2);
        EXPECT_TRUE(fresh.state().RxBuffer.isEmpty());
    }
}

TEST_F(Framing, ByteByByteEventsAndSeveralRecordsInOneEvent)
{
    for (const char byte : kCall)
        feed(QByteArray(1, byte));
    feed(framed("2I12345678    ") + framed("3IP           ") + framed("4IC           "));
    EXPECT_EQ(state().ReceiveRow, 5);
    EXPECT_EQ(callCell(1, 2), QStringLiteral("02-123-4567"));
    EXPECT_EQ(callCell(2, 0), QStringLiteral("2"));
    EXPECT_EQ(callCell(2, 2), QStringLiteral("1234-5678"));
    EXPECT_EQ(callCell(3, 2), texts::kWithheld);
    EXPECT_EQ(callCell(4, 2), texts::kPublicPhone);
}

TEST_F(Framing, NoiseBeforeStxBelongsToTheNextRecord)
{
    feed("zz" + kCall);
    // Positions shift by two: the type position holds STX and the record is ignored,
    // but the log shows everything that came.
    EXPECT_EQ(received(1), QStringLiteral("zz") + QString::fromLatin1(kCall));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(state().RxBuffer.isEmpty());
}

TEST_F(Framing, BytesWithoutEndStayBufferedAcrossEvents)
{
    feed("\x02"
         "1I0212");
    EXPECT_EQ(state().RxBuffer, QByteArray("\x02"
                                           "1I0212"));
    EXPECT_EQ(state().ReceiveRow, 1);
    EXPECT_EQ(state().RxByte, '2');
}

TEST_F(Framing, HookRingStatusGoesToItsPanelOnly)
{
    struct Case {
        char setting;
        QString shown;
    };
    const Case cases[] = {
        {'0', texts::kDetectNone}, {'1', texts::kDetectHook}, {'2', texts::kDetectRing}};
    for (const Case &c : cases) {
        feed(framed(QByteArray("ax") + c.setting));
        EXPECT_EQ(cell(GridId::Detection, 1, 0), c.shown);
        EXPECT_TRUE(state().RxBuffer.isEmpty());
    }
    // Another digit is dropped silently and leaves the last reading.
    feed(framed("ax7"));
    EXPECT_EQ(cell(GridId::Detection, 1, 0), texts::kDetectRing);
    EXPECT_TRUE(state().RxBuffer.isEmpty());
    // Longer answers are read by their fourth character alone.
    feed(framed("ax0 more"));
    EXPECT_EQ(cell(GridId::Detection, 1, 0), texts::kDetectNone);
    EXPECT_EQ(state().ReceiveRow, 1);
    EXPECT_EQ(state().CallRow, 1);
}

TEST_F(Framing, HookRingStatusIsRecognisedInEveryVariantButFive)
{
    for (const char *code : {"", "0", "1", "2", "3", "4", "6", "7", "8"}) {
        Harness fresh;
        fresh.setVariant(code);
        fresh.feed(framed("ax1"));
        EXPECT_EQ(fresh.cell(GridId::Detection, 1, 0), texts::kDetectHook) << code;
        EXPECT_EQ(fresh.state().ReceiveRow, 1) << code;
    }
    setVariant("5");
    feed(framed("ax1"));
    EXPECT_TRUE(cell(GridId::Detection, 1, 0).isEmpty());
}

TEST_F(Framing, VariantFourEndsRecordsAtE)
{
    setVariant("4");
    feed("\x02"
         "S"
         "E"
         "xy\x03");
    EXPECT_EQ(received(1), QStringLiteral("\u0002SE"));
    EXPECT_EQ(received(2), QStringLiteral("xy\u0003"));
    EXPECT_TRUE(state().RxBuffer.isEmpty());
    // Only variant "4" ends at "E".
    setVariant("1");
    feed("SE");
    EXPECT_EQ(state().RxBuffer, QByteArray("SE"));
}

TEST_F(Framing, VariantFiveSortsBytesIntoLinesByValue)
{
    setVariant("5");
    struct Case {
        quint8 byte;
        int line;
        char stored;
    };
    const Case cases[] = {
        {0x00, 1, 0x00}, {0x35, 1, 0x35}, {0x4F, 1, 0x4F}, {0x50, 2, 0x10},
        {0x75, 2, 0x35}, {0x8F, 2, 0x4F}, {0x90, 3, 0x10}, {0xB5, 3, 0x35},
        {0xCF, 3, 0x4F}, {0xD0, 4, 0x10}, {0xF5, 4, 0x35}, {0xFE, 4, 0x3E},
    };
    for (const Case &c : cases) {
        Harness fresh;
        fresh.setVariant("5");
        fresh.feed(QByteArray(1, char(c.byte)));
        for (int line = 1; line <= 4; ++line) {
            const QByteArray expected = line == c.line ? QByteArray(1, c.stored) : QByteArray();
            EXPECT_EQ(fresh.state().LineBuffer[line - 1], expected)
                << "byte " << int(c.byte) << " line " << line;
        }
        EXPECT_EQ(fresh.state().RxByte, quint8(c.stored));
        EXPECT_TRUE(fresh.state().RxBuffer.isEmpty());
    }
    feed("\xFF");
    for (const QByteArray &buffer : state().LineBuffer)
        EXPECT_TRUE(buffer.isEmpty());
}

TEST_F(Framing, VariantFiveIdentificationReplyStopsTheEvent)
{
    setVariant("5");
    state().IdentifyFlag = 1;
    feed(framed("V1.00X") + "\x75");
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("V1.00"));
    EXPECT_EQ(received(1), QStringLiteral("\u0002V1.00X\u0003"));
    EXPECT_EQ(state().IdentifyFlag, 0);
    EXPECT_TRUE(state().RxBuffer.isEmpty());
    // The byte after ETX waits for the next receive event, then is routed by value.
    EXPECT_EQ(link.pending(), QByteArray("\x75"));
    EXPECT_TRUE(state().LineBuffer[1].isEmpty());
    feed("");
    EXPECT_EQ(state().LineBuffer[1], QByteArray("5"));
}

TEST_F(Framing, VariantFiveShortIdentificationReply)
{
    setVariant("5");
    state().IdentifyFlag = 1;
    feed(framed("V1"));
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("V1\u0003"));
}

TEST_F(Framing, ReceiveLogWrapsAfterRow9999WithoutJumpingBack)
{
    state().ReceiveRow = 9999;
    console.MSFlexGrid3().setTopRow(9980);
    feed(framed("x"));
    EXPECT_EQ(cell(GridId::Received, 9999, 0), QStringLiteral("9999"));
    EXPECT_EQ(state().ReceiveRow, 1);
    feed(framed("y"));
    EXPECT_EQ(cell(GridId::Received, 1, 0), QStringLiteral("1"));
    EXPECT_EQ(received(1), QStringLiteral("\u0002y\u0003"));
    EXPECT_EQ(state().ReceiveRow, 2);
    EXPECT_EQ(console.MSFlexGrid3().topRow(), 9980);
}

TEST_F(Framing, ReceiveLogScrollsWhenMoreThan20RowsBelowTop)
{
    // The row being written is compared with the top before the counter moves.
    state().ReceiveRow = 21;
    feed(framed("x"));
    EXPECT_EQ(console.MSFlexGrid3().topRow(), 1);
    feed(framed("x")); // row 22: 22 - 1 = 21 > 20
    EXPECT_EQ(console.MSFlexGrid3().topRow(), 2);
    feed(framed("x")); // row 23: 23 - 2 = 21
    EXPECT_EQ(console.MSFlexGrid3().topRow(), 3);
}

TEST_F(Framing, FullBufferIsLoggedAndEmptiedBeforeTheNextByte)
{
    const QByteArray noise(Console::kBufferLimit, 'n');
    feed(noise);
    EXPECT_EQ(state().RxBuffer.size(), Console::kBufferLimit);
    EXPECT_EQ(state().ReceiveRow, 1);
    feed("m");
    EXPECT_EQ(received(1), QString::fromLatin1(noise));
    EXPECT_EQ(state().ReceiveRow, 2);
    EXPECT_EQ(state().RxBuffer, QByteArray("m"));
}

TEST_F(Framing, FullLineBufferIsLoggedWithoutOffsetsAndNotDecoded)
{
    setVariant("5");
    feed(QByteArray(Console::kBufferLimit, '\x75'));
    feed("\x76");
    EXPECT_EQ(received(1), QString(Console::kBufferLimit, QLatin1Char('5')));
    EXPECT_EQ(state().LineBuffer[1], QByteArray("6"));
    EXPECT_EQ(state().CallRow, 1);
}

TEST_F(Framing, RandomBytesNeverGrowBuffersInAnyVariant)
{
    for (const char *code : {"1", "2", "3", "4", "5", "6", "7", "8"}) {
        Harness fresh;
        fresh.setVariant(code);
        QRandomGenerator random(20261207);
        for (int event = 0; event < 300; ++event) {
            QByteArray chunk(random.bounded(1, 200), '\0');
            for (char &byte : chunk)
                byte = char(random.bounded(256));
            if (event % 50 == 0)
                fresh.state().IdentifyFlag = 1;
            fresh.feed(chunk);
            ASSERT_LE(fresh.state().RxBuffer.size(), Console::kBufferLimit) << code;
            for (const QByteArray &line : fresh.state().LineBuffer)
                ASSERT_LE(line.size(), Console::kBufferLimit) << code;
        }
        EXPECT_GE(fresh.state().CallRow, 1);
        EXPECT_LE(fresh.state().CallRow, 9999);
    }
}
