#pragma once

// Everything the console observes or does, as plain values, in the box's words. The
// console emits each one before it touches a grid; the grids, the JSON outputs, the
// capture file, the call history and the publisher are all consumers of this stream.
// Values are copyable and hold nothing of the console's.

#include "callernumber.h"
#include "grid.h"
#include "variant.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace dialkite::events {

// Where the console stands: what a capture's state step puts back.
struct Standing {
    VariantId variant;
    qint16 identify = 0; // IdentifyFlag
    qint16 outgoing = 0; // OutgoingFlag
    QByteArray number;   // OutgoingNumber
};

// Bytes the port delivered in one read, before the receive path looks at them, and
// where the console stood when they came.
struct BytesReceived {
    QByteArray bytes;
    QDateTime at;
    Standing standing;
};

// A frame the console wrote to the port.
struct BytesSent {
    QByteArray bytes;
    QDateTime at;
};

// A record (or a flushed buffer) the receive log lists.
struct RecordLogged {
    QByteArray text;
};

// A caller the box reported, as the caller-ID log shows it in row `row`.
struct CallerId {
    int row = 0;
    QByteArray line;             // the line field as the box sent it
    std::optional<QString> time; // the box's "MM-DD hh:mm", when the format has one
    NumberStatus status = NumberStatus::Number;
    QByteArray digits;
    QString number; // the log's text: grouped digits or the status text
    CellColour colour = CellColour::Default;
    VariantId variant;
    QByteArray record;
    QDateTime at; // the PC's time (UTC; show it in local time)
    // The caller's name in the phonebook, when it has the number: given by the outputs'
    // set before any output takes the call (the box knows no names).
    QString name;
};

// The box's name and version, as the identification panel shows them.
struct Identification {
    QString name;
    QString version;
};

// The hook/ring detection setting the box reported: "NOT", "HOOK" or "RING".
struct DetectionState {
    QString state;
};

// The box reported the console's outgoing call over.
struct OutgoingCallEnded {};

// The operator confirmed a dialog; `words` is the step as a scenario script writes it.
struct OperatorStep {
    QString words;
    QDateTime at;
};

struct PortOpened {
    int port = 0; // 0: a device opened by its path
    QString device;
};

// A port session begins (right after PortOpened): everything a recording of it needs
// to know about the console at its start.
struct SessionStarted {
    int port = 0; // 0: a device opened by its path
    QString device;
    Standing standing;
    QDateTime at;
};

struct PortClosed {
    QString device;
};

// The device went away while open.
struct PortLost {
    QString device;
    QString reason;
};

// The port could not be opened (the device is missing, in use, refused).
struct PortOpenFailed {
    int port = 0;
    QString device;
    QString reason;
};

// What a collector hears of the fleet from the broker (a console never emits these).

// An event another console published, as the collector took it: checked, its content as
// it came, and its publisher's place in the box's sequence.
struct Published {
    QString box;
    QJsonObject event;
    QString instance;
    qint64 seq = 0;
    qint64 first = 0; // the lowest sequence the publisher still kept
};

// A box's retained status: its console runs, or has stopped; or, when a collector's session
// with the broker began anew, no longer known (a monitor that died while the broker was
// away never says it stopped: only the live ones say again that they run).
struct BoxStatus {
    QString box;
    bool online = false;
    bool known = true;
};

// How many events of each box wait in a publisher's spool, as it last said.
struct SpoolWaiting {
    QList<std::pair<QString, qint64>> boxes;
};

} // namespace dialkite::events

namespace dialkite {

using Event =
    std::variant<events::BytesReceived, events::BytesSent, events::RecordLogged, events::CallerId,
                 events::Identification, events::DetectionState, events::OutgoingCallEnded,
                 events::OperatorStep, events::PortOpened, events::SessionStarted,
                 events::PortClosed, events::PortLost, events::PortOpenFailed, events::Published,
                 events::BoxStatus, events::SpoolWaiting>;

} // namespace dialkite

Q_DECLARE_METATYPE(dialkite::Event)
