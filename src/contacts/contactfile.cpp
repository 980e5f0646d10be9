#include "contactfile.h"

#include "outputs/csv.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace dialkite::contacts {

namespace {

// The most a field may hold: a name, a note, a cell of numbers. Longer is cut.
constexpr qsizetype kLongestField = 1000;
constexpr qsizetype kMostNumbers = 20; // of one contact

QString cut(const QString &text)
{
    return text.trimmed().left(kLongestField);
}

// A cell of numbers: "010-1234-5678; 02-123-4567" or one a line.
QStringList splitNumbers(const QString &cell)
{
    static const QRegularExpression between(QStringLiteral("[,;/\\n\\r]+"));
    QStringList numbers;
    for (const QString &part : cell.split(between, Qt::SkipEmptyParts)) {
        if (!part.trimmed().isEmpty() && numbers.size() < kMostNumbers)
            numbers << cut(part);
    }
    return numbers;
}

// ---- CSV ----

struct Row {
    int line = 0;
    QStringList fields;
};

// RFC 4180 with the delimiter given: quoted fields may hold delimiters, quotes (doubled)
// and line breaks.
QList<Row> csvRows(const QString &text, QChar delimiter)
{
    QList<Row> rows;
    Row row{1, {}};
    QString field;
    bool quoted = false;
    int line = 1;
    const auto endField = [&] {
        // The mark a CSV for people puts before what a spreadsheet would take for a
        // formula: "'+82 10-..." is "+82 10-...".
        static const QRegularExpression marked(QStringLiteral("^'\\s*[=+\\-@]"));
        if (marked.match(field).hasMatch())
            field.remove(0, 1);
        row.fields << field;
        field.clear();
    };
    const auto endRow = [&] {
        endField();
        if (!(row.fields.size() == 1 && row.fields[0].trimmed().isEmpty()))
            rows << row;
        row = Row{line, {}};
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
        } else if (c == u'"' && field.trimmed().isEmpty()) {
            quoted = true;
            field.clear();
        } else if (c == delimiter) {
            endField();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            ++line;
            endRow();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.fields.isEmpty())
        endRow();
    return rows;
}

enum class Column { Other, Name, Number, Note };

Column columnOf(const QString &header)
{
    const QString h = header.trimmed().toLower();
    static const QStringList names = {QStringLiteral("이름"), QStringLiteral("성명"),
                                      QStringLiteral("name"), QStringLiteral("full name"),
                                      QStringLiteral("fn"),   QStringLiteral("display name"),
                                      QStringLiteral("상호"), QStringLiteral("거래처")};
    static const QStringList notes = {QStringLiteral("메모"), QStringLiteral("비고"),
                                      QStringLiteral("note"), QStringLiteral("notes"),
                                      QStringLiteral("memo")};
    static const QStringList numbers = {
        QStringLiteral("번호"),   QStringLiteral("전화"),   QStringLiteral("휴대폰"),
        QStringLiteral("핸드폰"), QStringLiteral("연락처"), QStringLiteral("number"),
        QStringLiteral("phone"),  QStringLiteral("tel"),    QStringLiteral("mobile")};
    if (names.contains(h))
        return Column::Name;
    if (notes.contains(h))
        return Column::Note;
    for (const QString &word : numbers) {
        if (h.contains(word))
            return Column::Number;
    }
    return Column::Other;
}

QChar delimiterOf(const QString &text)
{
    const QString first = text.left(text.indexOf(u'\n'));
    if (first.count(u'\t') > first.count(u',') && first.count(u'\t') >= first.count(u';'))
        return u'\t';
    if (first.count(u';') > first.count(u','))
        return u';';
    return u',';
}

// ---- vCard ----

// "\," "\;" "\n" "\\" as vCard writes them.
QString unescape(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            out += next == u'n' || next == u'N' ? QChar(u'\n') : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

struct Property {
    QString name; // upper case, without its group ("item1.TEL" is "TEL")
    QString value;
};

Property propertyOf(const QString &line)
{
    // The value begins after the first colon outside a quoted parameter.
    bool quoted = false;
    qsizetype colon = -1;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == u'"')
            quoted = !quoted;
        else if (line[i] == u':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon < 0)
        return {};
    QString name = line.left(colon);
    name = name.left(name.indexOf(u';') < 0 ? name.size() : name.indexOf(u';')).toUpper();
    name = name.mid(name.lastIndexOf(u'.') + 1);
    return {name, line.mid(colon + 1)};
}

// N is "family;given;additional;prefix;suffix": a Korean name is family then given.
QString nameFromN(const QString &value)
{
    const QStringList parts = value.split(u';');
    QString name = unescape(parts.value(0)).trimmed() + unescape(parts.value(1)).trimmed();
    return name;
}

} // namespace

QString decodeText(const QByteArray &bytes, QString *encoding)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *encoding = QStringLiteral("UTF-8");
        return QString::fromUtf8(bytes.mid(3));
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        *encoding = QStringLiteral("UTF-16");
        QStringDecoder utf16(QStringDecoder::Utf16);
        return QString(utf16(bytes)).remove(QChar(0xFEFF));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError()) {
        *encoding = QStringLiteral("UTF-8");
        return text;
    }
    // Not UTF-8: what a Korean Windows writes (CP949, a superset of EUC-KR).
    QStringDecoder cp949("CP949");
    if (cp949.isValid()) {
        *encoding = QStringLiteral("CP949");
        return cp949(bytes);
    }
    *encoding = QStringLiteral("UTF-8");
    return text; // the undecodable bytes as replacement characters
}

