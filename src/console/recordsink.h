#pragma once

// What a decoder may do with a record: write a caller event, answer the box, show the
// identification, end the console's outgoing call. The console implements it; decoders
// see nothing else of it.

#include "callernumber.h"
#include "grid.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace dialkite {

// A caller as a decoder reads it from a record.
struct Caller {
    QByteArray line;             // the line field as the box sent it ("1", "03")
    std::optional<QString> time; // "MM-DD hh:mm" when the format carries a time
    CallerNumber number;
    CellColour colour = CellColour::Default;
};

class RecordSink {
public:
    virtual ~RecordSink() = default;

    // Writes the caller into row CallRow of the caller-ID log, moves CallRow on (9999
    // wraps to 1), scrolls the log when needed and tells every watcher.
    virtual void writeCaller(const Caller &caller) = 0;
    // Writes the caller's cells only: CallRow stays, and the next caller overwrites them.
    virtual void writeCallerCells(const Caller &caller) = 0;
    // Sends a frame to the box and lists it in the send log.
    virtual void sendFrame(const QByteArray &frame) = 0;
    // The name and version the box reported, into the identification panel.
    virtual void showIdentification(const QByteArray &name, const QByteArray &version) = 0;
    // The box reports the console's outgoing call over.
    virtual void endOutgoingCall() = 0;
    // A line-multiplexed format logs the line text it decodes itself.
    virtual void logReceivedText(const QByteArray &text) = 0;
    // IdentifyFlag for the formats that show some calls only once the box has
    // identified itself (REZ, RORIVU).
    virtual bool boxIdentified() const = 0;
    virtual void setBoxIdentified() = 0;
};

} // namespace dialkite
