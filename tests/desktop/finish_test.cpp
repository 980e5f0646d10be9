// The history window and the logs as a user expects them to look and behave: columns
// that fit and hide when nothing fills them, one line a row, Korean everywhere (the
// calendar too), new calls that appear without moving what the user is reading, Esc and
// Ctrl+W; logs that copy what they hold and save under a Korean name with each row's time.

#include "support/widgets.h"

#include "console/recording.h"
#include "console/texts.h"
#include "desktop/form1.h"
#include "desktop/gridview.h"
#include "desktop/historywindow.h"
#include "history/columns.h"

#include <QCalendarWidget>
#include <QClipboard>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class Finish : public ::testing::Test {
protected:
    Finish()
    {
        // Start-up is the test's: no timer opens a port behind its back.
        form.timer1().stop();
        form.timer2().stop();
        OutputPlan plan;
        plan.set(QStringLiteral("history"),
                 HistoryPlan{dir.filePath(QStringLiteral("history.sqlite"))});
        form.startOutputs(plan);
        form.console().Timer2_Timer();
        link.setOpen(true);
        form.console().setVariant(VariantId(1));
    }
    // `count` calls on line 1, the newest last.
    void calls(int count, int first = 0)
    {
        for (int i = first; i < first + count; ++i)
            link.inject("\x02"
                        "1I0212" +
                        QByteArray::number(100000 + i) + "      \x03");
        form.finishOutputs();
    }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
    RecordingLink link;
    Form1 form{link, settings};
};

} // namespace

TEST_F(Finish, HistoryColumnsFitOneLineARowAndKoreanThroughout)
{
    calls(3);
    HistoryWindow window(dir.filePath(QStringLiteral("history.sqlite")));
    window.resize(900, 500);
    window.show();
    auto *view = window.findChild<QTableView *>(QStringLiteral("Calls"));
    const QList<HistoryColumn> &columns = historyTable();
    QStringList shown;
    for (int i = 0; i < columns.size(); ++i) {
        if (!view->isColumnHidden(i))
            shown << view->model()->headerData(i, Qt::Horizontal).toString();
    }
    // A lone box of the default format on a port opened before the history started: no
    // box name, no box time, no device name, no port; the colour paints the rows.
    EXPECT_EQ(shown, (QStringList{QStringLiteral("PC 시각"), QStringLiteral("채널"),
                                  QStringLiteral("수신번호"), QStringLiteral("상태"),
                                  QStringLiteral("종류")}));
    EXPECT_FALSE(view->wordWrap());
    // The PC's time fits its column on one line.
    const int pcTime = view->columnWidth(0);
    EXPECT_GE(pcTime,
              view->fontMetrics().horizontalAdvance(view->model()->index(0, 0).data().toString()));
    EXPECT_LT(view->rowHeight(0), 2 * view->fontMetrics().height());
    // The calendar speaks Korean whatever the machine's language.
    auto *since = window.findChild<QDateTimeEdit *>(QStringLiteral("Since"));
    EXPECT_EQ(since->calendarWidget()->locale().language(), QLocale::Korean);
    EXPECT_EQ(since->locale().language(), QLocale::Korean);
}

TEST_F(Finish, NewCallsComeOnTopUnlessTheUserReadsOlderOnes)
{
    calls(200);
    form.showHistory();
    HistoryWindow *window = form.historyWindow();
    auto *view = window->findChild<QTableView *>(QStringLiteral("Calls"));
    const auto top = [&] {
        return window->model()->index(0, 4).data().toString().remove(QLatin1Char('-'));
    };
    EXPECT_EQ(top(), QStringLiteral("0212100199"));
    calls(1, 200);
    EXPECT_TRUE(QTest::qWaitFor([&] { return top() == QStringLiteral("0212100200"); }, 2000));
    // Scrolled down: the rows stay where the user reads them.
    view->verticalScrollBar()->setValue(50);
    calls(1, 201);
    QTest::qWait(400);
    EXPECT_EQ(top(), QStringLiteral("0212100200"));
    EXPECT_EQ(view->verticalScrollBar()->value(), 50);
    // Back at the top: the new call is there.
    view->verticalScrollBar()->setValue(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return top() == QStringLiteral("0212100201"); }, 2000));
}

TEST_F(Finish, EscapeAndControlWCloseTheHistory)
{
    for (const auto &keys :
         {std::pair{Qt::Key_Escape, Qt::NoModifier}, std::pair{Qt::Key_W, Qt::ControlModifier}}) {
        form.showHistory();
        HistoryWindow *window = form.historyWindow();
        QApplication::setActiveWindow(window);
        QTest::keyClick(window, keys.first, keys.second);
        EXPECT_FALSE(window->isVisible()) << keys.first;
    }
}

TEST_F(Finish, LogsCopyWhatTheyHoldAndSaveEachRowsTime)
{
    calls(3);
    auto *log = form.findChild<GridView *>(QStringLiteral("MSFlexGrid1"));
    log->clearSelection();
    log->copy();
    const QStringList copied =
        QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(copied.size(), 3); // not 9,999 rows
    EXPECT_TRUE(copied[0].startsWith(u"1\t")) << copied[0].toStdString();
    EXPECT_FALSE(log->selectionModel()->hasSelection());

    const QString suggested = suggestedCsvFile(texts::kCallLogFile);
    EXPECT_TRUE(QFileInfo(suggested).fileName().startsWith(
        texts::kCallLogFile + QLatin1Char('-') + QDate::currentDate().toString(Qt::ISODate)))
        << suggested.toStdString();
    EXPECT_NE(QFileInfo(suggested).absolutePath(), QDir::currentPath());

    const QString file = dir.filePath(QStringLiteral("log.csv"));
    QString problem;
    ASSERT_TRUE(log->exportCsv(file, &problem)) << problem.toStdString();
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    EXPECT_EQ(lines[0], "\xEF\xBB\xBF" + (QStringList{texts::kPcTime, texts::kChannel,
                                                      texts::kTimeReceived, texts::kNumberReceived,
                                                      form.console().grid(GridId::Calls).text(0, 3),
                                                      texts::kColourColumn}
                                              .join(QLatin1Char(','))
                                              .toUtf8() +
                                          "\r"));
    // Each row with the PC's time it came at.
    EXPECT_TRUE(lines[1].startsWith(QDate::currentDate().toString(Qt::ISODate).toUtf8() + ' '))
        << lines[1].constData();
    auto *sent = form.findChild<GridView *>(QStringLiteral("MSFlexGrid2"));
    ASSERT_TRUE(sent->exportCsv(file, &problem));
    csv.close();
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readLine().endsWith(texts::kHexColumn.toUtf8() + "\r\n"));
}
