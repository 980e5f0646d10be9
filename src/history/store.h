#pragma once

// The writer of one history in this process, shared by every output that writes to it
// (the boxes of a rig, the collector): one thread, one connection, one prepared insert.
// The console's thread only hands rows over; the writer takes what arrived together in
// one transaction, in WAL mode, with a busy timeout so that several consoles and monitors
// can share one file.
//
// Each output that writes through the store is an origin: it hears how many of its rows
// are committed, the store's news, and (a collector) how far each publisher is stored.

#include "rows.h"

#include "outputs/severity.h"

#include <QDeadlineTimer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace dialkite {

// What an origin hears from the store, on the store's thread.
struct StoreListener {
    std::function<void(qint64 committed)> committed;
    std::function<void(Severity, const QString &)> news;
    std::function<void(const std::vector<Stored> &)> stored;
    // The history at the path was replaced under the writer and opened anew: what was
    // committed to the one that went is not there.
    std::function<void()> replaced;
};

class HistoryStore {
public:
    virtual ~HistoryStore() = default;
    virtual const QString &path() const = 0;
    virtual int addOrigin(StoreListener listener) = 0;
    virtual void removeOrigin(int origin) = 0;
    // False when the store has stopped and takes nothing more.
    virtual bool push(int origin, EventRow row) = 0;
    // Waits until everything pushed so far is committed (or given up), or the deadline.
    virtual bool flush(QDeadlineTimer deadline) = 0;
    // Rows pushed and not committed yet.
    virtual quint64 waiting() const = 0;
};

// The store of the history at `path` (one a file or address in a process). `retry`: a
// refused write is tried again until it goes in (a collector, whose publishers keep what
// it has not confirmed) rather than stopping the history; a database server's writes are
// always tried again.
std::shared_ptr<HistoryStore> historyStore(const QString &path, bool retry = false);

} // namespace dialkite
