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

namespace dialkite {

void ZUD_Process(const Record &record, RecordSink &sink)
{
    const QByteArray &bytes = record.bytes;
    const QByteArray type = at(bytes, 3);
    if (type == "I")
        sink.writeCaller(
            {record.channel, callTimeText(bytes, 4), callerNumber(bytes, 12, ' ', atMarkers())});
    else if (type == "P")
        sink.showIdentification(at(bytes, 18, 7), at(bytes, 25, 3));
    else if (type == "S")
        sink.endOutgoingCall();
}

} // namespace dialkite
