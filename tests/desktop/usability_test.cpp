// What a new user meets in the first hour: the keyboard, Qt's own texts, the serial
// devices of this machine, honest port errors, and logs that can leave the window.

#include "support/widgets.h"

#include "console/language.h"
#include "console/recording.h"
#include "console/texts.h"
#include "desktop/changeportform.h"
#include "desktop/form1.h"
#include "desktop/gridview.h"
#include "desktop/translations.h"

#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class Usability : public ::testing::Test {
protected:
    Usability()
    {
        // Start-up is the test's: no timer opens a port (and a port error) behind its back.
        form.timer1().stop();
        form.timer2().stop();
        form.console().Timer2_Timer();
        link.setOpen(true);
        form.show();
        QApplication::setActiveWindow(&form);
    }
    // The names of the widgets Tab (or Shift+Tab) visits from `start`, once round.
    QStringList tabRound(QWidget *start, bool backwards = false)
    {
        start->setFocus(Qt::TabFocusReason);
        QStringList names;
        for (int i = 0; i < 30; ++i) {
            QWidget *now = QApplication::focusWidget();
            if (!now || (i > 0 && now == start))
                break;
            names << now->objectName();
            QTest::keyClick(now, Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        }
        return names;
    }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
    RecordingLink link;
    Form1 form{link, settings};
};

} // namespace

TEST_F(Usability, TabReachesEveryButtonAndLogButNoPanel)
{
    const QStringList expected{
        QStringLiteral("ChangePort"),         QStringLiteral("DialkiteSelect"),
        QStringLiteral("ReadIdentification"), QStringLiteral("Command1"),
        QStringLiteral("Outgoing"),           QStringLiteral("DialkiteChange"),
        QStringLiteral("StausChange"),        QStringLiteral("MSFlexGrid1"),
        QStringLiteral("MSFlexGrid2"),        QStringLiteral("MSFlexGrid3")};
    auto *first = form.findChild<QToolButton *>(QStringLiteral("ChangePort"));
    EXPECT_EQ(tabRound(first), expected);
    QStringList back = tabRound(first, true);
    ASSERT_FALSE(back.isEmpty());
    back.removeFirst();
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, expected.mid(1));
    for (const char *panel : {"MSFlexGrid4", "MSFlexGrid5", "MSFlexGrid6", "MSFlexGrid7"}) {
        auto *view = form.findChild<GridView *>(QString::fromLatin1(panel));
        EXPECT_EQ(view->focusPolicy(), Qt::NoFocus) << panel;
        EXPECT_EQ(view->selectionMode(), QAbstractItemView::NoSelection) << panel;
    }
    // Every control of a dialog, its described first focus kept.
    QTest::mouseClick(form.findChild<QToolButton *>(QStringLiteral("ChangePort")), Qt::LeftButton);
    auto *dialog = form.findChild<ChangePortForm *>(QStringLiteral("ChangePortForm"));
    ASSERT_TRUE(dialog);
    QApplication::setActiveWindow(dialog);
    EXPECT_EQ(dialog->focusWidget()->objectName(), QStringLiteral("OKButton"));
    const QStringList round = tabRound(dialog->okButton());
    for (const char *control : {"OKButton", "CancelButton", "Adapters", "MapAdapter"})
        EXPECT_TRUE(round.contains(QLatin1String(control)))
            << control << round.join(u' ').toStdString();
    EXPECT_TRUE(round.filter(QStringLiteral("COM")).size() == 1) << round.join(u' ').toStdString();
    dialog->close();
}

