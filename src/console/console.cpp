#include "console.h"

#include "bytes.h"
#include "texts.h"
#include "variantcode.h"
#include "variants/zuraza.h"

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
    , m_outgoingCaption(texts::kDial)
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
    m_state.InputChar.clear();
    m_state.RxBuffer.clear();
    m_state.RxByte = 0;
    m_state.CallRow = 1;
    m_state.SendRow = 1;
    m_state.ReceiveRow = 1;
}

void Console::Timer1_Timer()
{
    const std::optional<qint16> port = portNumber(m_settings.read(kPortSection, kNumKey));
    if (!port)
        reportPortError(m_settings.problem());
    else if (!m_link.open(*port))
        reportPortError();
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
    m_state.VariantCode = QStringLiteral("1");
    MSFlexGrid4().setText(1, 0, variantByNumber(1)->deviceName);
    MSFlexGrid6().setText(1, 0, texts::kPortPrefix + port);
}

void Console::ChangeComport(Choice index)
{
    if (m_link.isOpen())
        m_link.close();
    const qint16 port = index.value_or(0);
    if (!m_link.open(port)) {
        reportPortError();
        return;
    }
    const QString text = QString::number(port);
    m_settings.write(kPortSection, kNumKey, text); // a failed write is not reported
    MSFlexGrid6().setText(1, 0, texts::kPortPrefix + text);
}

bool Console::Form_Unload()
{
    const Answer answer = m_view.showMessage({texts::kQuitText,
                                              texts::kQuitTitle,
                                              {},
                                              MessageBox::Icon::Question,
                                              MessageBox::Buttons::OkCancel});
    return answer == Answer::Ok;
}

void Console::reportPortError(const QString &detail)
{
    m_view.showMessage({texts::kPortErrorText, texts::kPortErrorTitle, detail,
                        MessageBox::Icon::Stop, MessageBox::Buttons::Ok});
    if (m_link.isOpen())
        m_link.close();
}

void Console::onLinkLost()
{
    m_link.close();
    reportPortError();
}

// ---- Receiving ----

void Console::m_Comm_OnComm()
{
    while (m_receiving && m_link.isOpen() && m_link.bytesAvailable() > 0) {
        const char byte = m_link.readByte();
        m_state.InputChar = QByteArray(1, byte);
        m_state.RxByte = quint8(byte);
        if (m_state.VariantCode != QLatin1String("5")) {
            defaultFraming();
        } else if (m_state.IdentifyFlag == 1) {
            if (identificationReply())
                return; // what is still waiting is read at the next receive event
        } else {
            zurazaRouting();
        }
    }
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
    if (m_state.VariantCode == QLatin1String("4") && byte == 'E') {
        LogReceived();
        ProcessBuffer();
    }
    if (byte != ETX)
        return;
    if (at(m_state.RxBuffer, 2, 2) == "ax") {
        // The box's answer to a hook/ring detection read: shown in its panel only.
        const QByteArray setting = at(m_state.RxBuffer, 4);
        const QString text = setting == "0"   ? texts::kDetectNone
                             : setting == "1" ? texts::kDetectHook
                             : setting == "2" ? texts::kDetectRing
                                              : QString();
        if (!text.isEmpty()) {
            MSFlexGrid7().setText(1, 0, text);
            Q_EMIT detectionShown(text);
        }
        m_state.RxBuffer.clear();
        return;
    }
    LogReceived();
    ProcessBuffer();
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
    MSFlexGrid5().setText(1, 0, screenText(at(m_state.RxBuffer, 2, 5)));
    m_state.RxBuffer.clear();
    m_state.IdentifyFlag = 0;
    Q_EMIT identificationShown(MSFlexGrid5().text(1, 0), MSFlexGrid5().text(1, 1));
    return true;
}

// Variant "5" multiplexes four lines by byte value: line n's bytes carry an offset,
// and each line has its own end byte (0x1F plus the offset).
void Console::zurazaRouting()
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
        ZURAZA_ProcessLine(*this, line);
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
    QByteArray frame;
    if (port == "?") {
        frame = "?"; // the bare identification request of variant "5"
    } else {
        // STX, port, Code, Value, blanks, ETX: always 22 characters, a long Value is
        // cut so that the ETX still goes out.
        frame = STX + port + Code + Value;
        frame.truncate(21);
        frame.append(21 - frame.size(), ' ');
        frame.append(ETX);
    }
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
    for (const char byte : frame)
        m_link.writeByte(byte);
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

// ---- Shared by the decoders ----

void Console::writeCall(const QByteArray &channel, const std::optional<QString> &time,
                        const QString &number, std::optional<CellColour> colour)
{
    Grid &log = MSFlexGrid1();
    const qint16 row = m_state.CallRow;
    log.setText(row, 0, screenText(channel));
    if (colour) {
        log.setColour(row, 1, *colour);
        log.setColour(row, 2, *colour);
    }
    if (time)
        log.setText(row, 1, *time);
    log.setText(row, 2, number);
}

void Console::advanceCallRow()
{
    const int written = m_state.CallRow;
    if (++m_state.CallRow > kLastLogRow)
        m_state.CallRow = 1;
    Q_EMIT callWritten(written);
}

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
    setOutgoingCaption(texts::kDial);
    m_state.OutgoingFlag = 0;
    Q_EMIT outgoingCallEnded();
}

void Console::showIdentification(const QByteArray &name, const QByteArray &version)
{
    MSFlexGrid5().setText(1, 0, screenText(name));
    MSFlexGrid5().setText(1, 1, texts::kVersionPrefix + screenText(version));
    Q_EMIT identificationShown(MSFlexGrid5().text(1, 0), MSFlexGrid5().text(1, 1));
}

} // namespace dialkite
