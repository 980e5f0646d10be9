// The operator's commands to the box: exact frames, send log, console state.

#include "support/fixture.h"
#include "support/frames.h"

#include "console/texts.h"
#include "operations/change.h"
#include "operations/detection.h"
#include "operations/outgoing.h"
#include "operations/port.h"
#include "operations/volume.h"

using namespace dialkite;
using namespace dialkite::test;

class Commands : public ConsoleTest {};

TEST_F(Commands, DialAndHangUp)
{
    EXPECT_TRUE(dialNumber(console, 2, QStringLiteral("123")));
    EXPECT_EQ(link.written(), frame22("2O123"));
    EXPECT_EQ(console.outgoingCaption(), texts::kHangUp);
    EXPECT_EQ(state().OutgoingFlag, 1);
    EXPECT_EQ(state().OutgoingNumber, QByteArray("123"));
    EXPECT_EQ(sent(1), QString::fromLatin1(frame22("2O123")));

    link.clearWritten();
    OutgoingProc2(console, "3"); // the line chosen now, the number dialled last
    EXPECT_EQ(link.written(), frame22("3F123"));
    EXPECT_EQ(console.outgoingCaption(), texts::kDial);
    EXPECT_EQ(state().OutgoingFlag, 0);
    EXPECT_EQ(state().OutgoingNumber, QByteArray("123")) << "kept after the hang-up";
    EXPECT_EQ(state().SendRow, 3);
}

TEST_F(Commands, DialStrings)
{
    struct Case {
        QString typed;
        QByteArray wire;
    };
    const Case cases[] = {
        {QStringLiteral("9,2345678"), frame22("1O9,2345678")},
        {QStringLiteral(" "), frame22("1O ")}, // a blank is not empty
        {QStringLiteral("123456789012345678"), frame22("1O123456789012345678")},
        {QStringLiteral("1234567890123456789012"), frame22("1O123456789012345678")},
    };
    for (const Case &c : cases) {
        link.clearWritten();
        EXPECT_TRUE(dialNumber(console, 1, c.typed));
        EXPECT_EQ(link.written(), c.wire) << c.typed.toStdString();
    }
}

TEST_F(Commands, EmptyNumberIsRefused)
{
    EXPECT_FALSE(dialNumber(console, 1, QString()));
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(state().OutgoingFlag, 0);
    EXPECT_EQ(console.outgoingCaption(), texts::kDial);
    ASSERT_EQ(view.messages().size(), 1);
    EXPECT_EQ(view.messages()[0].text, QStringLiteral("발신번호를 입력하여 주십시요"));
    EXPECT_EQ(view.messages()[0].title, QStringLiteral("에러메세지"));
    EXPECT_EQ(view.messages()[0].icon, MessageBox::Icon::Exclamation);
}

TEST_F(Commands, HookRingDetection)
{
    readDetection(console);
    EXPECT_EQ(link.written(), frame22("ax "));
    struct Case {
        Choice option;
        QByteArray wire;
    };
    const Case cases[] = {
        {1, frame22("ay0")}, {2, frame22("ay1")}, {3, frame22("ay2")}, {std::nullopt, ""}};
    for (const Case &c : cases) {
        link.clearWritten();
        Status_Change(console, c.option);
        EXPECT_EQ(link.written(), c.wire);
    }
    EXPECT_EQ(state().SendRow, 1) << "box settings never enter the send log";
    // A write does not show in the panel; only the box's answer does.
    EXPECT_TRUE(cell(GridId::Detection, 1, 0).isEmpty());
}

TEST_F(Commands, Volume)
{
    for (qint16 level = 0; level <= 3; ++level) {
        link.clearWritten();
        Volume_Select(console, level);
        EXPECT_EQ(link.written(), frame22(" v" + QByteArray::number(level)));
    }
    EXPECT_EQ(sent(3), QString::fromLatin1(frame22(" v2")));
    link.clearWritten();
    Volume_Select(console, std::nullopt);
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(state().SendRow, 5);
}

TEST_F(Commands, ReprogramSwitchesBoxAndConsole)
{
    feed(framed("1I12345678    "));
    state().IdentifyFlag = 1;
    Dialkite_change(console, 5);
    EXPECT_EQ(link.written(), frame22("az5"));
    EXPECT_EQ(state().SendRow, 1);
    EXPECT_TRUE(sent(1).isEmpty());
    EXPECT_EQ(state().VariantCode, QStringLiteral("5"));
    EXPECT_EQ(cell(GridId::Device, 1, 0), QStringLiteral("DK-E"));
    EXPECT_EQ(settings.read(QStringLiteral("DIALKITE"), QStringLiteral("NUM")),
              QStringLiteral("5"));
    EXPECT_EQ(state().IdentifyFlag, 0);
    EXPECT_TRUE(callCell(1, 2).isEmpty());
    EXPECT_EQ(state().CallRow, 1);
}

TEST_F(Commands, ReprogramWithoutChoiceChangesNothing)
{
    feed(framed("1I12345678    "));
    state().IdentifyFlag = 1;
    Dialkite_change(console, std::nullopt);
    EXPECT_TRUE(link.written().isEmpty());
    EXPECT_EQ(state().VariantCode, QStringLiteral("1"));
    EXPECT_EQ(state().IdentifyFlag, 1);
    EXPECT_EQ(state().CallRow, 2);
    EXPECT_FALSE(QFile::exists(settings.path()));
}

TEST_F(Commands, SavedPortIsReadAsHexadecimal)
{
    struct Case {
        const char *stored; // nullptr: no key
        Choice chosen;
    };
    const Case cases[] = {
        {"3", 3},   {" 9 ", 9}, {"09", 9}, {"1", 1},      {"10", {}}, {"0", {}},         {"A", {}},
        {"1F", {}}, {"x", {}},  {"", {}},  {nullptr, {}}, {"-3", {}}, {"FFFFFFFFF", {}},
    };
    for (const Case &c : cases) {
        QTemporaryDir d;
        Settings s(d.filePath(QStringLiteral("x.ini")));
        if (c.stored)
            s.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QString::fromLatin1(c.stored));
        EXPECT_EQ(savedPortChoice(s.load()), c.chosen) << (c.stored ? c.stored : "(missing)");
    }
}

TEST_F(Commands, PortChoice)
{
    choosePort(console, 4);
    EXPECT_EQ(link.openedPorts(), QList<int>{4});
    EXPECT_EQ(settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")), QStringLiteral("4"));
    EXPECT_EQ(cell(GridId::Port, 1, 0), QStringLiteral("COM 4"));
    // Nothing chosen: the open port stays open and nothing is written.
    choosePort(console, std::nullopt);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.openedPorts(), QList<int>{4});
    EXPECT_TRUE(view.messages().isEmpty());
}
