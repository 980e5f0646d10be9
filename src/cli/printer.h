#pragma once

// How dialkite-cli speaks: results on standard output, one line at a time as they come;
// everything for the person at the terminal on standard error as "dialkite-cli: ...",
// control characters from outside shown as <HH>; a mistake of the command line as one line
// naming it and where to read more, with status 2.

#include <QByteArray>
#include <QString>

namespace dialkite::cli {

// A message for the person ("dialkite-cli: " first) on standard error.
void say(const QString &text);
// One line on standard output, at once (a program reading it sees each event as it comes).
void printLine(const QByteArray &line);
// A usage error of `command` ("" for none given); returns the exit status, 2.
int usageError(const QString &command, const QString &problem);

} // namespace dialkite::cli
