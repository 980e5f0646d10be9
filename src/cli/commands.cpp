#include "commands.h"

#include "contacts.h"
#include "printer.h"

#include "console/settings.h"
#include "outputs/fleetkey.h"
#include "outputs/registry.h"

#include <QCoreApplication>
#include <cstdio>

namespace dialkite::cli {

namespace {

using cmdline::Option;

Option settingsOption()
{
    return {QStringLiteral("--settings"), QStringLiteral("INI"),
            QStringLiteral("the settings file (default: \"Dial Kite.ini\" beside this program)")};
}

cmdline::Command runSyntax()
{
    cmdline::Command command{
        QStringLiteral("run"),
        QStringLiteral("SCRIPT [--check] [--settings INI]"),
        QStringLiteral(
            "Runs a scenario script on the console's core, without a window and without a\n"
            "serial port, and prints the screen and every byte written to the port as one\n"
            "JSON object. SCRIPT may be - for standard input. A capture (the console's\n"
            "recording) runs like a script.\n"
            "\n"
            "Exit status: 0 done, 1 the script or settings file could not be read (or\n"
            "--check found a difference), 2 invalid script or usage (the reason goes to\n"
            "standard error as \"line N: ...\").\n"),
        {{QStringLiteral("--check"),
          {},
          QStringLiteral("compare every byte the core writes with the script's tx\n"
                         "lines; the first difference is reported as \"line N:\n"
                         "expected ..., wrote ...\" (status 1)")}}};
    command.minWords = 1;
    command.maxWords = 1;
    command.missingWord = QStringLiteral("a SCRIPT is needed");
    return command;
}

cmdline::Command monitorSyntax()
{
    cmdline::Command command{
        QStringLiteral("monitor"),
        QStringLiteral(
            "(--port N | --device PATH) [--variant N] [--identify] [--count N]\n"
            "                    [OUTPUTS] [--settings INI]\n"
            "       dialkite-cli monitor (--box NAME=DEVICE_OR_COMn[:VARIANT] ... | --rig FILE)\n"
            "                    [--identify] [--count N] [OUTPUTS] [--settings INI]"),
        QStringLiteral(
            "Opens a serial port for a box, answers the box as the console does, and prints\n"
            "one JSON object a line for each event: open, call (line, time, number, color),\n"
            "identification, detection, call_end; with an output that keeps events (a\n"
            "history, a broker's spool), each line once the event is kept. It runs until\n"
            "SIGINT or SIGTERM (exit 0); a port that cannot be opened or goes away, or a\n"
            "settings file that cannot be read, ends it with status 1.\n"
            "\n"
            "A rig monitor serves several boxes: every line carries \"box\"; a box that fails\n"
            "or goes away is tried again, the others go on. Every event published to a\n"
            "broker waits in the spool until a collector confirms it stored it.\n"),
        {{QStringLiteral("--port"), QStringLiteral("N"),
          QStringLiteral("the box on serial port COMn, as the settings file maps it")},
         {QStringLiteral("--device"), QStringLiteral("PATH"),
          QStringLiteral("the box on this device")},
         {QStringLiteral("--variant"), QStringLiteral("N"),
          QStringLiteral("the box's variant (default 1)")},
         {QStringLiteral("--identify"),
          {},
          QStringLiteral("send the identification request first (every box of a rig)")},
         {QStringLiteral("--box"),
          QStringLiteral("NAME=DEVICE_OR_COMn[:VARIANT]"),
          QStringLiteral("a box of a rig (repeated for each)"),
          false,
          {},
          true},
         {QStringLiteral("--rig"), QStringLiteral("FILE"),
          QStringLiteral("the boxes of a rig: one [NAME] section a box, DEVICE= or\n"
                         "PORT=, VARIANT=, IDENTIFY=1")},
         {QStringLiteral("--count"), QStringLiteral("N"), QStringLiteral("stop after N calls")}}};
    return command;
}

cmdline::Command testSyntax()
{
    cmdline::Command command{
        QStringLiteral("test"),
        QStringLiteral("SUITE... (--device PATH... | --port N | --rig FILE) [--variant V]\n"
                       "                    [--junit FILE] [--keep-going] [--batch] [--retry N]\n"
                       "                    [--captures DIR]"
                       " [--history FILE] [--report FILE | --reports DIR]\n"
                       "                    [--operator NAME] [--http [ADDR:]PORT]"),
        QStringLiteral(
            "Runs each SUITE (the runner's operator steps, waits, prompts and expectations\n"
            "with time limits, see the README's \"Testing a box\") against the box on the\n"
            "port, prints each expectation's verdict and time and \"N passed, M failed\",\n"
            "captures the run and keeps it in the call history with each step's measured\n"
            "time. Exit status 0 only when all passed, 1 when one failed, 2 for a suite that\n"
            "is not valid, 3 when the run's record could not be kept.\n"),
        {{QStringLiteral("--device"),
          QStringLiteral("PATH"),
          QStringLiteral("the box to test (repeated: several boxes at once, a station)"),
          false,
          {},
          true},
         {QStringLiteral("--rig"), QStringLiteral("FILE"),
          QStringLiteral("test the boxes of a rig file (the monitor's) at once")},
         {QStringLiteral("--port"), QStringLiteral("N"),
          QStringLiteral("the box to test on serial port COMn")},
         {QStringLiteral("--variant"), QStringLiteral("V"),
          QStringLiteral("the box's variant (default 1)")},
         {QStringLiteral("--junit"), QStringLiteral("FILE"),
          QStringLiteral("write the verdicts as JUnit XML")},
         {QStringLiteral("--keep-going"),
          {},
          QStringLiteral("go on after a failure (a suite stops at its first)")},
         {QStringLiteral("--batch"),
          {},
          QStringLiteral("no person at hand: a prompt fails at once")},
         {QStringLiteral("--report"), QStringLiteral("FILE"),
          QStringLiteral("write the run's report, a page to print or hand over with the box")},
         {QStringLiteral("--reports"), QStringLiteral("DIR"),
          QStringLiteral("write one report a run into DIR, named as its capture")},
         {QStringLiteral("--operator"), QStringLiteral("NAME"),
          QStringLiteral("who runs the test, for the report")},
         {QStringLiteral("--http"), QStringLiteral("[ADDR:]PORT"),
          QStringLiteral("serve the station's page: a tile per box, its prompts as buttons,\n"
                         "the runs' reports (127.0.0.1 unless an address is given; beyond\n"
                         "it only with a token, [HTTP] TOKEN or DIALKITE_HTTP_TOKEN)")},
         {QStringLiteral("--retry"), QStringLiteral("N"),
          QStringLiteral("run a failed suite again up to N times (0 to 10), each attempt\n"
                         "kept, the last deciding")},
         {QStringLiteral("--captures"), QStringLiteral("DIR"),
          QStringLiteral("where runs are captured (default ~/.local/share/dialkite/runs)")},
         {QStringLiteral("--history"), QStringLiteral("FILE|postgresql://..."),
          QStringLiteral("the history that keeps the runs (default: the window's)")}}};
    command.minWords = 1;
    command.maxWords = -1;
    command.missingWord = QStringLiteral("a SUITE is needed");
    return command;
}

cmdline::Command collectSyntax()
{
    return {
        QStringLiteral("collect"),
        QStringLiteral(
            "--mqtt URL [--history FILE|postgresql://...] [--client-id ID]\n"
            "                    [--share GROUP] [--http [ADDR:]PORT] [--ha-discovery [PREFIX]]"),
        QStringLiteral(
            "Subscribes to every box on the broker and stores their events in one call\n"
            "history (each once, by its id), printing each once it is stored, and confirms\n"
            "to each publisher what it stored; events that are not well formed are refused\n"
            "and counted.\n"),
        {{QStringLiteral("--mqtt"),
          QStringLiteral("URL"),
          QStringLiteral("the broker, mqtt://[USER[:PASSWORD]@]HOST[:PORT] or mqtts://..."),
          false,
          {},
          false,
          QStringLiteral("MQTT"),
          QStringLiteral("URL")},
         {QStringLiteral("--client-id"),
          QStringLiteral("ID"),
          QStringLiteral("the collector's client id on the broker (default: made from\n"
                         "the host and the history)"),
          false,
          {},
          false,
          QStringLiteral("MQTT"),
          QStringLiteral("CLIENT_ID")},
         {QStringLiteral("--share"),
          QStringLiteral("GROUP"),
          QStringLiteral("split the events among the collectors of GROUP (an MQTT 5\n"
                         "shared subscription), all writing one PostgreSQL history"),
          false,
          {},
          false,
          QStringLiteral("MQTT"),
          QStringLiteral("SHARE")}}};
}

cmdline::Command historySyntax()
{
    return {
        QStringLiteral("history"),
        QStringLiteral(
            "[--db FILE|postgresql://...] [--number TEXT] [--line L]\n"
            "                    [--since DATE] [--until DATE] [--box NAME] [--limit N]\n"
            "                    [--format table|csv|json] [--runs [--steps RUN]]\n"
            "                    [--copy-to postgresql://...]"),
        QStringLiteral("Searches the call history and prints what it finds, newest first. Exit\n"
                       "status 1 when there is no history or it cannot be read.\n"),
        {{QStringLiteral("--db"), QStringLiteral("FILE|postgresql://..."),
          QStringLiteral("the history to read (default: the one the window keeps)")},
         {QStringLiteral("--number"), QStringLiteral("TEXT"),
          QStringLiteral("calls whose number holds TEXT anywhere")},
         {QStringLiteral("--line"), QStringLiteral("L"), QStringLiteral("calls on line L")},
         {QStringLiteral("--since"), QStringLiteral("DATE"),
          QStringLiteral("from \"2026-12-07\" or \"2026-12-07 09:15\" (local time)")},
         {QStringLiteral("--until"), QStringLiteral("DATE"),
          QStringLiteral("up to that day's end or that minute")},
         {QStringLiteral("--box"), QStringLiteral("NAME"), QStringLiteral("one box's calls")},
         {QStringLiteral("--limit"), QStringLiteral("N"), QStringLiteral("the newest N rows")},
         {QStringLiteral("--format"), QStringLiteral("table|csv|json"),
          QStringLiteral("an aligned table (default), CSV for a spreadsheet, or one\n"
                         "JSON object a line")},
         {QStringLiteral("--runs"),
          {},
          QStringLiteral("the box acceptance runs instead of the calls")},
         {QStringLiteral("--steps"), QStringLiteral("RUN"),
          QStringLiteral("with --runs: the steps of run RUN (its number in the list),\n"
                         "each with its measured time and limit")},
         {QStringLiteral("--copy-to"), QStringLiteral("postgresql://..."),
          QStringLiteral("copy the whole history file into a PostgreSQL history\n"
                         "(again: nothing twice)")}}};
}

cmdline::Command fleetKeySyntax()
{
    cmdline::Command command{
        QStringLiteral("fleet-key"),
        QStringLiteral("new PATH"),
        QStringLiteral("Writes a new fleet key to PATH: 32 random bytes as hexadecimal digits,\n"
                       "readable by its owner alone (mode 0600). An existing file is never\n"
                       "replaced. Give the same file to every monitor and collector of the\n"
                       "fleet (--fleet-key-file, [MQTT] KEY_FILE or DIALKITE_FLEET_KEY_FILE).\n"),
        {}};
    command.minWords = 2;
    command.maxWords = 2;
    command.missingWord = QStringLiteral("new PATH is needed");
    return command;
}

int fleetKeyCommand(const Invocation &invocation)
{
    const QStringList &words = invocation.arguments.words;
    if (words[0] != u"new")
        return usageError(invocation.command,
                          QStringLiteral("only 'new PATH' is known, not '%1'").arg(words[0]));
    QString error;
    if (!writeNewFleetKey(words[1], &error)) {
        say(error);
        return 1;
    }
    say(QCoreApplication::translate("dialkite", "a new fleet key is in %1; give it to every "
                                                "monitor and collector of the fleet")
            .arg(words[1]));
    return 0;
}

// A command's options: its own, the output kinds', the settings file's.
CliCommand complete(CliCommand command)
{
    command.syntax.options += OutputRegistry::instance().options(command.syntax.name);
    if (command.readsSettings)
        command.syntax.options << settingsOption();
    return command;
}

QString generalHelp()
{
    QString text = QStringLiteral("Usage: dialkite-cli COMMAND [OPTIONS]\n\nCommands:\n");
    const QStringList about = {
        QStringLiteral("run a scenario script on the console's core"),
        QStringLiteral("serve a box (or a rig of them) on its port, printing its events"),
        QStringLiteral("run acceptance suites against a box"),
        QStringLiteral("store every box's events from a broker in one history"),
        QStringLiteral("search the call history"),
        QStringLiteral("make the key that signs a fleet's events and confirmations"),
        QStringLiteral("the phonebook: import, list, add, remove, export contacts")};
    for (qsizetype i = 0; i < commands().size(); ++i)
        text +=
            QStringLiteral("  %1  %2\n").arg(commands()[i].syntax.name, -10).arg(about.value(i));
    return text + QStringLiteral("\n'dialkite-cli COMMAND --help' shows a command's options.\n");
}

// A settings file that exists but cannot be read would make the core run on empty values
// (another port, another device) without a word: refused, with the reason.
std::optional<Profile> readSettings(const QString &path)
{
    Settings settings(path);
    const Profile profile = settings.load();
    if (!settings.problem().isEmpty())
        return std::nullopt;
    return profile;
}

// --settings may stand anywhere on the line; it is taken out first.
std::optional<QString> takeSettings(QStringList &arguments, QString *error)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--settings"));
    if (at < 0)
        return Settings::defaultPath();
    if (at + 1 >= arguments.size() || arguments[at + 1].startsWith(QLatin1String("--")) ||
        arguments[at + 1].isEmpty()) {
        *error = QStringLiteral("--settings needs a value");
        return std::nullopt;
    }
    const QString path = arguments[at + 1];
    arguments.remove(at, 2);
    return path;
}

} // namespace

