#pragma once

// Contact files as people have them: a spreadsheet's CSV (UTF-8 with or without a
// byte-order mark, or CP949 as Korean PCs save it; a header row naming the 이름/name and
// 번호/number columns) and vCards (3.0 and 4.0: FN, N, TEL, NOTE). Everything in them is
// untrusted: a reader never fails on a byte, it says which line it could not take.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace dialkite::contacts {

// One contact as a file gives it, before its numbers are checked.
struct Entry {
    int line = 0; // where it begins in the file (1 for the first line)
    QString name;
    QString note;
    QStringList numbers; // as written
};

struct FileContent {
    QList<Entry> entries;
    QString encoding; // "UTF-8", "UTF-16", "CP949"
    QString error;    // why nothing could be read ("" when the file was read)
};

// The file's text: UTF-8 (a byte-order mark dropped), UTF-16 with its mark, else CP949.
QString decodeText(const QByteArray &bytes, QString *encoding);

// Reads a CSV or a vCard file; which, from its content.
FileContent readContactFile(const QByteArray &bytes);
FileContent readCsv(const QString &text);
FileContent readVCards(const QString &text);

// A CSV a spreadsheet on a Korean PC opens as it is: UTF-8 with a byte-order mark,
// columns 이름, 번호, 메모 (a contact's numbers joined by "; ").
QByteArray writeCsv(const QList<Entry> &entries);

} // namespace dialkite::contacts
