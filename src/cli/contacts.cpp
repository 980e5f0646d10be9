#include "contacts.h"

#include "commands.h"
#include "history.h"
#include "printer.h"

#include "console/notation.h"
#include "contacts/contactfile.h"
#include "history/contacts.h"
#include "history/location.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <cstdio>

namespace dialkite::cli {

namespace {

constexpr qint64 kLargestFile = 64LL * 1024 * 1024; // more than any phonebook

int importFile(ContactBook &book, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(QCoreApplication::translate("dialkite", "cannot read %1: %2")
                .arg(path, file.errorString()));
        return 1;
    }
    if (file.size() > kLargestFile) {
        say(QCoreApplication::translate("dialkite", "%1 is larger than 64 MB: not a phonebook")
                .arg(path));
        return 1;
    }
    const contacts::FileContent content = contacts::readContactFile(file.readAll());
    if (!content.error.isEmpty()) {
        say(QStringLiteral("%1: %2").arg(path, content.error));
        return 1;
    }
    QString problem;
    const auto result = book.import(content.entries, &problem);
    if (!result) {
        say(QCoreApplication::translate("dialkite", "cannot import into the phonebook: %1")
                .arg(problem));
        return 1;
    }
    for (const QString &refusal : result->refusals)
        say(QStringLiteral("%1: %2").arg(path, refusal));
    std::printf("%s\n", qUtf8Printable(QCoreApplication::translate(
                                           "dialkite",
                                           "%1 (%2): %3 added, %4 merged, %5 unchanged, %6 refused")
                                           .arg(QFileInfo(path).fileName(), content.encoding)
                                           .arg(result->added)
                                           .arg(result->merged)
                                           .arg(result->unchanged)
                                           .arg(result->refusals.size())));
    return 0;
}

QString padded(const QString &text, int width)
{
    return text + QString(qMax(0, width - displayWidth(text)) + 2, QLatin1Char(' '));
}

int listContacts(ContactBook &book, const QString &search)
{
    QString problem;
    const auto found = book.list(search, &problem);
    if (!found) {
        say(QCoreApplication::translate("dialkite", "cannot read the phonebook: %1").arg(problem));
        return 1;
    }
    const QStringList header = {QStringLiteral("ID"), QStringLiteral("이름"),
                                QStringLiteral("번호"), QStringLiteral("메모")};
    QList<QStringList> rows;
    for (const Contact &contact : *found)
        rows << QStringList{QString::number(contact.id), visibleControls(contact.name),
                            visibleControls(contact.numbers.join(QStringLiteral(", "))),
                            visibleControls(contact.note)};
    QList<int> widths;
    for (const QString &title : header)
        widths << displayWidth(title);
    for (const QStringList &row : rows) {
        for (int k = 0; k < row.size(); ++k)
            widths[k] = qMax(widths[k], displayWidth(row[k]));
    }
    for (const QStringList &row : QList<QStringList>{header} + rows) {
        QString line;
        for (int k = 0; k + 1 < row.size(); ++k)
            line += padded(row[k], widths[k]);
        std::printf("%s\n", qUtf8Printable((line + row.last()).trimmed()));
    }
    return 0;
}

int exportFile(ContactBook &book, const QString &path)
{
    QString problem;
    const auto found = book.list({}, &problem);
    if (!found) {
        say(QCoreApplication::translate("dialkite", "cannot read the phonebook: %1").arg(problem));
        return 1;
    }
    QList<contacts::Entry> entries;
    for (const Contact &contact : *found)
        entries.append({0, contact.name, contact.note, contact.numbers});
    const QByteArray content = contacts::writeCsv(entries);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit()) {
        say(QCoreApplication::translate("dialkite", "cannot write %1: %2")
                .arg(path, out.errorString()));
        return 1;
    }
    std::printf("%s\n",
                qUtf8Printable(QCoreApplication::translate("dialkite", "%1 contacts written to %2")
                                   .arg(found->size())
                                   .arg(path)));
    return 0;
}

int addContact(ContactBook &book, const QStringList &words)
{
    QString problem;
    const auto result = book.import({{0, words[1], {}, words.mid(2)}}, &problem);
    if (!result) {
        say(QCoreApplication::translate("dialkite", "cannot add to the phonebook: %1")
                .arg(problem));
        return 1;
    }
    for (QString refusal : result->refusals)
        say(refusal.remove(QRegularExpression(QStringLiteral("^[^:]*: "))));
    if (result->added + result->merged == 0)
        return result->unchanged > 0 ? 0 : 1;
    std::printf("%s\n",
                qUtf8Printable((result->added
                                    ? QCoreApplication::translate("dialkite", "added %1")
                                    : QCoreApplication::translate("dialkite", "%1: numbers added"))
                                   .arg(visibleControls(words[1]))));
    return 0;
}

} // namespace

