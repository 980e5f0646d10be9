#include "capture.h"

#include "console/texts.h"

#include "writer.h"

#include "scenario/capture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <limits>
#include <map>
#include <mutex>

namespace dialkite {

namespace {

const QString kSuffix = QStringLiteral(".scn");
// Lines are written a batch at a time: a killed console loses at most this much of the
// end of its capture.
// Lines are written together, 50 ms after the first, up to 200 ms apart under load.
constexpr int kGatherMs = 50;
constexpr int kBusyGatherMs = 200;

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

// What a console's thread hands over: a session's start or end, or one of its events.
struct Item {
    enum Kind { Take, End, Forget } kind; // an event, the session's end, the output's end
    int session;
    SharedEvent event; // as the console's output set shares it
};

using Report = std::function<void(const QString &)>;

// One recording: its options, its file and where it is in it. Lives on the writer's
// thread only.
class Recording {
public:
    Recording(CaptureOptions options, Report report)
        : m_options(std::move(options))
        , m_report(std::move(report))
    {}

    // False once the recording has failed; it takes nothing more.
    bool handle(const Item &item) { return m_failed ? false : check(handleOne(item)); }
    // The lines of a batch go out in one write.
    bool write() { return m_failed ? false : check(flush()); }
    void close()
    {
        flush();
        m_file.close();
    }

private:
    qint64 pieceLimit() const
    {
        if (m_options.folder.isEmpty())
            return std::numeric_limits<qint64>::max();
        return qMax<qint64>(64 * 1024, m_options.folderLimit / 8);
    }

    bool check(bool ok)
    {
        if (!ok) {
            m_failed = true;
            m_buffer.clear();
            m_file.close();
            m_report(m_problem);
        }
        return ok;
    }

    bool handleOne(const Item &item)
    {
        if (item.kind == Item::End)
            return closeFile();
        const Event &event = *item.event;
        if (const auto *started = std::get_if<events::SessionStarted>(&event)) {
            m_session = *started;
            return startFile(started->standing, started->at);
        }
        if (!m_file.isOpen())
            return true;
        if (const auto *received = std::get_if<events::BytesReceived>(&event)) {
            // A new piece starts only between receive events.
            if (m_written >= pieceLimit() && !startFile(received->standing, received->at))
                return false;
            return append(scenario::stampedLine(
                received->at, scenario::bytesStep(scenario::StepKind::Rx, received->bytes)));
        }
        if (const auto *sent = std::get_if<events::BytesSent>(&event))
            return append(scenario::stampedLine(
                sent->at, scenario::bytesStep(scenario::StepKind::Tx, sent->bytes)));
        if (const auto *step = std::get_if<events::OperatorStep>(&event))
            return append(scenario::stampedLine(step->at, step->words.toUtf8()));
        if (const auto *call = std::get_if<events::CallerId>(&event))
            // For the reader of a bug report; the runner skips comments.
            return append(
                scenario::commentLine(QStringLiteral("call row %1 line %2: %3")
                                          .arg(call->row)
                                          .arg(QString::fromLatin1(call->line), call->number)));
        if (const auto *lost = std::get_if<events::PortLost>(&event)) {
            const bool ok =
                append(scenario::commentLine(QStringLiteral("device lost: ") + lost->reason));
            m_file.close();
            return ok;
        }
        return true;
    }

    QString portName() const
    {
        return m_session.port > 0 ? QStringLiteral("COM%1").arg(m_session.port) : QString();
    }

    bool closeFile()
    {
        const bool ok = flush();
        m_file.close();
        return ok;
    }

    bool startFile(const events::Standing &standing, const QDateTime &at)
    {
        if (!closeFile())
            return false;
        QString path = m_options.file;
        if (path.isEmpty()) {
            if (!QDir().mkpath(m_options.folder))
                return fail(
                    QCoreApplication::translate("dialkite", "cannot make the capture folder %1")
                        .arg(m_options.folder));
            QString port = portName();
            port.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
            path = QDir(m_options.folder)
                       .filePath(at.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
                                 (port.isEmpty() ? QString() : QLatin1Char('-') + port) + kSuffix);
            prune(m_options.folder, m_options.folderLimit, pieceLimit(), path);
        }
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return fail(QCoreApplication::translate("dialkite", "cannot write capture %1: %2")
                            .arg(path, m_file.errorString()));
        m_written = 0;

        // Before start-up has finished the code is not set yet; the window applies "1" a
        // moment later, and that is where a replay starts.
        events::Standing start = standing;
        if (start.variant.isEmpty())
            start.variant = VariantId(1);
        return append(scenario::headerLines(
                   {m_options.program, portName(), m_session.device, start.variant, at})) &&
               append(scenario::stampedLine(at, scenario::stateStep(start)));
    }

