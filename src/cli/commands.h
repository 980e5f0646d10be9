#pragma once

// dialkite-cli's commands as data: each its words and options (its own, and those the
// output kinds give it), its help, and what runs it. The configuration each one runs with
// is built once, in one order: defaults, the settings file, the environment, the command
// line. Each command reads its values and checks the rules between its options in one
// function of its own file, before it does anything.

#include "console/cmdline.h"
#include "console/config.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace dialkite::cli {

// One command as it is run: what its command line said, and its configuration.
struct Invocation {
    QString command;
    cmdline::Arguments arguments;
    Config config;
};

struct CliCommand {
    cmdline::Command syntax;
    // Whether it reads the settings file (one that cannot be read ends it, status 1).
    bool readsSettings = true;
    int (*run)(const Invocation &) = nullptr;
};

// Every command; a command's syntax holds its whole list of options.
const QList<CliCommand> &commands();
const CliCommand *findCommand(const QString &name);

// Everything main() does: the command line read, the command run; the exit status.
int dispatch(QStringList arguments);

// Each command, in its own file: its values read and its rules checked (a mistake is a
// usage error), then run.
int runScriptCommand(const Invocation &invocation);
int monitorCommand(const Invocation &invocation);
int testCommand(const Invocation &invocation);
int collectCommand(const Invocation &invocation);
int historyCommand(const Invocation &invocation);
int contactsCommand(const Invocation &invocation);

} // namespace dialkite::cli
