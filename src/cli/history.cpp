#include "history.h"

#include "history/columns.h"
#include "history/copy.h"
#include "history/reader.h"
#include "outputs/csv.h"
#include "outputs/json.h"

#include "console/notation.h"

#include <cstdio>
#include <functional>

namespace dialkite::cli {

namespace {

constexpr int kWidest = 40; // a table cell's columns at most

void out(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
}

bool wide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
           (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

int displayWidth(const QString &text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += wide(c) ? 2 : (c < 0x20 ? 0 : 1);
    return width;
}

QDateTime parseLocalTime(const QString &text, bool endOfDay)
{
    const QString t = text.trimmed().replace(QLatin1Char('T'), QLatin1Char(' '));
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime at = QDateTime::fromString(t, QLatin1String(format));
        if (at.isValid())
            return at;
    }
    const QDate date = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return {};
    return endOfDay ? date.endOfDay() : date.startOfDay();
}

namespace {

// One search, run as often as the format needs it, each row handed over as its cells as
// it is read: nothing but the row at hand is kept, whatever the number of rows.
class Search {
public:
    Search(HistoryReader &reader, const HistoryFilter &filter, bool runs)
        : m_reader(reader)
        , m_filter(filter)
        , m_runs(runs)
    {
        if (runs) {
            m_titles = titlesOf(runColumns());
            for (const RunColumn &column : runColumns())
                m_keys << QString::fromLatin1(column.key);
        } else {
            m_titles = titlesOf(historyTable());
            for (const HistoryColumn &column : historyTable())
                m_keys << QString::fromLatin1(column.key);
        }
    }
    const QStringList &titles() const { return m_titles; }
    const QStringList &keys() const { return m_keys; }
    bool runs() const { return m_runs; }
    // Calls `row` for every row found; false (and `problem`) when the search failed.
    bool each(const std::function<void(const QStringList &row)> &row, QString *problem)
    {
        if (m_runs)
            return m_reader.eachRun(
                m_filter.limit, [&](const RunRow &run) { row(cellsOf(runColumns(), run)); },
                problem);
        return m_reader.eachCall(
            m_filter, [&](const CallRow &call) { row(cellsOf(historyTable(), call)); }, problem);
    }
    // Whether any stored event names a box (a rig's history).
    bool anyBox() { return m_reader.anyBox(); }

private:
    HistoryReader &m_reader;
    HistoryFilter m_filter;
    bool m_runs = false;
    QStringList m_titles;
    QStringList m_keys;
};

QStringList pick(const QStringList &row, const QList<int> &shown)
{
    QStringList cells;
    for (const int i : shown)
        cells << row[i];
    return cells;
}

// A table: the widths first, then the rows, each pass reading as it goes. A cell shows
// control characters as <HH> and at most kWidest columns.
bool printTable(Search &search, const QStringList &header, const QList<int> &shown,
                QString *problem)
{
    const auto cell = [](const QString &text) {
        QString shown = visibleControls(text);
        if (displayWidth(shown) <= kWidest)
            return shown;
        while (displayWidth(shown) > kWidest - 1)
            shown.chop(1);
        return shown + QChar(0x2026);
    };
    QList<int> widths;
    for (const QString &title : header)
        widths << displayWidth(title);
    if (!search.each(
            [&](const QStringList &row) {
                for (int k = 0; k < shown.size(); ++k)
                    widths[k] = qMax(widths[k], displayWidth(cell(row[shown[k]])));
            },
            problem))
        return false;
    const auto line = [&](const QStringList &cells) {
        QString text;
        for (int k = 0; k < cells.size(); ++k) {
            text += cells[k];
            if (k + 1 < cells.size())
                text += QString(widths[k] - displayWidth(cells[k]) + 2, QLatin1Char(' '));
        }
        out(text.toUtf8() + '\n');
    };
    line(header);
    return search.each(
        [&](const QStringList &row) {
            QStringList cells;
            for (const int i : shown)
                cells << cell(row[i]);
            line(cells);
        },
        problem);
}

bool print(Search &search, HistoryFormat format, QString *problem)
{
    // Every column in CSV, as the window's CSV has them; the box column in a table and
    // in JSON only when a rig's boxes are in the history.
    const bool boxes = search.runs() || format == HistoryFormat::Csv || search.anyBox();
    QList<int> shown;
    for (int i = 0; i < search.titles().size(); ++i) {
        if (i != historyBoxColumn() || boxes)
            shown << i;
    }
    const QString kind = search.runs() ? QStringLiteral("run") : QStringLiteral("call");
    const QStringList header = pick(search.titles(), shown);
    switch (format) {
    case HistoryFormat::Json:
        return search.each(
            [&](const QStringList &row) {
                json::Fields fields{{QStringLiteral("event"), kind}};
                for (const int i : shown)
                    fields.append({search.keys()[i], row[i]});
                out(json::object(fields) + '\n');
            },
            problem);
    case HistoryFormat::Csv:
        out(csv::kBom + csv::line(header));
        return search.each([&](const QStringList &row) { out(csv::line(pick(row, shown))); },
                           problem);
    case HistoryFormat::Table:
        break;
    }
    return printTable(search, header, shown, problem);
}

int copyToDatabase(const QString &from, const QString &to)
{
    CopyCounts counts;
    QString problem;
    const bool ok = copyHistory(from, to, &counts, &problem);
    if (!counts.notice.isEmpty())
        std::fprintf(stderr, "dialkite-cli: %s\n", qUtf8Printable(counts.notice));
    if (!ok) {
        std::fprintf(stderr, "dialkite-cli: cannot copy %s: %s (%lld events copied before)\n",
                     qUtf8Printable(from), qUtf8Printable(problem),
                     static_cast<long long>(counts.events));
        return 1;
    }
    std::printf("copied %lld events to %s (%lld were there already), %lld runs\n",
                static_cast<long long>(counts.events), qUtf8Printable(shownLocation(to)),
                static_cast<long long>(counts.already), static_cast<long long>(counts.runs));
    return 0;
}

} // namespace

int printHistory(const HistoryOptions &options)
{
    const QString path = options.file.isEmpty() ? defaultHistoryFile() : options.file;
    QString problem;
    const auto location = historyLocation(path, &problem);
    if (!location) {
        std::fprintf(stderr, "dialkite-cli: %s\n", qUtf8Printable(problem));
        return 2;
    }
    HistoryReader reader(path);
    switch (reader.open(&problem)) {
    case HistoryReader::Status::Missing:
        std::fprintf(stderr, "dialkite-cli: no call history at %s\n", qUtf8Printable(path));
        return 1;
    case HistoryReader::Status::Failed:
        std::fprintf(stderr, "dialkite-cli: %s is not a call history this program can read: %s\n",
                     qUtf8Printable(location->shown()), qUtf8Printable(problem));
        return 1;
    case HistoryReader::Status::Ready:
        break;
    }
    if (!options.copyTo.isEmpty())
        return copyToDatabase(path, options.copyTo);
    Search search(reader, options.filter, options.runs);
    const bool printed = print(search, options.format, &problem);
    std::fflush(stdout);
    if (!printed) {
        std::fprintf(stderr, "dialkite-cli: cannot search %s: %s\n",
                     qUtf8Printable(location->shown()), qUtf8Printable(problem));
        return 1;
    }
    return 0;
}

} // namespace dialkite::cli
