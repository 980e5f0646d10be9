// Choosing the box variant.

#include "support/fixture.h"

#include "console/texts.h"
#include "operations/select.h"

using namespace dialkite;
using namespace dialkite::test;

namespace {

const QString kSection = QStringLiteral("DIALKITE");
const QString kKey = QStringLiteral("NUM");

} // namespace

class Select : public ConsoleTest {
protected:
    // Something in every log and panel, and the counters and top rows moved.
    void fillScreen()
    {
        state().IdentifyFlag = 1;
        setVariant("3");
        feed(framed("1m01010000"
                    "12345678    "));
        feed(framed(" P" + QByteArray(14, ' ') + "NAMENAMEVERS"));
        feed(framed("ax2"));
        for (const GridId id : {GridId::Calls, GridId::Sent, GridId::Received})
            console.grid(id).setTopRow(5);
        feed("\x02"
             "1I02"); // half a record
    }
};

TEST_F(Select, EveryVariantNameAndCode)
{
    const char *names[] = {"DK-A", "DK-B", "DK-C", "DK-D", "DK-E", "DK-F", "DK-G", "DK-H"};
    for (qint16 number = 1; number <= 8; ++number) {
        Dialkite_Select(console, number);
        EXPECT_EQ(state().VariantCode, QString::number(number));
        EXPECT_EQ(cell(GridId::Device, 1, 0), QString::fromLatin1(names[number - 1]));
        EXPECT_EQ(settings.read(kSection, kKey), QString::number(number));
    }
}

TEST_F(Select, EmptiesTheLogsAndTheIdentification)
{
    fillScreen();
    ASSERT_EQ(state().CallRow, 2);
    Dialkite_Select(console, 7);
    for (const GridId id : {GridId::Calls, GridId::Sent, GridId::Received}) {
        const Grid &log = console.grid(id);
        EXPECT_EQ(log.topRow(), 1);
        for (int row = 1; row < 5; ++row) {
            for (int column = 0; column < log.columns(); ++column) {
                EXPECT_TRUE(log.text(row, column).isEmpty());
                EXPECT_EQ(log.colour(row, column), CellColour::Default) << "colours go too";
            }
        }
    }
    EXPECT_EQ(callCell(0, 2), texts::kNumberReceived);
    EXPECT_EQ(cell(GridId::Sent, 0, 1), texts::kSentData);
    EXPECT_EQ(cell(GridId::Received, 0, 1), texts::kReceivedData);
    EXPECT_EQ(state().CallRow, 1);
    EXPECT_EQ(state().SendRow, 1);
    EXPECT_EQ(state().ReceiveRow, 1);
    EXPECT_TRUE(cell(GridId::Identification, 1, 0).isEmpty());
    EXPECT_TRUE(cell(GridId::Identification, 1, 1).isEmpty());
    EXPECT_EQ(cell(GridId::Identification, 0, 1), QStringLiteral("버  젼"));
    // Untouched: the port and detection panels, the flag, the half record.
    EXPECT_EQ(cell(GridId::Detection, 1, 0), texts::kDetectRing);
    EXPECT_EQ(cell(GridId::Port, 1, 0), QStringLiteral("COM "));
    EXPECT_EQ(state().IdentifyFlag, 1);
    EXPECT_EQ(state().RxBuffer, QByteArray("\x02"
                                           "1I02"));
}

TEST_F(Select, SameVariantAgainStillEmptiesTheLogs)
{
    Dialkite_Select(console, 1);
    feed(framed("1I12345678    "));
    Dialkite_Select(console, 1);
    EXPECT_TRUE(callCell(1, 2).isEmpty());
    EXPECT_EQ(state().CallRow, 1);
}

TEST_F(Select, NoChoiceChangesNothing)
{
    fillScreen();
    settings.write(kSection, kKey, QStringLiteral("3"));
    Dialkite_Select(console, std::nullopt);
    EXPECT_EQ(state().VariantCode, QStringLiteral("3"));
    EXPECT_EQ(settings.read(kSection, kKey), QStringLiteral("3"));
    EXPECT_EQ(state().CallRow, 2);
    EXPECT_FALSE(callCell(1, 2).isEmpty());
    EXPECT_EQ(console.MSFlexGrid1().colour(1, 1), CellColour::Red);
}

TEST_F(Select, UnwritableSettingsFileStillSwitches)
{
    QTemporaryDir other;
    Settings nowhere(other.filePath(QStringLiteral("missing/folder/Dial Kite.ini")));
    RecordingLink l;
    RecordingView v;
    Console c(l, v, nowhere);
    c.Form_Load();
    c.Timer2_Timer();
    Dialkite_Select(c, 4);
    EXPECT_EQ(c.state().VariantCode, QStringLiteral("4"));
    EXPECT_EQ(c.MSFlexGrid4().text(1, 0), QStringLiteral("DK-D"));
}

TEST_F(Select, NewVariantFramesTheNextByte)
{
    feed("\x02"
         "1I021");
    Dialkite_Select(console, 4);
    feed("234567   E");
    // The half record from before is dispatched with the first record of the new
    // variant, at its end letter.
    EXPECT_EQ(received(1), QStringLiteral("\u00021I021234567   E"));
}
