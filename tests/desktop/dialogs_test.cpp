// The dialogs of the main window, driven by clicks offscreen.

#include "support/widgets.h"

#include "console/recording.h"
#include "console/texts.h"
#include "desktop/form1.h"

#include <QLabel>
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
        QCoreApplication::processEvents(); // let a closed dialog delete itself
    }
    void choose(QWidget *dialog, const char *name)
    {
        auto *option = in<QRadioButton>(dialog, name);
        ASSERT_NE(option, nullptr) << name;
        QTest::mouseClick(option, Qt::LeftButton);
    }
    QWidget *open(const char *name)
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String(name) && w->isVisible())
                return w;
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
