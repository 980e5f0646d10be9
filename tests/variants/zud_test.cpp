// ZUD format (variant "6"): time field, "@" state codes, no acknowledgement.

#include "support/fixture.h"
#include "support/numbers.h"

#include "console/texts.h"

using namespace dialkite;
using namespace dialkite::test;

namespace {

QByteArray zudCall(char line, const QByteArray &time, const QByteArray &number)
{
    return framed(QByteArray(1, line) + 'I' + time + blankFilled(number));
}

} // namespace

class Zud : public ConsoleTest {
protected:
    Zud() { setVariant("6"); }
};

TEST_F(Zud, CallRecords)
{
    feed(zudCall('1', "12251430", "021234567"));
    EXPECT_EQ(callCell(1, 0), QStringLiteral("1"));
    EXPECT_EQ(callCell(1, 1), QStringLiteral("12-25 14:30"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("02-123-4567"));
    EXPECT_EQ(console.MSFlexGrid1().colour(1, 1), CellColour::Default);
    EXPECT_EQ(state().CallRow, 2);
    int row = 2;
    for (const NumberCase &c : kNumberCases) {
        feed(zudCall('2', "12251430", c.digits));
        EXPECT_EQ(callCell(row++, 2), c.shown) << c.digits.constData();
    }
    EXPECT_TRUE(link.written().isEmpty());
}

TEST_F(Zud, StateCodesNeedTheAt)
{
    struct Case {
        QByteArray field;
        QString shown;
    };
    const Case cases[] = {
        {"@P", texts::kWithheld},
        {"@C", texts::kPublicPhone},
        {"@O", texts::kNotCollected},
        // Without "@" a letter starts a number not beginning with 0.
        {"P2345678", QStringLiteral("P234-5678")},
        {"C", QStringLiteral("C   -    ")},
        {"O2345678901", QStringLiteral("O-234-567-8901")},
    };
    int row = 1;
    for (const Case &c : cases) {
        feed(zudCall('3', "01010000", c.field));
        EXPECT_EQ(callCell(row++, 2), c.shown) << c.field.constData();
    }
}

TEST_F(Zud, IdentificationAndCallEnd)
{
    // pos 4-17 not read, 18-24 name, 25-27 version.
    feed(framed("1P" + QByteArray(14, '-') + "DK-F001" + "V13" + "rest"));
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("DK-F001"));
    EXPECT_EQ(cell(GridId::Identification, 1, 1), QStringLiteral("Ver V13"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(link.written().isEmpty());

    state().OutgoingFlag = 1;
    feed(framed("2S"));
    EXPECT_EQ(state().OutgoingFlag, 0);
    EXPECT_EQ(console.outgoingCaption(), texts::kDial);
    feed(framed("2X"));
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_TRUE(state().RxBuffer.isEmpty());
}
