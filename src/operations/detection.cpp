#include "detection.h"

#include "scenario/steps.h"

namespace dialkite {

void readDetection(Console &console)
{
    console.noteOperatorStep(scenario::stepText(scenario::StepKind::DetectRead));
    console.MakeOpcode("a", "x", " ");
}

void Status_Change(Console &console, Choice index)
{
    // Option n of the dialog carries digit n - 1, which is how a script names it.
    console.noteOperatorStep(scenario::stepText(
        scenario::StepKind::DetectSet, index ? std::optional<int>(*index - 1) : std::nullopt));
    if (!index)
        return;
    console.MakeOpcode("a", "y", QByteArray::number(*index - 1));
}

} // namespace dialkite
