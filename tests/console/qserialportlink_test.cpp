// The real serial link over QSerialPort, on pseudo-terminals.

#include "support/pty.h"

#include "console/console.h"
#include "console/qserialportlink.h"
#include "console/recording.h"
#include "console/texts.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class SerialLinkOnPty : public ::testing::Test {
protected:
    SerialLinkOnPty()
    {
        settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM3"), pty.path());
        settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("3"));
    }

    QByteArray readAll(qsizetype count)
    {
        QByteArray got;
        waitFor([&] {
            while (link.bytesAvailable() > 0)
                got.append(link.readByte());
            return got.size() >= count;
        });
        return got;
    }

    // The console's start-up: both timers, so COM3 (the pty) is opened.
    Console &startConsole()
    {
        m_console = std::make_unique<Console>(link, view, settings);
        m_console->Form_Load();
        m_console->Timer1_Timer();
        m_console->Timer2_Timer();
        return *m_console;
    }

    Pty pty;
    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
    QSerialPortLink link{[this](int port) { return portDevice(settings, port); }};
    RecordingView view;
    std::unique_ptr<Console> m_console; // only where a test reads through the console
};

} // namespace

TEST_F(SerialLinkOnPty, PassesEveryByteValueBothWays)
{
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(link.open(3)) << link.lastError().toStdString();
    QByteArray all;
    for (int value = 0; value < 256; ++value)
        all.append(char(value));

    pty.write(all);
    EXPECT_EQ(readAll(256), all);

    for (const char byte : all)
        link.writeByte(byte);
    EXPECT_EQ(pty.read(256), all);
}

TEST_F(SerialLinkOnPty, UnknownDeviceDoesNotOpen)
{
    settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM2"),
                   QStringLiteral("/dev/no-such-serial-device"));
    EXPECT_FALSE(link.open(2));
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.open(0));
}

TEST_F(SerialLinkOnPty, ConsoleShowsRecordsAndAnswersOverThePort)
{
    ASSERT_TRUE(pty.ok());
    Console &console = startConsole();
    ASSERT_TRUE(link.isOpen());
    EXPECT_EQ(console.MSFlexGrid6().text(1, 0), QStringLiteral("COM 3"));

    pty.write("\x02"
              "2I021234567   \x03\x02"
              "3IP           \x03\x02"
              "ax1\x03");
    ASSERT_TRUE(waitFor([&] { return console.state().CallRow == 3; }));
    EXPECT_EQ(console.MSFlexGrid1().text(1, 0), QStringLiteral("2"));
    EXPECT_EQ(console.MSFlexGrid1().text(1, 2), QStringLiteral("02-123-4567"));
    EXPECT_EQ(console.MSFlexGrid1().text(2, 2), texts::kWithheld);
    ASSERT_TRUE(waitFor([&] { return !console.MSFlexGrid7().text(1, 0).isEmpty(); }));
    EXPECT_EQ(console.MSFlexGrid7().text(1, 0), texts::kDetectHook);

    console.MakeOpcode("2", "O", "123");
    EXPECT_EQ(pty.read(22), QByteArray("\x02"
                                       "2O123               \x03"));
    EXPECT_TRUE(view.messages().isEmpty());
}

TEST_F(SerialLinkOnPty, UnpluggedDeviceClosesThePortWithoutSpinning)
{
    ASSERT_TRUE(pty.ok());
    Console &console = startConsole();
    ASSERT_TRUE(link.isOpen());
    pty.write("\x02"
              "1I0212");
    ASSERT_TRUE(waitFor([&] { return console.state().RxBuffer.size() == 7; }));

    int lost = 0;
    QObject::connect(&link, &SerialLink::lost, [&] { ++lost; });
    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return !view.notices().isEmpty(); }));
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(view.notices()[0].title, texts::kPortErrorTitle);
    EXPECT_TRUE(view.notices()[0].detail.endsWith(texts::kReasonRemoved));

    // Half a second of event loop afterwards costs next to no CPU and adds nothing.
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    idle(500);
    EXPECT_LT(cpuSeconds() - before, 0.25 * double(wall.elapsed()) / 1000.0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(view.notices().size(), 1);

    // A box plugged in again opens like any other. The half record from before the
    // unplug is still in the buffer and is logged in front of the next record.
    Pty again;
    ASSERT_TRUE(again.ok());
    settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM4"), again.path());
    console.ChangeComport(4);
    EXPECT_TRUE(link.isOpen());
    again.write("\x02"
                "1I12345678    \x03");
    ASSERT_TRUE(waitFor([&] { return console.state().ReceiveRow == 2; }));
    EXPECT_EQ(console.MSFlexGrid3().text(1, 1),
              QStringLiteral("\u00021I0212\u00021I12345678    \u0003"));
    again.write("\x02"
                "1I12345678    \x03");
    ASSERT_TRUE(waitFor([&] { return console.state().ReceiveRow == 3; }));
    EXPECT_EQ(console.MSFlexGrid1().text(2, 2), QStringLiteral("1234-5678"));
}
