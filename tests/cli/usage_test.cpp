// dialkite-cli's mistakes as a user makes them: each is one line that names the option
// or word at fault and says where to read more, with status 2; a monitor that cannot
// open its port leaves no file behind.

#include "support/runcli.h"

#include "cli/commands.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

using Outcome = dialkite::test::CliOutcome;

Outcome cli(const QStringList &arguments)
{
    return dialkite::test::runCli(arguments, 15000);
}

} // namespace

TEST(Usage, EachMistakeIsOneLineThatNamesIt)
{
    const std::pair<QStringList, const char *> cases[] = {
        {{QStringLiteral("history"), QStringLiteral("--bogus")},
         "dialkite-cli: history: unknown option --bogus (see 'dialkite-cli history --help')\n"},
        {{QStringLiteral("histroy")},
         "dialkite-cli: unknown command 'histroy'; did you mean 'history'? (see 'dialkite-cli "
         "--help')\n"},
        {{QStringLiteral("run"), QStringLiteral("x.scn"), QStringLiteral("--chek")},
         "dialkite-cli: run: unknown option --chek; did you mean --check? (see 'dialkite-cli "
         "run --help')\n"},
        {{QStringLiteral("history"), QStringLiteral("--number")},
         "dialkite-cli: history: --number needs a value (see 'dialkite-cli history --help')\n"},
        {{QStringLiteral("history"), QStringLiteral("--line"), QStringLiteral("17")},
         "dialkite-cli: history: --line takes 1 to 16, not '17' (see 'dialkite-cli history "
         "--help')\n"},
        {{QStringLiteral("history"), QStringLiteral("--limit"), QStringLiteral("--format"),
          QStringLiteral("csv")},
         "dialkite-cli: history: --limit needs a value (see 'dialkite-cli history --help')\n"},
        {{QStringLiteral("monitor"), QStringLiteral("--device"), QStringLiteral("/dev/x"),
          QStringLiteral("--variant"), QStringLiteral("9")},
         "dialkite-cli: monitor: --variant takes 1 to 8, not '9' (see 'dialkite-cli monitor "
         "--help')\n"},
        {{QStringLiteral("monitor"), QStringLiteral("--device"), QStringLiteral("/dev/x"),
          QStringLiteral("spare")},
         "dialkite-cli: monitor: unexpected argument 'spare' (see 'dialkite-cli monitor "
         "--help')\n"},
        {{QStringLiteral("collect")},
         "dialkite-cli: collect: --mqtt URL is needed (see 'dialkite-cli collect --help')\n"},
        {{QStringLiteral("collect"), QStringLiteral("--mqtt"), QStringLiteral("mqtt://b"),
          QStringLiteral("--share"), QStringLiteral("fleet")},
         "dialkite-cli: collect: --share splits the events among collectors that write one"
         " history: give --history postgresql://... (see 'dialkite-cli collect --help')\n"},
        {{QStringLiteral("collect"), QStringLiteral("--mqtt"), QStringLiteral("mqtt://b"),
          QStringLiteral("--history"), QStringLiteral("postgresql://u@db/x"),
          QStringLiteral("--share"), QStringLiteral("a/#")},
         "dialkite-cli: collect: --share takes a group name of letters, digits, '_', '.' and"
         " '-', not 'a/#' (see 'dialkite-cli collect --help')\n"},
        {{QStringLiteral("monitor"), QStringLiteral("--device"), QStringLiteral("/dev/x"),
          QStringLiteral("--history"), QStringLiteral("postgresql://db/calls")},
         "dialkite-cli: monitor: a PostgreSQL history is postgresql://USER@HOST[:PORT]/DB (see"
         " 'dialkite-cli monitor --help')\n"},
        {{QStringLiteral("history"), QStringLiteral("--db"), QStringLiteral("x.sqlite"),
          QStringLiteral("--copy-to"), QStringLiteral("y.sqlite")},
         "dialkite-cli: history: --copy-to takes a PostgreSQL history, postgresql://USER@HOST/DB"
         " (see 'dialkite-cli history --help')\n"},
        {{}, "dialkite-cli: no command given (see 'dialkite-cli --help')\n"},
    };
    for (const auto &[arguments, expected] : cases) {
        const Outcome outcome = cli(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments.join(u' ').toStdString();
        EXPECT_EQ(outcome.err, QByteArray(expected)) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(outcome.out.isEmpty());
    }
    // The help itself is for standard output, status 0, from anywhere on the line.
    const Outcome asked = cli({QStringLiteral("history"), QStringLiteral("--help")});
    EXPECT_EQ(asked.status, 0);
    EXPECT_TRUE(asked.out.startsWith("Usage: "));
}

TEST(Usage, AMonitorWhosePortWillNotOpenLeavesNoFiles)
{
    QTemporaryDir dir;
    const Outcome outcome =
        cli({QStringLiteral("monitor"), QStringLiteral("--device"),
             dir.filePath(QStringLiteral("no-such-device")), QStringLiteral("--history"),
             dir.filePath(QStringLiteral("h/calls.sqlite")), QStringLiteral("--capture"),
             dir.filePath(QStringLiteral("c.scn")), QStringLiteral("--settings"),
             dir.filePath(QStringLiteral("none.ini"))});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.contains("cannot open")) << outcome.err.constData();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST(Usage, EachCommandsHelpShowsThatCommandAlone)
{
    // What only each command takes: its help shows its own and none of the others'.
    const std::map<QString, QStringList> own = {
        {QStringLiteral("run"), {QStringLiteral("--check")}},
        {QStringLiteral("monitor"),
         {QStringLiteral("--capture"), QStringLiteral("--spool"), QStringLiteral("--count")}},
        {QStringLiteral("test"), {QStringLiteral("--junit"), QStringLiteral("--keep-going")}},
        {QStringLiteral("collect"), {QStringLiteral("--share"), QStringLiteral("--client-id")}},
        {QStringLiteral("history"), {QStringLiteral("--number"), QStringLiteral("--copy-to")}},
    };
    for (const auto &[command, options] : own) {
        const Outcome asked = cli({command, QStringLiteral("--help")});
        const QString help = QString::fromUtf8(asked.out);
        EXPECT_EQ(asked.status, 0) << command.toStdString();
        EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: dialkite-cli %1 ").arg(command)))
            << help.toStdString();
        for (const auto &[other, theirs] : own) {
            for (const QString &option : theirs)
                EXPECT_EQ(help.contains(option + u' ') || help.contains(option + u'\n'),
                          other == command)
                    << command.toStdString() << " " << option.toStdString();
        }
    }
    // Without a command: every command, and where to read more.
    const QString general = QString::fromUtf8(cli({QStringLiteral("--help")}).out);
    for (const auto &[command, options] : own)
        EXPECT_TRUE(general.contains(QStringLiteral("\n  %1 ").arg(command)))
            << command.toStdString();
    EXPECT_TRUE(general.contains(QStringLiteral("'dialkite-cli COMMAND --help'")));
}

// The manual names every command, and every option each of them takes.
TEST(Usage, TheManualCoversEveryCommandAndItsOptions)
{
    QFile file(QStringLiteral(DIALKITE_DOCS "/man/dialkite-cli.1"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString manual = QString::fromUtf8(file.readAll());
    QStringList missing;
    for (const dialkite::cli::CliCommand &command : dialkite::cli::commands()) {
        const QString name = command.syntax.name;
        if (!manual.contains(QStringLiteral(".B dialkite-cli ") + name + u'\n'))
            missing << QStringLiteral("the synopsis of ") + name;
        if (!manual.contains(QStringLiteral("\n.B ") + name + u'\n'))
            missing << QStringLiteral("the description of ") + name;
        // The options as the program itself lists them in its help.
        static const QRegularExpression listed(QStringLiteral("^  (--[a-z-]+)"),
                                               QRegularExpression::MultilineOption);
        const QString help = QString::fromUtf8(cli({name, QStringLiteral("--help")}).out);
        for (auto found = listed.globalMatch(help); found.hasNext();) {
            QString written = found.next().captured(1);
            const QString option = written;
            written.replace(u'-', QStringLiteral("\\-"));
            if (!manual.contains(QStringLiteral("\\fB") + written + QStringLiteral("\\fR")))
                missing << name + u' ' + option;
        }
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral(", ")).toStdString();
}

// A version the README shows is the program's own.
TEST(Usage, TheReadmeShowsTheCurrentVersion)
{
    QFile file(QStringLiteral(DIALKITE_DOCS "/../README.md"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString readme = QString::fromUtf8(file.readAll());
    static const QRegularExpression versions(
        QStringLiteral("dialkite(?:-cli|-sim)? (\\d+\\.\\d+\\.\\d+)"));
    int seen = 0;
    for (auto found = versions.globalMatch(readme); found.hasNext(); ++seen)
        EXPECT_EQ(found.next().captured(1), QStringLiteral(DIALKITE_VERSION));
    EXPECT_GT(seen, 0);
}
