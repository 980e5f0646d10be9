#pragma once

// dialkite-cli run once to its end: its status and what it printed.

#include <QByteArray>
#include <QProcess>
#include <QStringList>

namespace dialkite::test {

struct CliOutcome {
    int status;
    QByteArray out;
    QByteArray err;
};

inline CliOutcome runCli(const QStringList &arguments, int ms = 30000)
{
    QProcess process;
    process.start(QStringLiteral(DIALKITE_CLI), arguments);
    process.waitForFinished(ms);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace dialkite::test
