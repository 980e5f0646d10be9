#pragma once

// The console without its window: the main window's state, grids and procedures. The
// desktop binds its widgets to this object; the headless runner, the monitor and the
// tests drive it through a serial link and a view. Everything it observes or does
// leaves it first as an Event (observed()); the grids are written from those values.

#include "consoleview.h"
#include "events.h"
#include "grid.h"
#include "layout.h"
#include "recordsink.h"
#include "seriallink.h"
#include "settings.h"
#include "variant.h"

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
    // What IdentifyFlag means depends on the variant:
    //   REZ (3), RORIVU (4): 1 once the box has identified itself; before that their "I"
    //                        calls are dropped and only red calls are shown.
    //   ZURAZA (5):          1 while the console waits for the reply to its "?"; the
    //                        receive path then reads the reply instead of the lines.
    //   every other variant: not read.
    // Reprogramming the box puts it back to 0.
    qint16 IdentifyFlag = 0;
    VariantId VariantCode;  // 1 to 8; 0 after an empty stored choice; none before start-up ends
    QByteArray ChannelText; // line of the record being decoded
    qint16 CallRow = 0;     // caller-ID log row the decoders write next
    qint16 SendRow = 0;     // next free send-log row
    qint16 ReceiveRow = 0;  // next free receive-log row
    QByteArray RxBuffer;    // the record being received, start and end characters included
    std::array<QByteArray, 4> LineBuffer; // LineBuffer1 to LineBuffer4 (variant "5")
    quint8 RxByte = 0;
};

// A dialog's choice: a number, or nothing chosen.
using Choice = std::optional<qint16>;
// The chosen option as a script's step names it.
inline std::optional<int> optionDigit(Choice choice)
{
    return choice ? std::optional<int>(*choice) : std::nullopt;
}

class Console : public QObject, public RecordSink {
    Q_OBJECT
public:
    // No receive buffer holds more than this; see boundBuffer().
    static constexpr qsizetype kBufferLimit = 1024;

    Console(SerialLink &link, ConsoleView &view, Settings &settings, QObject *parent = nullptr);
    ~Console() override;

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
    // The selected variant's table entry; nullptr for a code the table does not have.
    const VariantInfo *variant() const { return variantTable().find(m_state.VariantCode); }

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

    // What the operations change, by intent
    // Switches to variant `code` and shows its device name; nothing is sent, saved or
    // cleared (the selection dialog's other effects are Dialkite_Select's).
    void setVariant(VariantId code);
    // The dial button becomes "전화끊기" for a call to `number` (OutgoingFlag 1).
    void startOutgoingCall(const QByteArray &number);
    // The operator hung up: the dial button is free again; the number is kept.
    void hangUpOutgoingCall();
    // ZURAZA: the next bytes are the reply to the identification request.
    void awaitIdentificationReply() { m_state.IdentifyFlag = 1; }
    // An identification still awaited, or given, no longer counts (after reprogramming).
    void forgetIdentification() { m_state.IdentifyFlag = 0; }
    // Puts the console where a capture file says it stood, without a dialog, a settings
    // write or a log change.
    void restoreState(VariantId code, qint16 identifyFlag, qint16 outgoingFlag,
                      const QByteArray &outgoingNumber);
    // Tells every watcher which dialog step the operator just confirmed.
    void noteOperatorStep(const QString &words);

    // RecordSink: what the decoders may do
    void writeCaller(const Caller &caller) override;
    void writeCallerCells(const Caller &caller) override;
    void sendFrame(const QByteArray &frame) override;
    void showIdentification(const QByteArray &name, const QByteArray &version) override;
    void endOutgoingCall() override;
    void logReceivedText(const QByteArray &text) override;
    bool boxIdentified() const override { return m_state.IdentifyFlag != 0; }
    void setBoxIdentified() override { m_state.IdentifyFlag = 1; }

    void setOutgoingCaption(const QString &caption);
    // Empties a log (texts and colours), writes its headers again, puts its counter and
    // its top row back to 1.
    void resetLog(GridId id);

    // After a lost device or a port that would not open: tries the same port again,
    // without a message box; true when it is open (again). What a window calls every
    // few seconds so that a replugged adapter comes back by itself.
    bool reopenPort();
    // The port the operator or the settings file chose last (0: none yet).
    int wantedPort() const { return m_wantedPort; }

    // The link was opened by its owner (a monitor opening a device by its path): every
    // watcher hears of the port and of the session starting, as after openPort().
    void linkOpened(int port);
    // Where the console stands now, as a capture's state step would put it back.
    events::Standing standing() const;

    // Writes one setting; when the file cannot be written the operator is told (the
    // choice still applies). False then.
    bool saveSetting(const QString &section, const QString &key, const QString &value);

    // "Port Error", then the port is closed. `detail` says which device and why.
    void reportPortError(const QString &detail = {});

    // The link's reason for a port as the operator reads it (Korean for the usual ones).
    static QString reasonShown(const QString &reason);
    // The tag of the notice that says the port went away (the window closes it once the
    // port is back).
    static inline const QString kPortNotice = QStringLiteral("port");

Q_SIGNALS:
    // Every event, in order, on the console's thread.
    void observed(const dialkite::Event &event);
    void outgoingCaptionChanged(const QString &caption);

private:
    friend struct ConsoleTestAccess; // tests set counters and flags directly

    void emitEvent(const Event &event) { Q_EMIT observed(event); }
    void defaultFraming();
    void detectionReply();
    bool identificationReply();
    void lineMultiplexedRouting();
    void boundBuffer(QByteArray &buffer);
    void onLinkLost(const QString &reason);
    // The port error's details after a failed open: the device and the system's reason.
    QString openFailure() const;
    bool openPort(int port);
    void portChosen(int port);
    void closePort();
    void writeCallerRow(const Caller &caller);
    void advanceCallRow();
    void scrollCallLog();
    void announceReceived();

    SerialLink &m_link;
    ConsoleView &m_view;
    Settings &m_settings;
    ConsoleState m_state;
    std::array<std::unique_ptr<Grid>, kGridCount> m_grids;
    QString m_outgoingCaption;
    bool m_receiving = true;
    int m_wantedPort = 0;
    qint64 m_unreadBefore = 0; // bytes a receive event left waiting in the port
    QByteArray m_record;       // the record being decoded, for its caller events
};

} // namespace dialkite
