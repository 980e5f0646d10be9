// Start-up, the settings it reads, opening and changing the port, and quitting.

#include "support/fixture.h"

#include "console/layout.h"
#include "console/texts.h"

using namespace dialkite;
using namespace dialkite::test;

namespace {

// A console straight after Form_Load: neither timer has ticked.
struct Loaded {
    explicit Loaded(const QString &iniText = {})
    {
        if (!iniText.isNull())
            settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), iniText);
        console.Form_Load();
    }
    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
    RecordingLink link;
    RecordingView view;
    Console console{link, view, settings};
};

bool isPortError(const MessageBox &box)
{
    return box.text == texts::kPortErrorText && box.title == texts::kPortErrorTitle &&
           box.icon == MessageBox::Icon::Stop && box.buttons == MessageBox::Buttons::Ok;
}

} // namespace

TEST(StartUp, FormLoadSetsTheCounters)
{
    Loaded loaded;
    const ConsoleState &s = loaded.console.state();
    EXPECT_EQ(s.CallRow, 1);
    EXPECT_EQ(s.SendRow, 1);
    EXPECT_EQ(s.ReceiveRow, 1);
    EXPECT_TRUE(s.VariantCode.isEmpty());
    EXPECT_FALSE(loaded.link.isOpen());
    // No headers until the second timer has laid the grids out.
    EXPECT_TRUE(loaded.console.MSFlexGrid1().text(0, 0).isEmpty());
}

TEST(StartUp, SecondTimerLaysOutTheGridsAndFillsThePanels)
{
    Loaded loaded;
    loaded.settings.write(QStringLiteral("DIALKITE"), QStringLiteral("NUM"), QStringLiteral("4"));
    loaded.settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("3"));
    loaded.console.Timer2_Timer();
    Console &c = loaded.console;
    EXPECT_EQ(c.state().VariantCode, QStringLiteral("1")); // the stored "4" is not applied
    EXPECT_EQ(c.MSFlexGrid4().text(1, 0), QStringLiteral("DK-A"));
    EXPECT_EQ(c.MSFlexGrid6().text(1, 0), QStringLiteral("COM 3"));

    const QStringList expected[] = {
        {texts::kChannel, texts::kTimeReceived, texts::kNumberReceived, texts::kState},
        {texts::kRowNumber, texts::kSentData},
        {texts::kRowNumber, texts::kReceivedData},
        {texts::kDeviceName},
        {texts::kDeviceName, QStringLiteral("버  젼")},
        {texts::kPortPanel},
        {texts::kDetectionPanel},
    };
    for (int id = 1; id <= kGridCount; ++id) {
        const Grid &grid = c.grid(GridId(id));
        ASSERT_EQ(grid.columns(), expected[id - 1].size()) << grid.name().toStdString();
        for (int column = 0; column < grid.columns(); ++column)
            EXPECT_EQ(grid.text(0, column), expected[id - 1][column]);
        EXPECT_TRUE(grid.layoutApplied());
    }
    EXPECT_EQ(c.MSFlexGrid1().rows(), 10000);
    EXPECT_EQ(c.MSFlexGrid1().layout().columnWidths, (QList<int>{690, 2400, 2800, 760}));
    EXPECT_EQ(c.MSFlexGrid5().layout().rowHeight, 410);
}

TEST(StartUp, MissingSettingsFile)
{
    Loaded loaded;
    loaded.console.Timer1_Timer();
    loaded.console.Timer2_Timer();
    ASSERT_EQ(loaded.view.messages().size(), 1);
    EXPECT_TRUE(isPortError(loaded.view.messages()[0]));
    EXPECT_FALSE(loaded.link.isOpen());
    EXPECT_TRUE(loaded.link.openedPorts().isEmpty()); // nothing to open
    EXPECT_EQ(loaded.console.MSFlexGrid6().text(1, 0), QStringLiteral("COM "));
    EXPECT_EQ(loaded.console.state().VariantCode, QStringLiteral("1"));
    EXPECT_FALSE(QFile::exists(loaded.settings.path()));
}

