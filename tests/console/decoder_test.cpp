// Dispatch by variant and the default record format.

#include "support/fixture.h"

#include "console/texts.h"

using namespace dialkite;
using namespace dialkite::test;

class DefaultDecoder : public ConsoleTest {};

TEST_F(DefaultDecoder, CallerRecords)
{
    struct Case {
        QByteArray body;
        const char *channel;
        QString number;
    };
    const Case cases[] = {
        {"1I021234567   ", "1", QStringLiteral("02-123-4567")},
        {"1I03112345678 ", "1", QStringLiteral("031-1234-5678")},
        {"2I12345678    ", "2", QStringLiteral("1234-5678")},
        {"3IP           ", "3", texts::kWithheld},
        {"3IC           ", "3", texts::kPublicPhone},
        {"3IO           ", "3", texts::kNotCollected},
        {"4I0212345678  ", "4", QStringLiteral("02-1234-5678")},
    };
    int row = 1;
    for (const Case &c : cases) {
        feed(framed(c.body));
        EXPECT_EQ(callCell(row, 0), QString::fromLatin1(c.channel)) << c.body.constData();
        EXPECT_EQ(callCell(row, 2), c.number) << c.body.constData();
        EXPECT_TRUE(callCell(row, 1).isEmpty());
        EXPECT_TRUE(callCell(row, 3).isEmpty());
        EXPECT_EQ(state().ChannelText, QByteArray(c.channel));
        ++row;
        EXPECT_EQ(state().CallRow, row);
    }
}

TEST_F(DefaultDecoder, IdentificationReplyFillsThePanelOnly)
{
    // Positions 4-9 unused, 10-17 name, 18-20 version.
    feed(framed(" P123456DIALKITE1.2   "));
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("DIALKITE"));
    EXPECT_EQ(cell(GridId::Identification, 1, 1), QStringLiteral("Ver 1.2"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(state().RxBuffer.isEmpty());
}

TEST_F(DefaultDecoder, CallEndFreesTheDialButton)
{
    state().OutgoingFlag = 1;
    console.setOutgoingCaption(texts::kHangUp);
    feed(framed("2S"));
    EXPECT_EQ(state().OutgoingFlag, 0);
    EXPECT_EQ(console.outgoingCaption(), texts::kDial);
    EXPECT_EQ(view.caption(), texts::kDial);
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(callCell(1, 0).isEmpty());
}

TEST_F(DefaultDecoder, OtherTypesOnlyEmptyTheBuffer)
{
    feed(framed("1R021234567"));
    feed(framed(""));
    feed(framed("1"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(callCell(1, 0).isEmpty());
    EXPECT_TRUE(state().RxBuffer.isEmpty());
    EXPECT_EQ(state().ReceiveRow, 4);
}

TEST_F(DefaultDecoder, CallLogWrapsAndScrolls)
{
    state().CallRow = 9999;
    console.MSFlexGrid1().setTopRow(9970);
    feed(framed("1I12345678    "));
    EXPECT_EQ(callCell(9999, 2), QStringLiteral("1234-5678"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_EQ(console.MSFlexGrid1().topRow(), 9970);

    console.MSFlexGrid1().setTopRow(1);
    state().CallRow = 32; // becomes 33: 33 - 1 = 32, no scroll
    feed(framed("1I12345678    "));
    EXPECT_EQ(console.MSFlexGrid1().topRow(), 1);
    feed(framed("1I12345678    ")); // 34 - 1 = 33
    EXPECT_EQ(console.MSFlexGrid1().topRow(), 2);
}

TEST_F(DefaultDecoder, CodesWithoutDecoderOfTheirOwnUseIt)
{
    for (const char *code : {"", "0", "1", "2", "9"}) {
        Harness fresh;
        fresh.setVariant(code);
        fresh.feed(framed("1I12345678    "));
        EXPECT_EQ(fresh.callCell(1, 2), QStringLiteral("1234-5678")) << code;
    }
}

TEST_F(DefaultDecoder, VariantDecodersTakeTheirCodes)
{
    // A default-format caller record means nothing to the other formats' decoders:
    // they do not write it as the default decoder would, and the buffer is emptied.
    for (const char *code : {"3", "4", "6", "7", "8"}) {
        Harness fresh;
        fresh.setVariant(code);
        fresh.feed(framed("1I12345678    "));
        EXPECT_NE(fresh.callCell(1, 2), QStringLiteral("1234-5678")) << code;
        EXPECT_TRUE(fresh.state().RxBuffer.isEmpty()) << code;
    }
}
