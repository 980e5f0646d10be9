#include "change.h"

#include "scenario/steps.h"

#include "select.h"

namespace dialkite {

void Dialkite_change(Console &console, Choice index)
{
    console.noteOperatorStep(scenario::stepText(scenario::StepKind::Reprogram, optionDigit(index)));
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
