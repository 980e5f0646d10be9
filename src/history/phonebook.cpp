#include "phonebook.h"

#include "connection.h"

#include "contacts/number.h"

#include <QFileInfo>

namespace dialkite {

namespace {

// A read-only connection to the history at `path`, when there is one to read.
bool connectTo(const QString &path, const QString &name)
{
    QString problem;
    const auto location = historyLocation(path, &problem);
    if (!location || (!location->isPostgres() && !QFileInfo::exists(location->file)))
        return false;
    return connectHistory(*location, name, true, &problem);
}

} // namespace

Phonebook::Phonebook(QString path, int pollMs)
    : m_path(std::move(path))
    , m_pollMs(pollMs)
{}

Phonebook::~Phonebook()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void Phonebook::start()
{
    {
        // The first read on the caller's thread: the first call already finds its name.
        ScopedConnection connection(QStringLiteral("phonebook-start"));
        if (connectTo(m_path, connection.name()))
            load(connection.name());
    }
    m_thread = std::thread([this] { follow(); });
}

void Phonebook::load(const QString &connection)
{
    const auto version = phonebookVersion(connection);
    if (!version || *version == this->version())
        return;
    QString problem;
    auto table = readNameTable(connection, &problem);
    if (!table)
        return;
    std::lock_guard lock(m_mutex);
    m_table = std::move(*table);
}

void Phonebook::follow()
{
    const QString name = uniqueConnectionName(QStringLiteral("phonebook"));
    bool connected = false;
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(m_pollMs), [this] { return m_stop; })) {
        lock.unlock();
        if (!connected)
            connected = connectTo(m_path, name);
        if (connected)
            load(name);
        lock.lock();
    }
    lock.unlock();
    closeConnection(name);
}

QString Phonebook::nameOf(const QString &number) const
{
    const QString key = contacts::numberKey(number);
    if (key.isEmpty())
        return {};
    std::lock_guard lock(m_mutex);
    return m_table.names.value(key);
}

qint64 Phonebook::version() const
{
    std::lock_guard lock(m_mutex);
    return m_table.version;
}

} // namespace dialkite
