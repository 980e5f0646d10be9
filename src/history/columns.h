#pragma once

// The columns the history is shown and exported with, the same in the window, its CSV,
// the page and `dialkite-cli history`: each column's title (Korean, as the window's), its
// key in JSON (as the monitor names it) and its cell of a row.

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
};
// A run's columns, as `history --runs` shows them.
const QList<RunColumn> &runColumns();
struct StepColumn {
    QString title;
    const char *key;
    QString (*cell)(const RunStep &row);
};
// A run's steps, as `history --runs --steps RUN` shows them.
const QList<StepColumn> &stepColumns();
int stepVerdictColumn();
int runVerdictColumn();
// A verdict ("passed", "failed"; a step's "not_run") as people read it: 합격, 불합격,
// 실행 안 함.
QString verdictShown(const QString &verdict);

// The cells of a row, in the columns' order.
template <typename Column, typename Row>
QStringList cellsOf(const QList<Column> &columns, const Row &row)
{
    QStringList cells;
    cells.reserve(columns.size());
    for (const Column &column : columns)
        cells << column.cell(row);
    return cells;
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
