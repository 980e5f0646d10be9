#include "callernumber.h"

#include "bytes.h"
#include "texts.h"

#include <QStringList>
#include <initializer_list>

namespace dialkite {

namespace {

constexpr NumberMarker kLetters[] = {
    {"P", NumberStatus::Withheld},
    {"C", NumberStatus::PublicPhone},
    {"O", NumberStatus::NotCollected},
};
constexpr NumberMarker kAtCodes[] = {
    {"@P", NumberStatus::Withheld},
    {"@C", NumberStatus::PublicPhone},
    {"@O", NumberStatus::NotCollected},
};
constexpr NumberMarker kZuraza[] = {
    {"C", NumberStatus::PublicPhone},
    {"O", NumberStatus::NotCollected},
};

// Groups of the given lengths, taken one after another from position p.
CallerNumber grouped(const QByteArray &record, qsizetype p,
                     std::initializer_list<qsizetype> lengths)
{
    QStringList groups;
    CallerNumber number;
    for (const qsizetype length : lengths) {
        const QByteArray group = at(record, p, length);
        groups.append(screenText(group));
        number.digits += group;
        p += length;
    }
    number.digits.replace(' ', QByteArray());
    number.text = groups.join(QLatin1Char('-'));
    return number;
}

} // namespace

QString statusText(NumberStatus status)
{
    switch (status) {
    case NumberStatus::Withheld:
        return texts::kWithheld;
    case NumberStatus::PublicPhone:
        return texts::kPublicPhone;
    case NumberStatus::NotCollected:
        return texts::kNotCollected;
    case NumberStatus::Number:
        break;
    }
    return {};
}

std::span<const NumberMarker> letterMarkers()
{
    return kLetters;
}
std::span<const NumberMarker> atMarkers()
{
    return kAtCodes;
}
std::span<const NumberMarker> zurazaMarkers()
{
    return kZuraza;
}

std::optional<NumberStatus> numberMarker(const QByteArray &record, qsizetype p,
                                         std::span<const NumberMarker> markers)
{
    for (const NumberMarker &marker : markers) {
        if (at(record, p, marker.code.size()) == marker.code)
            return marker.status;
    }
    return std::nullopt;
}

CallerNumber callerNumber(const QByteArray &record, qsizetype p, char e,
                          std::span<const NumberMarker> markers)
{
    if (const auto status = numberMarker(record, p, markers))
        return {*status, {}, statusText(*status)};
    // A position past the end is the empty text and never the end character.
    const auto endsAt = [&](qsizetype position) {
        return at(record, position) == QByteArray(1, e);
    };
    const QByteArray c1 = at(record, p);
    const QByteArray c2 = at(record, p + 1);
    if (c1 == "0" && c2 == "2")
        return endsAt(p + 9) ? grouped(record, p, {2, 3, 4}) : grouped(record, p, {2, 4, 4});
    if (c1 == "0")
        return endsAt(p + 10) ? grouped(record, p, {3, 3, 4}) : grouped(record, p, {3, 4, 4});
    if (endsAt(p + 8))
        return grouped(record, p, {4, 4});
    if (endsAt(p + 11))
        return grouped(record, p, {1, 3, 3, 4});
    return grouped(record, p, {2, 3, 3, 4});
}

QString callerNumberText(const QByteArray &record, qsizetype p, char e,
                         std::span<const NumberMarker> markers)
{
    return callerNumber(record, p, e, markers).text;
}

QString callTimeText(const QByteArray &record, qsizetype position)
{
    return screenText(at(record, position, 2) + '-' + at(record, position + 2, 2) + ' ' +
                      at(record, position + 4, 2) + ':' + at(record, position + 6, 2));
}

} // namespace dialkite
