#include "contacts.h"

#include "connection.h"
#include "schema.h"

#include "console/notation.h"
#include "contacts/number.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace dialkite {

namespace {

QString shownText(const QString &text)
{
    return visibleControls(text.left(40));
}

// The phonebook as it is before an import: who has which name and which number.
struct Book {
    QHash<QString, qint64> byName;
    QHash<QString, qint64> byKey;
    QHash<qint64, QString> names;
};

bool readBook(QSqlDatabase &db, Book *book, QString *problem)
{
    QSqlQuery contacts(db);
    contacts.setForwardOnly(true);
    if (!contacts.exec(QStringLiteral("SELECT id, name FROM contacts ORDER BY id"))) {
        *problem = contacts.lastError().text();
        return false;
    }
    while (contacts.next()) {
        const qint64 id = contacts.value(0).toLongLong();
        const QString name = contacts.value(1).toString();
        book->byName.insert(name, id); // two of one name (made elsewhere): the newest
        book->names.insert(id, name);
    }
    QSqlQuery numbers(db);
    numbers.setForwardOnly(true);
    if (!numbers.exec(QStringLiteral("SELECT number_key, contact_id FROM contact_numbers"))) {
        *problem = numbers.lastError().text();
        return false;
    }
    while (numbers.next())
        book->byKey.insert(numbers.value(0).toString(), numbers.value(1).toLongLong());
    return true;
}

bool bumpVersion(QSqlDatabase &db, QString *problem)
{
    return sql::exec(db, QStringLiteral("UPDATE contacts_version SET version = version + 1"),
                     problem);
}

// The numbers of `entry` this import may give its contact `id` (0: a new one), keyed; the
// refusals said with the entry's line.
QList<std::pair<QString, QString>> numbersFor(const contacts::Entry &entry, qint64 id,
                                              const Book &book, QStringList *refusals)
{
    QList<std::pair<QString, QString>> given;
    QSet<QString> seen;
    for (const QString &number : entry.numbers) {
        const QString key = contacts::numberKey(number);
        if (key.isEmpty()) {
            refusals->append(
                QCoreApplication::translate("dialkite", "line %1: '%2' is not a telephone number")
                    .arg(entry.line)
                    .arg(shownText(number)));
            continue;
        }
        const qint64 owner = book.byKey.value(key, 0);
        if (owner != 0 && owner != id) {
            refusals->append(
                QCoreApplication::translate("dialkite", "line %1: %2 is %3's number already")
                    .arg(entry.line)
                    .arg(shownText(number), shownText(book.names.value(owner))));
            continue;
        }
        if (owner == 0 && !seen.contains(key)) {
            seen.insert(key);
            given.append({key, number.trimmed()});
        }
    }
    return given;
}

} // namespace

ContactBook::ContactBook(QString path)
    : m_path(std::move(path))
    , m_connection(uniqueConnectionName(QStringLiteral("contacts")))
{}

ContactBook::~ContactBook()
{
    closeConnection(m_connection);
}

bool ContactBook::open(QString *problem)
{
    QString moved;
    return openHistory(m_path, m_connection, &moved, problem);
}

std::optional<ImportResult> ContactBook::import(const QList<contacts::Entry> &entries,
                                                QString *problem)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        *problem = db.lastError().text();
        return std::nullopt;
    }
    const auto fail = [&](const QSqlQuery &query) {
        *problem = query.lastError().text();
        db.rollback();
        return std::nullopt;
    };
    Book book;
    if (!readBook(db, &book, problem)) {
        db.rollback();
        return std::nullopt;
    }
    QSqlQuery addContact(db);
    addContact.prepare(QStringLiteral(
        "INSERT INTO contacts (name, note, changed_utc) VALUES (?, ?, ?) RETURNING id"));
    QSqlQuery addNumber(db);
    addNumber.prepare(QStringLiteral(
        "INSERT INTO contact_numbers (contact_id, number_key, shown) VALUES (?, ?, ?)"));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    ImportResult result;
    for (const contacts::Entry &entry : entries) {
        const QString name = entry.name.trimmed();
        if (name.isEmpty()) {
            result.refusals
                << QCoreApplication::translate("dialkite", "line %1: no name").arg(entry.line);
            continue;
        }
        if (entry.numbers.isEmpty()) {
            result.refusals << QCoreApplication::translate("dialkite", "line %1: %2 has no number")
                                   .arg(entry.line)
                                   .arg(shownText(name));
            continue;
        }
        qint64 id = book.byName.value(name, 0);
        const auto given = numbersFor(entry, id, book, &result.refusals);
        if (given.isEmpty()) {
            // Already there as it is, or nothing of it could be taken.
            if (id != 0 && entry.numbers.size() > 0)
                ++result.unchanged;
            continue;
        }
        if (id == 0) {
            if (!sql::run(addContact, {sql::text(name), sql::text(entry.note.trimmed()), now},
                          problem) ||
                !addContact.next())
                return fail(addContact);
            id = addContact.value(0).toLongLong();
            addContact.finish();
            book.byName.insert(name, id);
            book.names.insert(id, name);
            ++result.added;
        } else {
            ++result.merged;
        }
        for (const auto &[key, shown] : given) {
            if (!sql::run(addNumber, {id, key, sql::text(shown)}, problem))
                return fail(addNumber);
            book.byKey.insert(key, id);
        }
    }
    if ((result.added + result.merged > 0 && !bumpVersion(db, problem)) || !db.commit()) {
        if (problem->isEmpty())
            *problem = db.lastError().text();
        db.rollback();
        return std::nullopt;
    }
    return result;
}

