#pragma once

// The phonebook as the outputs read it while the console runs: every number's name in
// memory, read from the history once at the start and again whenever the phonebook
// changes (`dialkite-cli contacts`, the page), looked at every two seconds on a thread of
// its own so that a slow database server never holds up a call.

#include "contacts.h"

#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace dialkite {

class Phonebook {
public:
    // `path`: the history (a file, or a postgresql:// address) that holds the phonebook.
    explicit Phonebook(QString path, int pollMs = 2000);
    ~Phonebook();
    Phonebook(const Phonebook &) = delete;
    Phonebook &operator=(const Phonebook &) = delete;

    // Reads the names once (a history not there yet, or older than the phonebook, has
    // none), then follows changes.
    void start();
    // The name of the contact with this number ("" when there is none); any thread.
    QString nameOf(const QString &number) const;
    // The phonebook's version last read (-1: none yet).
    qint64 version() const;

private:
    void load(const QString &connection);
    void follow();

    QString m_path;
    int m_pollMs;
    mutable std::mutex m_mutex;
    NameTable m_table;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace dialkite
