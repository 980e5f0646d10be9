#include "variant.h"

#include <algorithm>

namespace dialkite {

VariantId VariantId::fromText(const QString &text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number >= 0 && !text.startsWith(u'+') ? VariantId(number) : VariantId();
}

void VariantTable::add(const VariantInfo &info)
{
    const auto at = std::lower_bound(
        m_variants.begin(), m_variants.end(), info.code,
        [](const VariantInfo &entry, VariantId code) { return entry.code < code; });
    if (at != m_variants.end() && at->code == info.code)
        *at = info;
    else
        m_variants.insert(at, info);
}

const VariantInfo *VariantTable::find(VariantId code) const
{
    for (const VariantInfo &entry : m_variants) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

QList<const VariantInfo *> VariantTable::reprogrammable() const
{
    QList<const VariantInfo *> out;
    for (const VariantInfo &entry : m_variants) {
        if (entry.reprogrammable())
            out.append(&entry);
    }
    return out;
}

} // namespace dialkite
