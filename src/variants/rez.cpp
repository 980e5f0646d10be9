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

namespace dialkite {

namespace {

constexpr qsizetype kFrameLength = 30;

void callRecord(const Record &record, RecordSink &sink, CellColour colour)
{
    const QByteArray &bytes = record.bytes;
    sink.writeCaller({record.channel, callTimeText(bytes, 4),
                      callerNumber(bytes, 12, ' ', letterMarkers()), colour});
    // Acknowledged on its own line, once the row has moved on.
    VAZ_Orivir(sink, record.channel, "I", " ");
}

} // namespace

QByteArray rezFrame(const QByteArray &port, const QByteArray &Code, const QByteArray &Value)
{
    // Arguments longer than the frame has room for are cut, so the ETX always goes out.
    QByteArray frame = STX + port + Code + Value;
    frame.truncate(kFrameLength - 1);
    frame.append(kFrameLength - 1 - frame.size(), ' ');
    frame.append(ETX);
    return frame;
}

void VAZ_Orivir(RecordSink &sink, const QByteArray &port, const QByteArray &Code,
                const QByteArray &Value)
{
    sink.sendFrame(rezFrame(port, Code, Value));
}

void RER_Ozavora(const Record &record, RecordSink &sink)
{
    const QByteArray type = at(record.bytes, 3);
    if (type == "I") {
        if (sink.boxIdentified())
            callRecord(record, sink, CellColour::Blue);
    } else if (type == "m") {
        callRecord(record, sink, CellColour::Red);
    } else if (type == "P") {
        sink.showIdentification(at(record.bytes, 18, 8), at(record.bytes, 26, 4));
        VAZ_Orivir(sink, " ", "m", " ");
        sink.setBoxIdentified();
    } else if (type == "S") {
        sink.endOutgoingCall();
    }
}

} // namespace dialkite
