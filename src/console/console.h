#pragma once

// The console without its window: the main window's state, grids and procedures. The
// desktop binds its widgets to this object; the headless runner and the tests drive it
// through a recording link and view.

#include "consoleview.h"
#include "grid.h"
#include "layout.h"
#include "seriallink.h"
#include "settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <optional>

namespace dialkite {

// The main window's shared state, under the names the box's documentation uses.
// Integers are 16-bit signed, as the console has always kept them.
struct ConsoleState {
    qint16 OutgoingFlag = 0;   // 1 while a call dialled from the console is up
    QByteArray OutgoingNumber; // dial string of the last dial command
    qint16 IdentifyFlag = 0;
    QString VariantCode;    // "1" to "8", "0" after an empty choice, "" before start-up ends
    QByteArray ChannelText; // line of the record being decoded
    qint16 CallRow = 0;     // caller-ID log row the decoders write next
    qint16 SendRow = 0;     // next free send-log row
    qint16 ReceiveRow = 0;  // next free receive-log row
    QByteArray InputChar;   // what the last one-byte read returned
    QByteArray RxBuffer;    // the record being received, start and end characters included
    std::array<QByteArray, 4> LineBuffer; // LineBuffer1 to LineBuffer4 (variant "5")
    quint8 RxByte = 0;
};

// A dialog's choice: a number, or nothing chosen.
using Choice = std::optional<qint16>;

class Console : public QObject {
    Q_OBJECT
public:
    // No receive buffer holds more than this; see boundBuffer().
    static constexpr qsizetype kBufferLimit = 1024;

    Console(SerialLink &link, ConsoleView &view, Settings &settings, QObject *parent = nullptr);
    ~Console() override;

    ConsoleState &state() { return m_state; }
    const ConsoleState &state() const { return m_state; }
    Grid &grid(GridId id) { return *m_grids[int(id) - 1]; }
    const Grid &grid(GridId id) const { return *m_grids[int(id) - 1]; }
    Grid &MSFlexGrid1() { return grid(GridId::Calls); }
    Grid &MSFlexGrid2() { return grid(GridId::Sent); }
    Grid &MSFlexGrid3() { return grid(GridId::Received); }
    Grid &MSFlexGrid4() { return grid(GridId::Device); }
    Grid &MSFlexGrid5() { return grid(GridId::Identification); }
    Grid &MSFlexGrid6() { return grid(GridId::Port); }
    Grid &MSFlexGrid7() { return grid(GridId::Detection); }
    SerialLink &link() { return m_link; }
    Settings &settings() { return m_settings; }
    ConsoleView &view() { return m_view; }
    const QString &outgoingCaption() const { return m_outgoingCaption; }

    // Start-up and shut-down
    void Form_Load();
    void Timer1_Timer();
    void Timer2_Timer();
    void ChangeComport(Choice index);
    // The close request: true when the operator confirmed and the program ends.
    bool Form_Unload();

    // Receiving
    void m_Comm_OnComm();
    // Leaves every byte that has not been read yet in the port: for a watcher that has
    // seen enough (the monitor's --count) while a receive event is still running.
    void stopReceiving() { m_receiving = false; }
    void LogReceived();
    void ProcessBuffer();

    // Sending
    void MakeOpcode(const QByteArray &port, const QByteArray &Code, const QByteArray &Value);
    // Writes `frame` to the port one byte per write; with the port closed the frame is
    // dropped and the port error is shown.
    void transmit(const QByteArray &frame);
    // The send-log entry every frame builder makes: row number, frame text, scroll, wrap.
    void logSent(const QByteArray &frame);

    // Shared by the decoders
    // Writes one caller event into row CallRow of the caller-ID log: the channel in
    // column 0, the time (when the format has one) in column 1, the number text in
    // column 2. A colour, when given, goes to columns 1 and 2. Column 3 is not touched.
    void writeCall(const QByteArray &channel, const std::optional<QString> &time,
                   const QString &number, std::optional<CellColour> colour = std::nullopt);
    // Moves CallRow on by one, 9999 wrapping to 1.
    void advanceCallRow();
    // Scrolls the caller-ID log by one row when CallRow is more than 32 rows below its top.
    void scrollCallLog();
    void setOutgoingCaption(const QString &caption);
    // The box reports the console's outgoing call over: the dial button is free again.
    void endOutgoingCall();
    // Device name and version reported by the box, into the identification panel.
    void showIdentification(const QByteArray &name, const QByteArray &version);
    // Writes `text` to the receive log (what LogReceived does with RxBuffer).
    void logReceivedText(const QByteArray &text);

    // Empties a log (texts and colours), writes its headers again, puts its counter and
    // its top row back to 1.
    void resetLog(GridId id);

    // "Port Error", then the port is closed. `detail` says which device and why.
    void reportPortError(const QString &detail = {});

Q_SIGNALS:
    void outgoingCaptionChanged(const QString &caption);
    // For watchers of the box (the monitor): a caller-ID row has been written and
    // CallRow has moved past it; the box identified itself; it reported its hook/ring
    // setting; it reported the console's call over.
    void callWritten(int row);
    void identificationShown(const QString &name, const QString &version);
    void detectionShown(const QString &state);
    void outgoingCallEnded();

private:
    void defaultFraming();
    bool identificationReply();
    void zurazaRouting();
    void boundBuffer(QByteArray &buffer);
    void onLinkLost();

    SerialLink &m_link;
    ConsoleView &m_view;
    Settings &m_settings;
    ConsoleState m_state;
    std::array<std::unique_ptr<Grid>, kGridCount> m_grids;
    QString m_outgoingCaption;
    bool m_receiving = true;
};

} // namespace dialkite
