#include "volume.h"

namespace dialkite {

void Volume_Select(Console &console, Choice index)
{
    console.noteOperatorStep(index ? QStringLiteral("volume %1").arg(*index)
                                   : QStringLiteral("volume"));
    if (!index)
        return;
    console.MakeOpcode(" ", "v", QByteArray::number(*index));
}

} // namespace dialkite
