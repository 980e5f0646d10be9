#include "capture.h"

#include "handover.h"

#include "console/notation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

namespace dialkite {

namespace {

const QString kSuffix = QStringLiteral(".scn");

// Deletes the oldest captures in `folder` (never `keep`) until the others, with room
// for one more piece, fit under `limit`.
void prune(const QString &folder, qint64 limit, qint64 piece, const QString &keep)
{
    QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files,
                                                  QDir::Time | QDir::Reversed);
    qint64 total = 0;
    for (const QFileInfo &file : files)
        total += file.size();
    for (const QFileInfo &file : files) {
        if (total + piece <= limit)
            break;
        if (file.absoluteFilePath() != keep && QFile::remove(file.absoluteFilePath()))
            total -= file.size();
    }
}

// Where the console stood: what a file's state step says.
struct Standing {
    VariantId variant;
    qint16 identify = 0;
    qint16 outgoing = 0;
    QByteArray number;
};

// What the console's thread hands over: an event as it came, with where the console
// stood when it matters (a session or a piece may begin there).
struct Item {
    enum Kind { Session, End, Event } kind;
    dialkite::Event event;
    Standing standing;
    QString port;
    QString device;
    QDateTime at;
};

} // namespace

// The thread that formats and touches the disk. Items are queued by the console's
// thread and handled in order; after the first failure everything else is dropped.
class CaptureWriterThread {
public:
    using Report = std::function<void(const QString &)>;

    CaptureWriterThread(CaptureOptions options, Report report)
        : m_options(std::move(options))
        , m_report(std::move(report))
        , m_thread([this] { run(); })
    {}
    ~CaptureWriterThread()
    {
        m_items.quit();
        m_thread.join();
    }

    void push(Item item) { m_items.push(std::move(item)); }
    void flush() { m_items.flush(); }

private:
    qint64 pieceLimit() const
    {
        if (m_options.folder.isEmpty())
            return std::numeric_limits<qint64>::max();
        return qMax<qint64>(64 * 1024, m_options.folderLimit / 8);
    }

    void run()
    {
        std::deque<Item> batch;
        while (m_items.take(batch)) {
            bool ok = true;
            quint64 handled = 0;
            for (; ok && !batch.empty(); batch.pop_front(), ++handled)
                ok = handle(batch.front());
            batch.clear();
            if (!ok) {
                m_file.close();
                m_report(m_problem);
                m_items.fail();
                return;
            }
            m_items.handled(handled);
        }
    }

    bool handle(const Item &item)
    {
        switch (item.kind) {
        case Item::Session:
            m_port = item.port;
            m_device = item.device;
            return startFile(item.standing, item.at);
        case Item::End:
            m_file.close();
            return true;
        case Item::Event:
            break;
        }
        if (!m_file.isOpen())
            return true;
        const Event &event = item.event;
        if (const auto *received = std::get_if<events::BytesReceived>(&event)) {
            // A new piece starts only between receive events.
            if (m_written >= pieceLimit() && !startFile(item.standing, received->at))
                return false;
            return line(received->at, "rx " + notation(received->bytes).toLatin1());
        }
        if (const auto *sent = std::get_if<events::BytesSent>(&event))
            return line(sent->at, "tx " + notation(sent->bytes).toLatin1());
        if (const auto *step = std::get_if<events::OperatorStep>(&event))
            return line(item.at, step->words.toUtf8());
        if (const auto *call = std::get_if<events::CallerId>(&event))
            // For the reader of a bug report; the runner skips comments.
            return append("# call row " + QByteArray::number(call->row) + " line " +
                          notation(call->line).toLatin1() + ": " +
                          visibleControls(call->number).toUtf8() + '\n');
        if (const auto *lost = std::get_if<events::PortLost>(&event)) {
            const bool ok =
                append("# device lost: " + visibleControls(lost->reason).toUtf8() + '\n');
            m_file.close();
            return ok;
        }
        return true;
    }

