// dialkite-cli: the console without a window.

#include "runner.h"

#include "console/settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>

using dialkite::Settings;
using namespace dialkite::cli;

namespace {

const char kUsage[] =
    "Usage: dialkite-cli run SCRIPT [--settings INI]\n"
    "\n"
    "Runs a scenario script on the console's core, without a window and without a serial\n"
    "port, and prints the screen and every byte written to the port as one JSON object.\n"
    "SCRIPT may be - for standard input. INI names the settings file (default: \"Dial\n"
    "Kite.ini\" beside this program).\n"
    "\n"
    "Exit status: 0 done, 1 the script or settings file could not be read, 2 invalid\n"
    "script or usage (the reason goes to standard error as \"line N: ...\").\n";

int usage(const char *problem)
{
    if (problem)
        std::fprintf(stderr, "dialkite-cli: %s\n\n", problem);
    std::fputs(kUsage, problem ? stderr : stdout);
    return problem ? 2 : 0;
}

int run(const QString &scriptPath, const QString &settingsPath)
{
    QFile file;
    const bool opened = scriptPath == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(scriptPath), file.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(stderr, "dialkite-cli: cannot read %s: %s\n", qUtf8Printable(scriptPath),
                     qUtf8Printable(file.errorString()));
        return 1;
    }
    const Script script = parseScript(file.readAll());
    if (!script.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(script.error));
        return 2;
    }
    ScenarioRunner runner(settingsPath);
    runner.run(script.steps);
    const QByteArray out = runner.json();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString settingsPath = Settings::defaultPath();
    const qsizetype option = args.indexOf(QStringLiteral("--settings"));
    if (option >= 0) {
        if (option + 1 >= args.size())
            return usage("--settings needs a file name");
        settingsPath = args[option + 1];
        args.remove(option, 2);
    }
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))
        return usage(args.isEmpty() ? "no command given" : nullptr);
    if (args[0] == QLatin1String("run")) {
        if (args.size() != 2)
            return usage("run takes one SCRIPT");
        return run(args[1], settingsPath);
    }
    return usage("unknown command");
}
