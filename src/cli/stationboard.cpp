#include "stationboard.h"

#include <QJsonArray>
#include <functional>

namespace dialkite::cli {

StationBoard::StationBoard(const QList<Box> &boxes, QString station)
    : m_station(std::move(station))
{
    for (const Box &box : boxes) {
        m_order << box.name;
        m_tiles[box.name].device = box.device;
    }
}

void StationBoard::change(const QString &box, const std::function<void(Tile &)> &how)
{
    std::lock_guard lock(m_mutex);
    const auto tile = m_tiles.find(box);
    if (tile == m_tiles.end())
        return; // not a box of the station
    how(tile->second);
    ++m_changes;
    m_change.notify_all();
}

void StationBoard::begin(const QString &box, const QString &suite, int attempt)
{
    change(box, [&](Tile &t) {
        t.suite = suite;
        t.attempt = attempt;
        t.state = QStringLiteral("running");
        t.started = QDateTime::currentDateTimeUtc();
        t.ms = -1;
        t.steps.clear();
        t.line = 0;
        t.step.clear();
    });
}

void StationBoard::identified(const QString &box, const QString &name, const QString &version,
                              const QString &variant)
{
    change(box, [&](Tile &t) {
        t.name = name;
        t.version = version;
        t.variant = variant;
    });
}

void StationBoard::stepAt(const QString &box, int line, const QString &text)
{
    change(box, [&](Tile &t) {
        t.line = line;
        t.step = text;
    });
}

void StationBoard::stepDone(const QString &box, const RunStep &step)
{
    change(box, [&](Tile &t) {
        t.steps.push_back(step);
        while (t.steps.size() > size_t(kStepsShown))
            t.steps.pop_front();
    });
}

void StationBoard::asked(const QString &box, quint64 id, const QString &question,
                         const QStringList &choices)
{
    change(box, [&](Tile &t) { t.prompt = Prompt{id, question, choices}; });
}

void StationBoard::answered(const QString &box, quint64 id)
{
    // Only that question's answer clears it (another may have been asked since).
    change(box, [&](Tile &t) {
        if (t.prompt && t.prompt->id == id)
            t.prompt.reset();
    });
}

void StationBoard::runEnded(const QString &box, bool passed, QByteArray report)
{
    change(box, [&](Tile &t) {
        t.ms = t.started.msecsTo(QDateTime::currentDateTimeUtc());
        t.step.clear();
        t.line = 0;
        m_runs.push_back(
            {m_nextRun++, box, t.suite, t.attempt, passed, t.started, t.ms, std::move(report)});
        while (m_runs.size() > size_t(kRunsKept))
            m_runs.pop_front();
    });
}

void StationBoard::boxDone(const QString &box, bool passed, const QString &problem)
{
    change(box, [&](Tile &t) {
        t.state = !problem.isEmpty() ? QStringLiteral("unopened")
                  : passed           ? QStringLiteral("passed")
                                     : QStringLiteral("failed");
        t.problem = problem;
        t.prompt.reset();
    });
}

void StationBoard::finish()
{
    std::lock_guard lock(m_mutex);
    m_finished = true;
    ++m_changes;
    m_change.notify_all();
}

QJsonObject StationBoard::snapshot() const
{
    std::lock_guard lock(m_mutex);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonArray boxes;
    for (const QString &name : m_order) {
        const Tile &t = m_tiles.at(name);
        QJsonArray steps;
        for (const RunStep &step : t.steps)
            steps.append(QJsonObject{{QStringLiteral("line"), step.line},
                                     {QStringLiteral("text"), step.step},
                                     {QStringLiteral("verdict"), step.verdict},
                                     {QStringLiteral("ms"), step.measuredMs},
                                     {QStringLiteral("limit_ms"), step.limitMs},
                                     {QStringLiteral("message"), step.message},
                                     {QStringLiteral("answer"), step.answer}});
        QJsonObject tile{{QStringLiteral("box"), name},
                         {QStringLiteral("device"), t.device},
                         {QStringLiteral("suite"), t.suite},
                         {QStringLiteral("attempt"), t.attempt},
                         {QStringLiteral("name"), t.name},
                         {QStringLiteral("version"), t.version},
                         {QStringLiteral("variant"), t.variant},
                         {QStringLiteral("state"), t.state},
                         {QStringLiteral("problem"), t.problem},
                         {QStringLiteral("line"), t.line},
                         {QStringLiteral("step"), t.step},
                         {QStringLiteral("elapsed_ms"), !t.started.isValid() ? 0
                                                        : t.ms >= 0          ? t.ms
                                                                    : t.started.msecsTo(now)},
                         {QStringLiteral("steps"), steps}};
        if (t.prompt)
            tile.insert(QStringLiteral("prompt"),
                        QJsonObject{{QStringLiteral("id"), qint64(t.prompt->id)},
                                    {QStringLiteral("question"), t.prompt->question},
                                    {QStringLiteral("choices"),
                                     QJsonArray::fromStringList(t.prompt->choices)}});
        boxes.append(tile);
    }
    QJsonArray runs; // the latest first
    for (auto run = m_runs.rbegin(); run != m_runs.rend(); ++run)
        runs.append(QJsonObject{
            {QStringLiteral("id"), run->id},
            {QStringLiteral("box"), run->box},
            {QStringLiteral("suite"), run->suite},
            {QStringLiteral("attempt"), run->attempt},
            {QStringLiteral("verdict"),
             run->passed ? QStringLiteral("passed") : QStringLiteral("failed")},
            {QStringLiteral("started"),
             run->started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
            {QStringLiteral("ms"), run->ms},
            {QStringLiteral("report"), QStringLiteral("/report/%1").arg(run->id)}});
    return {{QStringLiteral("station"), m_station},
            {QStringLiteral("finished"), m_finished},
            {QStringLiteral("boxes"), boxes},
            {QStringLiteral("runs"), runs}};
}

std::optional<QByteArray> StationBoard::report(int id) const
{
    std::lock_guard lock(m_mutex);
    for (const Run &run : m_runs)
        if (run.id == id)
            return run.report;
    return std::nullopt;
}

std::optional<QStringList> StationBoard::choicesOf(quint64 id) const
{
    std::lock_guard lock(m_mutex);
    for (const auto &[name, tile] : m_tiles)
        if (tile.prompt && tile.prompt->id == id)
            return tile.prompt->choices;
    return std::nullopt;
}

quint64 StationBoard::waitForChange(quint64 seen, std::chrono::milliseconds wait)
{
    std::unique_lock lock(m_mutex);
    m_change.wait_for(lock, wait, [&] { return m_closed || m_changes != seen; });
    return m_changes;
}

void StationBoard::close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_change.notify_all();
}

bool StationBoard::closed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

} // namespace dialkite::cli
