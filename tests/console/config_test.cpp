// A program's configuration: one order for every setting (defaults, the settings file,
// the environment, the command line), and command lines read by their declarations.

#include "console/cmdline.h"
#include "console/config.h"

#include <gtest/gtest.h>

using namespace dialkite;

namespace {

const cmdline::Command kSearch{
    QStringLiteral("search"),
    QStringLiteral("[--db FILE] WORD..."),
    {},
    {{QStringLiteral("--db"),
      QStringLiteral("FILE"),
      QStringLiteral("the file"),
      false,
      {},
      false,
      QStringLiteral("HISTORY"),
      QStringLiteral("FILE")},
     {QStringLiteral("--runs"), {}, QStringLiteral("runs")},
     {QStringLiteral("--box"), QStringLiteral("NAME"), QStringLiteral("a box"), false, {}, true},
     {QStringLiteral("--discover"), QStringLiteral("PREFIX"), QStringLiteral("announce"), true,
      QStringLiteral("homeassistant")}},
    1,
    2,
    QStringLiteral("a WORD is needed")};

std::optional<cmdline::Arguments> parse(const QStringList &arguments, QString *error)
{
    return cmdline::parse(kSearch, arguments, error);
}

} // namespace

TEST(CommandLines, ReadByTheirDeclarations)
{
    QString error;
    const auto read = parse({QStringLiteral("alpha"), QStringLiteral("--box"), QStringLiteral("a"),
                             QStringLiteral("--runs"), QStringLiteral("--box"), QStringLiteral("b"),
                             QStringLiteral("-"), QStringLiteral("--discover")},
                            &error);
    ASSERT_TRUE(read) << error.toStdString();
    EXPECT_EQ(read->words, (QStringList{QStringLiteral("alpha"), QStringLiteral("-")}));
    EXPECT_EQ(read->values(QStringLiteral("--box")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_TRUE(read->has(QStringLiteral("--runs")));
    EXPECT_FALSE(read->has(QStringLiteral("--db")));
    // A value that may be left out stands for its fallback, also before another option.
    EXPECT_EQ(read->value(QStringLiteral("--discover")), QStringLiteral("homeassistant"));
    EXPECT_EQ(
        parse({QStringLiteral("w"), QStringLiteral("--discover"), QStringLiteral("--runs")}, &error)
            ->value(QStringLiteral("--discover")),
        QStringLiteral("homeassistant"));
    // A number's value may start with a minus: its own check says what is wrong with it.
    EXPECT_EQ(parse({QStringLiteral("w"), QStringLiteral("--db"), QStringLiteral("-5")}, &error)
                  ->value(QStringLiteral("--db")),
              QStringLiteral("-5"));
}

TEST(CommandLines, EachMistakeNamed)
{
    const std::pair<QStringList, const char *> cases[] = {
        {{QStringLiteral("w"), QStringLiteral("--bogus")}, "unknown option --bogus"},
        {{QStringLiteral("w"), QStringLiteral("--db")}, "--db needs a value"},
        {{QStringLiteral("w"), QStringLiteral("--db"), QStringLiteral("--runs")},
         "--db needs a value"},
        {{QStringLiteral("w"), QStringLiteral("--db"), QString()}, "--db needs a value"},
        {{QStringLiteral("w"), QStringLiteral("--runs"), QStringLiteral("--runs")},
         "--runs is given twice"},
        {{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
         "unexpected argument 'c'"},
        {{QStringLiteral("--runs")}, "a WORD is needed"},
    };
    for (const auto &[arguments, expected] : cases) {
        QString error;
        EXPECT_FALSE(parse(arguments, &error)) << arguments.join(u' ').toStdString();
        EXPECT_EQ(error, QString::fromUtf8(expected)) << arguments.join(u' ').toStdString();
    }
    QString error;
    EXPECT_FALSE(cmdline::number(QStringLiteral("17"), QStringLiteral("--line"), 1, 16, &error));
    EXPECT_EQ(error, QStringLiteral("--line takes 1 to 16, not '17'"));
    EXPECT_EQ(cmdline::nearest(QStringLiteral("histroy"),
                               {QStringLiteral("run"), QStringLiteral("history")}),
              QStringLiteral("history"));
    EXPECT_FALSE(cmdline::nearest(QStringLiteral("zzz"), {QStringLiteral("history")}));
}

TEST(CommandLines, HelpShowsEachOptionWithItsLine)
{
    const QString help = cmdline::help(QStringLiteral("tool"), kSearch);
    EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: tool search [--db FILE] WORD...\n")));
    EXPECT_TRUE(help.contains(QStringLiteral("  --db FILE")));
    EXPECT_TRUE(help.contains(QStringLiteral("  --discover [PREFIX]")));
    EXPECT_TRUE(help.contains(QStringLiteral("the file\n")));
}

TEST(Configuration, OneOrderForEverySetting)
{
    const Profile file = Profile::parse("[mqtt]\nuser = from-file\npassword=file-secret\n"
                                        "[HISTORY]\nFILE=/srv/file.sqlite\n");
    qputenv("DIALKITE_TEST_USER", "from-env");
    qunsetenv("DIALKITE_TEST_UNSET");
    QString error;
    const auto arguments = parse(
        {QStringLiteral("w"), QStringLiteral("--db"), QStringLiteral("/srv/line.sqlite")}, &error);
    Config config =
        Config::build(file,
                      {{QStringLiteral("MQTT"), QStringLiteral("USER"), "DIALKITE_TEST_USER"},
                       {QStringLiteral("MQTT"), QStringLiteral("PASSWORD"), "DIALKITE_TEST_UNSET"}},
                      kSearch.options, *arguments);
    qunsetenv("DIALKITE_TEST_USER");
    config.set(Config::Source::Default, QStringLiteral("MQTT"), QStringLiteral("PORT"),
               QStringLiteral("1883"));
    config.set(Config::Source::Default, QStringLiteral("MQTT"), QStringLiteral("PASSWORD"),
               QStringLiteral("default"));
    // The environment over the file (names regardless of case), the command line over both,
    // the file over a default, a default when nothing else says.
    EXPECT_EQ(config.value(QStringLiteral("Mqtt"), QStringLiteral("user")),
              QStringLiteral("from-env"));
    EXPECT_EQ(config.source(QStringLiteral("MQTT"), QStringLiteral("USER")),
              Config::Source::Environment);
    EXPECT_EQ(config.value(QStringLiteral("HISTORY"), QStringLiteral("FILE")),
              QStringLiteral("/srv/line.sqlite"));
    EXPECT_TRUE(config.given(QStringLiteral("HISTORY"), QStringLiteral("FILE")));
    EXPECT_EQ(
        config.valueFrom(Config::Source::File, QStringLiteral("HISTORY"), QStringLiteral("FILE")),
        QStringLiteral("/srv/file.sqlite"));
    EXPECT_EQ(config.value(QStringLiteral("MQTT"), QStringLiteral("PASSWORD")),
              QStringLiteral("file-secret"));
    EXPECT_EQ(config.source(QStringLiteral("MQTT"), QStringLiteral("PASSWORD")),
              Config::Source::File);
    EXPECT_EQ(config.value(QStringLiteral("MQTT"), QStringLiteral("PORT")), QStringLiteral("1883"));
    EXPECT_EQ(config.source(QStringLiteral("MQTT"), QStringLiteral("PORT")),
              Config::Source::Default);
    EXPECT_FALSE(config.source(QStringLiteral("MQTT"), QStringLiteral("CA")));
    EXPECT_TRUE(config.value(QStringLiteral("MQTT"), QStringLiteral("CA")).isEmpty());
}
