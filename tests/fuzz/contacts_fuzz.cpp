// Fuzz target: the contact file readers (CSV in UTF-8, UTF-16 or CP949, vCards) on any
// bytes. Whatever a file holds, each entry begins on a line of the file, keeps its bounds,
// its numbers' keys are digits as dialled, and a phonebook written back out as CSV reads
// back as it was.

#include "contacts/contactfile.h"
#include "contacts/number.h"
#include "fuzz/check.h"

#include <QRegularExpression>

using namespace dialkite;
using fuzz::check;

namespace {

// What a CSV cell can carry back unchanged: no control characters (a CSV for people shows
// them as <HH>), no separators of numbers in a number, no apostrophe first.
bool plain(const QString &text, bool number)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c == QChar(0xFFFD) || (number && (c == u',' || c == u';' || c == u'/')))
            return false;
    }
    return !text.startsWith(u'\'') && text == text.trimmed();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const contacts::FileContent content = contacts::readContactFile(bytes);
    // A line ends at LF, CRLF or a CR alone: at most this many lines.
    const int lines = int(bytes.count('\n') + bytes.count('\r')) + 1;
    static const QRegularExpression key(QStringLiteral("^\\+?[0-9]{2,20}$"));
    QList<contacts::Entry> keep;
    for (const contacts::Entry &entry : content.entries) {
        check(entry.line >= 1 && entry.line <= lines, "an entry begins on a line of the file");
        check(entry.name.size() <= 1000 && entry.note.size() <= 1000, "fields are bounded");
        check(entry.numbers.size() <= 20, "numbers of one contact are bounded");
        bool roundTrips = plain(entry.name, false) && plain(entry.note, false);
        for (const QString &number : entry.numbers) {
            const QString k = contacts::numberKey(number);
            check(k.isEmpty() || key.match(k).hasMatch(), "a key is digits as dialled");
            roundTrips = roundTrips && plain(number, true) && !number.isEmpty();
        }
        if (roundTrips &&
            !(entry.name.isEmpty() && entry.note.isEmpty() && entry.numbers.isEmpty()))
            keep << entry;
    }
    const contacts::FileContent back = contacts::readContactFile(contacts::writeCsv(keep));
    check(back.entries.size() == keep.size(), "an export reads back entry for entry");
    for (qsizetype i = 0; i < keep.size() && i < back.entries.size(); ++i) {
        check(back.entries[i].name == keep[i].name, "a name reads back");
        check(back.entries[i].note == keep[i].note, "a note reads back");
        check(back.entries[i].numbers == keep[i].numbers, "numbers read back");
    }
    return 0;
}
