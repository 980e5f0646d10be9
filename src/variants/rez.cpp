// REZ format (variant "3"). The box sends STX, line, type, body, ETX; the console
// answers in the REZ command frame:
//
//   type "I"  call, shown in blue once the box has identified itself, else dropped
//   type "m"  call, shown in red at any time
//             pos 4-11  month, day, hour, minute, two digits each
//             pos 12    "P" withheld, "C" public phone, "O" not collected, or the
//                       first digit; digits up to pos 23, blank filled
//             answer: line, "I"
//   type "P"  identification: pos 18-25 device name, pos 26-29 version
//             answer: " ", "m"; calls of type "I" are shown from then on
//   type "S"  the call dialled from the console is over; no answer
//
// Command frame: STX, port, Code, Value, blanks to 29 characters, ETX (30 in all).

#include "rez.h"

#include "console/bytes.h"
#include "console/callernumber.h"
#include "console/console.h"

namespace dialkite {

namespace {

constexpr qsizetype kFrameLength = 30;

void identificationRecord(Console &console, const QByteArray &record)
{
    console.showIdentification(at(record, 18, 8), at(record, 26, 4));
    VAZ_Orivir(console, " ", "m", " ");
    console.state().IdentifyFlag = 1;
}

void callRecord(Console &console, const QByteArray &record, CellColour colour)
{
    console.writeCall(at(record, 2), callTimeText(record, 4),
                      callerNumberText(record, 12, ' ', letterMarkers()), colour);
    console.advanceCallRow();
    // Acknowledged on its own line, after the row has moved on.
    VAZ_Orivir(console, console.state().ChannelText, "I", " ");
    console.scrollCallLog();
}

} // namespace

void VAZ_Orivir(Console &console, const QByteArray &port, const QByteArray &Code,
                const QByteArray &Value)
{
    // Arguments longer than the frame has room for are cut, so the ETX always goes out.
    QByteArray frame = STX + port + Code + Value;
    frame.truncate(kFrameLength - 1);
    frame.append(kFrameLength - 1 - frame.size(), ' ');
    frame.append(ETX);
    console.transmit(frame);
    console.logSent(frame);
}

void RER_Ozavora(Console &console)
{
    ConsoleState &state = console.state();
    const QByteArray record = state.RxBuffer;
    state.ChannelText = at(record, 2);
    const QByteArray type = at(record, 3);
    if (type == "I") {
        if (state.IdentifyFlag != 0)
            callRecord(console, record, CellColour::Blue);
    } else if (type == "m") {
        callRecord(console, record, CellColour::Red);
    } else if (type == "P") {
        identificationRecord(console, record);
    } else if (type == "S") {
        console.endOutgoingCall();
    }
    state.RxBuffer.clear();
}

} // namespace dialkite
