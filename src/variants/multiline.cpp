// Multi-line format (variants "7" and "8": boxes of up to sixteen lines, so the line
// takes two characters). No acknowledgement.
//
// Call record                       Identification record (answer to " P")
//   pos 1      start, not read        pos 1      start, not read
//   pos 2-3    line, e.g. "03"        pos 2      not read
//   pos 4      "I"                    pos 3      "P"
//   pos 5      "P" withheld, "C"      pos 4      anything but "I"
//              public phone, "O"      pos 5-9    not read
//              not collected, or      pos 10-17  device name
//              the first digit        pos 18-20  version
//   pos 5-16   digits, blank filled
//   ...        ETX

#include "multiline.h"

#include "console/bytes.h"
#include "console/callernumber.h"

namespace dialkite {

void Multi_Process(const Record &record, RecordSink &sink)
{
    const QByteArray &bytes = record.bytes;
    if (at(bytes, 4) != "I") {
        if (at(bytes, 3) == "P")
            sink.showIdentification(at(bytes, 10, 8), at(bytes, 18, 3));
        return;
    }
    const Caller caller{record.channel, std::nullopt, callerNumber(bytes, 5, ' ', letterMarkers())};
    // A call record whose second line character is "P" is also read as an
    // identification, and then the row does not advance: the box never sends such
    // lines, and the console has always read them so. A status marker wins over that.
    if (caller.number.status == NumberStatus::Number && at(bytes, 3) == "P") {
        sink.writeCallerCells(caller);
        sink.showIdentification(at(bytes, 10, 8), at(bytes, 18, 3));
        return;
    }
    sink.writeCaller(caller);
}

} // namespace dialkite
