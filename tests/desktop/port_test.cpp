// The serial port as a user meets it after the first day: an adapter pulled out and
// plugged in again comes back by itself, the port panel says whether the port is open,
// a setting that cannot be saved says so in the window, and the program answers
// --version and --help without a display.

#include "support/widgets.h"

#include "console/qserialportlink.h"
#include "console/recording.h"
#include "console/texts.h"
#include "desktop/form1.h"
#include "desktop/gridview.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

// A simulated box on a pseudo-terminal that keeps one name, like a USB adapter's
// /dev/serial/by-id link.
class LinkedBox {
public:
    explicit LinkedBox(const QString &link)
    {
        m_process.start(QStringLiteral(DIALKITE_SIM),
                        {QStringLiteral("--keep-running"), QStringLiteral("--link"), link});
        m_process.waitForReadyRead(5000);
    }
    ~LinkedBox() { end(); }
    void send(const QByteArray &commands) { m_process.write(commands); }
    // The box goes away: the simulator ends and its name with it.
    void end()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGTERM);
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
};

QString callCell(Form1 &form, int row)
{
    return form.console().grid(GridId::Calls).text(row, 2);
}

} // namespace

TEST(Reconnect, AReplugedBoxIsOpenedAgainWithoutTheOperator)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyUSB-box"));
    Settings settings(dir.filePath(QStringLiteral("Dial Kite.ini")));
    settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM1"), path);
    settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("1"));
    auto box = std::make_unique<LinkedBox>(path);
    QSerialPortLink link([&settings](int port) { return portDevice(settings, port); });
    Form1 form(link, settings);
    form.timer1().stop();
    form.timer2().stop();
    form.console().Timer2_Timer();
    form.console().Timer1_Timer();
    ASSERT_TRUE(link.isOpen());
    auto *panel = form.findChild<GridView *>(QStringLiteral("MSFlexGrid6"));
    EXPECT_EQ(panel->toolTip(), path);

    box->send("call 1 021234567\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !callCell(form, 1).isEmpty(); }, 5000));

    // Pulled out: a box says first that the port was lost and that it will be opened again
    // by itself (waiting for nobody), then quiet retries while the panel says why.
    box->end();
    QPointer<QMessageBox> lost;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (lost = form.findChild<QMessageBox *>(QStringLiteral("Notice"))); }, 5000));
    EXPECT_EQ(lost->windowTitle(), texts::kPortErrorTitle);
    EXPECT_EQ(lost->text(), QStringLiteral("통신포트 연결이 끊겼습니다 (COM 1, ") + path +
                                QStringLiteral("). 장치가 다시 연결되면 자동으로 엽니다."));
    EXPECT_TRUE(lost->detailedText().endsWith(
        texts::kPortReason + QStringLiteral("장치가 빠졌거나 상대편이 닫았습니다")))
        << lost->detailedText().toStdString();
    EXPECT_TRUE(form.reconnectTimer().isActive());
    EXPECT_TRUE(panel->toolTip().startsWith(texts::kPortClosed)) << panel->toolTip().toStdString();
    EXPECT_EQ(form.console().grid(GridId::Port).text(1, 0), QStringLiteral("COM 1"));
    QTest::qWait(2500); // a retry finds nothing, and shows nothing
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Plugged in again: the next call arrives without anybody touching the window.
    box = std::make_unique<LinkedBox>(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.isOpen(); }, 6000));
    EXPECT_FALSE(form.reconnectTimer().isActive());
    EXPECT_EQ(panel->toolTip(), path);
    // The box that said it was lost now says it is back, and goes by itself.
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->text(),
              QStringLiteral("다시 연결되었습니다 (COM 1, ") + path + QStringLiteral(")."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lost || !lost->isVisible(); },
                                Form1::kPortBackShownMs + 2000));
    box->send("call 2 0311234567\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !callCell(form, 2).isEmpty(); }, 5000));
    EXPECT_EQ(callCell(form, 2), QStringLiteral("031-123-4567"));
}

