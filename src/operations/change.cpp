#include "change.h"

#include "select.h"

namespace dialkite {

void Dialkite_change(Console &console, Choice index)
{
    if (!index)
        return;
    console.MakeOpcode("a", "z", QByteArray::number(*index));
    console.state().IdentifyFlag = 0; // an identification still awaited is abandoned
    Dialkite_Select(console, index);
}

} // namespace dialkite
