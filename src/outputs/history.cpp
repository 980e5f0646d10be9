#include "history.h"

#include "json.h"
#include "writer.h"

#include "console/texts.h"
#include "history/location.h"

#include <QCoreApplication>

namespace dialkite {

namespace {

// Rows waiting for a disk that refuses them; beyond this, events are left to their
// publishers, who send them again.
constexpr quint64 kRemoteWaitingLimit = 100000;

// Constant at compile time: the registry is made during static initialisation.
constexpr QLatin1StringView kHistory("history");

// An event another console published, as the history keeps it.
EventRow publishedRow(const events::Published &published)
{
    const QJsonObject &event = published.event;
    const auto text = [&event](const char *key) {
        return event.value(QLatin1String(key)).toString();
    };
    EventRow row;
    row.kind = text("event");
    row.box = published.box;
    row.eventId = text("id");
    row.instance = published.instance;
    row.seq = published.seq;
    row.first = published.first;
    row.line = text("line");
    row.boxTime = text("time");
    const QDateTime at = QDateTime::fromString(text("pc_time"), Qt::ISODateWithMs);
    row.pcUtc = (at.isValid() ? at : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
    row.digits = text("digits");
    row.status = text("status");
    row.number = text("number");
    row.colour = text("color");
    row.variant = text("variant");
    if (row.kind == QLatin1String("call"))
        row.name = text("name");
    else if (row.kind == QLatin1String("identification"))
        row.detail = text("name") + QLatin1Char(' ') + text("version");
    else if (row.kind == QLatin1String("detection"))
        row.detail = text("state");
    return row;
}

} // namespace

// ---- The console's side ----

HistoryOutput::HistoryOutput(std::shared_ptr<HistoryStore> store, const QString &box,
                             QObject *parent)
    : Output(QStringLiteral("history"), parent)
    , m_store(std::move(store))
    , m_box(box)
{
    m_origin = m_store->addOrigin(
        {[this](qint64 count) {
             onOwnerThread(this, [count](HistoryOutput *self) { self->onCommitted(count); });
         },
         [this](Severity severity, const QString &text) {
             onOwnerThread(this, [severity, text](HistoryOutput *self) {
                 if (severity == Severity::Stopped)
                     self->onStopped(text);
                 else
                     Q_EMIT self->news(severity, text);
             });
         },
         [this](const std::vector<Stored> &stored) {
             onOwnerThread(this, [stored](HistoryOutput *self) {
                 for (const Stored &each : stored)
                     Q_EMIT self->stored(each);
             });
         },
         [this] { onOwnerThread(this, [](HistoryOutput *self) { Q_EMIT self->replaced(); }); }});
}

HistoryOutput::HistoryOutput(const QString &path, const QString &box, QObject *parent)
    : HistoryOutput(historyStore(path), box, parent)
{}

HistoryOutput::~HistoryOutput()
{
    m_store->removeOrigin(m_origin);
}

const QString &HistoryOutput::path() const
{
    return m_store->path();
}

bool HistoryOutput::accepting() const
{
    return m_store->waiting() <= kRemoteWaitingLimit;
}

quint64 HistoryOutput::committedCount() const
{
    if (m_stopped || m_pending.empty())
        return m_given;
    return m_pending.front() - 1;
}

QString HistoryOutput::finish(QDeadlineTimer deadline)
{
    const bool done = m_store->flush(deadline);
    // What was committed reaches committedCount() before finish() returns.
    QCoreApplication::sendPostedEvents(this);
    if (m_stopped || (done && m_pending.empty()))
        return {};
    return QStringLiteral("%1 events were not stored in time").arg(m_pending.size());
}

void HistoryOutput::onCommitted(qint64 count)
{
    for (qint64 i = 0; i < count && !m_pending.empty(); ++i)
        m_pending.pop_front();
    Q_EMIT committed();
}

void HistoryOutput::onStopped(const QString &message)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_pending.clear(); // never stored: the followers get them anyway
    Q_EMIT news(Severity::Stopped, message);
    Q_EMIT committed();
}

std::optional<EventRow> HistoryOutput::rowOf(const Event &event)
{
    if (const auto *published = std::get_if<events::Published>(&event))
        return publishedRow(*published);
    EventRow row;
    if (const auto *started = std::get_if<events::SessionStarted>(&event)) {
        m_port = started->port > 0 ? QStringLiteral("COM%1").arg(started->port) : QString();
        m_device = started->device;
        m_variant = started->standing.variant;
        return std::nullopt;
    }
    if (const auto *received = std::get_if<events::BytesReceived>(&event)) {
        m_variant = received->standing.variant;
        return std::nullopt;
    }
    if (const auto *call = std::get_if<events::CallerId>(&event)) {
        row.kind = QStringLiteral("call");
        row.line = QString::fromLatin1(call->line);
        row.boxTime = call->time.value_or(QString());
        row.pcUtc = call->at.toMSecsSinceEpoch();
        row.digits = QString::fromLatin1(call->digits);
        row.status = json::statusName(call->status);
        row.number = call->number;
        row.colour = json::colourName(call->colour);
        row.variant = call->variant.text();
        row.record = call->record;
        row.name = call->name;
    } else if (const auto *id = std::get_if<events::Identification>(&event)) {
        m_deviceName = id->name;
        m_deviceVersion = id->version;
        row.kind = QStringLiteral("identification");
        row.detail = id->name + QLatin1Char(' ') + id->version;
    } else if (const auto *detection = std::get_if<events::DetectionState>(&event)) {
        row.kind = QStringLiteral("detection");
        row.detail = detection->state;
    } else if (std::holds_alternative<events::OutgoingCallEnded>(event)) {
        row.kind = QStringLiteral("call_end");
    } else {
        return std::nullopt;
    }
    row.box = m_box;
    if (row.variant.isEmpty())
        row.variant = m_variant.text();
    row.port = m_port;
    row.device = m_device;
    if (row.pcUtc == 0)
        row.pcUtc = QDateTime::currentMSecsSinceEpoch();
    row.deviceName = m_deviceName;
    row.deviceVersion = m_deviceVersion;
    return row;
}

void HistoryOutput::consume(const Event &event)
{
    ++m_given;
    std::optional<EventRow> row = rowOf(event);
    if (!row || m_stopped) {
        if (m_pending.empty())
            Q_EMIT committed(); // nothing to keep: safe at once
        return;
    }
    if (m_store->push(m_origin, std::move(*row)))
        m_pending.push_back(m_given);
}

// ---- The kind ----

namespace {

bool readHistoryPlan(const Config &config, FrontEnd frontEnd, OutputPlan *plan, QString *error)
{
    const QString section = QStringLiteral("HISTORY");
    const QString file = QStringLiteral("FILE");
    HistoryPlan part;
    switch (frontEnd) {
    case FrontEnd::Desktop:
        if (const auto kept = historyFile(config.file()))
            part.path = *kept;
        else
            return true;
        break;
    case FrontEnd::Monitor:
        if (!config.given(section, file))
            return true;
        part.path = config.value(section, file);
        break;
    case FrontEnd::Collector:
        // A collector's history is its reason to be: its own unless told.
        part.path = config.valueFrom(Config::Source::CommandLine, section, file);
        if (part.path.isEmpty())
            part.path = defaultHistoryFile();
        part.retry = true;
        break;
    }
    // An address that cannot be one is the command line's mistake (the window's settings
    // say it when the history cannot be opened).
    if (frontEnd != FrontEnd::Desktop && !historyLocation(part.path, error))
        return false;
    plan->set(kHistory, part);
    return true;
}

std::unique_ptr<Output> buildHistory(const OutputPlan &plan, SharedOutputs &, const QString &box)
{
    const auto *part = plan.get<HistoryPlan>(kHistory);
    if (!part)
        return nullptr;
    return std::make_unique<HistoryOutput>(historyStore(part->path, part->retry), box);
}

NewsShown historyNews(Severity severity, const QString &text)
{
    const QString line = QStringLiteral("history: ") + text;
    if (severity == Severity::Stopped)
        return {texts::kHistoryStoppedTitle, texts::kHistoryStoppedText, line};
    return {texts::kHistoryTitle, texts::kHistoryMovedText, line};
}

} // namespace

OutputKind historyKind()
{
    OutputKind kind;
    kind.name = kHistory;
    kind.section = QStringLiteral("HISTORY");
    kind.keys = {QStringLiteral("RECORD"), QStringLiteral("FILE")};
    kind.options = {{{QStringLiteral("monitor"), QStringLiteral("collect")},
                     {QStringLiteral("--history"),
                      QStringLiteral("FILE|postgresql://..."),
                      QStringLiteral("keep every event in this call history (SQLite, or\n"
                                     "PostgreSQL: postgresql://USER@HOST[:PORT]/DB, password\n"
                                     "from DIALKITE_PG_PASSWORD, PGPASSWORD or ~/.pgpass)"),
                      false,
                      {},
                      false,
                      QStringLiteral("HISTORY"),
                      QStringLiteral("FILE")}}};
    kind.role = OutputRole::Durable;
    kind.read = readHistoryPlan;
    kind.build = buildHistory;
    kind.news = historyNews;
    return kind;
}

} // namespace dialkite
