// Every variant the console serves, declared once. Adding a variant is a file pair with
// its decoder (and frame builder, if it has its own) plus one entry here.

#include "console/decoder.h"
#include "console/variant.h"

#include "multiline.h"
#include "rez.h"
#include "rorivu.h"
#include "zud.h"
#include "zuraza.h"

namespace dialkite {

namespace {

VariantTable builtIn()
{
    const QByteArray defaultRequest = opcodeFrame(" ", "P", " ");
    const QByteArray rezRequest = rezFrame(" ", "P", " ");
    VariantTable table;
    table.add({VariantId(1), QStringLiteral("DK-A"), QStringLiteral("A1/A2/A4"),
               QStringLiteral("A2/A4"), "1", RecordFraming::Etx, RecordFormat::Default, 2, 1,
               nullptr, defaultRequest});
    table.add({VariantId(2), QStringLiteral("DK-B"), QStringLiteral("B1/B2/B4"),
               QStringLiteral("B2/B4"), "2", RecordFraming::Etx, RecordFormat::Default, 2, 1,
               nullptr, defaultRequest});
    table.add({VariantId(3), QStringLiteral("DK-C"), QStringLiteral("C2/C4 (어깨동무용)"),
               QStringLiteral("C2/C4 (어깨동무용)"), "3", RecordFraming::Etx, RecordFormat::Rez, 2,
               1, RER_Ozavora, rezRequest});
    table.add({VariantId(4), QStringLiteral("DK-D"), QStringLiteral("D2/D4 (소프트웨어메이크용)"),
               QStringLiteral("D2/D4 (소프트웨어메이크용)"), "4", RecordFraming::EtxOrLetterE,
               RecordFormat::Rorivu, 3, 1, RORIVU_Process, rorivuFrame("P")});
    table.add({VariantId(5), QStringLiteral("DK-E"), QStringLiteral("E2/E4/부르미"),
               QStringLiteral("E2/E4/부르미"), "5", RecordFraming::LineMultiplexed,
               RecordFormat::Zuraza, 0, 0, ZURAZA_Process, "?", true});
    // ZUD boxes answer the REZ identification request.
    table.add({VariantId(6), QStringLiteral("DK-F"), QStringLiteral("F2/F4"),
               QStringLiteral("F2/F4"), "6", RecordFraming::Etx, RecordFormat::Zud, 2, 1,
               ZUD_Process, rezRequest});
    // Multi-line boxes cannot be reprogrammed from the console.
    table.add({VariantId(7),
               QStringLiteral("DK-G"),
               QStringLiteral("G4/G8/G12/G16"),
               {},
               {},
               RecordFraming::Etx,
               RecordFormat::MultiLine,
               2,
               2,
               Multi_Process,
               defaultRequest,
               false,
               16});
    table.add({VariantId(8),
               QStringLiteral("DK-H"),
               QStringLiteral("H4/H8/H12/H16"),
               {},
               {},
               RecordFraming::Etx,
               RecordFormat::MultiLine,
               2,
               2,
               Multi_Process,
               defaultRequest,
               false,
               16});
    return table;
}

} // namespace

VariantTable &variantTable()
{
    static VariantTable table = builtIn();
    return table;
}

} // namespace dialkite
