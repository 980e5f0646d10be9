#include "console/callernumber.h"
#include "console/texts.h"

#include <gtest/gtest.h>

using namespace dialkite;

namespace {

struct Grouping {
    const char *digits;
    const char *shown;
};

// Well-formed numbers of every length the box reports, grouped by hand.
const Grouping kGroupings[] = {
    {"021234567", "02-123-4567"},        {"0212345678", "02-1234-5678"},
    {"0311234567", "031-123-4567"},      {"01012345678", "010-1234-5678"},
    {"12345678", "1234-5678"},           {"12345678901", "1-234-567-8901"},
    {"123456789012", "12-345-678-9012"},
};

// The number field at position p: p-1 bytes in front, the digits, then the end.
QByteArray numberRecord(int p, const char *digits, const char *end)
{
    return QByteArray(p - 1, 'x') + digits + end;
}

struct Instance {
    int p;
    char e;
    const char *end; // what the box puts after the digits
};

const Instance kInstances[] = {
    {4, ' ', "            \x03"},  // default records, blank filled
    {5, ' ', "            \x03"},  // multi-line
    {12, ' ', "            \x03"}, // REZ, ZUD
    {12, 'E', "E"},                // RORIVU: the number runs straight into "E"
    {1, ' ', " "},                 // ZURAZA line text: one blank appended
};

} // namespace

TEST(CallerNumberText, GroupsEveryLengthAtEveryDecodersPosition)
{
    for (const Instance &instance : kInstances) {
        for (const Grouping &g : kGroupings) {
            const QByteArray record = numberRecord(instance.p, g.digits, instance.end);
            EXPECT_EQ(callerNumberText(record, instance.p, instance.e, letterMarkers()),
                      QString::fromLatin1(g.shown))
                << "p=" << instance.p << " digits=" << g.digits;
        }
    }
}

TEST(CallerNumberText, EndCharacterDecidesTheLength)
{
    // Eight digits followed by "E" are not ended by a blank: no 4-4 row applies and the
    // 2-3-3-4 row takes the "E" along.
    EXPECT_EQ(callerNumberText("12345678E", 1, ' ', letterMarkers()),
              QStringLiteral("12-345-678-E"));
    EXPECT_EQ(callerNumberText("12345678E", 1, 'E', letterMarkers()), QStringLiteral("1234-5678"));
}

TEST(CallerNumberText, ShortRecordsFallThroughToTheLastRows)
{
    // Nine digits beginning "03" and one blank, nothing after: position p+10 does not
    // exist, so 3-4-4 applies and the last group holds two digits and the blank.
    EXPECT_EQ(callerNumberText("xxx031123456 ", 4, ' ', letterMarkers()),
              QStringLiteral("031-1234-56 "));
    EXPECT_EQ(callerNumberText("", 1, ' ', letterMarkers()), QStringLiteral("---"));
    EXPECT_EQ(callerNumberText("\x02"
                               "1I",
                               4, ' ', letterMarkers()),
              QStringLiteral("---"));
    EXPECT_EQ(callerNumberText(" ", 1, ' ', zurazaMarkers()), QStringLiteral(" ---"));
    EXPECT_EQ(callerNumberText("0", 1, ' ', letterMarkers()), QStringLiteral("0--"));
}

TEST(CallerNumberText, MarkersOfEachDecoder)
{
    struct Case {
        const char *record;
        int p;
        std::span<const NumberMarker> markers;
        QString shown;
    };
    const Case cases[] = {
        {"xxxP           ", 4, letterMarkers(), texts::kWithheld},
        {"xxxC           ", 4, letterMarkers(), texts::kPublicPhone},
        {"xxxO           ", 4, letterMarkers(), texts::kNotCollected},
        {"xxxxxxxxxxx@P          ", 12, atMarkers(), texts::kWithheld},
        {"xxxxxxxxxxx@C          ", 12, atMarkers(), texts::kPublicPhone},
        {"xxxxxxxxxxx@O          ", 12, atMarkers(), texts::kNotCollected},
        // Without "@" a ZUD letter is the first character of a number.
        {"xxxxxxxxxxxO2345678    ", 12, atMarkers(), QStringLiteral("O234-5678")},
        {"xxxxxxxxxxxP2345678    ", 12, atMarkers(), QStringLiteral("P234-5678")},
        {"C ", 1, zurazaMarkers(), texts::kPublicPhone},
        {"O ", 1, zurazaMarkers(), texts::kNotCollected},
        // ZURAZA has no withheld marker: "P" starts a number.
        {"P1234567 ", 1, zurazaMarkers(), QStringLiteral("P123-4567")},
        {"P1234567 ", 1, letterMarkers(), texts::kWithheld},
        // Markers are case-sensitive.
        {"p1234567 ", 1, letterMarkers(), QStringLiteral("p123-4567")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(callerNumberText(c.record, c.p, ' ', c.markers), c.shown) << c.record;
}

TEST(CallerNumberText, BytesAboveAsciiShowAsLatin1)
{
    EXPECT_EQ(callerNumberText("\xC5"
                               "2345678 ",
                               1, ' ', letterMarkers()),
              QStringLiteral("\u00C5"
                             "234-5678"));
}
