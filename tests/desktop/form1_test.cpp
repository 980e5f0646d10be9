// The main window offscreen: its controls, start-up timers, message boxes and the
// binding of the logs to the console's grids.

#include "support/widgets.h"

#include "console/recording.h"
#include "console/texts.h"
#include "desktop/form1.h"
#include "desktop/gridview.h"

#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class MainWindow : public ::testing::Test {
protected:
    MainWindow()
    {
        settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("2"));
    }

    template <typename T> T *find(const char *name)
    {
        return form.findChild<T *>(QString::fromLatin1(name));
    }
    QTableView *log(const char *name) { return find<QTableView>(name); }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
    RecordingLink link;
    Form1 form{link, settings};
};

} // namespace

TEST_F(MainWindow, ControlsCarryTheirNamesCaptionsAndPlaces)
{
    EXPECT_EQ(form.objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("다이얼카이트 ( DIAL KITE )"));
    EXPECT_EQ(form.size(), QSize(872, 705)); // 13080 x 10575 twips
    struct Button {
        const char *name;
        QString caption;
        int left;
    };
    const Button buttons[] = {
        {"ChangePort", QStringLiteral("통신포트"), 0},
        {"DialkiteSelect", QStringLiteral("장비선택"), 2200},
        {"ReadIdentification", QStringLiteral("장비확인"), 4400},
        {"Command1", QStringLiteral("볼륨조절"), 7900},
        {"Outgoing", QStringLiteral("전화걸기"), 8800},
        {"DialkiteChange", QStringLiteral("장비변경"), 9700},
        {"StausChange", QStringLiteral("설정상태"), 10600},
    };
    for (const Button &b : buttons) {
        auto *button = find<QToolButton>(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), b.caption) << b.name;
        EXPECT_EQ(button->geometry(), QRect(pixels(b.left), 0, 60, 60)) << b.name;
        EXPECT_FALSE(button->icon().isNull()) << b.name;
    }
    struct View {
        const char *name;
        QRect twips;
        int rows;
    };
    const View views[] = {
        {"MSFlexGrid6", {900, 0, 1300, 900}, 1},
        {"MSFlexGrid4", {3100, 0, 1300, 900}, 1},
        {"MSFlexGrid5", {5300, 0, 2600, 900}, 1},
        {"MSFlexGrid7", {11500, 0, 1550, 900}, 1},
        {"MSFlexGrid1", {0, 900, 7000, 9700}, 9999},
        {"MSFlexGrid2", {7000, 900, 6000, 3200}, 9999},
        {"MSFlexGrid3", {7000, 4100, 6000, 6500}, 9999},
    };
    for (const View &v : views) {
        QTableView *view = log(v.name);
        ASSERT_NE(view, nullptr) << v.name;
        EXPECT_EQ(view->geometry(), QRect(pixels(v.twips.x()), pixels(v.twips.y()),
                                          pixels(v.twips.width()), pixels(v.twips.height())))
            << v.name;
        EXPECT_EQ(view->model()->rowCount(), v.rows) << v.name;
    }
    EXPECT_EQ(log("MSFlexGrid1")->columnWidth(1), 160); // 2400 twips
    EXPECT_EQ(log("MSFlexGrid2")->columnWidth(1), 333); // 5000 twips
}

