// The dialogs of the main window, driven by clicks offscreen.

#include "support/frames.h"
#include "support/widgets.h"

#include "console/recording.h"
#include "console/texts.h"
#include "desktop/form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class Dialogs : public ::testing::Test {
protected:
    Dialogs()
    {
        // Start-up is the test's: no timer opens a port (and a port error) behind its back.
        form.timer1().stop();
        form.timer2().stop();
        form.console().Timer2_Timer();
        link.setOpen(true);
        form.show();
    }

    void click(const char *button)
    {
        auto *b = form.findChild<QToolButton *>(QString::fromLatin1(button));
        ASSERT_NE(b, nullptr) << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    template <typename T> T *in(QWidget *dialog, const char *name)
    {
        return dialog->findChild<T *>(QString::fromLatin1(name));
    }
    void press(QWidget *dialog, const char *name)
    {
        auto *button = in<QPushButton>(dialog, name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
        // A closed dialog deletes itself, as an unloaded form is gone.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void choose(QWidget *dialog, const char *name)
    {
        auto *option = in<QRadioButton>(dialog, name);
        ASSERT_NE(option, nullptr) << name;
        // On the indicator: a short caption leaves the middle of the widget outside
        // the part that takes clicks.
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
        EXPECT_TRUE(option->isChecked()) << name;
    }
    QWidget *open(const char *name)
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String(name) && w->isVisible()) {
                EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
                return w;
            }
        }
        return nullptr;
    }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
    RecordingLink link;
    Form1 form{link, settings};
    Console &console = form.console();
};

} // namespace

TEST_F(Dialogs, SelectDialogLooksAsDesigned)
{
    click("DialkiteSelect");
    QWidget *dialog = open("DialkiteSelectForm");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("다이얼카이트 장비 설정"));
    EXPECT_EQ(in<QLabel>(dialog, "Label1")->text(),
              QStringLiteral("시험할 다이얼카이트 장비 설정"));
    const char *captions[] = {
        "A1/A2/A4",     "B1/B2/B4", "C2/C4 (어깨동무용)", "D2/D4 (소프트웨어메이크용)",
        "E2/E4/부르미", "F2/F4",    "G4/G8/G12/G16",      "H4/H8/H12/H16"};
    int previousTop = -1;
    for (int i = 1; i <= 8; ++i) {
        auto *option = in<QRadioButton>(dialog, QStringLiteral("Select%1").arg(i).toLatin1());
        ASSERT_NE(option, nullptr);
        EXPECT_EQ(option->text(), QString::fromUtf8(captions[i - 1]));
        EXPECT_FALSE(option->isChecked());
        EXPECT_GT(option->y(), previousTop) << "one column, in table order";
        previousTop = option->y();
    }
    EXPECT_EQ(in<QPushButton>(dialog, "Command1")->text(), QStringLiteral("확 인"));
    EXPECT_EQ(in<QPushButton>(dialog, "Command2")->text(), QStringLiteral("취 소"));
    EXPECT_TRUE(in<QPushButton>(dialog, "Command1")->isDefault());
    EXPECT_FALSE(dialog->isModal());

    // A second click shows the same dialog.
    click("DialkiteSelect");
    EXPECT_EQ(open("DialkiteSelectForm"), dialog);
    EXPECT_EQ(form.findChildren<QWidget *>(QStringLiteral("DialkiteSelectForm")).size(), 1);
}

TEST_F(Dialogs, SelectDialogAppliesTheChoice)
{
    link.inject("\x02"
                "1I12345678    \x03");
    click("DialkiteSelect");
    QWidget *dialog = open("DialkiteSelectForm");
    ASSERT_NE(dialog, nullptr);
    // The main window keeps receiving while the dialog is open.
    link.inject("\x02"
                "2I12345678    \x03");
    EXPECT_EQ(console.state().CallRow, 3);
    choose(dialog, "Select4");
    press(dialog, "Command1");
    EXPECT_EQ(open("DialkiteSelectForm"), nullptr);
    EXPECT_EQ(console.state().VariantCode, QStringLiteral("4"));
    EXPECT_EQ(console.MSFlexGrid4().text(1, 0), QStringLiteral("DK-D"));
    EXPECT_EQ(console.state().CallRow, 1);
    EXPECT_EQ(settings.read(QStringLiteral("DIALKITE"), QStringLiteral("NUM")),
              QStringLiteral("4"));
}