    bool startFile(const Standing &standing, const QDateTime &at)
    {
        m_file.close();
        QString path = m_options.file;
        if (path.isEmpty()) {
            if (!QDir().mkpath(m_options.folder))
                return fail(
                    QStringLiteral("cannot make the capture folder %1").arg(m_options.folder));
            QString port = m_port;
            port.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
            path = QDir(m_options.folder)
                       .filePath(at.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
                                 (port.isEmpty() ? QString() : QLatin1Char('-') + port) + kSuffix);
            prune(m_options.folder, m_options.folderLimit, pieceLimit(), path);
        }
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return fail(
                QStringLiteral("cannot write capture %1: %2").arg(path, m_file.errorString()));
        m_written = 0;

        // Before start-up has finished the code is not set yet; the window applies "1" a
        // moment later, and that is where a replay starts.
        const VariantId code = standing.variant.isEmpty() ? VariantId(1) : standing.variant;
        const VariantInfo *variant = variantTable().find(code);
        QByteArray header = "# dialkite capture " + QByteArray::number(kCaptureFormat) + '\n';
        header += "# program " + m_options.program.toUtf8() + '\n';
        header += "# port " + (m_port.isEmpty() ? QByteArray() : m_port.toUtf8() + ' ') +
                  m_device.toUtf8() + '\n';
        header += "# variant " + code.text().toUtf8() +
                  (variant ? ' ' + variant->deviceName.toUtf8() : QByteArray()) + '\n';
        header += "# started " + CaptureRecorder::stamp(at) + '\n';
        return append(header) && line(at, "state variant=" + code.text().toUtf8() +
                                              " identify=" + QByteArray::number(standing.identify) +
                                              " outgoing=" + QByteArray::number(standing.outgoing) +
                                              " number=" + notation(standing.number).toLatin1());
    }

    bool line(const QDateTime &at, const QByteArray &text)
    {
        return append('@' + CaptureRecorder::stamp(at) + ' ' + text + '\n');
    }

    // One write a line: the system has every line whole or not at all.
    bool append(const QByteArray &bytes)
    {
        if (m_file.write(bytes) != bytes.size())
            return fail(QStringLiteral("cannot write capture %1: %2")
                            .arg(m_file.fileName(), m_file.errorString()));
        m_written += bytes.size();
        return true;
    }

    bool fail(const QString &problem)
    {
        m_problem = problem;
        return false;
    }

    CaptureOptions m_options;
    Report m_report;
    QFile m_file;
    QString m_port;
    QString m_device;
    qint64 m_written = 0;
    QString m_problem;

    Handover<Item> m_items;
    std::thread m_thread;
};

std::optional<CaptureOptions> recorderOptions(const Profile &settings, const QString &defaultFolder)
{
    const QString section = QStringLiteral("CAPTURE");
    if (settings.value(section, QStringLiteral("RECORD")).trimmed() == QLatin1String("0"))
        return std::nullopt;
    CaptureOptions options;
    options.folder = settings.value(section, QStringLiteral("FOLDER"));
    if (options.folder.isEmpty())
        options.folder = defaultFolder;
    bool ok = false;
    const qint64 megabytes = settings.value(section, QStringLiteral("LIMIT_MB")).toLongLong(&ok);
    if (ok && megabytes > 0)
        options.folderLimit = megabytes * 1024 * 1024;
    options.program = QStringLiteral("dialkite " DIALKITE_VERSION);
    return options;
}

CaptureRecorder::CaptureRecorder(const Console &console, CaptureOptions options, QObject *parent)
    : QObject(parent)
    , m_console(console)
{
    m_writer =
        std::make_unique<CaptureWriterThread>(std::move(options), [this](const QString &message) {
            onOwnerThread(this,
                          [message](CaptureRecorder *self) { self->onWriterFailed(message); });
        });
}

CaptureRecorder::~CaptureRecorder() = default;

QByteArray CaptureRecorder::stamp(const QDateTime &at)
{
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toLatin1();
}

void CaptureRecorder::flush()
{
    m_writer->flush();
}

void CaptureRecorder::onWriterFailed(const QString &message)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_inSession = false;
    Q_EMIT failed(message);
}

void CaptureRecorder::startSession(const QString &port, const QString &device)
{
    if (m_stopped)
        return;
    const ConsoleState &s = m_console.state();
    m_inSession = true;
    m_writer->push({Item::Session,
                    {},
                    {s.VariantCode, s.IdentifyFlag, s.OutgoingFlag, s.OutgoingNumber},
                    port,
                    device,
                    QDateTime::currentDateTimeUtc()});
}

void CaptureRecorder::consume(const Event &event)
{
    if (m_stopped)
        return;
    if (const auto *opened = std::get_if<events::PortOpened>(&event)) {
        startSession(QStringLiteral("COM%1").arg(opened->port), opened->device);
        return;
    }
    if (!m_inSession)
        return;
    if (std::holds_alternative<events::PortClosed>(event)) {
        m_inSession = false;
        m_writer->push({Item::End, {}, {}, {}, {}, {}});
        return;
    }
    if (std::holds_alternative<events::PortLost>(event))
        m_inSession = false;
    Item item{Item::Event, event, {}, {}, {}, {}};
    if (std::holds_alternative<events::BytesReceived>(event)) {
        const ConsoleState &s = m_console.state();
        item.standing = {s.VariantCode, s.IdentifyFlag, s.OutgoingFlag, s.OutgoingNumber};
    } else if (std::holds_alternative<events::OperatorStep>(event)) {
        item.at = QDateTime::currentDateTimeUtc();
    }
    m_writer->push(std::move(item));
}

} // namespace dialkite
