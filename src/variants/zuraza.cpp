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
#include "console/console.h"

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

void processLine(Console &console, int line, qsizetype lastPosition)
{
    ConsoleState &state = console.state();
    QByteArray &buffer = state.LineBuffer[line - 1];
    state.RxBuffer = lineText(buffer, lastPosition);
    console.LogReceived();
    console.MSFlexGrid1().setText(state.CallRow, 0, QString::number(line));
    ZURAZA_Process(console);
    buffer.clear();
}

} // namespace

void ZURAZA_Process1(Console &console)
{
    processLine(console, 1, 30);
}

void ZURAZA_Process2(Console &console)
{
    processLine(console, 2, 20);
}

void ZURAZA_Process3(Console &console)
{
    processLine(console, 3, 20);
}

void ZURAZA_Process4(Console &console)
{
    processLine(console, 4, 20);
}

void ZURAZA_ProcessLine(Console &console, int line)
{
    switch (line) {
    case 1:
        ZURAZA_Process1(console);
        break;
    case 2:
        ZURAZA_Process2(console);
        break;
    case 3:
        ZURAZA_Process3(console);
        break;
    case 4:
        ZURAZA_Process4(console);
        break;
    default:
        break;
    }
}

void ZURAZA_Process(Console &console)
{
    ConsoleState &state = console.state();
    console.MSFlexGrid1().setText(state.CallRow, 2,
                                  callerNumberText(state.RxBuffer, 1, ' ', zurazaMarkers()));
    state.RxBuffer.clear();
    console.advanceCallRow();
    console.scrollCallLog();
}

} // namespace dialkite
