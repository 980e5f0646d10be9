// Fuzz target: the settings file's reader and writer. The input is a file's content,
// then (after the last NUL byte) a section, a key and a value separated by NULs. The
// value written must read back, a key the write did not name must read as before, and
// every line the write did not change must keep its bytes, line end included.

#include "console/settings.h"
#include "fuzz/check.h"

#include <QByteArray>
#include <QList>
#include <cstdio>
#include <cstdlib>

using namespace dialkite;
using fuzz::check;

namespace {

// A name the writer can place: letters, digits and a few marks, never empty.
QString name(const QByteArray &raw)
{
    QString out;
    for (const char c : raw) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '.')
            out += QLatin1Char(c);
    }
    return out.isEmpty() ? QStringLiteral("K") : out.left(40);
}

// A value that reads back as written: one line, no blanks around it, not quoted, at
// most 255 characters (the limit itself is the reader's business, checked below).
QString plainValue(const QByteArray &raw)
{
    QString value = QString::fromUtf8(raw);
    value.replace(QLatin1Char('\r'), QLatin1Char('x')).replace(QLatin1Char('\n'), QLatin1Char('x'));
    for (bool changed = true; changed;) {
        const qsizetype size = value.size();
        while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
            value.remove(0, 1);
        while (!value.isEmpty() && (value.back() == u' ' || value.back() == u'\t'))
            value.chop(1);
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value.chop(1);
        changed = value.size() != size;
    }
    return value;
}

// The file's lines, each with its end.
QList<QByteArray> lines(const QByteArray &content)
{
    QList<QByteArray> out;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype stop = start;
        while (stop < content.size() && content[stop] != '\n' && content[stop] != '\r')
            ++stop;
        if (stop < content.size())
            stop += content[stop] == '\r' && stop + 1 < content.size() && content[stop + 1] == '\n'
                        ? 2
                        : 1;
        out.append(content.mid(start, stop - start));
        start = stop;
    }
    return out;
}

bool endsLine(const QByteArray &line)
{
    return line.endsWith('\n') || line.endsWith('\r');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray content = split < 0 ? input : input.left(split);
    const QList<QByteArray> fields =
        split < 0 ? QList<QByteArray>{} : input.mid(split + 1).split('\0');
    const QString section = name(fields.value(0));
    const QString key = name(fields.value(1));
    const QString value = plainValue(fields.value(2));

    const Profile before = Profile::parse(content);
    check(before.content() == content, "parsing keeps every byte");
    const QString other = before.value(QStringLiteral("DEVICES"), QStringLiteral("COM1"));
    check(other.toUcs4().size() <= 255, "a value is at most 255 characters");

    const QByteArray written = before.withValue(section, key, value);
    const Profile after = Profile::parse(written);
    const QString back = after.value(section, key);
    check(back == value || (value.toUcs4().size() > 255 && value.startsWith(back)),
          "a value written reads back");
    if (section.compare(QStringLiteral("DEVICES"), Qt::CaseInsensitive) != 0 ||
        key.compare(QStringLiteral("COM1"), Qt::CaseInsensitive) != 0)
        check(after.value(QStringLiteral("DEVICES"), QStringLiteral("COM1")) == other,
              "another key reads as before");

    // Old and new files agree line for line from the front and from the back; between
    // them lies at most one old line (the key's own). The last old line may have gained
    // a line end.
    const QList<QByteArray> old =
        lines(content.startsWith("\xEF\xBB\xBF") ? content.mid(3) : content);
    const QList<QByteArray> now =
        lines(written.startsWith("\xEF\xBB\xBF") ? written.mid(3) : written);
    const auto same = [](const QByteArray &was, const QByteArray &is) {
        return was == is || (!endsLine(was) && is.startsWith(was) && is.size() - was.size() <= 2);
    };
    qsizetype front = 0;
    while (front < old.size() && front < now.size() && same(old[front], now[front]))
        ++front;
    qsizetype tail = 0;
    while (tail < old.size() - front && tail < now.size() - front &&
           same(old[old.size() - 1 - tail], now[now.size() - 1 - tail]))
        ++tail;
    check(old.size() - front - tail <= 1, "lines the write did not change keep their bytes");
    return 0;
}
