// A kind of output is its file pair and one entry in the registry: a made-up one
// (tally_output.*, of the tests only) is planned from the settings file and from the
// monitor's command line, built by the factory, offered in the monitor's help, and its
// news is shown as it says, without a line of the program knowing it.

#include "support/fixture.h"

#include "cli/commands.h"
#include "outputs/factory.h"
#include "outputs/registry.h"

#include <QFile>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class Registry : public ConsoleTest {
protected:
    // Two calls through the outputs `plan` makes for box `box`; what the tally wrote.
    QByteArray tallied(const OutputPlan &plan, const QString &box)
    {
        OutputFactory factory(plan);
        const auto outputs = factory.build(box);
        EXPECT_TRUE(outputs->find(QStringLiteral("tally")));
        QObject::connect(&console, &Console::observed, outputs.get(), &OutputSet::consume);
        feed(framed("1I021234567   "));
        feed(framed("2I031234567   "));
        outputs->finish(QDeadlineTimer(5000));
        QFile file(tally());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString tally() const { return dir.filePath(QStringLiteral("tally.txt")); }
};

} // namespace

TEST_F(Registry, AMadeUpKindIsBuiltFromItsSettingsSection)
{
    const OutputPlan plan = desktopPlan(Profile::parse(
        "[CAPTURE]\nRECORD=0\n[HISTORY]\nRECORD=0\n[TALLY]\nFILE=" + tally().toUtf8() + "\n"));
    EXPECT_EQ(tallied(plan, {}), QByteArray(" 2\n"));
    EXPECT_FALSE(desktopPlan(Profile::parse("")).has(QStringLiteral("tally")));
}

TEST_F(Registry, AMadeUpKindIsBuiltFromItsCommandLineOption)
{
    const cli::CliCommand *monitor = cli::findCommand(QStringLiteral("monitor"));
    ASSERT_TRUE(monitor);
    QString error;
    const auto arguments = cmdline::parse(
        monitor->syntax,
        {QStringLiteral("--device"), QStringLiteral("/dev/x"), QStringLiteral("--tally"), tally()},
        &error);
    ASSERT_TRUE(arguments) << error.toStdString();
    const Config config = Config::build({}, OutputRegistry::instance().environment(),
                                        monitor->syntax.options, *arguments);
    const auto plan = planOutputs(config, FrontEnd::Monitor, {}, &error);
    ASSERT_TRUE(plan) << error.toStdString();
    EXPECT_EQ(tallied(*plan, QStringLiteral("front")), QByteArray("front 2\n"));
    // Offered where it is for, with its line, and nowhere else.
    EXPECT_TRUE(cmdline::help(QStringLiteral("dialkite-cli"), monitor->syntax)
                    .contains(QStringLiteral("--tally FILE")));
    EXPECT_FALSE(cmdline::help(QStringLiteral("dialkite-cli"),
                               cli::findCommand(QStringLiteral("collect"))->syntax)
                     .contains(QStringLiteral("--tally")));
}

TEST(RegistryNews, EachKindSaysHowItsNewsIsShown)
{
    const OutputRegistry &registry = OutputRegistry::instance();
    const NewsShown tally =
        registry.news(QStringLiteral("tally"), Severity::Stopped, QStringLiteral("disk"));
    EXPECT_EQ(tally.title, QStringLiteral("Tally"));
    EXPECT_EQ(tally.line, QStringLiteral("tally stopped: disk"));
    // The built-in ones: the capture's stop is a box of the window; the broker's news a line.
    EXPECT_FALSE(registry.news(QStringLiteral("capture"), Severity::Stopped, QStringLiteral("full"))
                     .title.isEmpty());
    const NewsShown broker =
        registry.news(QStringLiteral("mqtt"), Severity::Notice, QStringLiteral("up"));
    EXPECT_TRUE(broker.title.isEmpty());
    EXPECT_EQ(broker.line, QStringLiteral("mqtt: up"));
    // A second kind of one name is refused.
    OutputKind again;
    again.name = QStringLiteral("tally");
    EXPECT_FALSE(OutputRegistry::instance().add(again));
}
