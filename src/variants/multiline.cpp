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
#include "console/console.h"

namespace dialkite {

void Multi_Process(Console &console)
{
    ConsoleState &state = console.state();
    const QByteArray record = state.RxBuffer;
    state.ChannelText = at(record, 2, 2);
    const bool call = at(record, 4) == "I";
    if (call) {
        if (const auto status = numberMarker(record, 5, letterMarkers())) {
            console.writeCall(at(record, 2, 2), std::nullopt, statusText(*status));
            console.advanceCallRow();
            console.scrollCallLog();
            state.RxBuffer.clear();
            return;
        }
        console.writeCall(at(record, 2, 2), std::nullopt,
                          callerNumberText(record, 5, ' ', letterMarkers()));
    }
    // A number record whose second line character is "P" is also read as an
    // identification, and then the row does not advance: the box never sends such
    // lines, and the console has always read them so.
    if (at(record, 3) == "P") {
        console.showIdentification(at(record, 10, 8), at(record, 18, 3));
        state.RxBuffer.clear();
        return;
    }
    if (call) {
        console.advanceCallRow();
        console.scrollCallLog();
    }
    state.RxBuffer.clear();
}

} // namespace dialkite
