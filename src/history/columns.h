#pragma once

// The columns the history is shown and exported with, the same in the window, its CSV,
// the page and `dialkite-cli history`: each column's title (Korean, as the window's), its
// key in JSON (as the monitor names it), its cell of a row as programs read it (the
// stored word: `withheld`, `#ff0000`, `3`), and, where people read another, how they
// read it (발신번호표시금지, 빨강, 3 (DK-C)). Tables, CSV and the window are for people;
// JSON, MQTT and the API keep the stored words.

#include "rows.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace dialkite {

struct HistoryColumn {
    QString title;
    const char *key;
    QString (*cell)(const CallRow &row);
    QString (*shown)(const QString &cell) = nullptr; // for people, when not the cell
};
// A call's columns, in the order they are shown.
const QList<HistoryColumn> &historyTable();
// Where the colour is among them (it paints the window's rows instead of being shown).
int historyColourColumn();
// Where the box is among them (shown only when a rig's boxes are in the history).
int historyBoxColumn();
// Where a conflict is marked (shown only where there is one; CSV has it always).
int historyConflictColumn();

struct RunColumn {
    QString title;
    const char *key;
    QString (*cell)(const RunRow &row);
    QString (*shown)(const QString &cell) = nullptr; // for people, when not the cell
};
// A run's columns, as `history --runs` shows them.
const QList<RunColumn> &runColumns();
struct StepColumn {
    QString title;
    const char *key;
    QString (*cell)(const RunStep &row);
    QString (*shown)(const QString &cell) = nullptr; // for people, when not the cell
};
// A run's steps, as `history --runs --steps RUN` shows them.
const QList<StepColumn> &stepColumns();
// A verdict ("passed", "failed"; a step's "not_run") as people read it: 합격, 불합격,
// 실행 안 함.
QString verdictShown(const QString &verdict);
// A call's status (number, withheld, public_phone, not_collected) as people read it: 번호,
// 발신번호표시금지, 공중전화, 발신번호수집불가.
QString statusShown(const QString &status);
// A cell's colour (#0000ff, #ff0000, as the history keeps it) as people read it: 파랑, 빨강.
QString colourShown(const QString &colour);
// A variant's number with its box's name beside it: "3 (DK-C)".
QString variantShown(const QString &variant);

// Who reads the cells: a program (the stored words) or a person.
enum class Reader { Program, Person };

// The cells of a row, in the columns' order.
template <typename Column, typename Row>
QStringList cellsOf(const QList<Column> &columns, const Row &row,
                    Reader reader = Reader::Program)
{
    QStringList cells;
    cells.reserve(columns.size());
    for (const Column &column : columns)
        cells << (reader == Reader::Person && column.shown ? column.shown(column.cell(row))
                                                            : column.cell(row));
    return cells;
}
// One cell of a row, for `reader`.
template <typename Column, typename Row>
QString cellOf(const Column &column, const Row &row, Reader reader)
{
    return reader == Reader::Person && column.shown ? column.shown(column.cell(row))
                                                    : column.cell(row);
}
template <typename Column> QStringList titlesOf(const QList<Column> &columns)
{
    QStringList titles;
    for (const Column &column : columns)
        titles << column.title;
    return titles;
}

// The first line of a CSV of calls: the byte-order mark and the titles.
QByteArray historyCsvHeader();

} // namespace dialkite
