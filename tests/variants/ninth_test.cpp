// A variant the program has never heard of, added the way a new box would be: its own
// decoder and frame builder here, one entry in the table. Nothing else is touched, and
// the selection, the identification request, the dispatcher and the script parser all
// serve it.

#include "support/fixture.h"

#include "console/bytes.h"
#include "console/callernumber.h"
#include "operations/identify.h"
#include "operations/select.h"
#include "scenario/script.h"

using namespace dialkite;
using namespace dialkite::test;

namespace {

// The made-up "N9" format: STX, line, type, body, ETX.
//   type "N"  call: pos 4.. the digits, blank filled; shown red;
//             answer: STX, "K", line, ETX
//   type "W"  withheld; no answer
QByteArray ninthAnswer(const QByteArray &line)
{
    return STX + QByteArray("K") + line + ETX;
}

void ninthDecoder(const Record &record, RecordSink &sink)
{
    const QByteArray type = at(record.bytes, 3);
    if (type == "N") {
        sink.writeCaller({record.channel, std::nullopt,
                          callerNumber(record.bytes, 4, ' ', letterMarkers()), CellColour::Red});
        sink.sendFrame(ninthAnswer(record.channel));
    } else if (type == "W") {
        sink.writeCaller({record.channel,
                          std::nullopt,
                          {NumberStatus::Withheld, {}, statusText(NumberStatus::Withheld)}});
    }
}

class NinthVariant : public ConsoleTest {
protected:
    NinthVariant()
        : m_saved(variantTable())
    {
        variantTable().add({VariantId(9),
                            QStringLiteral("DK-I"),
                            QStringLiteral("I4"),
                            {},
                            {},
                            RecordFraming::Etx,
                            RecordFormat::Default,
                            2,
                            1,
                            ninthDecoder,
                            ninthAnswer("?")});
    }
    ~NinthVariant() override { variantTable() = m_saved; }

private:
    VariantTable m_saved;
};

} // namespace

TEST_F(NinthVariant, IsSelectedIdentifiedAndDecodedThroughTheTable)
{
    Dialkite_Select(console, qint16(9));
    EXPECT_EQ(state().VariantCode, QStringLiteral("9"));
    EXPECT_EQ(cell(GridId::Device, 1, 0), QStringLiteral("DK-I"));

    ReadIdentification_Click(console);
    EXPECT_EQ(link.written(), QByteArray("\x02K?\x03"));
    link.clearWritten();

    feed(framed("2N0311234567   ") + framed("3W") + framed("1X"));
    EXPECT_EQ(callCell(1, 0), QStringLiteral("2"));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("031-123-4567"));
    EXPECT_EQ(console.grid(GridId::Calls).colour(1, 2), CellColour::Red);
    EXPECT_EQ(callCell(2, 2), statusText(NumberStatus::Withheld));
    EXPECT_EQ(state().CallRow, 3);
    EXPECT_EQ(received(3), QStringLiteral("\u00021X\u0003"));
    EXPECT_EQ(link.written(), QByteArray("\x02K2\x03"));
    EXPECT_EQ(sent(2), QStringLiteral("\u0002K2\u0003"));
}

TEST_F(NinthVariant, ScriptsMayChooseIt)
{
    EXPECT_TRUE(scenario::parseScript("select 9\n").error.isEmpty());
    // It cannot be reprogrammed to, so the reprogramming dialog still ends at 6.
    EXPECT_FALSE(scenario::parseScript("reprogram 7\n").error.isEmpty());
}
