#include "console.h"

#include "bytes.h"
#include "decoder.h"
#include "texts.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace dialkite {

namespace {

const QString kPortSection = QStringLiteral("PORT");
const QString kVariantSection = QStringLiteral("DIALKITE");
const QString kNumKey = QStringLiteral("NUM");

// The port number a "PORT"/"NUM" text names; nullopt when it is not a number.
std::optional<qint16> portNumber(const QString &text)
{
    bool ok = false;
    const qint16 number = text.trimmed().toShort(&ok);
    return ok ? std::optional<qint16>(number) : std::nullopt;
}

} // namespace

Console::Console(SerialLink &link, ConsoleView &view, Settings &settings, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_view(view)
    , m_settings(settings)
    , m_outgoingCaption(texts::shown(texts::kDial))
{
    for (int i = 0; i < kGridCount; ++i) {
        GridDesign design = gridDesign(GridId(i + 1));
        m_grids[i] = std::make_unique<Grid>(QString::fromLatin1(design.name), design.rows,
                                            design.columns, std::move(design.layout));
    }
    connect(&m_link, &SerialLink::dataArrived, this, &Console::m_Comm_OnComm);
    // Queued: the message box must not open inside the port's own error handling.
    connect(&m_link, &SerialLink::lost, this, &Console::onLinkLost, Qt::QueuedConnection);
}

Console::~Console() = default;

// ---- Start-up and shut-down ----

void Console::Form_Load()
{
    m_state.RxBuffer.clear();
    m_state.RxByte = 0;
    m_state.CallRow = 1;
    m_state.SendRow = 1;
    m_state.ReceiveRow = 1;
}

void Console::Timer1_Timer()
{
    const std::optional<qint16> port = portNumber(m_settings.read(kPortSection, kNumKey));
    // No settings file yet (a first start): nothing was chosen, and the details say so.
    if (!port && !QFileInfo::exists(m_settings.path()))
        reportPortError(texts::shown(texts::kPortNotChosen));
    else if (!port)
        reportPortError(m_settings.problem());
    else if (!openPort(*port))
        reportPortError(openFailure());
}

void Console::Timer2_Timer()
{
    for (const auto &grid : m_grids) {
        grid->clearTexts();
        grid->applyLayout();
        grid->writeHeaders();
    }
    // DIALKITE/NUM is read by the console's start-up and deliberately not applied.
    const QString port = m_settings.load().value(kPortSection, kNumKey);
    setVariant(VariantId(1));
    MSFlexGrid6().setText(1, 0, texts::kPortPrefix + port);
}

void Console::ChangeComport(Choice index)
{
    if (m_link.isOpen())
        closePort();
    const qint16 port = index.value_or(0);
    if (!openPort(port)) {
        reportPortError(openFailure());
        return;
    }
    portChosen(port);
}

// A port the operator chose is open: it is saved and shown.
void Console::portChosen(int port)
{
    const QString text = QString::number(port);
    saveSetting(kPortSection, kNumKey, text);
    MSFlexGrid6().setText(1, 0, texts::kPortPrefix + text);
}

bool Console::saveSetting(const QString &section, const QString &key, const QString &value)
{
    if (m_settings.write(section, key, value))
        return true;
    m_view.showNotice({texts::shown(texts::kSettingsNotSavedText),
                       texts::shown(texts::kSettingsNotSavedTitle), m_settings.problem(),
                       MessageBox::Icon::Exclamation, MessageBox::Buttons::Ok});
    return false;
}

bool Console::Form_Unload()
{
    const Answer answer = m_view.showMessage({texts::shown(texts::kQuitText),
                                              texts::shown(texts::kQuitTitle),
                                              {},
                                              MessageBox::Icon::Question,
                                              MessageBox::Buttons::OkCancel});
    return answer == Answer::Ok;
}

bool Console::openPort(int port)
{
    m_wantedPort = port;
    if (!m_link.open(port)) {
        emitEvent(events::PortOpenFailed{port, m_link.device(), m_link.lastError()});
        return false;
    }
    linkOpened(port);
    return true;
}

bool Console::reopenPort()
{
    if (m_link.isOpen())
        return true;
    if (m_wantedPort < 1 || !openPort(m_wantedPort))
        return false;
    // A port chosen in the dialog that would not open at first is the operator's choice.
    if (MSFlexGrid6().text(1, 0) != texts::kPortPrefix + QString::number(m_wantedPort))
        portChosen(m_wantedPort);
    return true;
}

void Console::linkOpened(int port)
{
    m_unreadBefore = 0;
    emitEvent(events::PortOpened{port, m_link.device()});
    emitEvent(
        events::SessionStarted{port, m_link.device(), standing(), QDateTime::currentDateTimeUtc()});
}

events::Standing Console::standing() const
{
    return {m_state.VariantCode, m_state.IdentifyFlag, m_state.OutgoingFlag,
            m_state.OutgoingNumber};
}

void Console::closePort()
{
    m_link.close();
    emitEvent(events::PortClosed{m_link.device()});
}

void Console::reportPortError(const QString &detail)
{
    m_view.showMessage({texts::shown(texts::kPortErrorText), texts::shown(texts::kPortErrorTitle),
                        detail, MessageBox::Icon::Stop, MessageBox::Buttons::Ok});
    if (m_link.isOpen())
        closePort();
}

// A port that was open and went away: said in a box of its own (the window closes it when
// the port is back), without waiting for the operator; it is tried again by itself unless
// the settings say not to.
void Console::onLinkLost(const QString &reason)
{
    emitEvent(events::PortLost{m_link.device(), reason});
    m_link.close();
    const QString port = m_wantedPort >= 1 ? texts::kPortPrefix + QString::number(m_wantedPort) +
                                                 QStringLiteral(", ") + m_link.device()
                                           : m_link.device();
    const bool again =
        m_settings.read(kPortSection, QStringLiteral("RECONNECT")).trimmed() != QLatin1String("0");
    m_view.showNotice(
        {(again ? texts::shown(texts::kPortLostText) : texts::shown(texts::kPortLostNoRetryText))
             .arg(port),
         texts::shown(texts::kPortErrorTitle),
         texts::shown(texts::kPortDevice) + m_link.device() + QLatin1Char('\n') +
             texts::shown(texts::kPortReason) + reasonShown(reason),
         MessageBox::Icon::Stop, MessageBox::Buttons::Ok, kPortNotice});
}

QString Console::reasonShown(const QString &reason)
{
    if (reason == linkreason::kRemoved)
        return texts::shown(texts::kReasonRemoved);
    if (reason == linkreason::kInUse)
        return texts::shown(texts::kReasonInUse);
    if (reason == linkreason::kNoSuchDevice)
        return texts::shown(texts::kReasonNoSuchDevice);
    if (reason == linkreason::kNotPermitted)
        return texts::shown(texts::kReasonNotPermitted);
    static const QRegularExpression noDevice(QStringLiteral("^no device for port (-?[0-9]+)$"));
    if (const auto match = noDevice.match(reason); match.hasMatch())
        return texts::shown(texts::kReasonNoDevice).arg(match.captured(1));
    return reason;
}

QString Console::openFailure() const
{
    const QString device =
        texts::shown(texts::kPortDevice) +
        (m_link.device().isEmpty() ? texts::shown(texts::kPortNoDevice) : m_link.device());
    return m_link.lastError().isEmpty()
               ? device
               : device + QLatin1Char('\n') + texts::shown(texts::kPortReason) +
                     reasonShown(m_link.lastError());
}

// ---- Receiving ----

// What the port delivered since the last receive event, as it came: the bytes a
// receive event leaves unread are not announced twice.
void Console::announceReceived()
{
    const QByteArray waiting = m_link.peek();
    if (waiting.size() > m_unreadBefore)
        emitEvent(events::BytesReceived{waiting.mid(m_unreadBefore),
                                        QDateTime::currentDateTimeUtc(), standing()});
}

void Console::m_Comm_OnComm()
{
    if (!m_link.isOpen())
        return;
    announceReceived();
    const RecordFraming framing = variant() ? variant()->framing : RecordFraming::Etx;
    while (m_receiving && m_link.isOpen() && m_link.bytesAvailable() > 0) {
        m_state.RxByte = quint8(m_link.readByte());
        if (framing != RecordFraming::LineMultiplexed) {
            defaultFraming();
        } else if (m_state.IdentifyFlag == 1) {
            if (identificationReply())
                break; // what is still waiting is read at the next receive event
        } else {
            lineMultiplexedRouting();
        }
    }
    m_unreadBefore = m_link.isOpen() ? m_link.bytesAvailable() : 0;
}

// A buffer that already holds kBufferLimit characters when another byte arrives is
// written to the receive log as it stands and emptied, so noise without an end
// character cannot grow it without bound.
void Console::boundBuffer(QByteArray &buffer)
{
    if (buffer.size() < kBufferLimit)
        return;
    logReceivedText(buffer);
    buffer.clear();
}

void Console::defaultFraming()
{
    boundBuffer(m_state.RxBuffer);
    const char byte = char(m_state.RxByte);
    m_state.RxBuffer.append(byte);
    if (byte == 'E' && variant() && variant()->framing == RecordFraming::EtxOrLetterE) {
        LogReceived();
        ProcessBuffer();
    }
    if (byte != ETX)
        return;
    if (at(m_state.RxBuffer, 2, 2) == "ax") {
        detectionReply();
        return;
    }
    LogReceived();
    ProcessBuffer();
}

// The box's answer to a hook/ring detection read: shown in its panel only.
void Console::detectionReply()
{
    const QByteArray setting = at(m_state.RxBuffer, 4);
    const QString text = setting == "0"   ? texts::kDetectNone
                         : setting == "1" ? texts::kDetectHook
                         : setting == "2" ? texts::kDetectRing
                                          : QString();
    if (!text.isEmpty()) {
        emitEvent(events::DetectionState{text});
        MSFlexGrid7().setText(1, 0, text);
    }
    m_state.RxBuffer.clear();
}

// Variant "5" after an identification request: the reply is STX, name and version,
// ETX. True when the reply is complete and the receive event ends.
bool Console::identificationReply()
{
    boundBuffer(m_state.RxBuffer);
    m_state.RxBuffer.append(char(m_state.RxByte));
    if (m_state.RxByte != quint8(ETX))
        return false;
    LogReceived();
    const QString shown = screenText(at(m_state.RxBuffer, 2, 5));
    emitEvent(events::Identification{shown, MSFlexGrid5().text(1, 1)});
    MSFlexGrid5().setText(1, 0, shown);
    m_state.RxBuffer.clear();
    m_state.IdentifyFlag = 0;
    return true;
}

// Variant "5" multiplexes four lines by byte value: line n's bytes carry an offset,
// and each line has its own end byte (0x1F plus the offset).
void Console::lineMultiplexedRouting()
{
    const quint8 byte = m_state.RxByte;
    if (byte == 0xFF)
        return;
    const int line = byte < 0x50 ? 1 : byte < 0x90 ? 2 : byte < 0xD0 ? 3 : 4;
    const quint8 offset = quint8((line - 1) * 0x40);
    QByteArray &buffer = m_state.LineBuffer[line - 1];
    boundBuffer(buffer);
    if (byte == 0x1F + offset) {
        buffer.append('E');
        if (const VariantInfo *info = variant(); info && info->decode) {
            m_record = buffer;
            info->decode(Record{buffer, {}, line}, *this);
            m_state.RxBuffer.clear(); // the common ending, as after every record
        }
        buffer.clear();
        return;
    }
    m_state.RxByte = quint8(byte - offset);
    buffer.append(char(m_state.RxByte));
}

void Console::LogReceived()
{
    logReceivedText(m_state.RxBuffer);
}

void Console::logReceivedText(const QByteArray &text)
{
    emitEvent(events::RecordLogged{text});
    Grid &log = MSFlexGrid3();
    qint16 &row = m_state.ReceiveRow;
    log.setText(row, 0, QString::number(row));
    log.setText(row, 1, screenText(text));
    if (row - log.topRow() > 20)
        log.scrollDownOne();
    if (++row > kLastLogRow)
        row = 1;
}

// ---- Sending ----

void Console::MakeOpcode(const QByteArray &port, const QByteArray &Code, const QByteArray &Value)
{
    // "?" is the bare identification request of variant "5".
    const QByteArray frame = port == "?" ? QByteArray("?") : opcodeFrame(port, Code, Value);
    transmit(frame);
    if (port != "a")
        logSent(frame);
}

void Console::transmit(const QByteArray &frame)
{
    if (!m_link.isOpen()) {
        reportPortError();
        return;
    }
    emitEvent(events::BytesSent{frame, QDateTime::currentDateTimeUtc()});
    for (const char byte : frame)
        m_link.writeByte(byte);
    m_link.endOfFrame();
}

void Console::logSent(const QByteArray &frame)
{
    Grid &log = MSFlexGrid2();
    qint16 &row = m_state.SendRow;
    log.setText(row, 0, QString::number(row));
    log.setText(row, 1, screenText(frame));
    ++row;
    if (row - log.topRow() > 10)
        log.scrollDownOne();
    if (row > kLastLogRow)
        row = 1;
}

void Console::sendFrame(const QByteArray &frame)
{
    transmit(frame);
    logSent(frame);
}

// ---- What the operations change ----

void Console::setVariant(VariantId code)
{
    m_state.VariantCode = code;
    if (const VariantInfo *info = variant())
        MSFlexGrid4().setText(1, 0, info->deviceName);
}

void Console::startOutgoingCall(const QByteArray &number)
{
    setOutgoingCaption(texts::shown(texts::kHangUp));
    m_state.OutgoingFlag = 1;
    m_state.OutgoingNumber = number;
}

void Console::hangUpOutgoingCall()
{
    setOutgoingCaption(texts::shown(texts::kDial));
    m_state.OutgoingFlag = 0;
}

void Console::restoreState(VariantId code, qint16 identifyFlag, qint16 outgoingFlag,
                           const QByteArray &outgoingNumber)
{
    setVariant(code);
    m_state.IdentifyFlag = identifyFlag;
    m_state.OutgoingFlag = outgoingFlag;
    m_state.OutgoingNumber = outgoingNumber;
    setOutgoingCaption(outgoingFlag ? texts::shown(texts::kHangUp) : texts::shown(texts::kDial));
}

void Console::noteOperatorStep(const QString &words)
{
    emitEvent(events::OperatorStep{words, QDateTime::currentDateTimeUtc()});
}

// ---- What the decoders may do ----

void Console::writeCallerRow(const Caller &caller)
{
    Grid &log = MSFlexGrid1();
    const qint16 row = m_state.CallRow;
    log.setText(row, 0, screenText(caller.line));
    if (caller.colour != CellColour::Default) {
        log.setColour(row, 1, caller.colour);
        log.setColour(row, 2, caller.colour);
    }
    if (caller.time)
        log.setText(row, 1, *caller.time);
    log.setText(row, 2, caller.number.text);
}

void Console::writeCaller(const Caller &caller)
{
    emitEvent(events::CallerId{m_state.CallRow, caller.line, caller.time, caller.number.status,
                               caller.number.digits, caller.number.text, caller.colour,
                               m_state.VariantCode, m_record, QDateTime::currentDateTimeUtc(), {}});
    writeCallerRow(caller);
    advanceCallRow();
    scrollCallLog();
}

void Console::writeCallerCells(const Caller &caller)
{
    writeCallerRow(caller);
}

void Console::advanceCallRow()
{
    if (++m_state.CallRow > kLastLogRow)
        m_state.CallRow = 1;
}

// Scrolls the caller-ID log by one row when CallRow is more than 32 rows below its top.
void Console::scrollCallLog()
{
    Grid &log = MSFlexGrid1();
    if (m_state.CallRow - log.topRow() > 32)
        log.scrollDownOne();
}

void Console::resetLog(GridId id)
{
    Grid &log = grid(id);
    log.clearAll();
    log.writeHeaders();
    log.setTopRow(1);
    switch (id) {
    case GridId::Calls:
        m_state.CallRow = 1;
        break;
    case GridId::Sent:
        m_state.SendRow = 1;
        break;
    case GridId::Received:
        m_state.ReceiveRow = 1;
        break;
    default:
        break;
    }
}

void Console::setOutgoingCaption(const QString &caption)
{
    m_outgoingCaption = caption;
    m_view.setOutgoingCaption(caption);
    Q_EMIT outgoingCaptionChanged(caption);
}

void Console::endOutgoingCall()
{
    emitEvent(events::OutgoingCallEnded{});
    setOutgoingCaption(texts::shown(texts::kDial));
    m_state.OutgoingFlag = 0;
}

void Console::showIdentification(const QByteArray &name, const QByteArray &version)
{
    const QString shownName = screenText(name);
    const QString shownVersion = texts::kVersionPrefix + screenText(version);
    emitEvent(events::Identification{shownName, shownVersion});
    MSFlexGrid5().setText(1, 0, shownName);
    MSFlexGrid5().setText(1, 1, shownVersion);
}

} // namespace dialkite
