#include "detection.h"

namespace dialkite {

void readDetection(Console &console)
{
    console.MakeOpcode("a", "x", " ");
}

void Status_Change(Console &console, Choice index)
{
    if (!index)
        return;
    console.MakeOpcode("a", "y", QByteArray::number(*index - 1));
}

} // namespace dialkite
