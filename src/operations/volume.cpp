#include "volume.h"

namespace dialkite {

void Volume_Select(Console &console, Choice index)
{
    if (!index)
        return;
    console.MakeOpcode(" ", "v", QByteArray::number(*index));
}

} // namespace dialkite