const QList<CliCommand> &commands()
{
    static const QList<CliCommand> list = {
        complete({runSyntax(), true, runScriptCommand}),
        complete({monitorSyntax(), true, monitorCommand}),
        complete({testSyntax(), true, testCommand}),
        complete({collectSyntax(), true, collectCommand}),
        complete({historySyntax(), false, historyCommand}),
        complete({fleetKeySyntax(), false, fleetKeyCommand}),
        complete({contactsSyntax(), false, contactsCommand}),
    };
    return list;
}

const CliCommand *findCommand(const QString &name)
{
    for (const CliCommand &command : commands()) {
        if (command.syntax.name == name)
            return &command;
    }
    return nullptr;
}

int dispatch(QStringList arguments)
{
    QString error;
    const auto settingsPath = takeSettings(arguments, &error);
    // The command is the first word; its help, wherever --help stands.
    const CliCommand *command = arguments.isEmpty() ? nullptr : findCommand(arguments.front());
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        const QString text = command
                                 ? cmdline::help(QStringLiteral("dialkite-cli"), command->syntax)
                                 : generalHelp();
        std::fputs(qUtf8Printable(text), stdout);
        return 0;
    }
    if (arguments.contains(QStringLiteral("--version"))) {
        std::printf("dialkite-cli %s\n", DIALKITE_VERSION);
        return 0;
    }
    if (!settingsPath)
        return usageError({}, error);
    if (arguments.isEmpty())
        return usageError({}, QCoreApplication::translate("dialkite", "no command given"));
    const QString name = arguments.takeFirst();
    if (!command) {
        QStringList names;
        for (const CliCommand &each : commands())
            names << each.syntax.name;
        if (const auto near = cmdline::nearest(name, names))
            return usageError({}, QCoreApplication::translate(
                                      "dialkite", "unknown command '%1'; did you mean '%2'?")
                                      .arg(name, *near));
        return usageError(
            {}, QCoreApplication::translate("dialkite", "unknown command '%1'; the commands are %2")
                    .arg(name, names.join(QStringLiteral(", "))));
    }
    const auto parsed = cmdline::parse(command->syntax, arguments, &error);
    if (!parsed)
        return usageError(name, error);
    Profile profile;
    if (command->readsSettings) {
        const auto read = readSettings(*settingsPath);
        if (!read)
            return 1;
        profile = *read;
    }
    Invocation invocation{name, *parsed,
                          Config::build(profile, OutputRegistry::instance().environment(),
                                        command->syntax.options, *parsed)};
    invocation.config.settingsPath = *settingsPath;
    return command->run(invocation);
}

} // namespace dialkite::cli
