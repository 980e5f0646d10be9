#include "variantcode.h"

namespace dialkite {

std::optional<Variant> variantByNumber(int number)
{
    static const Variant variants[kVariantCount] = {
        {QStringLiteral("1"), QStringLiteral("A1/A2/A4"), QStringLiteral("DK-A")},
        {QStringLiteral("2"), QStringLiteral("B1/B2/B4"), QStringLiteral("DK-B")},
        {QStringLiteral("3"), QStringLiteral("C2/C4 (어깨동무용)"), QStringLiteral("DK-C")},
        {QStringLiteral("4"), QStringLiteral("D2/D4 (소프트웨어메이크용)"), QStringLiteral("DK-D")},
        {QStringLiteral("5"), QStringLiteral("E2/E4/부르미"), QStringLiteral("DK-E")},
        {QStringLiteral("6"), QStringLiteral("F2/F4"), QStringLiteral("DK-F")},
        {QStringLiteral("7"), QStringLiteral("G4/G8/G12/G16"), QStringLiteral("DK-G")},
        {QStringLiteral("8"), QStringLiteral("H4/H8/H12/H16"), QStringLiteral("DK-H")},
    };
    if (number < 1 || number > kVariantCount)
        return std::nullopt;
    return variants[number - 1];
}

std::optional<Variant> variantByCode(const QString &code)
{
    if (code.size() != 1)
        return std::nullopt;
    return variantByNumber(code[0].unicode() - u'0');
}

} // namespace dialkite
