// ZURAZA format (variant "5"): four lines on one stream, each byte carrying its line in
// its value (the receive framing sorts them and takes the line's offset off). A line
// record, as its buffer holds it when the line's end byte has come:
//
//   pos 1       first character since the previous record, not read
//   pos 2 ...   the caller's digits, or "C" public phone / "O" not collected
//   last        "E", appended for the end byte
//
// Line 1 is scanned up to position 30, lines 2 to 4 up to 20. No time, no answer.

#include "zuraza.h"

#include "console/bytes.h"
#include "console/callernumber.h"

namespace dialkite {

namespace {

// The line text from position 2 up to the "E", which becomes one blank so that the
// caller number rule can measure the number; a text reaching `lastPosition` without
// "E" is cut there and gets no blank.
QByteArray lineText(const QByteArray &line, qsizetype lastPosition)
{
    QByteArray text;
    for (qsizetype i = 2; i <= lastPosition; ++i) {
        const QByteArray c = at(line, i);
        if (c == "E") {
            text.append(' ');
            break;
        }
        text.append(c);
    }
    return text;
}

} // namespace

void ZURAZA_Process(const Record &record, RecordSink &sink)
{
    // Line 1 is scanned further than the others, as the box's papers have it.
    const QByteArray text = lineText(record.bytes, record.line == 1 ? 30 : 20);
    sink.logReceivedText(text);
    sink.writeCaller({QByteArray::number(record.line), std::nullopt,
                      callerNumber(text, 1, ' ', zurazaMarkers())});
}

} // namespace dialkite
