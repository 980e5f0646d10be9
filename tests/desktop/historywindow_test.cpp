// The call history window offscreen: opened from the keyboard and the caller-ID log,
// searched, filtered, coloured and exported.

#include "support/widgets.h"

#include "console/recording.h"
#include "console/texts.h"
#include "desktop/form1.h"
#include "desktop/historywindow.h"
#include "history/contacts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class HistoryWindowTest : public ::testing::Test {
protected:
    HistoryWindowTest()
    {
        OutputPlan plan;
        plan.set(QStringLiteral("history"),
                 HistoryPlan{dir.filePath(QStringLiteral("history.sqlite"))});
        form.startOutputs(plan);
        // Start-up is the test's: no timer opens a port (and a port error) behind its back.
        form.timer1().stop();
        form.timer2().stop();
        form.console().Timer2_Timer();
        link.setOpen(true);
        form.console().setVariant(VariantId(3));
        // Identified, then a blue, a red and a withheld call on lines 1, 2 and 2.
        link.inject("\x02 P" + QByteArray(14, ' ') + "DK-C0001V1.0\x03");
        link.inject("\x02"
                    "1I12071015021234567         \x03");
        link.inject("\x02"
                    "2m120710160311234567        \x03");
        link.inject("\x02"
                    "2m12071016P                 \x03");
        form.finishOutputs();
    }
    QStringList column(HistoryWindow &window, int column)
    {
        QStringList out;
        for (int row = 0; row < window.model()->rowCount(); ++row)
            out << window.model()->index(row, column).data().toString();
        return out;
    }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
    RecordingLink link;
    Form1 form{link, settings};
};

} // namespace

TEST_F(HistoryWindowTest, OpensFromTheKeyboardAndTheLogsMenu)
{
    form.show();
    QApplication::setActiveWindow(&form);
    QTest::keyClick(&form, Qt::Key_H, Qt::ControlModifier);
    ASSERT_TRUE(form.historyWindow());
    EXPECT_TRUE(form.historyWindow()->isVisible());
    form.historyWindow()->close();

    QTimer::singleShot(50, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        ASSERT_EQ(menu->actions().size(), 3);
        EXPECT_EQ(menu->actions()[2]->text(), texts::kHistoryMenu);
        menu->actions()[2]->trigger();
        menu->close();
    });
    auto *log = form.findChild<QTableView *>(QStringLiteral("MSFlexGrid1"));
    ASSERT_TRUE(log);
    Q_EMIT log->customContextMenuRequested(QPoint(10, 10));
    EXPECT_TRUE(form.historyWindow()->isVisible());
}

TEST_F(HistoryWindowTest, SearchFilterColoursAndUpdates)
{
    HistoryWindow window(dir.filePath(QStringLiteral("history.sqlite")));
    // Newest first, coloured as in the log.
    EXPECT_EQ(column(window, 4), (QStringList{texts::kWithheld, QStringLiteral("031-123-4567"),
                                              QStringLiteral("02-123-4567")}));
    EXPECT_EQ(window.model()->index(0, 4).data(Qt::ForegroundRole).value<QBrush>().color(),
              QColor(Qt::red));
    EXPECT_EQ(window.model()->index(2, 4).data(Qt::ForegroundRole).value<QBrush>().color(),
              QColor(Qt::blue));

    window.findChild<QLineEdit *>(QStringLiteral("Number"))->setText(QStringLiteral("1234"));
    window.refresh();
    EXPECT_EQ(column(window, 4),
              (QStringList{QStringLiteral("031-123-4567"), QStringLiteral("02-123-4567")}));
    window.findChild<QComboBox *>(QStringLiteral("Line"))->setCurrentIndex(2);
    EXPECT_EQ(column(window, 4), QStringList{QStringLiteral("031-123-4567")});
    window.findChild<QLineEdit *>(QStringLiteral("Number"))->clear();
    window.refresh();
    EXPECT_EQ(column(window, 2), (QStringList{QStringLiteral("2"), QStringLiteral("2")}));
    // A period: off, every date; on, today's calls, then a day that has none.
    auto *period = window.findChild<QCheckBox *>(QStringLiteral("Period"));
    auto *since = window.findChild<QDateTimeEdit *>(QStringLiteral("Since"));
    EXPECT_FALSE(since->isEnabled());
    period->setChecked(true);
    EXPECT_EQ(window.model()->rowCount(), 2);
    since->setDateTime(QDate::currentDate().addDays(1).startOfDay());
    window.refresh();
    EXPECT_EQ(window.model()->rowCount(), 0);
    period->setChecked(false);
    window.findChild<QComboBox *>(QStringLiteral("Line"))->setCurrentIndex(0);

    // A new call shows without being asked for.
    form.showHistory();
    link.inject("\x02"
                "3m1207101701012345678       \x03");
    form.finishOutputs();
    QTest::qWait(400); // the window refreshes itself a moment after the call is stored
    EXPECT_EQ(form.historyWindow()->model()->index(0, 4).data().toString(),
              QStringLiteral("010-1234-5678"));
}