// A first start knows no port: the port error says none was chosen yet, then the port
// dialog opens to choose one.
TEST(FirstStart, SaysNoPortWasChosenAndOpensThePortDialog)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath(QStringLiteral("Dial Kite.ini"))); // no such file
    QSerialPortLink link([&settings](int port) { return portDevice(settings, port); });
    Form1 form(link, settings);
    form.timer2().stop();
    form.console().Timer2_Timer();
    SeenBox seen;
    answerNextBox(QMessageBox::Ok, &seen);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.seen; }, 5000));
    EXPECT_EQ(seen.text, texts::kPortErrorText); // the start-up message as it always was
    EXPECT_EQ(seen.detail, texts::kPortNotChosen);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto *dialog = form.findChild<ChangePortForm *>();
            return dialog && dialog->isVisible();
        },
        2000));
}

TEST(Reconnect, TheSettingsFileMayTurnItOff)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath(QStringLiteral("Dial Kite.ini")));
    settings.write(QStringLiteral("PORT"), QStringLiteral("RECONNECT"), QStringLiteral("0"));
    settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM1"),
                   dir.filePath(QStringLiteral("nothing-here")));
    QSerialPortLink link([&settings](int port) { return portDevice(settings, port); });
    Form1 form(link, settings);
    form.timer1().stop();
    form.timer2().stop();
    SeenBox seen;
    answerNextBox(QMessageBox::Ok, &seen);
    form.console().ChangeComport(qint16(1));
    EXPECT_TRUE(seen.seen);
    // The details in Korean, with the device and the system's own reason.
    EXPECT_TRUE(
        seen.detail.startsWith(texts::kPortDevice + dir.filePath(QStringLiteral("nothing-here"))))
        << seen.detail.toStdString();
    EXPECT_TRUE(seen.detail.contains(texts::kPortReason));
    EXPECT_FALSE(form.reconnectTimer().isActive());
}

// The installed program keeps its settings in a folder nobody made yet: it makes it. A
// settings file that cannot be written says so in the window, and the choice holds.
TEST(SettingsInTheWindow, AFolderIsMadeAndAFailureIsShown)
{
    QTemporaryDir dir;
    {
        Settings settings(dir.filePath(QStringLiteral("config/dialkite/Dial Kite.ini")));
        RecordingLink link;
        Form1 form(link, settings);
        form.console().ChangeComport(qint16(3));
        EXPECT_EQ(settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")),
                  QStringLiteral("3"));
    }
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Settings settings(blocker.fileName() + QStringLiteral("/Dial Kite.ini"));
    RecordingLink link;
    Form1 form(link, settings);
    form.show();
    form.console().ChangeComport(qint16(4));
    QMessageBox *notice = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        notice = form.findChild<QMessageBox *>(QStringLiteral("Notice"));
        return notice != nullptr;
    }));
    EXPECT_EQ(notice->windowTitle(), texts::kSettingsNotSavedTitle);
    EXPECT_EQ(notice->text(), texts::kSettingsNotSavedText);
    EXPECT_TRUE(notice->detailedText().contains(u"cannot make the folder"))
        << notice->detailedText().toStdString();
    EXPECT_FALSE(notice->isModal());
    EXPECT_TRUE(link.isOpen()); // the choice holds
    EXPECT_EQ(form.console().grid(GridId::Port).text(1, 0), QStringLiteral("COM 4"));
}

TEST(NoDisplay, VersionAndHelpAnswerWithoutAWindowSystem)
{
    for (const QString &program : {QStringLiteral(DIALKITE_DESKTOP), QStringLiteral(DIALKITE_CLI),
                                   QStringLiteral(DIALKITE_SIM)}) {
        for (const QString &ask : {QStringLiteral("--version"), QStringLiteral("--help")}) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("DISPLAY"));
            environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
            environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
            process.setProcessEnvironment(environment);
            process.start(program, {ask});
            ASSERT_TRUE(process.waitForFinished(10000));
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << program.toStdString();
            EXPECT_EQ(process.exitCode(), 0) << program.toStdString() << " " << ask.toStdString();
            EXPECT_FALSE(process.readAllStandardOutput().isEmpty()) << program.toStdString();
        }
    }
}
