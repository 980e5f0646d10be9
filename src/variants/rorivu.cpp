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

namespace dialkite {

namespace {

void callRecord(const Record &record, RecordSink &sink, CellColour colour)
{
    const QByteArray &bytes = record.bytes;
    sink.writeCaller({record.channel, callTimeText(bytes, 4),
                      callerNumber(bytes, 12, 'E', letterMarkers()), colour});
    RORIVU_Opcode(sink, "I");
}

} // namespace

QByteArray rorivuFrame(const QByteArray &Code)
{
    // One command character; an empty command still gives a well-formed "SE".
    return 'S' + Code.left(1) + 'E';
}

void RORIVU_Opcode(RecordSink &sink, const QByteArray &Code)
{
    sink.sendFrame(rorivuFrame(Code));
}

void RORIVU_Process(const Record &record, RecordSink &sink)
{
    const QByteArray type = at(record.bytes, 2);
    if (type == "I") {
        if (sink.boxIdentified())
            callRecord(record, sink, CellColour::Blue);
    } else if (type == "M") {
        callRecord(record, sink, CellColour::Red);
    } else if (type == "P") {
        sink.showIdentification(at(record.bytes, 12, 7), at(record.bytes, 19, 3));
        RORIVU_Opcode(sink, "M");
        sink.setBoxIdentified();
    } else if (type == "S") {
        sink.endOutgoingCall();
    }
}

} // namespace dialkite