TEST_F(HistoryWindowTest, CsvForASpreadsheet)
{
    HistoryWindow window(dir.filePath(QStringLiteral("history.sqlite")));
    window.findChild<QComboBox *>(QStringLiteral("Line"))->setCurrentIndex(2);
    const QString file = dir.filePath(QStringLiteral("calls.csv"));
    QString problem;
    ASSERT_TRUE(window.exportCsv(file, &problem)) << problem.toStdString();
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two calls, the end
    EXPECT_EQ(lines[0], "\xEF\xBB\xBF"
                        "PC 시각,장비,채널,수신시각,수신번호,이름,상태,색,종류,장비명,포트,충돌\r");
    EXPECT_TRUE(lines[1].contains(',' + texts::kWithheld.toUtf8() + ','));
    // The status, colour and variant as people read them.
    EXPECT_TRUE(lines[2].contains(",,2,12-07 10:16,031-123-4567,,번호,빨강,3 (DK-C),DK-C0001,"))
        << lines[2].constData();
    EXPECT_FALSE(window.exportCsv(dir.filePath(QStringLiteral("no/such/folder/x.csv")), &problem));
}

TEST_F(HistoryWindowTest, SaysWhatItFoundNothingFoundABackwardsPeriodAndWhereItSaved)
{
    HistoryWindow window(dir.filePath(QStringLiteral("history.sqlite")));
    auto *status = window.findChild<QLabel *>(QStringLiteral("Status"));
    ASSERT_TRUE(status);
    EXPECT_EQ(status->text(), QStringLiteral("3건"));
    window.findChild<QComboBox *>(QStringLiteral("Line"))->setCurrentIndex(2);
    EXPECT_EQ(status->text(), QStringLiteral("2건"));

    // Nothing found: said, and the columns' headers stay.
    window.findChild<QLineEdit *>(QStringLiteral("Number"))->setText(QStringLiteral("9999"));
    window.refresh();
    EXPECT_EQ(window.model()->rowCount(), 0);
    EXPECT_EQ(status->text(), QStringLiteral("검색 결과 없음"));
    auto *view = window.findChild<QTableView *>(QStringLiteral("Calls"));
    EXPECT_FALSE(view->isColumnHidden(4)); // 수신번호
    EXPECT_FALSE(view->isColumnHidden(0)); // PC 시각
    window.findChild<QLineEdit *>(QStringLiteral("Number"))->clear();

    // A period that ends before it starts is refused where it is typed.
    window.findChild<QCheckBox *>(QStringLiteral("Period"))->setChecked(true);
    auto *since = window.findChild<QDateTimeEdit *>(QStringLiteral("Since"));
    since->setDateTime(QDateTime(QDate(2026, 12, 9), QTime(8, 0)));
    window.findChild<QDateTimeEdit *>(QStringLiteral("Until"))
        ->setDateTime(QDateTime(QDate(2026, 12, 8), QTime(23, 59)));
    window.refresh();
    EXPECT_EQ(window.model()->rowCount(), 0);
    EXPECT_TRUE(status->text().startsWith(
        QStringLiteral("기간이 거꾸로입니다: 시작(2026-12-09 08:00)이 끝(2026-12-08 23:59)보다")))
        << status->text().toStdString();
    EXPECT_FALSE(since->styleSheet().isEmpty());
    window.findChild<QCheckBox *>(QStringLiteral("Period"))->setChecked(false);
    EXPECT_TRUE(since->styleSheet().isEmpty());
    EXPECT_EQ(status->text(), QStringLiteral("2건"));

    // A saved CSV says where it went.
    const QString file = dir.filePath(QStringLiteral("line2.csv"));
    QString problem;
    ASSERT_TRUE(window.exportCsv(file, &problem)) << problem.toStdString();
    EXPECT_EQ(status->text(),
              QStringLiteral("CSV로 저장했습니다 (2건): ") + QDir::toNativeSeparators(file));
    EXPECT_FALSE(window.findChild<QLabel *>(QStringLiteral("Legend"))->text().isEmpty());
}

// "연락처에 추가 / 수정": a found call's number named in the phonebook, and named again.
TEST_F(HistoryWindowTest, ACallersNumberIsNamedFromTheWindow)
{
    HistoryWindow window(dir.filePath(QStringLiteral("history.sqlite")));
    ASSERT_EQ(window.model()->rowCount(), 3);
    QString problem;
    EXPECT_FALSE(window.nameCaller(0, QStringLiteral("아무개"), &problem)); // withheld: no number
    ASSERT_TRUE(window.nameCaller(1, QStringLiteral("김과장"), &problem)) << problem.toStdString();
    ASSERT_TRUE(window.nameCaller(1, QStringLiteral("김부장"), &problem)) << problem.toStdString();
    ContactBook book(dir.filePath(QStringLiteral("history.sqlite")));
    ASSERT_TRUE(book.open(&problem));
    const auto all = book.list({}, &problem);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 1);
    EXPECT_EQ(all->front().name, QStringLiteral("김부장"));
    EXPECT_EQ(all->front().numbers, QStringList{QStringLiteral("0311234567")});
}
