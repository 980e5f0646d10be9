// RORIVU format (variant "4"). Records end at the letter "E" (the receive framing
// ends them there); the type stands before the line:
//
//   pos 2 "I"  call, shown in blue once the box has identified itself, else dropped
//   pos 2 "M"  call, shown in red at any time
//              pos 3     line
//              pos 4-11  month, day, hour, minute, two digits each
//              pos 12    "P" withheld, "C" public phone, "O" not collected, or the
//                        first digit; the digits run straight into the closing "E"
//              answer: "SIE", the same for every line
//   pos 2 "P"  identification: pos 12-18 device name, pos 19-21 version
//              answer: "SME"; calls of type "I" are shown from then on
//   pos 2 "S"  the call dialled from the console is over; no answer
//
// Command frame: "S", one command character, "E". No STX, ETX or fill.

#include "rorivu.h"

#include "console/bytes.h"
#include "console/callernumber.h"
#include "console/console.h"

namespace dialkite {

namespace {

void callRecord(Console &console, const QByteArray &record, CellColour colour)
{
    console.writeCall(at(record, 3), callTimeText(record, 4),
                      callerNumberText(record, 12, 'E', letterMarkers()), colour);
    console.advanceCallRow();
    RORIVU_Opcode(console, "I");
    console.scrollCallLog();
}

} // namespace

void RORIVU_Opcode(Console &console, const QByteArray &Code)
{
    // One command character; an empty command still gives a well-formed "SE".
    const QByteArray frame = 'S' + Code.left(1) + 'E';
    console.transmit(frame);
    console.logSent(frame);
}

void RORIVU_Process(Console &console)
{
    ConsoleState &state = console.state();
    const QByteArray record = state.RxBuffer;
    state.ChannelText = at(record, 3);
    const QByteArray type = at(record, 2);
    if (type == "I") {
        if (state.IdentifyFlag != 0)
            callRecord(console, record, CellColour::Blue);
    } else if (type == "M") {
        callRecord(console, record, CellColour::Red);
    } else if (type == "P") {
        console.showIdentification(at(record, 12, 7), at(record, 19, 3));
        RORIVU_Opcode(console, "M");
        state.IdentifyFlag = 1;
    } else if (type == "S") {
        console.endOutgoingCall();
    }
    state.RxBuffer.clear();
}

} // namespace dialkite