    bool append(const QByteArray &bytes)
    {
        m_buffer += bytes;
        m_written += bytes.size();
        return true;
    }

    // Whole lines, one write. What the disk took only in part is taken back, so the
    // file ends at a whole line and still replays.
    bool flush()
    {
        if (m_buffer.isEmpty() || !m_file.isOpen())
            return true;
        const qint64 before = m_written - m_buffer.size();
        qint64 wrote = m_file.write(m_buffer);
        if (wrote >= 0 && wrote < m_buffer.size()) {
            // A write the disk took in part sets no error: the rest, tried again, says why
            // (a full disk), or goes in after all.
            const qint64 more = m_file.write(m_buffer.constData() + wrote, m_buffer.size() - wrote);
            wrote += std::max<qint64>(more, 0);
        }
        const bool whole = wrote == m_buffer.size();
        m_buffer.clear();
        if (whole)
            return true;
        const QString reason =
            m_file.error() == QFileDevice::NoError
                ? QCoreApplication::translate("dialkite", "the disk took only part of it")
                : m_file.errorString();
        if (wrote > 0)
            m_file.resize(before);
        return fail(QCoreApplication::translate("dialkite", "cannot write capture %1: %2")
                        .arg(m_file.fileName(), reason));
    }

    bool fail(const QString &problem)
    {
        m_problem = problem;
        return false;
    }

    CaptureOptions m_options;
    Report m_report;
    QFile m_file;
    events::SessionStarted m_session;
    QByteArray m_buffer;  // lines of the batch not written yet
    qint64 m_written = 0; // the piece's size, buffered lines included
    QString m_problem;
    bool m_failed = false;
};

} // namespace

// The thread that formats and touches the disk for every recording of the process.
class CaptureWriter : public Worker<Item> {
public:
    CaptureWriter()
        : m_thread(*this, Gathering(kGatherMs, kBusyGatherMs))
    {
        m_thread.start();
    }
    ~CaptureWriter() override { m_thread.stop(); }

    int open(CaptureOptions options, Report report)
    {
        std::lock_guard lock(m_mutex);
        const int id = ++m_lastId;
        m_added.emplace(id, std::make_unique<Recording>(std::move(options), std::move(report)));
        return id;
    }
    void push(Item item) { m_thread.push(std::move(item)); }
    bool flush(QDeadlineTimer deadline) { return m_thread.flush(deadline); }

    Outcome handle(std::deque<Item> &batch) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_recordings.merge(m_added);
        }
        for (const Item &item : batch) {
            const auto at = m_recordings.find(item.session);
            if (at == m_recordings.end())
                continue;
            if (item.kind == Item::Forget) {
                at->second->close();
                m_recordings.erase(at);
            } else {
                at->second->handle(item);
            }
        }
        for (auto &[id, recording] : m_recordings)
            recording->write();
        return Outcome::Done;
    }

private:
    std::mutex m_mutex;
    int m_lastId = 0;
    std::map<int, std::unique_ptr<Recording>> m_added; // not yet seen by the thread
    std::map<int, std::unique_ptr<Recording>> m_recordings;
    WriterThread<Item> m_thread;
};

std::shared_ptr<CaptureWriter> startCaptureWriter()
{
    return std::make_shared<CaptureWriter>();
}

CaptureOutput::CaptureOutput(std::shared_ptr<CaptureWriter> writer, CaptureOptions options,
                             QObject *parent)
    : Output(QStringLiteral("capture"), parent)
    , m_writer(std::move(writer))
{
    m_session = m_writer->open(std::move(options), [this](const QString &message) {
        onOwnerThread(this, [message](CaptureOutput *self) { self->onStopped(message); });
    });
}

CaptureOutput::CaptureOutput(CaptureOptions options, QObject *parent)
    : CaptureOutput(startCaptureWriter(), std::move(options), parent)
{}

CaptureOutput::~CaptureOutput()
{
    // The recording's file is closed and forgotten by the writer.
    m_writer->push({Item::Forget, m_session, {}});
}

QString CaptureOutput::finish(QDeadlineTimer deadline)
{
    if (!m_writer->flush(deadline))
        return QCoreApplication::translate("dialkite", "the last lines were not written in time");
    return {};
}

void CaptureOutput::onStopped(const QString &message)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_inSession = false;
    Q_EMIT news(Severity::Stopped, message);
}

void CaptureOutput::consume(const Event &event)
{
    take(std::make_shared<const Event>(event));
}

