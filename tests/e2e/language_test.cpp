// The three programs' mistakes in the user's language: Korean under a Korean locale,
// English otherwise, one line in one style, whether or not there is a display.

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>
#include <tuple>

namespace {

struct Outcome {
    int status;
    QByteArray out;
    QByteArray err;
};

// What `program` says on standard error, and its status, under LANG=`language`.
Outcome said(const QString &program, const QStringList &arguments, const QString &language)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANG"), language);
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(15000);
    return Outcome{process.exitCode(), process.readAllStandardOutput(),
                   process.readAllStandardError()};
}

} // namespace

// The three programs say a mistake the same way, in the user's language: one line, the
// culprit, a near option when there is one, status 2; no display needed for it.
TEST(Language, EveryProgramSaysAMistakeOneWayInTheUsersLanguage)
{
    const QString korean = QStringLiteral("ko_KR.UTF-8");
    const QString english = QStringLiteral("C");
    const QString cli = QStringLiteral(DIALKITE_CLI);
    const QString sim = QStringLiteral(DIALKITE_SIM);
    const QString window = QStringLiteral(DIALKITE_DESKTOP);
    const std::tuple<QString, QStringList, QString, QByteArray> cases[] = {
        {cli,
         {QStringLiteral("history"), QStringLiteral("--numbr")},
         korean,
         "dialkite-cli: history: 알 수 없는 옵션 --numbr; --number을(를) 뜻했습니까? "
         "('dialkite-cli history --help' 참고)\n"},
        {cli,
         {QStringLiteral("history"), QStringLiteral("--numbr")},
         english,
         "dialkite-cli: history: unknown option --numbr; did you mean --number? (see "
         "'dialkite-cli history --help')\n"},
        {sim,
         {QStringLiteral("--randm")},
         korean,
         "dialkite-sim: 알 수 없는 옵션 --randm; --random을(를) 뜻했습니까? "
         "('dialkite-sim --help' 참고)\n"},
        {sim,
         {QStringLiteral("--randm")},
         english,
         "dialkite-sim: unknown option --randm; did you mean --random? (see 'dialkite-sim "
         "--help')\n"},
        {sim,
         {QStringLiteral("--variant"), QStringLiteral("9")},
         korean,
         "dialkite-sim: --variant은(는) 1부터 8까지입니다. '9'은(는) 안 됩니다 ('dialkite-sim "
         "--help' "
         "참고)\n"},
        {sim,
         {QStringLiteral("--speed=-1")},
         english,
         "dialkite-sim: --speed takes a factor of 0 or more, not '-1' (see 'dialkite-sim "
         "--help')\n"},
        {window,
         {QStringLiteral("--randm")},
         english,
         "dialkite: unknown option --randm (see 'dialkite --help')\n"},
        {window,
         {QStringLiteral("--idntify")},
         korean,
         "dialkite: 알 수 없는 옵션 --idntify; --identify을(를) 뜻했습니까? "
         "('dialkite --help' 참고)\n"},
        {window,
         {QStringLiteral("--variant")},
         english,
         "dialkite: --variant needs a value (see 'dialkite --help')\n"},
        {window,
         {QStringLiteral("--lang"), QStringLiteral("fr")},
         korean,
         "dialkite: --lang은(는) ko 또는 en입니다. 'fr'은(는) 안 됩니다 ('dialkite --help' "
         "참고)\n"},
        {window,
         {QStringLiteral("--lang=english")},
         english,
         "dialkite: --lang takes ko or en, not 'english' (see 'dialkite --help')\n"},
    };
    for (const auto &[program, arguments, language, line] : cases) {
        const Outcome outcome = said(program, arguments, language);
        EXPECT_EQ(outcome.status, 2) << program.toStdString();
        EXPECT_EQ(outcome.err, line) << program.toStdString() << " " << language.toStdString();
    }
}

// Not only mistakes: what goes wrong is said in the user's language too.
TEST(Language, ProblemsAreSaidInTheUsersLanguage)
{
    const QString cli = QStringLiteral(DIALKITE_CLI);
    const QStringList missing{QStringLiteral("history"), QStringLiteral("--db"),
                              QStringLiteral("/nonexistent/calls.sqlite")};
    Outcome outcome = said(cli, missing, QStringLiteral("ko_KR.UTF-8"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "dialkite-cli: /nonexistent/calls.sqlite에 통화 기록이 없습니다\n");
    outcome = said(cli, missing, QStringLiteral("C"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "dialkite-cli: no call history at /nonexistent/calls.sqlite\n");
}