TEST_F(MainWindow, TimersTickOnceAfterOneSecond)
{
    EXPECT_TRUE(form.timer1().isActive());
    EXPECT_EQ(form.timer1().interval(), 1000);
    EXPECT_EQ(form.timer2().interval(), 1000);
    EXPECT_TRUE(log("MSFlexGrid1")->model()->headerData(0, Qt::Horizontal).toString().isEmpty());
    link.refuseAllPorts();
    SeenBox box;
    answerNextBox(QMessageBox::Ok, &box);
    QTRY_VERIFY_WITH_TIMEOUT(!form.timer1().isActive() && !form.timer2().isActive(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(box.seen, 5000);
    EXPECT_EQ(box.text, texts::kPortErrorText);
    EXPECT_EQ(box.title, QStringLiteral("Port Error"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(link.openedPorts(), QList<int>{2});
    EXPECT_EQ(form.console().state().VariantCode, QStringLiteral("1"));
    EXPECT_EQ(log("MSFlexGrid1")->model()->headerData(1, Qt::Horizontal).toString(),
              QStringLiteral("수신시각"));
    EXPECT_EQ(log("MSFlexGrid4")->model()->index(0, 0).data().toString(), QStringLiteral("DK-A"));
    EXPECT_EQ(log("MSFlexGrid6")->model()->index(0, 0).data().toString(), QStringLiteral("COM 2"));
    QTest::qWait(1200);
    EXPECT_EQ(link.openedPorts().size(), 1); // one tick only
}

TEST_F(MainWindow, QuitAsksFirst)
{
    form.show();
    QSignalSpy end(&form, &Form1::endProgram);
    SeenBox box;
    answerNextBox(QMessageBox::Cancel, &box);
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(box.text, QStringLiteral("프로그램을 종료 하시겠습니까?"));
    EXPECT_EQ(box.title, QStringLiteral("프로그램 종료"));
    EXPECT_EQ(box.icon, QMessageBox::Question);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(end.count(), 0);

    answerNextBox(QMessageBox::Ok, &box);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(end.count(), 1);
}

TEST_F(MainWindow, LogsShowControlCharactersAndColours)
{
    Console &console = form.console();
    console.Timer2_Timer();
    link.setOpen(true);
    link.inject("\x02"
                "1I021234567   \x03");
    const QAbstractItemModel *received = log("MSFlexGrid3")->model();
    EXPECT_EQ(received->index(0, 0).data().toString(), QStringLiteral("1"));
    EXPECT_EQ(received->index(0, 1).data().toString(), QStringLiteral("<STX>1I021234567   <ETX>"));
    EXPECT_EQ(received->index(0, 1).data(Qt::ToolTipRole).toString(),
              QStringLiteral("<STX>1I021234567   <ETX>\n"
                             "02 31 49 30 32 31 32 33 34 35 36 37 20 20 20 03"));
    EXPECT_EQ(console.MSFlexGrid3().text(1, 1), QStringLiteral("\u00021I021234567   \u0003"));
    EXPECT_EQ(received->index(0, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

    console.MSFlexGrid1().setColour(1, 1, CellColour::Blue);
    console.MSFlexGrid1().setColour(1, 2, CellColour::Red);
    const QAbstractItemModel *calls = log("MSFlexGrid1")->model();
    EXPECT_EQ(calls->index(0, 1).data(Qt::ForegroundRole).value<QBrush>().color(),
              QColor(Qt::blue));
    EXPECT_EQ(calls->index(0, 2).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    EXPECT_FALSE(calls->index(0, 3).data(Qt::ForegroundRole).isValid());
}

TEST_F(MainWindow, ViewFollowsTheNewestRowsUntilTheOperatorScrollsAway)
{
    form.show();
    Grid &grid = form.console().MSFlexGrid3();
    auto *view = find<GridView>("MSFlexGrid3");
    QScrollBar *bar = view->verticalScrollBar();
    grid.setTopRow(40);
    EXPECT_EQ(bar->value(), 39);
    // Scrolled up: the console's rows go on, the view holds still, the grid's top row
    // stays the console's.
    bar->setValue(10);
    EXPECT_FALSE(view->following());
    EXPECT_EQ(grid.topRow(), 40);
    grid.setTopRow(41);
    EXPECT_EQ(bar->value(), 10);
    // Back down to the console's rows: it follows again.
    bar->setValue(45);
    EXPECT_TRUE(view->following());
    EXPECT_EQ(bar->value(), 40);
    grid.setTopRow(60);
    EXPECT_EQ(bar->value(), 59);
    EXPECT_EQ(grid.topRow(), 60);
}

TEST_F(MainWindow, CopyingCellsOfALog)
{
    form.show();
    link.setOpen(true);
    link.inject("\x02"
                "1I12345678    \x03\x02"
                "2IP           \x03");
    auto *view = static_cast<GridView *>(log("MSFlexGrid3"));
    view->selectionModel()->select(
        QItemSelection(view->model()->index(0, 0), view->model()->index(1, 1)),
        QItemSelectionModel::Select);
    QTest::keySequence(view, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("1\t<STX>1I12345678    <ETX>\n2\t<STX>2IP           <ETX>"));
}

TEST_F(MainWindow, CallEndSetsTheDialCaption)
{
    auto *outgoing = find<QToolButton>("Outgoing");
    form.console().setOutgoingCaption(texts::kHangUp);
    EXPECT_EQ(outgoing->text(), QStringLiteral("전화끊기"));
    form.console().endOutgoingCall();
    EXPECT_EQ(outgoing->text(), QStringLiteral("전화걸기"));
}