TEST_F(Dialogs, SelectDialogOkWithoutChoiceAndCancelChangeNothing)
{
    link.inject("\x02"
                "1I12345678    \x03");
    for (const char *button : {"Command1", "Command2"}) {
        click("DialkiteSelect");
        QWidget *dialog = open("DialkiteSelectForm");
        ASSERT_NE(dialog, nullptr);
        if (QLatin1String(button) == QLatin1String("Command2"))
            choose(dialog, "Select3");
        press(dialog, button);
        EXPECT_EQ(open("DialkiteSelectForm"), nullptr) << button;
        EXPECT_EQ(console.state().VariantCode, QStringLiteral("1")) << button;
        EXPECT_EQ(console.state().CallRow, 2) << button;
        EXPECT_FALSE(QFile::exists(settings.path())) << button;
    }
}

TEST_F(Dialogs, IdentificationButtonSendsTheRequest)
{
    click("ReadIdentification");
    EXPECT_EQ(link.written(), "\x02 P" + QByteArray(18, ' ') + "\x03");
    EXPECT_EQ(console.MSFlexGrid2().text(1, 0), QStringLiteral("1"));
}

TEST_F(Dialogs, DialThenHangUpThroughTheOneButton)
{
    click("Outgoing");
    QWidget *dial = open("OutgoingForm1");
    ASSERT_NE(dial, nullptr);
    EXPECT_EQ(dial->windowTitle(), QStringLiteral("전화걸기"));
    EXPECT_EQ(in<QLabel>(dial, "Label1")->text(), QStringLiteral("발신할 Channel을 선택하세요"));
    EXPECT_EQ(in<QLabel>(dial, "Label2")->text(), QStringLiteral("발신번호를 입력하세요."));
    EXPECT_TRUE(in<QRadioButton>(dial, "CH1")->isChecked());
    auto *number = in<QLineEdit>(dial, "Text1");
    EXPECT_TRUE(number->text().startsWith(QStringLiteral("9,")));
    EXPECT_EQ(number->text().size(), 9);
    EXPECT_EQ(in<QPushButton>(dial, "Command1")->text(), QStringLiteral("확인"));
    EXPECT_EQ(in<QPushButton>(dial, "Command2")->text(), QStringLiteral("취소"));

    choose(dial, "CH2");
    number->clear();
    QTest::keyClicks(number, QStringLiteral("123"));
    press(dial, "Command1");
    EXPECT_EQ(open("OutgoingForm1"), nullptr);
    EXPECT_EQ(link.written(), frame22("2O123"));
    auto *button = form.findChild<QToolButton *>(QStringLiteral("Outgoing"));
    EXPECT_EQ(button->text(), QStringLiteral("전화끊기"));

    link.clearWritten();
    click("Outgoing");
    QWidget *hangUp = open("OutgoingForm2");
    ASSERT_NE(hangUp, nullptr);
    EXPECT_EQ(hangUp->windowTitle(), QStringLiteral("전화끊기"));
    EXPECT_EQ(in<QLabel>(hangUp, "Label1")->text(),
              QStringLiteral("발신중지할 Channel을 선택하세요"));
    EXPECT_TRUE(in<QRadioButton>(hangUp, "CH1")->isChecked());
    // The box reports the call over while the dialog is open...
    link.inject("\x02"
                "1S\x03");
    EXPECT_EQ(button->text(), QStringLiteral("전화걸기"));
    EXPECT_EQ(console.state().OutgoingFlag, 0);
    // ...and the dialog's OK still hangs up.
    choose(hangUp, "CH3");
    press(hangUp, "Command1");
    EXPECT_EQ(link.written(), frame22("3F123"));
    EXPECT_EQ(button->text(), QStringLiteral("전화걸기"));
}

TEST_F(Dialogs, DialWithoutNumberSaysSoAndStaysOpen)
{
    click("Outgoing");
    QWidget *dial = open("OutgoingForm1");
    ASSERT_NE(dial, nullptr);
    in<QLineEdit>(dial, "Text1")->clear();
    SeenBox box;
    answerNextBox(QMessageBox::Ok, &box);
    press(dial, "Command1");
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(box.text, QStringLiteral("발신번호를 입력하여 주십시요"));
    EXPECT_EQ(box.title, QStringLiteral("에러메세지"));
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(open("OutgoingForm1"), dial);
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(console.state().OutgoingFlag, 0);
}

