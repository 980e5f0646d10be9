#pragma once

// An output as a front end runs it: in an OutputSet on a console's events, with a
// follower that keeps what it was given (what a monitor would print) and every piece
// of news the output told.

#include "console/console.h"
#include "outputs/json.h"
#include "outputs/output.h"

#include <QCoreApplication>
#include <QList>
#include <memory>

namespace dialkite::test {

class Watched {
public:
    Watched(Console &console, std::unique_ptr<Output> output)
        : m_output(output.get())
    {
        m_set.add(std::move(output));
        m_set.addFollower(std::make_unique<json::LinesOutput>(
            QString(), [this](const QByteArray &, const Event &event) { printed.append(event); }));
        QObject::connect(&console, &Console::observed, &m_set, &OutputSet::consume);
        QObject::connect(&m_set, &OutputSet::news,
                         [this](const QString &, Severity severity, const QString &text) {
                             news.append({severity, text});
                         });
    }
    template <typename Kind = Output> Kind &output() { return *static_cast<Kind *>(m_output); }
    // Everything handed over is in place (or given up), or `ms` have passed; the news
    // has arrived. What each output left undone.
    QStringList finish(int ms = -1)
    {
        const QStringList undone =
            m_set.finish(ms < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(ms));
        QCoreApplication::processEvents();
        return undone;
    }
    int told(Severity severity) const
    {
        int count = 0;
        for (const auto &item : news)
            count += item.first == severity ? 1 : 0;
        return count;
    }

    QList<Event> printed; // the events the follower got, in order
    QList<std::pair<Severity, QString>> news;

private:
    OutputSet m_set;
    Output *m_output;
};

} // namespace dialkite::test