int contactsCommand(const Invocation &invocation)
{
    const QStringList &words = invocation.arguments.words;
    const QString action = words[0];
    const auto needs = [&](int count, const char *what) {
        return words.size() == count
                   ? 0
                   : usageError(invocation.command, QCoreApplication::translate("dialkite", what));
    };
    int mistake = 0;
    if (action == u"import" || action == u"export")
        mistake = needs(2, QT_TRANSLATE_NOOP("dialkite", "import and export take one FILE"));
    else if (action == u"list")
        mistake = needs(1, QT_TRANSLATE_NOOP(
                               "dialkite", "list takes no more words (--search TEXT finds some)"));
    else if (action == u"remove")
        mistake = needs(2, QT_TRANSLATE_NOOP("dialkite", "remove takes the ID that list shows"));
    else if (action == u"add")
        mistake = words.size() >= 3
                      ? 0
                      : usageError(invocation.command,
                                   QCoreApplication::translate(
                                       "dialkite", "add takes NAME and at least one NUMBER"));
    else
        return usageError(invocation.command,
                          QCoreApplication::translate(
                              "dialkite", "'%1' is not one of import, list, add, remove, export")
                              .arg(action));
    if (mistake)
        return mistake;
    bool ok = true;
    const qint64 id = action == u"remove" ? words[1].toLongLong(&ok) : 0;
    if (!ok || (action == u"remove" && id < 1))
        return usageError(
            invocation.command,
            QCoreApplication::translate("dialkite", "remove takes the ID that list shows, not '%1'")
                .arg(words[1].left(40)));
    const QString db = invocation.arguments.has(QStringLiteral("--db"))
                           ? invocation.arguments.value(QStringLiteral("--db"))
                           : defaultHistoryFile();
    QString problem;
    if (!historyLocation(db, &problem))
        return usageError(invocation.command, problem);
    ContactBook book(db);
    if (!book.open(&problem)) {
        say(problem);
        return 1;
    }
    if (action == u"import")
        return importFile(book, words[1]);
    if (action == u"export")
        return exportFile(book, words[1]);
    if (action == u"list")
        return listContacts(book, invocation.arguments.value(QStringLiteral("--search")));
    if (action == u"add")
        return addContact(book, words);
    if (!book.remove(id, &problem)) {
        say(problem.isEmpty()
                ? QCoreApplication::translate("dialkite", "there is no contact %1").arg(id)
                : problem);
        return 1;
    }
    std::printf("%s\n", qUtf8Printable(
                            QCoreApplication::translate("dialkite", "removed contact %1").arg(id)));
    return 0;
}

cmdline::Command contactsSyntax()
{
    cmdline::Command command{
        QStringLiteral("contacts"),
        QStringLiteral(
            "import FILE | list [--search TEXT] | add NAME NUMBER... |\n"
            "                    remove ID | export FILE.csv  [--db FILE|postgresql://...]"),
        QStringLiteral(
            "The phonebook kept in the call history: the names the console shows for the\n"
            "numbers it knows. import reads a CSV (UTF-8, or CP949 as spreadsheets on Korean\n"
            "PCs save it; a first line naming the 이름/name and 번호/number columns) or vCards\n"
            "(FN, TEL); a contact already there by name gets the numbers it lacks, and a\n"
            "number another contact has is refused with its line. Numbers are matched as\n"
            "they are dialled: +82 10-1234-5678, 010-1234-5678 and 01012345678 are one.\n"
            "export writes a CSV a spreadsheet opens as it is.\n"),
        {{QStringLiteral("--db"), QStringLiteral("FILE|postgresql://..."),
          QStringLiteral("the history that holds the phonebook (default: the one the\n"
                         "window keeps)")},
         {QStringLiteral("--search"), QStringLiteral("TEXT"),
          QStringLiteral("with list: contacts whose name, note or number holds TEXT")}}};
    command.minWords = 1;
    command.maxWords = -1;
    command.missingWord =
        QStringLiteral("what to do is needed: import, list, add, remove or export");
    return command;
}

} // namespace dialkite::cli
