#include "change.h"

#include "select.h"

namespace dialkite {

void Dialkite_change(Console &console, Choice index)
{
    console.noteOperatorStep(index ? QStringLiteral("reprogram %1").arg(*index)
                                   : QStringLiteral("reprogram"));
    if (!index)
        return;
    const VariantInfo *target = variantTable().find(VariantId(*index));
    if (!target || !target->reprogrammable())
        return;
    console.MakeOpcode("a", "z", target->reprogramValue);
    console.forgetIdentification(); // an identification still awaited is abandoned
    switchVariant(console, *index);
}

} // namespace dialkite
