#include "history.h"

#include "json.h"
#include "writer.h"

#include <QCoreApplication>

namespace dialkite {

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
         {}});
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

// ---- Events from other consoles (the collector) ----

namespace {

// Rows waiting for a disk that refuses them; beyond this, events are left to their
// publishers, who send them again.
constexpr quint64 kRemoteWaitingLimit = 100000;

} // namespace

RemoteHistory::RemoteHistory(const QString &path, QObject *parent)
    : QObject(parent)
    , m_store(historyStore(path, true))
{
    m_origin = m_store->addOrigin(
        {[this](qint64 count) {
             onOwnerThread(this, [count](RemoteHistory *self) { Q_EMIT self->committed(count); });
         },
         [this](Severity severity, const QString &text) {
             onOwnerThread(this, [severity, text](RemoteHistory *self) {
                 Q_EMIT self->news(severity, text);
             });
         },
         [this](const std::vector<Stored> &stored) {
             onOwnerThread(this, [stored](RemoteHistory *self) {
                 for (const Stored &each : stored)
                     Q_EMIT self->stored(each);
             });
         }});
}

RemoteHistory::~RemoteHistory()
{
    m_store->removeOrigin(m_origin);
}

bool RemoteHistory::store(const Intake &intake)
{
    if (m_store->waiting() > kRemoteWaitingLimit)
        return false;
    const QJsonObject &event = intake.event;
    const QString kind = event.value(u"event").toString();
    const auto text = [&event](const char *key) {
        return event.value(QLatin1String(key)).toString();
    };
    EventRow row;
    row.kind = kind;
    row.box = intake.box;
    row.eventId = text("id");
    row.instance = intake.instance;
    row.seq = intake.seq;
    row.first = intake.first;
    row.line = text("line");
    row.boxTime = text("time");
    const QDateTime at = QDateTime::fromString(text("pc_time"), Qt::ISODateWithMs);
    row.pcUtc = (at.isValid() ? at : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
    row.digits = text("digits");
    row.status = text("status");
    row.number = text("number");
    row.colour = text("color");
    row.variant = text("variant");
    if (kind == QLatin1String("identification"))
        row.detail = text("name") + QLatin1Char(' ') + text("version");
    else if (kind == QLatin1String("detection"))
        row.detail = text("state");
    return m_store->push(m_origin, std::move(row));
}

void RemoteHistory::flush()
{
    m_store->flush(QDeadlineTimer(QDeadlineTimer::Forever));
    QCoreApplication::sendPostedEvents(this);
}

} // namespace dialkite
