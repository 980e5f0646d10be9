#include "box.h"

#include "console/bytes.h"
#include "console/notation.h"
#include "console/variant.h"

namespace dialkite::sim {

namespace {

QByteArray rezFrame(char port, char command)
{
    return STX + QByteArray(1, port) + command + QByteArray(26, ' ') + ETX;
}

QByteArray rorivuFrame(char command)
{
    return QByteArray("S") + command + 'E';
}

} // namespace

bool parseFault(const QString &text, Faults *faults, QString *why)
{
    const QString kind = text.section(u':', 0, 0);
    const QString value = text.section(u':', 1);
    bool ok = true;
    if (kind == u"no-identify" && value.isEmpty())
        faults->noIdentify = true;
    else if (kind == u"wrong-version" && value.isEmpty())
        faults->wrongVersion = true;
    else if (kind == u"slow")
        faults->slowMs = value.toInt(&ok);
    else if (kind == u"drop-call-end" && value.isEmpty())
        faults->dropCallEnd = true;
    else if (kind == u"garble")
        faults->garble = value.toDouble(&ok);
    else if (kind == u"ignore" && value.size() == 1 && value[0].unicode() < 128)
        faults->ignore += value.toLatin1();
    else if (kind == u"no-ack-wait" && value.isEmpty())
        faults->noAckWait = true;
    else if (kind == u"die-after")
        faults->dieAfterMs = value.toInt(&ok);
    else if (kind == u"wrong-variant")
        faults->wrongVariant = value.toInt(&ok);
    else
        ok = false;
    if (!ok || faults->slowMs < 0 || faults->slowMs > 600000 || faults->garble < 0 ||
        faults->garble > 1 || faults->dieAfterMs < 0 || faults->dieAfterMs > 86400000 ||
        faults->wrongVariant < 0 || faults->wrongVariant > variantTable().highest()) {
        *why = QStringLiteral("--fault takes no-identify, wrong-version, slow:MS, drop-call-end,"
                              " garble:P (0 to 1), ignore:LETTER, no-ack-wait, die-after:MS or"
                              " wrong-variant:N (1 to %1), not '%2'")
                   .arg(variantTable().highest())
                   .arg(text);
        return false;
    }
    return true;
}

Box::Box(const BoxOptions &options, QObject *parent)
    : QObject(parent)
    , m_variant(options.faults.wrongVariant ? options.faults.wrongVariant : options.variant)
    , m_options(options)
    , m_random(options.seed)
{}

void Box::send(const QByteArray &bytes, bool record)
{
    QByteArray out = bytes;
    // A garbled record: one byte between its first and last changed.
    if (record && m_options.faults.garble > 0 && out.size() > 2 &&
        m_random.generateDouble() < m_options.faults.garble) {
        const qsizetype at = 1 + qsizetype(m_random.bounded(int(out.size() - 2)));
        out[at] = char(out[at] ^ 0x55);
    }
    Q_EMIT output(out);
}

void Box::setVariant(int variant)
{
    // A box of the wrong kind stays what it is, whatever it is told.
    if (!m_options.faults.wrongVariant)
        m_variant = variant;
    m_identified = false;
}

void Box::fromConsole(const QByteArray &bytes)
{
    for (const Frame &frame : m_reader.feed(bytes)) {
        if (m_options.faults.slowMs > 0)
            QTimer::singleShot(m_options.faults.slowMs, this, [this, frame] { handle(frame); });
        else
            handle(frame);
    }
}

void Box::handle(const Frame &frame)
{
    Q_EMIT frameIn(frame.bytes);
    if (fulfil(frame.bytes))
        return;
    if (frame.command != 0 && m_options.faults.ignore.contains(frame.command)) {
        Q_EMIT note(QStringLiteral("ignores %1").arg(notation(frame.bytes)));
        return;
    }
    switch (frame.kind) {
    case Frame::Kind::Query:
        identify();
        return;
    case Frame::Kind::Rorivu:
        if (frame.command == 'P')
            identify();
        else
            Q_EMIT problem(QStringLiteral("unexpected %1").arg(notation(frame.bytes)));
        return;
    case Frame::Kind::Default:
    case Frame::Kind::Rez:
        break;
    case Frame::Kind::Unknown:
        Q_EMIT problem(QStringLiteral("not a frame: %1").arg(notation(frame.bytes)));
        return;
    }
    if (frame.port == 'a') {
        handleSetting(frame);
        return;
    }
    const int line = frame.port >= '1' && frame.port <= '9' ? frame.port - '0' : 0;
    switch (frame.command) {
    case 'P':
        identify();
        return;
    case 'v':
        m_volume = frame.data.toInt();
        Q_EMIT note(QStringLiteral("speaker volume %1").arg(QString::fromLatin1(frame.data)));
        return;
    case 'O':
        if (line)
            return dialled(line, frame.data);
        break;
    case 'F':
        if (line)
            return hungUp(line);
        break;
    default:
        break;
    }
    Q_EMIT problem(QStringLiteral("unexpected %1").arg(notation(frame.bytes)));
}

void Box::handleSetting(const Frame &frame)
{
    const QByteArray digit = frame.data;
    switch (frame.command) {
    case 'x':
        // A ZURAZA box's bytes are read by value; it has no such answer.
        if (format() == Format::Zuraza) {
            Q_EMIT problem(QStringLiteral("variant 5 does not answer detection reads"));
            return;
        }
        send(detectionRecord(m_detection));
        return;
    case 'y':
        if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '2') {
            m_detection = digit[0] - '0';
            Q_EMIT note(QStringLiteral("hook/ring detection %1").arg(m_detection));
            return;
        }
        Q_EMIT problem(
            QStringLiteral("invalid detection setting \"%1\"").arg(QString::fromLatin1(digit)));
        return;
    case 'z':
        if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9' &&
            reprogrammableTo(digit[0] - '0')) {
            setVariant(digit[0] - '0');
            Q_EMIT note(QStringLiteral("reprogrammed to variant %1").arg(m_variant));
            return;
        }
        Q_EMIT problem(QStringLiteral("invalid variant \"%1\"").arg(QString::fromLatin1(digit)));
        return;
    default:
        Q_EMIT problem(QStringLiteral("unexpected %1").arg(notation(frame.bytes)));
    }
}