std::optional<QList<Contact>> ContactBook::list(const QString &search, QString *problem)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString sql = QStringLiteral("SELECT c.id, c.name, c.note, n.shown FROM contacts c"
                                 " LEFT JOIN contact_numbers n ON n.contact_id = c.id");
    QVariantList values;
    const QString text = search.trimmed();
    if (!text.isEmpty()) {
        QString pattern = text;
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        pattern = QLatin1Char('%') + pattern + QLatin1Char('%');
        const QString key = contacts::numberKey(text);
        sql += QStringLiteral(
            " WHERE c.id IN (SELECT id FROM contacts WHERE name LIKE ? ESCAPE '\\'"
            " OR note LIKE ? ESCAPE '\\' UNION SELECT contact_id FROM contact_numbers"
            " WHERE number_key LIKE ?)");
        values << pattern << pattern
               << (key.isEmpty() ? QStringLiteral("-") : QLatin1Char('%') + key + QLatin1Char('%'));
    }
    sql += QStringLiteral(" ORDER BY c.name, c.id, n.shown");
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql) || !sql::run(query, values, problem)) {
        if (problem->isEmpty())
            *problem = query.lastError().text();
        return std::nullopt;
    }
    QList<Contact> found;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (found.isEmpty() || found.last().id != id)
            found.append({id, query.value(1).toString(), query.value(2).toString(), {}});
        if (!query.value(3).isNull())
            found.last().numbers << query.value(3).toString();
    }
    return found;
}

bool ContactBook::remove(qint64 id, QString *problem)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        *problem = db.lastError().text();
        return false;
    }
    QSqlQuery numbers(db);
    numbers.prepare(QStringLiteral("DELETE FROM contact_numbers WHERE contact_id = ?"));
    QSqlQuery contact(db);
    contact.prepare(QStringLiteral("DELETE FROM contacts WHERE id = ?"));
    if (!sql::run(numbers, {id}, problem) || !sql::run(contact, {id}, problem)) {
        db.rollback();
        return false;
    }
    const bool found = contact.numRowsAffected() > 0;
    if ((found && !bumpVersion(db, problem)) || !db.commit()) {
        if (problem->isEmpty())
            *problem = db.lastError().text();
        db.rollback();
        return false;
    }
    return found;
}

bool ContactBook::nameNumber(const QString &number, const QString &name, QString *problem)
{
    const QString key = contacts::numberKey(number);
    if (key.isEmpty() || name.trimmed().isEmpty()) {
        *problem = QCoreApplication::translate("dialkite", "'%1' is not a telephone number")
                       .arg(shownText(number));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery owner(db);
    owner.prepare(QStringLiteral("SELECT contact_id FROM contact_numbers WHERE number_key = ?"));
    if (!sql::run(owner, {key}, problem))
        return false;
    if (!owner.next()) {
        const auto result = import({{1, name.trimmed(), {}, {number}}}, problem);
        return result && result->refusals.isEmpty();
    }
    const qint64 id = owner.value(0).toLongLong();
    owner.finish();
    if (!db.transaction()) {
        *problem = db.lastError().text();
        return false;
    }
    QSqlQuery rename(db);
    rename.prepare(QStringLiteral("UPDATE contacts SET name = ?, changed_utc = ? WHERE id = ?"));
    if (!sql::run(rename, {sql::text(name.trimmed()), QDateTime::currentMSecsSinceEpoch(), id},
                  problem) ||
        !bumpVersion(db, problem) || !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

std::optional<qint64> phonebookVersion(const QString &connection)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (!query.exec(QStringLiteral("SELECT version FROM contacts_version")) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

std::optional<NameTable> readNameTable(const QString &connection, QString *problem)
{
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    // One snapshot: the version and the names it stands for.
    if (!db.transaction()) {
        *problem = db.lastError().text();
        return std::nullopt;
    }
    NameTable table;
    const auto version = phonebookVersion(connection);
    QSqlQuery names(db);
    names.setForwardOnly(true);
    if (!version || !names.exec(QStringLiteral("SELECT n.number_key, c.name FROM contact_numbers n"
                                               " JOIN contacts c ON c.id = n.contact_id"))) {
        *problem = names.lastError().text();
        db.rollback();
        return std::nullopt;
    }
    table.version = *version;
    while (names.next())
        table.names.insert(names.value(0).toString(), names.value(1).toString());
    db.commit();
    return table;
}

} // namespace dialkite
