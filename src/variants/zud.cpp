// ZUD format (variant "6"). STX, line, type, body, ETX; no acknowledgement, no colours.
//
//   type "I"  call
//             pos 4-11   month, day, hour, minute, two digits each
//             pos 12-13  "@P" withheld, "@C" public phone, "@O" not collected, or
//                        the first digits; digits up to pos 23, blank filled
//   type "P"  identification: pos 18-24 device name, pos 25-27 version
//   type "S"  the call dialled from the console is over
//
// The box is identified with the REZ request frame.

#include "zud.h"

#include "console/bytes.h"
#include "console/callernumber.h"
#include "console/console.h"

namespace dialkite {

void ZUD_Process(Console &console)
{
    ConsoleState &state = console.state();
    const QByteArray record = state.RxBuffer;
    state.ChannelText = at(record, 2);
    const QByteArray type = at(record, 3);
    if (type == "I") {
        console.writeCall(at(record, 2), callTimeText(record, 4),
                          callerNumberText(record, 12, ' ', atMarkers()));
        console.advanceCallRow();
        console.scrollCallLog();
    } else if (type == "P") {
        console.showIdentification(at(record, 18, 7), at(record, 25, 3));
    } else if (type == "S") {
        console.endOutgoingCall();
    }
    state.RxBuffer.clear();
}

} // namespace dialkite
