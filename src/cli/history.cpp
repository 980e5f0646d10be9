#include "history.h"

#include "commands.h"
#include "printer.h"

#include "history/columns.h"
#include "history/copy.h"
#include "history/reader.h"
#include "outputs/csv.h"
#include "outputs/json.h"

#include "console/notation.h"

#include <QCoreApplication>
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
    Search(HistoryReader &reader, const HistoryFilter &filter, bool runs, qint64 steps)
        : m_reader(reader)
        , m_filter(filter)
        , m_runs(runs)
        , m_steps(steps)
    {
        if (steps > 0) {
            m_titles = titlesOf(stepColumns());
            for (const StepColumn &column : stepColumns())
                m_keys << QString::fromLatin1(column.key);
        } else if (runs) {
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
    bool steps() const { return m_steps > 0; }
    // Calls `row` for every row found; false (and `problem`) when the search failed.
    bool each(const std::function<void(const QStringList &row)> &row, QString *problem)
    {
        if (m_steps > 0)
            return m_reader.eachStep(
                m_steps, [&](const RunStep &step) { row(cellsOf(stepColumns(), step, reader())); },
                problem);
        if (m_runs)
            return m_reader.eachRun(
                m_filter.limit,
                [&](const RunRow &run) { row(cellsOf(runColumns(), run, reader())); }, problem);
        return m_reader.eachCall(
            m_filter, [&](const CallRow &call) { row(cellsOf(historyTable(), call, reader())); },
            problem);
    }
    // Whether any stored event names a box (a rig's history).
    bool anyBox() { return m_reader.anyBox(); }
    // Rows for a table or a CSV file rather than for a program: people read 발신번호표시금지,
    // 빨강, 합격 where JSON keeps withheld, #ff0000, passed.
    void setForPeople(bool people) { m_forPeople = people; }
    Reader reader() const { return m_forPeople ? Reader::Person : Reader::Program; }

private:
    HistoryReader &m_reader;
    HistoryFilter m_filter;
    bool m_runs = false;
    qint64 m_steps = 0; // the run whose steps are shown
    bool m_forPeople = false;
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
bool printRows(Search &search, const QStringList &header, const QList<int> &shown,
               const QList<int> &widths, QString *problem);

// A table's cell: control characters as <HH>, at most kWidest columns unless it is the
// last of its line (a capture's path, a step's message: nothing follows to keep aligned).
QString cell(const QString &text, bool last = false)
{
    QString shown = visibleControls(text);
    if (last || displayWidth(shown) <= kWidest)
        return shown;
    while (displayWidth(shown) > kWidest - 1)
        shown.chop(1);
    return shown + QChar(0x2026);
}

bool printTable(Search &search, const QStringList &header, const QList<int> &shown,
                QString *problem)
{
    QList<int> widths;
    for (const QString &title : header)
        widths << displayWidth(title);
    // A mark shown only where there is one: its column goes when no row has it.
    const qsizetype marked = search.runs() ? -1 : shown.indexOf(historyConflictColumn());
    bool anyMark = false;
    if (!search.each(
            [&](const QStringList &row) {
                for (int k = 0; k < shown.size(); ++k)
                    widths[k] = qMax(widths[k], displayWidth(cell(row[shown[k]])));
                anyMark = anyMark || (marked >= 0 && !row[shown[marked]].isEmpty());
            },
            problem))
        return false;
    if (marked >= 0 && !anyMark) {
        QList<int> kept = shown;
        kept.removeAt(marked);
        QStringList titles = header;
        titles.removeAt(marked);
        widths.removeAt(marked);
        return printRows(search, titles, kept, widths, problem);
    }
    return printRows(search, header, shown, widths, problem);
}

// The rows of a table whose widths are known.
bool printRows(Search &search, const QStringList &header, const QList<int> &shown,
               const QList<int> &widths, QString *problem)
{
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
            for (qsizetype k = 0; k < shown.size(); ++k)
                cells << cell(row[shown[k]], k + 1 == shown.size());
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
    const QString kind = search.steps()  ? QStringLiteral("step")
                         : search.runs() ? QStringLiteral("run")
                                         : QStringLiteral("call");
    const QStringList header = pick(search.titles(), shown);
    search.setForPeople(format != HistoryFormat::Json);
    switch (format) {
    case HistoryFormat::Json:
        return search.each(
            [&](const QStringList &row) {
                json::Fields fields{{QStringLiteral("event"), kind}};
                for (const int i : shown) {
                    // A conflict is marked where there is one.
                    if (!search.runs() && i == historyConflictColumn()) {
                        if (!row[i].isEmpty())
                            fields.append({search.keys()[i], true});
                        continue;
                    }
                    fields.append({search.keys()[i], row[i]});
                }
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
        say(counts.notice);
    if (!ok) {
        say(QCoreApplication::translate("dialkite", "cannot copy %1: %2 (%3 events copied before)")
                .arg(from, problem)
                .arg(counts.events));
        return 1;
    }
    std::printf(
        "%s\n",
        qUtf8Printable(QCoreApplication::translate(
                           "dialkite", "copied %1 events to %2 (%3 were there already), %4 runs")
                           .arg(counts.events)
                           .arg(shownLocation(to))
                           .arg(counts.already)
                           .arg(counts.runs)));
    return 0;
}

} // namespace

int printHistory(const HistoryOptions &options)
{
    const QString path = options.file.isEmpty() ? defaultHistoryFile() : options.file;
    QString problem;
    const auto location = historyLocation(path, &problem);
    if (!location) {
        say(problem);
        return 2;
    }
    HistoryReader reader(path);
    switch (reader.open(&problem)) {
    case HistoryReader::Status::Missing:
        say(QCoreApplication::translate("dialkite", "no call history at %1").arg(path));
        return 1;
    case HistoryReader::Status::Failed:
        say(problem);
        return 1;
    case HistoryReader::Status::Ready:
        break;
    }
    if (!options.copyTo.isEmpty())
        return copyToDatabase(path, options.copyTo);
    Search search(reader, options.filter, options.runs, options.steps);
    const bool printed = print(search, options.format, &problem);
    std::fflush(stdout);
    if (!printed) {
        say(QCoreApplication::translate("dialkite", "cannot search %1: %2")
                .arg(location->shown(), problem));
        return 1;
    }
    return 0;
}

namespace {

// The search's values, each checked; the rules of --copy-to.
std::optional<HistoryOptions> readHistoryOptions(const cmdline::Arguments &arguments,
                                                 QString *error)
{
    HistoryOptions options;
    options.runs = arguments.has(QStringLiteral("--runs"));
    if (arguments.has(QStringLiteral("--steps"))) {
        options.steps = cmdline::number(arguments.value(QStringLiteral("--steps")),
                                        QStringLiteral("--steps"), 1, 1000000000, error)
                            .value_or(0);
        if (error->isEmpty() && !options.runs)
            *error = QStringLiteral("--steps RUN shows a run's steps: give --runs too");
    }
    options.file = arguments.value(QStringLiteral("--db"));
    if (arguments.has(QStringLiteral("--copy-to"))) {
        options.copyTo = arguments.value(QStringLiteral("--copy-to"));
        if (!isPostgres(options.copyTo))
            *error =
                QStringLiteral("--copy-to takes a PostgreSQL history, postgresql://USER@HOST/DB");
        else if (isPostgres(options.file))
            *error = QStringLiteral("--copy-to copies a history file: give --db FILE");
        else
            historyLocation(options.copyTo, error);
    }
    HistoryFilter &filter = options.filter;
    filter.number = arguments.value(QStringLiteral("--number"));
    filter.box = arguments.value(QStringLiteral("--box"));
    if (error->isEmpty() && arguments.has(QStringLiteral("--line")))
        filter.line = QString::number(cmdline::number(arguments.value(QStringLiteral("--line")),
                                                      QStringLiteral("--line"), 1, 16, error)
                                          .value_or(0));
    for (const auto &[name, endOfDay] : {std::pair{"--since", false}, std::pair{"--until", true}}) {
        const QString option = QLatin1String(name);
        if (!error->isEmpty() || !arguments.has(option))
            continue;
        const QString text = arguments.value(option);
        const QDateTime at = parseLocalTime(text, endOfDay);
        if (!at.isValid())
            *error = QStringLiteral("%1 takes a date, 2026-12-07, or a time, 2026-12-07 09:15,"
                                    " not '%2'")
                         .arg(option, text);
        (endOfDay ? filter.until : filter.since) = at;
    }
    if (error->isEmpty() && arguments.has(QStringLiteral("--limit")))
        filter.limit = cmdline::number(arguments.value(QStringLiteral("--limit")),
                                       QStringLiteral("--limit"), 1, 1000000000, error)
                           .value_or(0);
    if (const QString format = arguments.value(QStringLiteral("--format"));
        error->isEmpty() && !format.isEmpty()) {
        if (format == QLatin1String("csv"))
            options.format = HistoryFormat::Csv;
        else if (format == QLatin1String("json"))
            options.format = HistoryFormat::Json;
        else if (format != QLatin1String("table"))
            *error = QStringLiteral("--format takes table, csv or json, not '%1'").arg(format);
    }
    if (!error->isEmpty())
        return std::nullopt;
    return options;
}

} // namespace

int historyCommand(const Invocation &invocation)
{
    QString error;
    const auto options = readHistoryOptions(invocation.arguments, &error);
    if (!options)
        return usageError(invocation.command, error);
    return printHistory(*options);
}

} // namespace dialkite::cli
