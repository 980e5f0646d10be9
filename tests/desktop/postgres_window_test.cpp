// The call history window on a fleet's PostgreSQL history (a throwaway cluster): the
// same rows, newest first, and the same search as on a file.

#include "support/postgres.h"

#include "console/events.h"
#include "desktop/historywindow.h"
#include "history/copy.h"
#include "outputs/history.h"

#include <QLineEdit>
#include <QSqlQueryModel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

TEST(HistoryWindowOnPostgres, ShowsAndSearchesTheCentralHistory)
{
    PostgresCluster pg;
    if (!pg.ok()) {
        std::printf("SKIPPED: %s\n", qPrintable(pg.why()));
        GTEST_SKIP() << pg.why().toStdString();
    }
    ASSERT_TRUE(pg.createDatabase(QStringLiteral("fleet")));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shop.sqlite"));
    {
        HistoryOutput history(file);
        const QDateTime start = QDateTime::currentDateTime().addSecs(-600);
        for (const auto &[digits, minute] :
             {std::pair{"0212345678", 1}, std::pair{"0317654321", 2}, std::pair{"0298765432", 3}}) {
            events::CallerId call;
            call.line = "1";
            call.digits = digits;
            call.number = QString::fromLatin1(digits);
            call.at = start.addSecs(minute * 60);
            history.consume(call);
        }
        history.finish(QDeadlineTimer(30000));
    }
    CopyCounts counts;
    QString problem;
    ASSERT_TRUE(copyHistory(file, pg.url(QStringLiteral("fleet")), &counts, &problem))
        << problem.toStdString();

    HistoryWindow window(pg.url(QStringLiteral("fleet")));
    const auto numbers = [&] {
        QStringList out;
        for (int row = 0; row < window.model()->rowCount(); ++row)
            out << window.model()->index(row, 4).data().toString();
        return out;
    };
    EXPECT_EQ(numbers(), (QStringList{QStringLiteral("0298765432"), QStringLiteral("0317654321"),
                                      QStringLiteral("0212345678")}));
    window.findChild<QLineEdit *>(QStringLiteral("Number"))->setText(QStringLiteral("1765"));
    window.refresh();
    EXPECT_EQ(numbers(), QStringList{QStringLiteral("0317654321")});
}
