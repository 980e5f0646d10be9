// Golden scenarios: each tests/scenarios/NAME.scn runs through dialkite-cli and must
// print NAME.json (compared as JSON), or, where NAME.err exists, fail with status 2
// and exactly that message. NAME.ini, when present, is the settings file.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<std::string> scenarioNames()
{
    std::vector<std::string> names;
    const QDir dir(QStringLiteral(DIALKITE_SCENARIOS));
    for (const QString &file : dir.entryList({QStringLiteral("*.scn")}, QDir::Files, QDir::Name))
        names.push_back(file.chopped(4).toStdString());
    return names;
}

class Scenario : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(Scenario, MatchesItsGoldenOutput)
{
    const QDir dir(QStringLiteral(DIALKITE_SCENARIOS));
    const QString name = QString::fromStdString(GetParam());
    QTemporaryDir work;
    const QString ini = work.filePath(QStringLiteral("Dial Kite.ini"));
    if (dir.exists(name + QStringLiteral(".ini"))) {
        ASSERT_TRUE(QFile::copy(dir.filePath(name + QStringLiteral(".ini")), ini));
    }

    QProcess cli;
    cli.start(QStringLiteral(DIALKITE_CLI),
              {QStringLiteral("run"), dir.filePath(name + QStringLiteral(".scn")),
               QStringLiteral("--settings"), ini});
    ASSERT_TRUE(cli.waitForFinished(30000));
    const QByteArray out = cli.readAllStandardOutput();
    const QByteArray err = cli.readAllStandardError();

    if (dir.exists(name + QStringLiteral(".err"))) {
        EXPECT_EQ(cli.exitCode(), 2);
        EXPECT_EQ(err.trimmed(),
                  fileContent(dir.filePath(name + QStringLiteral(".err"))).trimmed());
        EXPECT_TRUE(out.isEmpty());
        return;
    }
    ASSERT_EQ(cli.exitCode(), 0) << err.constData();
    QJsonParseError problem{};
    const QJsonDocument actual = QJsonDocument::fromJson(out, &problem);
    ASSERT_FALSE(actual.isNull()) << problem.errorString().toStdString() << "\n" << out.constData();
    const QByteArray golden = fileContent(dir.filePath(name + QStringLiteral(".json")));
    const QJsonDocument expected = QJsonDocument::fromJson(golden, &problem);
    ASSERT_FALSE(expected.isNull()) << "golden file: " << problem.errorString().toStdString();
    EXPECT_EQ(actual, expected) << out.constData();
}

INSTANTIATE_TEST_SUITE_P(Golden, Scenario, ::testing::ValuesIn(scenarioNames()),
                         [](const auto &info) {
                             std::string name = info.param;
                             for (char &c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

namespace {

QProcess *runCli(QProcess &cli, const QStringList &arguments, const QByteArray &input = {})
{
    cli.start(QStringLiteral(DIALKITE_CLI), arguments);
    cli.write(input);
    cli.closeWriteChannel();
    cli.waitForFinished(30000);
    return &cli;
}

} // namespace

TEST(RunnerOutput, CharactersOutsideTheBasicPlaneStayWhole)
{
    QTemporaryDir work;
    const QString ini = work.filePath(QStringLiteral("x.ini"));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[PORT]\nNUM=\xF0\x9F\x93\x9E \"quoted\" \\\n"); // a telephone emoji
    file.close();
    QProcess cli;
    runCli(cli, {QStringLiteral("run"), QStringLiteral("-"), QStringLiteral("--settings"), ini},
           "rx \n");
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().constData();
    const QByteArray out = cli.readAllStandardOutput();
    EXPECT_TRUE(out.contains("\xF0\x9F\x93\x9E")) << out.constData();
    const QJsonObject panels = QJsonDocument::fromJson(out).object().value(u"panels").toObject();
    EXPECT_EQ(panels.value(u"port").toString(), QStringLiteral("COM ") +
                                                    QString::fromUcs4(U"\U0001F4DE") +
                                                    QStringLiteral(" \"quoted\" \\"));
}

TEST(RunnerOutput, SettingsFileThatCannotBeReadIsRefused)
{
    QTemporaryDir work;
    const QString ini = work.filePath(QStringLiteral("big.ini"));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(70000, '\n'));
    file.close();
    QProcess cli;
    runCli(cli, {QStringLiteral("run"), QStringLiteral("-"), QStringLiteral("--settings"), ini},
           "rx \n");
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(cli.readAllStandardError().contains("larger than 64 KiB"));
    EXPECT_EQ(QFileInfo(ini).size(), 70000);
}

TEST(RunnerOutput, EveryCommandAnswersHelp)
{
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--help")},
          QStringList{QStringLiteral("run"), QStringLiteral("--help")},
          QStringList{QStringLiteral("monitor"), QStringLiteral("--help")},
          QStringList{QStringLiteral("monitor"), QStringLiteral("--device"), QStringLiteral("x"),
                      QStringLiteral("-h")}}) {
        QProcess cli;
        runCli(cli, arguments);
        EXPECT_EQ(cli.exitCode(), 0) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(cli.readAllStandardOutput().startsWith("Usage: dialkite-cli"));
        EXPECT_TRUE(cli.readAllStandardError().isEmpty());
    }
}

TEST(RunnerCheck, FirstDifferenceFromTheTxLines)
{
    struct Case {
        QByteArray script;
        int status;
        QByteArray error;
    };
    const QByteArray frame = "<STX> v2" + QByteArray(17, ' ') + "<ETX>"; // 22 characters
    const Case cases[] = {
        {"volume 2\ntx " + frame + "\n", 0, ""},
        // The frame written differs from the tx line in one byte.
        {"volume 2\ntx <STX> v3" + QByteArray(17, ' ') + "<ETX>\n", 1,
         "line 2: expected <STX> v3" + QByteArray(17, ' ') + "<ETX>, wrote " + frame},
        // Written but not expected: reported at the step that wrote it.
        {"volume 2\ntx " + frame + "\nvolume 2\n", 1, "line 3: expected nothing, wrote " + frame},
        // Expected but never written.
        {"volume 2\ntx " + frame + "\ntx <STX>\n", 1, "line 3: expected <STX>, wrote nothing"},
    };
    for (const Case &c : cases) {
        QTemporaryDir work;
        QProcess cli;
        runCli(cli,
               {QStringLiteral("run"), QStringLiteral("-"), QStringLiteral("--check"),
                QStringLiteral("--settings"), work.filePath(QStringLiteral("x.ini"))},
               c.script);
        EXPECT_EQ(cli.exitCode(), c.status) << c.script.constData();
        EXPECT_EQ(cli.readAllStandardError().trimmed(), c.error) << c.script.constData();
        EXPECT_EQ(cli.readAllStandardOutput().isEmpty(), c.status != 0);
    }
    // Without --check the tx lines are only read.
    QTemporaryDir work;
    QProcess cli;
    runCli(cli,
           {QStringLiteral("run"), QStringLiteral("-"), QStringLiteral("--settings"),
            work.filePath(QStringLiteral("x.ini"))},
           "volume 2\ntx <STX>\n");
    EXPECT_EQ(cli.exitCode(), 0);
}
