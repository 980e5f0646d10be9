#include "identify.h"

#include "variants/rez.h"
#include "variants/rorivu.h"

namespace dialkite {

// Variants "1", "2", "7", "8": the default frame " P"; "3" and "6": the REZ frame;
// "4": "SPE"; "5": a bare "?", whose reply the receive framing waits for. Other codes
// send nothing.
void ReadIdentification_Click(Console &console)
{
    const QString code = console.state().VariantCode;
    if (code.size() != 1)
        return;
    switch (code[0].unicode()) {
    case u'1':
    case u'2':
    case u'7':
    case u'8':
        console.MakeOpcode(" ", "P", " ");
        break;
    case u'3':
    case u'6':
        VAZ_Orivir(console, " ", "P", " ");
        break;
    case u'4':
        RORIVU_Opcode(console, "P");
        break;
    case u'5':
        console.MakeOpcode("?", " ", " ");
        console.state().IdentifyFlag = 1;
        break;
    default:
        break;
    }
}

} // namespace dialkite
