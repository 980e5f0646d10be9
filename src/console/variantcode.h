#pragma once

// The box variants the console serves, by their one-character code.

#include <QString>
#include <optional>

namespace dialkite {

struct Variant {
    QString code;       // "1" to "8"
    QString option;     // caption of its option in the selection dialog
    QString deviceName; // shown in the device-name panel
};

inline constexpr int kVariantCount = 8;

// Variant 1 to 8 in table order; nullopt for any other number.
std::optional<Variant> variantByNumber(int number);
// The variant of a code "1" to "8"; nullopt for "0", "" and anything else.
std::optional<Variant> variantByCode(const QString &code);

} // namespace dialkite
