#include "detection.h"

namespace dialkite {

void readDetection(Console &console)
{
    console.noteOperatorStep(QStringLiteral("detect-read"));
    console.MakeOpcode("a", "x", " ");
}

void Status_Change(Console &console, Choice index)
{
    // Option n of the dialog carries digit n - 1, which is how a script names it.
    console.noteOperatorStep(index ? QStringLiteral("detect-set %1").arg(*index - 1)
                                   : QStringLiteral("detect-set"));
    if (!index)
        return;
    console.MakeOpcode("a", "y", QByteArray::number(*index - 1));
}

} // namespace dialkite
