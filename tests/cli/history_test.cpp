// dialkite-cli history: the stored calls printed as a table aligned for Hangul, as CSV
// and as JSON lines, filtered by number, line and time.

#include "support/fixture.h"
#include "support/outputs.h"

#include "cli/history.h"
#include "console/notation.h"
#include "console/texts.h"
#include "outputs/csv.h"
#include "outputs/history.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class HistoryCommand : public ConsoleTest {
protected:
    HistoryCommand()
    {
        Watched history(console, std::make_unique<HistoryOutput>(file()));
        for (const char *record : {"1I021234567   ", "2IP", "3I12345678    "})
            feed(framed(record));
        history.finish();
    }
    QString file() const { return dir.filePath(QStringLiteral("calls.sqlite")); }
    QByteArray run(QStringList arguments, int expectedStatus = 0)
    {
        QProcess cli;
        cli.start(QStringLiteral(DIALKITE_CLI),
                  QStringList{QStringLiteral("history"), QStringLiteral("--db"), file()} +
                      arguments);
        cli.waitForFinished(15000);
        EXPECT_EQ(cli.exitCode(), expectedStatus) << cli.readAllStandardError().constData();
        return cli.readAllStandardOutput();
    }
};

} // namespace

TEST_F(HistoryCommand, TableColumnsLineUpWithHangul)
{
    const QList<QByteArray> lines = run({}).split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("PC 시각 ")) << lines[0].constData();
    // The status column, in people's words, starts at the same terminal column on every
    // line (the number of a withheld call reads as its status does: the last is the status).
    const auto statusColumn = [](const QByteArray &line, const QString &word) {
        const QString text = QString::fromUtf8(line);
        return cli::displayWidth(text.left(text.lastIndexOf(word)));
    };
    EXPECT_EQ(statusColumn(lines[0], QStringLiteral("상태")),
              statusColumn(lines[1], QStringLiteral("번호")));
    EXPECT_EQ(statusColumn(lines[1], QStringLiteral("번호")),
              statusColumn(lines[2], QStringLiteral("발신번호표시금지")));
    EXPECT_FALSE(lines[1].contains("number")) << lines[1].constData();
    EXPECT_TRUE(lines[1].contains("1 (DK-A)")) << lines[1].constData();
    EXPECT_TRUE(lines[2].contains(texts::kWithheld.toUtf8()));
    EXPECT_EQ(cli::displayWidth(texts::kWithheld), 16);
    EXPECT_EQ(cli::displayWidth(QStringLiteral("02-123-4567")), 11);
}

TEST_F(HistoryCommand, CsvJsonAndFilters)
{
    const QByteArray csv = run({QStringLiteral("--format"), QStringLiteral("csv"),
                                QStringLiteral("--line"), QStringLiteral("1")});
    EXPECT_EQ(csv.count("\r\n"), 2);
    // The window's columns, Korean titles and a byte-order mark, as its own CSV.
    EXPECT_TRUE(
        csv.startsWith("\xEF\xBB\xBF"
                       "PC 시각,장비,채널,수신시각,수신번호,이름,상태,색,종류,장비명,포트,충돌\r\n"))
        << csv.constData();
    // People's words for the status and the variant (the JSON below keeps the stored ones).
    EXPECT_TRUE(csv.endsWith(",,1,,02-123-4567,,번호,,1 (DK-A),,,\r\n")) << csv.constData();

    const QList<QByteArray> lines = run({QStringLiteral("--format"), QStringLiteral("json"),
                                         QStringLiteral("--number"), QStringLiteral("345")})
                                        .trimmed()
                                        .split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("{\"event\": \"call\", \"pc_time\": "));
    const QJsonObject newest = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(newest.value(u"number").toString(), QStringLiteral("1234-5678"));
    EXPECT_EQ(newest.value(u"line").toString(), QStringLiteral("3"));

    EXPECT_TRUE(
        run({QStringLiteral("--since"), QDate::currentDate().addDays(1).toString(Qt::ISODate)})
            .trimmed()
            .split('\n')
            .size() == 1); // the header alone
    EXPECT_EQ(run({QStringLiteral("--limit"), QStringLiteral("1"), QStringLiteral("--format"),
                   QStringLiteral("csv")})
                  .count("\r\n"),
              2);
    run({QStringLiteral("--since"), QStringLiteral("yesterday")}, 2);
}

TEST(HistoryCommandFiles, MissingOrForeignFileIsAClearFailure)
{
    QTemporaryDir dir;
    // Another program's SQLite database: a sentence, and the file as it was.
    const QString theirs = dir.filePath(QStringLiteral("theirs.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(theirs);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE orders (what TEXT)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
    QFile before(theirs);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();
    for (const auto &[content, says] :
         {std::pair{QByteArray(), "no call history at"},
          std::pair{QByteArray("not a database"), "not a call history"},
          std::pair{QByteArray("theirs"), "another program's database"}}) {
        QString path = dir.filePath(QStringLiteral("x.sqlite"));
        if (content == "theirs") {
            path = theirs;
        } else if (!content.isEmpty()) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(content);
        }
        QProcess cli;
        cli.start(QStringLiteral(DIALKITE_CLI),
                  {QStringLiteral("history"), QStringLiteral("--db"), path});
        cli.waitForFinished(15000);
        EXPECT_EQ(cli.exitCode(), 1);
        const QByteArray err = cli.readAllStandardError();
        EXPECT_TRUE(err.contains(path.toUtf8())) << err.constData();
        EXPECT_TRUE(err.contains(says)) << err.constData();
    }
    QFile after(theirs);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);
    EXPECT_EQ(cli::parseLocalTime(QStringLiteral("2026-12-07"), true),
              QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59, 999)));
    EXPECT_EQ(cli::parseLocalTime(QStringLiteral("2026-12-07T09:15"), false),
              QDateTime(QDate(2026, 12, 7), QTime(9, 15)));
}

// What anyone on a broker may put in a number reaches a spreadsheet or a terminal as text:
// no control of any kind acts, no formula runs, blanks before it or not.
TEST(SafeCells, ControlsAndFormulasOfEveryKindAreShownNotObeyed)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("02") + QChar(0x85) + QStringLiteral("12"), QStringLiteral("02<U+0085>12")},
        {QChar(0x202E) + QStringLiteral("4321-20"), QStringLiteral("<U+202E>4321-20")},
        {QChar(0x2066) + QStringLiteral("x") + QChar(0x2069), QStringLiteral("<U+2066>x<U+2069>")},
        {QStringLiteral("a\x1b[31m"), QStringLiteral("a<1B>[31m")},
    };
    for (const auto &[text, shown] : cases)
        EXPECT_EQ(visibleControls(text), shown) << shown.toStdString();
    EXPECT_EQ(csv::line({QStringLiteral("  =HYPERLINK(\"x\")")}),
              QByteArray("\"'  =HYPERLINK(\"\"x\"\")\"\r\n"));
    EXPECT_EQ(csv::line({QChar(0x3000) + QStringLiteral("@SUM(A1)")}),
              (QStringLiteral("'") + QChar(0x3000) + QStringLiteral("@SUM(A1)\r\n")).toUtf8());
    EXPECT_EQ(csv::line({QStringLiteral("02-123-4567"), QStringLiteral(" 1")}),
              QByteArray("02-123-4567, 1\r\n"));
}