TEST(StartUp, FirstTimerOpensTheSavedPort)
{
    struct Case {
        QString stored;
        int opened; // 0: no open is tried
        bool error;
    };
    const Case cases[] = {
        {QStringLiteral("3"), 3, false},   {QStringLiteral(" 7 "), 7, false},
        {QStringLiteral("12"), 12, false}, // the machine may have it; the link decides
        {QStringLiteral("0"), 0, true},    {QStringLiteral("abc"), 0, true},
        {QStringLiteral(""), 0, true},     {QStringLiteral("99999"), 0, true},
    };
    for (const Case &c : cases) {
        Loaded loaded(c.stored);
        loaded.console.Timer1_Timer();
        EXPECT_EQ(loaded.link.isOpen(), !c.error) << c.stored.toStdString();
        EXPECT_EQ(loaded.view.messages().size(), c.error ? 1 : 0) << c.stored.toStdString();
        if (c.opened) {
            EXPECT_EQ(loaded.link.openedPorts(), QList<int>{c.opened});
        }
    }
}

TEST(StartUp, PortThatCannotBeOpened)
{
    Loaded loaded(QStringLiteral("4"));
    loaded.link.refusePort(4);
    loaded.console.Timer1_Timer();
    ASSERT_EQ(loaded.view.messages().size(), 1);
    EXPECT_TRUE(isPortError(loaded.view.messages()[0]));
    EXPECT_FALSE(loaded.link.isOpen());
    EXPECT_EQ(loaded.settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")),
              QStringLiteral("4"));
}

class ChangeComport : public ConsoleTest {};

TEST_F(ChangeComport, OpensSavesAndShowsThePort)
{
    console.ChangeComport(5);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.openedPorts().back(), 5);
    EXPECT_EQ(settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")), QStringLiteral("5"));
    EXPECT_EQ(cell(GridId::Port, 1, 0), QStringLiteral("COM 5"));
    EXPECT_TRUE(view.messages().isEmpty());
}

TEST_F(ChangeComport, FailureKeepsTheSavedPortAndPanel)
{
    console.ChangeComport(2);
    link.refusePort(6);
    console.ChangeComport(6);
    EXPECT_FALSE(link.isOpen());
    ASSERT_EQ(view.messages().size(), 1);
    EXPECT_TRUE(isPortError(view.messages()[0]));
    EXPECT_EQ(settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")), QStringLiteral("2"));
    EXPECT_EQ(cell(GridId::Port, 1, 0), QStringLiteral("COM 2"));
}

TEST_F(ChangeComport, NoChoiceIsPortZeroWhichCannotOpen)
{
    console.ChangeComport(std::nullopt);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(view.messages().size(), 1);
    EXPECT_EQ(link.openedPorts().back(), 0);
}

TEST_F(ChangeComport, SamePortReopensAndKeepsAHalfRecord)
{
    console.ChangeComport(3);
    feed("\x02"
         "1I02");
    console.ChangeComport(3);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(state().RxBuffer, QByteArray("\x02"
                                           "1I02"));
    EXPECT_EQ(link.openedPorts(), (QList<int>{3, 3}));
}

TEST_F(ChangeComport, LostDeviceClosesThePortAndSaysSoOnce)
{
    link.loseDevice();
    processEvents();
    EXPECT_FALSE(link.isOpen());
    // Said once, in a box that waits for nobody and that the port's return replaces.
    EXPECT_TRUE(view.messages().isEmpty());
    ASSERT_EQ(view.notices().size(), 1);
    EXPECT_EQ(view.notices()[0].title, texts::kPortErrorTitle);
    EXPECT_EQ(view.notices()[0].tag, Console::kPortNotice);
    EXPECT_TRUE(view.notices()[0].text.startsWith(QStringLiteral("통신포트 연결이 끊겼습니다 (")))
        << view.notices()[0].text.toStdString();
    console.ChangeComport(1);
    EXPECT_TRUE(link.isOpen());
}

TEST_F(ChangeComport, QuitNeedsConfirmation)
{
    view.queueAnswer(Answer::Cancel);
    feed(framed("1I12345678    "));
    EXPECT_FALSE(console.Form_Unload());
    ASSERT_EQ(view.messages().size(), 1);
    const MessageBox &box = view.messages()[0];
    EXPECT_EQ(box.text, QStringLiteral("프로그램을 종료 하시겠습니까?"));
    EXPECT_EQ(box.title, QStringLiteral("프로그램 종료"));
    EXPECT_EQ(box.icon, MessageBox::Icon::Question);
    EXPECT_EQ(box.buttons, MessageBox::Buttons::OkCancel);
    // Cancel changes nothing.
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(callCell(1, 2), QStringLiteral("1234-5678"));
    EXPECT_TRUE(console.Form_Unload());
}
