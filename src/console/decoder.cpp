// Default record format, as the box sends it:
//
//   pos 1   STX (not read)
//   pos 2   line character, "1" to "4"
//   pos 3   record type: "I" caller, "P" identification reply, "S" outgoing call over
//   pos 4.. "I": "P" withheld, "C" public phone, "O" not collected, or the caller's
//               digits left-aligned and filled with blanks
//           "P": positions 10-17 device name, 18-20 version (4-9 unused)
//   last    ETX
//
// Any other type is ignored.

#include "decoder.h"

#include "bytes.h"
#include "console.h"

namespace dialkite {

QByteArray opcodeFrame(const QByteArray &port, const QByteArray &Code, const QByteArray &Value)
{
    QByteArray frame = STX + port + Code + Value;
    frame.truncate(21);
    frame.append(21 - frame.size(), ' ');
    frame.append(ETX);
    return frame;
}

void defaultDecoder(const Record &record, RecordSink &sink)
{
    const QByteArray &bytes = record.bytes;
    const QByteArray type = at(bytes, 3);
    if (type == "I")
        sink.writeCaller(
            {record.channel, std::nullopt, callerNumber(bytes, 4, ' ', letterMarkers())});
    else if (type == "P")
        sink.showIdentification(at(bytes, 10, 8), at(bytes, 18, 3));
    else if (type == "S")
        sink.endOutgoingCall();
}

// The dispatcher: the selected variant's decoder (or the default one) gets the record
// in RxBuffer with its line field; the buffer is empty afterwards, whatever it held.
void Console::ProcessBuffer()
{
    const VariantInfo *info = variant();
    const int position = info ? info->channelPosition : 2;
    const int length = info ? info->channelLength : 1;
    Record record{m_state.RxBuffer, at(m_state.RxBuffer, position, length), 0};
    if (position > 0)
        m_state.ChannelText = record.channel;
    m_record = record.bytes;
    (info && info->decode ? info->decode : defaultDecoder)(record, *this);
    m_state.RxBuffer.clear();
}

} // namespace dialkite