TEST_F(Dialogs, DialFieldTakesEighteenCharacters)
{
    click("Outgoing");
    QWidget *dial = open("OutgoingForm1");
    ASSERT_NE(dial, nullptr);
    auto *number = in<QLineEdit>(dial, "Text1");
    number->clear();
    QTest::keyClicks(number, QStringLiteral("9,12345678901234567890"));
    EXPECT_EQ(number->text(), QStringLiteral("9,1234567890123456"));
    press(dial, "Command1");
    EXPECT_EQ(link.written(), frame22("1O9,1234567890123456"));
}

TEST_F(Dialogs, VolumeDialog)
{
    const char *levels[] = {"끔", "작게", "중간", "크게"};
    click("Command1");
    QWidget *dialog = open("VolumeForm");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("스피커 볼륨조절"));
    EXPECT_EQ(in<QLabel>(dialog, "Label1")->text(), QStringLiteral("장비 스피커 볼륨조절"));
    for (int i = 1; i <= 4; ++i) {
        auto *option = in<QRadioButton>(dialog, QStringLiteral("Select%1").arg(i).toLatin1());
        EXPECT_EQ(option->text(), QString::fromUtf8(levels[i - 1]));
        EXPECT_FALSE(option->isChecked());
    }
    EXPECT_TRUE(in<QPushButton>(dialog, "Command2")->hasFocus() ||
                in<QPushButton>(dialog, "Command2")->isDefault());
    press(dialog, "Command1"); // nothing chosen
    EXPECT_EQ(open("VolumeForm"), nullptr);
    EXPECT_TRUE(link.written().isEmpty());

    click("Command1");
    dialog = open("VolumeForm");
    ASSERT_NE(dialog, nullptr);
    choose(dialog, "Select3");
    press(dialog, "Command1");
    EXPECT_EQ(link.written(), frame22(" v2"));
    EXPECT_EQ(console.state().SendRow, 2);

    link.clearWritten();
    click("Command1");
    dialog = open("VolumeForm");
    choose(dialog, "Select4");
    press(dialog, "Command2");
    EXPECT_TRUE(link.written().isEmpty());
}

TEST_F(Dialogs, DetectionDialog)
{
    click("StausChange");
    QWidget *dialog = open("StatusChangeForm");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("다이얼카이트 상태확인 및 설정"));
    EXPECT_EQ(in<QPushButton>(dialog, "Command1")->text(), QStringLiteral("상태 읽어오기"));
    EXPECT_EQ(in<QRadioButton>(dialog, "Change1")->text(), QStringLiteral("HOOK/RING 검출 안함"));
    EXPECT_EQ(in<QRadioButton>(dialog, "Change2")->text(), QStringLiteral("HOOK 검출 사용"));
    EXPECT_EQ(in<QRadioButton>(dialog, "Change3")->text(), QStringLiteral("HOOK/RING 검출 사용"));
    EXPECT_EQ(in<QPushButton>(dialog, "Command2")->text(), QStringLiteral("확 인"));
    EXPECT_EQ(in<QPushButton>(dialog, "Command3")->text(), QStringLiteral("취소"));
    press(dialog, "Command1");
    EXPECT_EQ(open("StatusChangeForm"), nullptr);
    EXPECT_EQ(link.written(), frame22("ax "));
    link.inject("\x02"
                "ax1\x03");
    EXPECT_EQ(console.MSFlexGrid7().text(1, 0), QStringLiteral("HOOK"));

    link.clearWritten();
    click("StausChange");
    dialog = open("StatusChangeForm");
    choose(dialog, "Change3");
    press(dialog, "Command2");
    EXPECT_EQ(link.written(), frame22("ay2"));

    link.clearWritten();
    click("StausChange");
    press(open("StatusChangeForm"), "Command2"); // nothing chosen: nothing sent
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(console.state().SendRow, 1);
}

