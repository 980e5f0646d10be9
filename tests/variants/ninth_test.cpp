// A variant the program has never heard of, added the way a new box would be: its own
// decoder and frame builder here, one entry in the table. Nothing else is touched, and
// the selection, the identification request, the dispatcher, the script parser and the
// simulator all serve it.

#include "support/fixture.h"

#include "console/bytes.h"
#include "console/callernumber.h"
#include "operations/identify.h"
#include "operations/select.h"
#if defined(Q_OS_UNIX)
#include "sim/box.h"
#endif
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

// The box's side of the format, as the simulator plays it: from the record table above,
// not from the decoder.
QByteArray ninthCall(const QByteArray &line, const QByteArray &number, bool)
{
    return STX + line + (number == "P" ? QByteArray("W") : "N" + number.leftJustified(16)) + ETX;
}
QByteArray ninthBoxWaitsFor(const QByteArray &line, const QByteArray &number)
{
    return number == "P" ? QByteArray() : ninthAnswer(line);
}
QByteArray ninthIdentification(const QByteArray &name, const QByteArray &)
{
    return STX + QByteArray("?") + name + ETX;
}
const SimulatedRecords kNinthBox{ninthCall, ninthIdentification, nullptr, ninthBoxWaitsFor};

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
                            ninthAnswer("?"),
                            false,
                            2,
                            &kNinthBox});
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

#if defined(Q_OS_UNIX)
TEST_F(NinthVariant, TheSimulatorPlaysItsBoxFromTheTable)
{
    Dialkite_Select(console, qint16(9));
    sim::Box box({9, 1000, 0, std::nullopt, {}, 1});
    QObject::connect(&box, &sim::Box::output, [this](const QByteArray &bytes) { feed(bytes); });
    QString why;
    ASSERT_TRUE(box.call({2, sim::Caller::Number, "0311234567", false, {}}, &why))
        << why.toStdString();
    ASSERT_TRUE(box.call({1, sim::Caller::Withheld, {}, false, {}}, &why));
    // The table says two lines.
    EXPECT_FALSE(box.call({3, sim::Caller::Number, "1", false, {}}, &why));
    EXPECT_EQ(callCell(1, 2), QStringLiteral("031-123-4567"));
    EXPECT_EQ(callCell(2, 2), statusText(NumberStatus::Withheld));
    // The box waited for the console's answer to its call, and got it.
    EXPECT_EQ(box.pendingAcknowledgements(), 1);
    box.fromConsole(link.written());
    EXPECT_EQ(box.pendingAcknowledgements(), 0);
    EXPECT_EQ(box.missingAcknowledgements(), 0);
    // It cannot be reprogrammed to: the box refuses the command as the dialog never sends it.
    QStringList problems;
    QObject::connect(&box, &sim::Box::problem, [&](const QString &t) { problems << t; });
    box.fromConsole(STX + QByteArray("az9") + QByteArray(17, ' ') + ETX);
    EXPECT_EQ(box.variant(), 9);
    EXPECT_EQ(problems.size(), 1);
}
#endif
