#include "identify.h"

#include "scenario/steps.h"

namespace dialkite {

// Each variant's own request, from the variant table; a code the table does not have
// sends nothing. ZURAZA's reply is read by the receive path, which waits for it.
void ReadIdentification_Click(Console &console)
{
    console.noteOperatorStep(scenario::stepText(scenario::StepKind::Identify));
    const VariantInfo *info = console.variant();
    if (!info || info->identificationRequest.isEmpty())
        return;
    console.sendFrame(info->identificationRequest);
    if (info->awaitsIdentificationReply)
        console.awaitIdentificationReply();
}

} // namespace dialkite