FileContent readContactFile(const QByteArray &bytes)
{
    QString encoding;
    const QString text = decodeText(bytes, &encoding);
    FileContent content =
        text.trimmed().startsWith(QLatin1String("BEGIN:VCARD"), Qt::CaseInsensitive)
            ? readVCards(text)
            : readCsv(text);
    content.encoding = encoding;
    return content;
}

FileContent readCsv(const QString &text)
{
    FileContent content;
    const QList<Row> rows = csvRows(text, delimiterOf(text));
    if (rows.isEmpty()) {
        content.error = QStringLiteral("the file is empty");
        return content;
    }
    QList<Column> columns;
    for (const QString &header : rows.front().fields)
        columns << columnOf(header);
    if (!columns.contains(Column::Name) || !columns.contains(Column::Number)) {
        content.error = QStringLiteral("the first line names no 이름/name and 번호/number columns");
        return content;
    }
    for (qsizetype r = 1; r < rows.size(); ++r) {
        Entry entry;
        entry.line = rows[r].line;
        for (qsizetype c = 0; c < rows[r].fields.size() && c < columns.size(); ++c) {
            const QString &cell = rows[r].fields[c];
            switch (columns[c]) {
            case Column::Name:
                if (entry.name.isEmpty())
                    entry.name = cut(cell);
                break;
            case Column::Number:
                entry.numbers += splitNumbers(cell);
                break;
            case Column::Note:
                if (entry.note.isEmpty())
                    entry.note = cut(cell);
                break;
            case Column::Other:
                break;
            }
        }
        content.entries << entry;
    }
    return content;
}

FileContent readVCards(const QString &text)
{
    FileContent content;
    // Unfolded: a line that begins with a blank continues the one before.
    QStringList lines;
    QList<int> numbers;
    int at = 0;
    for (QString line : text.split(u'\n')) {
        ++at;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if ((line.startsWith(u' ') || line.startsWith(u'\t')) && !lines.isEmpty()) {
            lines.last() += line.mid(1);
            continue;
        }
        lines << line;
        numbers << at;
    }
    std::optional<Entry> card;
    QString fromN;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Property property = propertyOf(lines[i]);
        if (property.name == u"BEGIN" && property.value.trimmed().toUpper() == u"VCARD") {
            card = Entry{numbers[i], {}, {}, {}};
            fromN.clear();
        } else if (!card) {
            continue;
        } else if (property.name == u"END") {
            if (card->name.isEmpty())
                card->name = cut(fromN);
            content.entries << *card;
            card.reset();
        } else if (property.name == u"FN") {
            card->name = cut(unescape(property.value));
        } else if (property.name == u"N") {
            fromN = nameFromN(property.value);
        } else if (property.name == u"TEL" && card->numbers.size() < kMostNumbers) {
            QString number = unescape(property.value).trimmed();
            if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
                number = number.mid(4);
            number = number.left(number.indexOf(u';') < 0 ? number.size() : number.indexOf(u';'));
            if (!cut(number).isEmpty())
                card->numbers << cut(number);
        } else if (property.name == u"NOTE") {
            card->note = cut(unescape(property.value));
        }
    }
    if (content.entries.isEmpty())
        content.error = QStringLiteral("no vCard in the file");
    return content;
}

QByteArray writeCsv(const QList<Entry> &entries)
{
    QByteArray out =
        QByteArray(csv::kBom) +
        csv::line({QStringLiteral("이름"), QStringLiteral("번호"), QStringLiteral("메모")});
    for (const Entry &entry : entries)
        out += csv::line({entry.name, entry.numbers.join(QStringLiteral("; ")), entry.note});
    return out;
}

} // namespace dialkite::contacts
