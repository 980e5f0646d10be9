// Default record format, as the box sends it:
//
//   pos 1   STX (not read)
//   pos 2   line character, "1" to "4"
//   pos 3   record type: "I" caller, "P" identification reply, "S" outgoing call over
//   pos 4.. "I": "P" withheld, "C" public phone, "O" not collected, or the caller's
//               digits left-aligned and filled with blanks
//           "P": positions 10-17 device name, 18-20 version (4-9 unused)
//   last    ETX
//
// Any other type is ignored. RxBuffer is emptied after every record.

#include "decoder.h"

#include "bytes.h"
#include "callernumber.h"
#include "console.h"
#include "variants/multiline.h"
#include "variants/rez.h"
#include "variants/rorivu.h"
#include "variants/zud.h"

namespace dialkite {

namespace {

void callerRecord(Console &console, const QByteArray &record)
{
    console.writeCall(at(record, 2), std::nullopt,
                      callerNumberText(record, 4, ' ', letterMarkers()));
    console.advanceCallRow();
    console.scrollCallLog();
}

} // namespace

void defaultDecoder(Console &console)
{
    ConsoleState &state = console.state();
    const QByteArray record = state.RxBuffer;
    state.ChannelText = at(record, 2);
    const QByteArray type = at(record, 3);
    if (type == "I")
        callerRecord(console, record);
    else if (type == "P")
        console.showIdentification(at(record, 10, 8), at(record, 18, 3));
    else if (type == "S")
        console.endOutgoingCall();
    state.RxBuffer.clear();
}

void Console::ProcessBuffer()
{
    const QString &code = m_state.VariantCode;
    if (code == QLatin1String("3"))
        RER_Ozavora(*this);
    else if (code == QLatin1String("4"))
        RORIVU_Process(*this);
    else if (code == QLatin1String("6"))
        ZUD_Process(*this);
    else if (code == QLatin1String("7") || code == QLatin1String("8"))
        Multi_Process(*this);
    else
        defaultDecoder(*this);
}

} // namespace dialkite