void CaptureOutput::take(const SharedEvent &shared)
{
    const Event &event = *shared;
    if (m_stopped)
        return;
    if (std::holds_alternative<events::SessionStarted>(event)) {
        m_inSession = true;
    } else if (!m_inSession) {
        return;
    } else if (std::holds_alternative<events::PortClosed>(event)) {
        m_inSession = false;
        m_writer->push({Item::End, m_session, shared});
        return;
    } else if (std::holds_alternative<events::PortLost>(event)) {
        m_inSession = false;
    } else if (!std::holds_alternative<events::BytesReceived>(event) &&
               !std::holds_alternative<events::BytesSent>(event) &&
               !std::holds_alternative<events::OperatorStep>(event) &&
               !std::holds_alternative<events::CallerId>(event)) {
        return;
    }
    m_writer->push({Item::Take, m_session, shared});
}

// ---- The kind ----

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;
constexpr qint64 kLargestCaptureLimitMb = 1000000;
// Constant at compile time: the registry is made during static initialisation.
constexpr QLatin1StringView kCapture("capture");

// Section CAPTURE: RECORD=0 turns it off, FOLDER moves it, LIMIT_MB caps all captures
// together (default 200; 1 to 1,000,000).
std::optional<CaptureOptions> folderOptions(const Config &config, QStringList *problems)
{
    const QString section = QStringLiteral("CAPTURE");
    if (config.value(section, QStringLiteral("RECORD")).trimmed() == QLatin1String("0"))
        return std::nullopt;
    CaptureOptions options;
    options.folder = config.value(section, QStringLiteral("FOLDER"));
    if (options.folder.isEmpty())
        options.folder = defaultCaptureFolder();
    const QString limit = config.value(section, QStringLiteral("LIMIT_MB")).trimmed();
    if (!limit.isEmpty()) {
        bool ok = false;
        const qint64 megabytes = limit.toLongLong(&ok);
        if (ok && megabytes >= 1 && megabytes <= kLargestCaptureLimitMb)
            options.folderLimit = megabytes * kMegabyte;
        else
            problems->append(
                QStringLiteral("[CAPTURE] LIMIT_MB=%1 is not 1 to %2; captures keep to %3 MB")
                    .arg(limit)
                    .arg(kLargestCaptureLimitMb)
                    .arg(options.folderLimit / kMegabyte));
    }
    options.program = QStringLiteral("dialkite " DIALKITE_VERSION);
    return options;
}

bool readCapturePlan(const Config &config, FrontEnd frontEnd, OutputPlan *plan, QString *)
{
    if (frontEnd == FrontEnd::Desktop) {
        if (const auto options = folderOptions(config, &plan->problems))
            plan->set(kCapture, *options);
    } else if (frontEnd == FrontEnd::Monitor &&
               config.given(QStringLiteral("CAPTURE"), QStringLiteral("FILE"))) {
        plan->set(kCapture,
                  CaptureOptions{config.value(QStringLiteral("CAPTURE"), QStringLiteral("FILE")),
                                 {},
                                 0,
                                 QStringLiteral("dialkite-cli " DIALKITE_VERSION)});
    }
    return true;
}

std::unique_ptr<Output> buildCapture(const OutputPlan &plan, SharedOutputs &shared, const QString &)
{
    const auto *options = plan.get<CaptureOptions>(kCapture);
    if (!options)
        return nullptr;
    return std::make_unique<CaptureOutput>(
        shared.get<CaptureWriter>(kCapture, [] { return startCaptureWriter(); }), *options);
}

NewsShown captureNews(Severity severity, const QString &text)
{
    if (severity == Severity::Stopped)
        return {texts::kRecordingStoppedTitle, texts::kRecordingStoppedText,
                QCoreApplication::translate("dialkite", "recording stopped: ") + text};
    return {{}, {}, QCoreApplication::translate("dialkite", "capture: ") + text};
}

} // namespace

QString defaultCaptureFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/dialkite/captures");
}

OutputKind captureKind()
{
    OutputKind kind;
    kind.name = kCapture;
    kind.section = QStringLiteral("CAPTURE");
    kind.keys = {QStringLiteral("RECORD"), QStringLiteral("FOLDER"), QStringLiteral("LIMIT_MB")};
    kind.options = {{{QStringLiteral("monitor")},
                     {QStringLiteral("--capture"),
                      QStringLiteral("FILE"),
                      QStringLiteral("write the session to FILE as a capture (a script with times\n"
                                     "that 'run --check' and dialkite-sim --replay play back)"),
                      false,
                      {},
                      false,
                      QStringLiteral("CAPTURE"),
                      QStringLiteral("FILE")}}};
    kind.role = OutputRole::Direct;
    kind.read = readCapturePlan;
    kind.build = buildCapture;
    kind.news = captureNews;
    return kind;
}

} // namespace dialkite
