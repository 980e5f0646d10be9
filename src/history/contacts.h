#pragma once

// The phonebook in the call history (SQLite or PostgreSQL alike): contacts with a name, a
// note and any number of numbers, each number by its key (contacts/number.h) so that every
// way of writing it finds the one contact. A number belongs to one contact.

#include "contacts/contactfile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace dialkite {

struct Contact {
    qint64 id = 0;
    QString name;
    QString note;
    QStringList numbers; // as they were written
};

// What an import did: contacts added, contacts that got numbers they did not have,
// contacts already there as they are, and each refusal with its line.
struct ImportResult {
    int added = 0;
    int merged = 0;
    int unchanged = 0;
    QStringList refusals; // "line 7: ..."
};

class ContactBook {
public:
    // `path`: a history file or a postgresql:// address.
    explicit ContactBook(QString path);
    ~ContactBook();
    ContactBook(const ContactBook &) = delete;
    ContactBook &operator=(const ContactBook &) = delete;

    // Opens the history for writing, making or bringing it up to date as the console does.
    bool open(QString *problem);

    // Adds each entry in one transaction: a contact of a name already there gets the
    // numbers it lacks; a number another contact has is refused, as is an entry without a
    // name or a valid number.
    std::optional<ImportResult> import(const QList<contacts::Entry> &entries, QString *problem);
    // Every contact whose name, note or number holds `search` ("" for all), by name.
    std::optional<QList<Contact>> list(const QString &search, QString *problem);
    // False (and `problem` empty) when there is no contact `id`.
    bool remove(qint64 id, QString *problem);
    // Names the caller of `number`: the contact that has the number is renamed, else the
    // number goes to the contact called `name` (made when there is none). False and
    // `problem` when the number is not one or the history refused.
    bool nameNumber(const QString &number, const QString &name, QString *problem);

private:
    QString m_path;
    QString m_connection;
};

// The phonebook as the outputs need it: each number's key to its contact's name, and the
// version it was read at (every change of the phonebook moves it on).
struct NameTable {
    qint64 version = -1;
    QHash<QString, QString> names;
};
// Reads the table through connection `connection` (already open); nothing when the history
// is older than the phonebook or the read failed (`problem`).
std::optional<NameTable> readNameTable(const QString &connection, QString *problem);
// The phonebook's version alone: what a holder of the table looks at to know it changed.
std::optional<qint64> phonebookVersion(const QString &connection);

} // namespace dialkite
