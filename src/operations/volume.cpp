#include "volume.h"

#include "scenario/steps.h"

namespace dialkite {

void Volume_Select(Console &console, Choice index)
{
    console.noteOperatorStep(scenario::stepText(scenario::StepKind::Volume, optionDigit(index)));
    if (!index)
        return;
    console.MakeOpcode(" ", "v", QByteArray::number(*index));
}

} // namespace dialkite
