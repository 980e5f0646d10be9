#pragma once

// dialkite-cli history: searches the call history and prints what it finds, newest
// first, as an aligned table, CSV or one JSON object a line.

#include "history/rows.h"

#include <QString>

namespace dialkite::cli {

enum class HistoryFormat { Table, Csv, Json };

struct HistoryOptions {
    QString file; // the database; empty: the default one
    HistoryFilter filter;
    HistoryFormat format = HistoryFormat::Table;
    bool runs = false; // the box acceptance runs instead of the calls (their limit counts)
    qint64 steps = 0;  // with runs: the steps of this run instead
    QString copyTo;    // copy the whole history there instead (postgresql://...)
};

// Prints the rows; the exit status: 0 done, 1 no history there or it cannot be read.
int printHistory(const HistoryOptions &options);

// A date ("2026-12-07") or date and time ("2026-12-07 09:15[:04]", "T" also) in local
// time; a date alone means its first moment, or with `endOfDay` its last one.
QDateTime parseLocalTime(const QString &text, bool endOfDay);

// Columns a text takes on a terminal: Hangul and other wide characters count two.
int displayWidth(const QString &text);

} // namespace dialkite::cli
