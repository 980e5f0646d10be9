#include "replay.h"

#include "endpoint.h"

#include "console/notation.h"

namespace dialkite::sim {

namespace {

constexpr int kPollMs = 10;
constexpr int kQuietMs = 500;     // the console has said all it will
constexpr int kAnswerMs = 5000;   // the longest wait for answers still owed
constexpr int kConsoleMs = 60000; // the longest wait for a console to open the line

} // namespace

Replay::Replay(Endpoint &line, QList<scenario::Step> steps, double speed, QObject *parent)
    : QObject(parent)
    , m_line(line)
    , m_steps(std::move(steps))
    , m_speed(speed)
{
    for (const scenario::Step &step : m_steps) {
        if (step.kind == scenario::Step::Kind::Tx)
            m_expected += step.bytes.size();
    }
    m_timer.setSingleShot(true);
    connect(&line, &Endpoint::received, this, [this](const QByteArray &bytes) {
        m_received += bytes;
        m_quiet.start();
    });
}

void Replay::start()
{
    m_waiting.start();
    waitForConsole();
}

void Replay::waitForConsole()
{
    if (!m_line.peerConfigured()) {
        if (m_waiting.elapsed() > kConsoleMs) {
            Q_EMIT note(
                QStringLiteral("no console opened %1; replaying anyway").arg(m_line.path()));
        } else {
            QTimer::singleShot(kPollMs, this, &Replay::waitForConsole);
            return;
        }
    }
    Q_EMIT note(QStringLiteral("console connected; replaying %1 steps").arg(m_steps.size()));
    playNext();
}

void Replay::playNext()
{
    while (m_next < m_steps.size()) {
        const scenario::Step &step = m_steps[m_next];
        if (step.kind == scenario::Step::Kind::Rx) {
            // The recorded gap since the previous line, scaled.
            if (m_speed > 0 && m_lastStamp.isValid() && step.stamp.isValid()) {
                const qint64 gap = qint64(double(m_lastStamp.msecsTo(step.stamp)) / m_speed);
                m_lastStamp = QDateTime();
                if (gap > 0) {
                    QTimer::singleShot(int(qMin<qint64>(gap, 3600000)), this, &Replay::playNext);
                    return;
                }
            }
            m_line.write(step.bytes);
            Q_EMIT sent(step.bytes);
        } else if (step.kind != scenario::Step::Kind::Tx &&
                   step.kind != scenario::Step::Kind::State) {
            Q_EMIT note(QStringLiteral("line %1: an operator step, the console's to take; skipped")
                            .arg(step.lineNumber));
        }
        if (step.stamp.isValid())
            m_lastStamp = step.stamp;
        ++m_next;
    }
    m_quiet.start();
    m_waiting.start();
    awaitAnswers();
}

// Done when every byte the capture expects has come and the line has been quiet for a
// moment, or when it has been quiet for long, or after kAnswerMs in all.
void Replay::awaitAnswers()
{
    const bool complete = m_received.size() >= m_expected && m_quiet.elapsed() >= 200;
    if (complete || m_quiet.elapsed() >= kQuietMs || m_waiting.elapsed() >= kAnswerMs)
        finish();
    else
        QTimer::singleShot(kPollMs, this, &Replay::awaitAnswers);
}

void Replay::finish()
{
    const QStringList found = differences(m_steps, m_received);
    for (const QString &difference : found)
        Q_EMIT note(difference);
    Q_EMIT note(found.isEmpty() ? QStringLiteral("the console answered exactly as recorded")
                                : QStringLiteral("%1 differences").arg(found.size()));
    Q_EMIT finished(found.isEmpty() ? 0 : 1);
}

QStringList Replay::differences(const QList<scenario::Step> &steps, const QByteArray &received)
{
    QStringList out;
    qsizetype at = 0;
    for (const scenario::Step &step : steps) {
        if (step.kind != scenario::Step::Kind::Tx)
            continue;
        const QByteArray got = received.mid(at, step.bytes.size());
        at += step.bytes.size();
        if (got != step.bytes)
            out.append(QStringLiteral("line %1: expected %2, got %3")
                           .arg(step.lineNumber)
                           .arg(notation(step.bytes),
                                got.isEmpty() ? QStringLiteral("nothing") : notation(got)));
    }
    if (received.size() > at)
        out.append(
            QStringLiteral("after the last tx line: got %1").arg(notation(received.mid(at))));
    return out;
}

} // namespace dialkite::sim
