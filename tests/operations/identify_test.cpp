// The identification request of each variant, and the answers coming back.

#include "support/fixture.h"
#include "support/frames.h"

#include "operations/identify.h"
#include "operations/select.h"

using namespace dialkite;
using namespace dialkite::test;

class Identify : public ConsoleTest {};

TEST_F(Identify, RequestOfEachVariant)
{
    const QByteArray defaultFrame = "\x02 P" + blanks(18) + "\x03";
    const QByteArray rezFrame = "\x02 P" + blanks(26) + "\x03";
    struct Case {
        const char *code;
        QByteArray wire;
        qint16 identifyFlag;
    };
    const Case cases[] = {
        {"1", defaultFrame, 0}, {"2", defaultFrame, 0},
        {"3", rezFrame, 0},     {"4", "SPE", 0},
        {"5", "?", 1},          {"6", rezFrame, 0},
        {"7", defaultFrame, 0}, {"8", defaultFrame, 0},
        {"0", "", 0},           {"", "", 0},
    };
    for (const Case &c : cases) {
        Harness fresh;
        fresh.setVariant(c.code);
        ReadIdentification_Click(fresh.console);
        EXPECT_EQ(fresh.link.written(), c.wire) << c.code;
        EXPECT_EQ(fresh.state().IdentifyFlag, c.identifyFlag) << c.code;
        EXPECT_EQ(fresh.state().SendRow, c.wire.isEmpty() ? 1 : 2) << c.code;
        EXPECT_EQ(fresh.sent(1), QString::fromLatin1(c.wire)) << c.code;
    }
}

TEST_F(Identify, VariantFiveReplyFillsThePanel)
{
    Dialkite_Select(console, 5);
    ReadIdentification_Click(console);
    feed("\x02"
         "ABCDEFG\x03");
    EXPECT_EQ(cell(GridId::Identification, 1, 0), QStringLiteral("ABCDE"));
    EXPECT_EQ(state().IdentifyFlag, 0);
    EXPECT_EQ(received(1), QStringLiteral("\u0002ABCDEFG\u0003"));
    // Asking again sets the flag again.
    ReadIdentification_Click(console);
    ReadIdentification_Click(console);
    EXPECT_EQ(state().IdentifyFlag, 1);
    EXPECT_EQ(link.written(), QByteArray("???"));
}

TEST_F(Identify, AnswersOfTheOtherVariants)
{
    struct Case {
        int variant;
        QByteArray answer;
        QString name;
        QString version;
    };
    const Case cases[] = {
        {2, "\x02 P      DK-B0001V10\x03", QStringLiteral("DK-B0001"), QStringLiteral("Ver V10")},
        {3, "\x02 P" + QByteArray(14, ' ') + "DK-C0001V1.0\x03", QStringLiteral("DK-C0001"),
         QStringLiteral("Ver V1.0")},
        {4, "\x02P         DK-D001V11E", QStringLiteral("DK-D001"), QStringLiteral("Ver V11")},
        {6, "\x02 P" + QByteArray(14, ' ') + "DK-F001V12\x03", QStringLiteral("DK-F001"),
         QStringLiteral("Ver V12")},
        {8, "\x02 P      DK-H0001V13\x03", QStringLiteral("DK-H0001"), QStringLiteral("Ver V13")},
    };
    for (const Case &c : cases) {
        Harness fresh;
        Dialkite_Select(fresh.console, qint16(c.variant));
        ReadIdentification_Click(fresh.console);
        fresh.feed(c.answer);
        EXPECT_EQ(fresh.cell(GridId::Identification, 1, 0), c.name) << c.variant;
        EXPECT_EQ(fresh.cell(GridId::Identification, 1, 1), c.version) << c.variant;
    }
}