TEST_F(Dialogs, ReprogramDialog)
{
    click("DialkiteChange");
    QWidget *dialog = open("DialkiteChangeForm");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("다이얼카이트 장비 변경"));
    EXPECT_EQ(in<QLabel>(dialog, "Label1")->text(),
              QStringLiteral("변경할 다이얼카이트 장비 설정"));
    EXPECT_EQ(in<QRadioButton>(dialog, "Change5")->text(), QStringLiteral("E2/E4/부르미"));
    EXPECT_EQ(in<QRadioButton>(dialog, "Change7"), nullptr);
    choose(dialog, "Change5");
    press(dialog, "Command1");
    EXPECT_EQ(link.written(), frame22("az5"));
    EXPECT_EQ(console.state().VariantCode, QStringLiteral("5"));
    EXPECT_EQ(console.MSFlexGrid4().text(1, 0), QStringLiteral("DK-E"));
}

TEST_F(Dialogs, PortDialogPreselectsTheSavedPort)
{
    settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM3"),
                   QStringLiteral("/dev/ttyUSB0"));
    struct Case {
        const char *stored;
        const char *chosen;
    };
    for (const Case &c : {Case{"3", "COM3"}, Case{"10", nullptr}, Case{"", nullptr}}) {
        settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"),
                       QString::fromLatin1(c.stored));
        click("ChangePort");
        QWidget *dialog = open("ChangePortForm");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("통신포트 설정"));
        for (int n = 1; n <= 9; ++n) {
            const QByteArray name = "COM" + QByteArray::number(n);
            auto *option = in<QRadioButton>(dialog, name.constData());
            ASSERT_NE(option, nullptr);
            EXPECT_EQ(option->isChecked(), c.chosen && name == c.chosen)
                << c.stored << name.constData();
        }
        // The device each number means, and whether it is there now.
        EXPECT_TRUE(in<QRadioButton>(dialog, "COM3")->toolTip().startsWith(u"/dev/ttyUSB0 — "));
        EXPECT_TRUE(in<QRadioButton>(dialog, "COM4")->toolTip().startsWith(u"/dev/ttyS3 — "));
        press(dialog, "CancelButton");
    }
    EXPECT_TRUE(link.openedPorts().isEmpty());
}

TEST_F(Dialogs, PortDialogLayoutAndChoice)
{
    click("ChangePort");
    QWidget *dialog = open("ChangePortForm");
    ASSERT_NE(dialog, nullptr);
    // Three columns of three: COM1-3 left, COM4-6 middle, COM7-9 right.
    auto *com1 = in<QRadioButton>(dialog, "COM1");
    EXPECT_EQ(in<QRadioButton>(dialog, "COM3")->x(), com1->x());
    EXPECT_GT(in<QRadioButton>(dialog, "COM3")->y(), com1->y());
    EXPECT_EQ(in<QRadioButton>(dialog, "COM4")->y(), com1->y());
    EXPECT_GT(in<QRadioButton>(dialog, "COM7")->x(), in<QRadioButton>(dialog, "COM4")->x());
    EXPECT_EQ(in<QPushButton>(dialog, "OKButton")->text(), QStringLiteral("설정"));
    EXPECT_EQ(in<QPushButton>(dialog, "CancelButton")->text(), QStringLiteral("취소"));

    press(dialog, "OKButton"); // nothing chosen: the open port stays open
    EXPECT_TRUE(link.isOpen());
    EXPECT_TRUE(link.openedPorts().isEmpty());

    click("ChangePort");
    dialog = open("ChangePortForm");
    choose(dialog, "COM5");
    press(dialog, "OKButton");
    EXPECT_EQ(link.openedPorts(), QList<int>{5});
    EXPECT_EQ(console.MSFlexGrid6().text(1, 0), QStringLiteral("COM 5"));
    EXPECT_EQ(settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")), QStringLiteral("5"));

    // A port that cannot be opened: the error, the old setting and panel, port closed.
    link.refusePort(7);
    click("ChangePort");
    dialog = open("ChangePortForm");
    EXPECT_TRUE(in<QRadioButton>(dialog, "COM5")->isChecked());
    choose(dialog, "COM7");
    SeenBox box;
    answerNextBox(QMessageBox::Ok, &box);
    press(dialog, "OKButton");
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(box.title, QStringLiteral("Port Error"));
    EXPECT_EQ(open("ChangePortForm"), nullptr);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(console.MSFlexGrid6().text(1, 0), QStringLiteral("COM 5"));
    EXPECT_EQ(settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")), QStringLiteral("5"));
}
