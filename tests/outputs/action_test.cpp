// What an action takes from its settings: the program's words as written (no shell), the
// calls its rules choose, the environment a program gets.

#include "outputs/action.h"

#include <QJsonObject>
#include <gtest/gtest.h>

using namespace dialkite;

TEST(ActionPlanTest, AProgramIsSplitAsWrittenNeverExpanded)
{
    EXPECT_EQ(splitProgram(QStringLiteral("  /usr/bin/notify  --to shop  ")),
              QStringList({QStringLiteral("/usr/bin/notify"), QStringLiteral("--to"),
                           QStringLiteral("shop")}));
    EXPECT_EQ(splitProgram(QStringLiteral("'/opt/my tools/hook' \"say \\\"hi\\\"\" a\\ b $HOME")),
              QStringList({QStringLiteral("/opt/my tools/hook"), QStringLiteral("say \"hi\""),
                           QStringLiteral("a b"), QStringLiteral("$HOME")}));
    EXPECT_EQ(splitProgram(QStringLiteral("'' x")), QStringList({QString(), QStringLiteral("x")}));
    EXPECT_TRUE(splitProgram(QStringLiteral("hook 'open")).isEmpty());
}

TEST(ActionPlanTest, RulesChooseTheCalls)
{
    const QJsonObject call{{QStringLiteral("line"), QStringLiteral("02")},
                           {QStringLiteral("box"), QStringLiteral("front")},
                           {QStringLiteral("status"), QStringLiteral("number")},
                           {QStringLiteral("number"), QStringLiteral("010-1234-5678")}};
    QJsonObject named = call;
    named.insert(QStringLiteral("name"), QStringLiteral("홍길동"));
    EXPECT_TRUE(ActionRules{}.takes(call));
    EXPECT_TRUE((ActionRules{{QStringLiteral("1"), QStringLiteral("2")}, {}, {}, {}}.takes(call)));
    EXPECT_FALSE((ActionRules{{QStringLiteral("1")}, {}, {}, {}}.takes(call)));
    EXPECT_FALSE((ActionRules{{}, {QStringLiteral("back")}, {}, {}}.takes(call)));
    EXPECT_FALSE((ActionRules{{}, {}, {QStringLiteral("withheld")}, {}}.takes(call)));
    const ActionRules unknownOnly{{}, {}, {}, QStringLiteral("unknown")};
    EXPECT_TRUE(unknownOnly.takes(call));
    EXPECT_FALSE(unknownOnly.takes(named));
    EXPECT_TRUE((ActionRules{{}, {}, {}, QStringLiteral("known")}.takes(named)));

    const auto environment = actionEnvironment(named);
    const auto value = [&](const char *name) {
        for (const auto &[key, text] : environment)
            if (key == QLatin1String(name))
                return text;
        return QStringLiteral("(none)");
    };
    EXPECT_EQ(value("DIALKITE_NAME"), QStringLiteral("홍길동"));
    EXPECT_EQ(value("DIALKITE_NUMBER"), QStringLiteral("010-1234-5678"));
    EXPECT_EQ(value("DIALKITE_LINE"), QStringLiteral("02"));
    EXPECT_EQ(value("DIALKITE_ID"), QString());
}