TEST_F(Usability, StandardButtonsSpeakKorean)
{
    ASSERT_TRUE(loadKoreanQtTexts(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Question, texts::kQuitTitle, texts::kQuitText,
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text().remove(u'&'), QStringLiteral("확인"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove(u'&'), QStringLiteral("취소"));
}

// `dialkite --lang en`: a visiting engineer reads the window in English, while what is
// saved stays Korean; without it the window is Korean, word for word.
TEST_F(Usability, TheWindowSpeaksEnglishOnlyWhenAskedAndSavesKoreanAlways)
{
    QCoreApplication &app = *QCoreApplication::instance();
    ASSERT_TRUE(useLanguage(app, QStringLiteral("en")));
    {
        RecordingLink englishLink;
        Form1 english{englishLink, settings};
        english.timer1().stop();
        english.timer2().stop();
        english.console().Timer2_Timer();
        EXPECT_EQ(english.windowTitle(), QStringLiteral("Dial Kite ( DIAL KITE )"));
        EXPECT_EQ(english.findChild<QToolButton *>(QStringLiteral("ChangePort"))->text(),
                  QStringLiteral("Port"));
        english.console().setVariant(VariantId(6));
        englishLink.setOpen(true);
        englishLink.inject("\x02"
                           "1I12071015@P" +
                           QByteArray(10, ' ') + "\x03");
        auto *calls = english.findChild<GridView *>(QStringLiteral("MSFlexGrid1"));
        const QAbstractItemModel *shown = calls->model();
        EXPECT_EQ(shown->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Line"));
        EXPECT_EQ(shown->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Status"));
        EXPECT_EQ(shown->index(0, 2).data().toString(), QStringLiteral("Withheld"));
        QString problem;
        const QString file = dir.filePath(QStringLiteral("calls.csv"));
        ASSERT_TRUE(calls->exportCsv(file, &problem)) << problem.toStdString();
        QFile csv(file);
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        const QString saved = QString::fromUtf8(csv.readAll());
        EXPECT_TRUE(saved.contains(QStringLiteral("PC 시각,채널,수신시각,수신번호,상태,색")))
            << saved.toStdString();
        EXPECT_TRUE(saved.contains(QStringLiteral(",발신번호표시금지,"))) << saved.toStdString();
        EXPECT_FALSE(saved.contains(QStringLiteral("Withheld")));
    }
    for (QTranslator *translator : app.findChildren<QTranslator *>())
        QCoreApplication::removeTranslator(translator);
    RecordingLink koreanLink;
    Form1 korean{koreanLink, settings};
    korean.timer1().stop();
    korean.timer2().stop();
    korean.console().Timer2_Timer();
    EXPECT_EQ(korean.windowTitle(), QStringLiteral("다이얼카이트 ( DIAL KITE )"));
    EXPECT_EQ(korean.findChild<QToolButton *>(QStringLiteral("ChangePort"))->text(),
              QStringLiteral("통신포트"));
    EXPECT_EQ(korean.findChild<GridView *>(QStringLiteral("MSFlexGrid1"))
                  ->model()
                  ->headerData(0, Qt::Horizontal)
                  .toString(),
              QStringLiteral("채널"));
}

TEST_F(Usability, PortsShowTheirDevicesAndErrorsSayWhy)
{
    const QString present = dir.filePath(QStringLiteral("ttyFAKE"));
    QFile(present).open(QIODevice::WriteOnly);
    settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM2"), present);
    ChangePortForm dialog(form.console());
    const auto tip = [&](const char *name) {
        return dialog.findChild<QRadioButton *>(QString::fromLatin1(name))->toolTip();
    };
    EXPECT_TRUE(tip("COM2").contains(texts::kPortPresent)) << tip("COM2").toStdString();
    EXPECT_TRUE(tip("COM7").contains(texts::kPortAbsent));
    // A detected adapter mapped to the chosen number, through the settings file's writer.
    EXPECT_FALSE(dialog.mapAdapter(QStringLiteral("/dev/ttyUSB7"))); // nothing chosen
    dialog.choose(5);
    EXPECT_TRUE(dialog.mapAdapter(QStringLiteral("/dev/ttyUSB7")));
    EXPECT_EQ(settings.read(QStringLiteral("DEVICES"), QStringLiteral("COM5")),
              QStringLiteral("/dev/ttyUSB7"));
    EXPECT_TRUE(tip("COM5").startsWith(u"/dev/ttyUSB7"));

    // The port error keeps its title and text and adds the device and the reason.
    link.refusePort(4);
    SeenBox seen;
    answerNextBox(QMessageBox::Ok, &seen);
    form.console().ChangeComport(qint16(4));
    EXPECT_EQ(seen.title, texts::kPortErrorTitle);
    EXPECT_EQ(seen.text, texts::kPortErrorText);
    EXPECT_EQ(seen.detail, texts::kPortDevice + QStringLiteral("COM4\n") + texts::kPortReason +
                               QStringLiteral("refused"));
    // A device lost during a session says first that it was lost and that the console
    // opens it again by itself, in a box that waits for nobody; once the port is back, the
    // same box says so (and goes by itself).
    form.console().ChangeComport(qint16(3));
    link.loseDevice();
    QTest::qWait(100);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QList<QMessageBox *> notices = form.findChildren<QMessageBox *>(QStringLiteral("Notice"));
    ASSERT_EQ(notices.size(), 1);
    QPointer<QMessageBox> lost = notices.front();
    EXPECT_EQ(lost->text(), QStringLiteral("통신포트 연결이 끊겼습니다 (COM 3, COM3). 장치가 다시 "
                                           "연결되면 자동으로 엽니다."));
    EXPECT_EQ(lost->detailedText(), texts::kPortDevice + QStringLiteral("COM3\n") +
                                        texts::kPortReason + QStringLiteral("device removed"));
    form.console().ChangeComport(qint16(3));
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->text(), QStringLiteral("다시 연결되었습니다 (COM 3, COM3)."));
    EXPECT_EQ(lost->icon(), QMessageBox::Information);
    // Lost twice: still one box.
    link.loseDevice();
    QTest::qWait(100);
    notices = form.findChildren<QMessageBox *>(QStringLiteral("Notice"));
    EXPECT_EQ(std::count_if(notices.begin(), notices.end(),
                            [](QMessageBox *box) { return box->isVisible(); }),
              1);
}

TEST_F(Usability, LogsLeaveTheWindowAsCsvAndText)
{
    form.console().setVariant(VariantId(6));
    link.inject("\x02"
                "1I12071015@P" +
                QByteArray(10, ' ') + "\x03" +
                "\x02"
                "2I120710160212345678    \x03");
    auto *received = form.findChild<GridView *>(QStringLiteral("MSFlexGrid3"));
    auto *calls = form.findChild<GridView *>(QStringLiteral("MSFlexGrid1"));
    QString problem;
    const QString file = dir.filePath(QStringLiteral("received.csv"));
    ASSERT_TRUE(received->exportCsv(file, &problem)) << problem.toStdString();
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("\xEF\xBB\xBF" + texts::kRowNumber.toUtf8() + ','));
    EXPECT_TRUE(lines[0].endsWith(',' + texts::kHexColumn.toUtf8() + '\r'));
    EXPECT_TRUE(lines[1].startsWith("1,<STX>1I12071015@P")) << lines[1].constData();
    EXPECT_TRUE(lines[1].endsWith(
        ",02 31 49 31 32 30 37 31 30 31 35 40 50 20 20 20 20 20 20 20 20 20 20 03\r"));
    csv.close();
    ASSERT_TRUE(calls->exportCsv(dir.filePath(QStringLiteral("calls.csv")), &problem));
    QFile callCsv(dir.filePath(QStringLiteral("calls.csv")));
    callCsv.open(QIODevice::ReadOnly);
    const QByteArray callText = callCsv.readAll();
    // Each row after the PC's time it came at.
    EXPECT_TRUE(callText.contains(",2,12-07 10:16,02-1234-5678,,")) << callText.constData();

    // The context menu: copy (every row that holds text when nothing is selected) and save.
    QTimer::singleShot(50, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        ASSERT_EQ(menu->actions().size(), 2);
        EXPECT_EQ(menu->actions()[1]->text(), texts::kSaveLogCsv);
        menu->actions()[0]->trigger();
        menu->close();
    });
    Q_EMIT received->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(QApplication::clipboard()->text().contains(QStringLiteral("<STX>2I1207101602")));
}