void Box::identify()
{
    if (m_options.faults.noIdentify) {
        Q_EMIT note(QStringLiteral("does not answer the identification request"));
        return;
    }
    Identity identity = m_options.identity.value_or(defaultIdentity(m_variant));
    if (m_options.faults.wrongVersion)
        identity.version = "V9.9";
    send(identificationRecord(m_variant, identity));
    if (format() == Format::Rez)
        expect(rezFrame(' ', 'm'), QStringLiteral("the answer to the identification"));
    else if (format() == Format::Rorivu)
        expect(rorivuFrame('M'), QStringLiteral("the answer to the identification"));
}

void Box::dialled(int line, const QByteArray &number)
{
    m_calls[line] = number;
    Q_EMIT note(
        QStringLiteral("dialling %1 on line %2").arg(QString::fromLatin1(number)).arg(line));
    delete m_callEnds.take(line);
    if (m_options.callEndAfterMs <= 0 || !hasCallEnd(m_variant))
        return;
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, line] {
        QString why;
        endCall(line, &why);
    });
    timer->start(m_options.callEndAfterMs);
    m_callEnds[line] = timer;
}

void Box::hungUp(int line)
{
    delete m_callEnds.take(line);
    if (m_calls.remove(line))
        Q_EMIT note(QStringLiteral("hung up line %1").arg(line));
    else
        Q_EMIT note(QStringLiteral("hang-up on line %1, which had no call").arg(line));
}

bool Box::endCall(int line, QString *why)
{
    const auto record = callEndRecord(m_variant, line);
    if (!record) {
        *why = QStringLiteral("this format does not report the end of a call");
        return false;
    }
    delete m_callEnds.take(line);
    m_calls.remove(line);
    Q_EMIT note(QStringLiteral("call on line %1 over").arg(line));
    if (m_options.faults.dropCallEnd) {
        Q_EMIT note(QStringLiteral("does not report it"));
        return true;
    }
    send(*record);
    return true;
}

bool Box::call(const CallEvent &event, QString *why)
{
    return burst({event}, why);
}

bool Box::burst(const QList<CallEvent> &events, QString *why)
{
    QByteArray bytes;
    QList<QByteArray> acknowledgements;
    for (const CallEvent &e : events) {
        const auto record = callRecord(m_variant, e, why);
        if (!record)
            return false;
        bytes += *record;
        if (const auto ack = acknowledgementOf(m_variant, e))
            acknowledgements.append(*ack);
    }
    // A box that does not wait for its answers sends every record again at once.
    send(m_options.faults.noAckWait ? bytes + bytes : bytes);
    for (const QByteArray &ack : acknowledgements)
        expect(ack, QStringLiteral("the acknowledgement of a call record"));
    return true;
}

void Box::sendRaw(const QByteArray &bytes)
{
    Q_EMIT output(bytes);
}

void Box::expect(const QByteArray &frame, const QString &what)
{
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    m_expected.push_back({frame, what, timer, {}});
    m_expected.back().since.start();
    auto entry = std::prev(m_expected.end());
    connect(timer, &QTimer::timeout, this, [this, entry] {
        ++m_missing;
        Q_EMIT problem(QStringLiteral("missing after %1 ms: %2, %3")
                           .arg(m_options.ackTimeoutMs)
                           .arg(entry->what, notation(entry->frame)));
        entry->timer->deleteLater();
        m_expected.erase(entry);
    });
    timer->start(m_options.ackTimeoutMs);
}

// The oldest expectation this frame meets, if any, is met.
bool Box::fulfil(const QByteArray &frame)
{
    for (auto it = m_expected.begin(); it != m_expected.end(); ++it) {
        if (it->frame != frame)
            continue;
        delete it->timer;
        m_ackTimes.append(double(it->since.nsecsElapsed()) / 1e6);
        if (frame == rezFrame(' ', 'm') || frame == rorivuFrame('M'))
            m_identified = true;
        m_expected.erase(it);
        return true;
    }
    return false;
}

} // namespace dialkite::sim
