// The event stream: what the console observed and did, in order, as values, before
// the grids; and the one JSON serializer that turns events into the monitor's lines.

#include "support/fixture.h"
#include "support/frames.h"
#include "support/numbers.h"

#include "console/texts.h"
#include "operations/change.h"
#include "operations/detection.h"
#include "operations/identify.h"
#include "operations/outgoing.h"
#include "operations/select.h"
#include "operations/volume.h"
#include "outputs/json.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace dialkite;
using namespace dialkite::test;

namespace {

class Events : public ConsoleTest {
protected:
    Events()
    {
        QObject::connect(&console, &Console::observed, [this](const Event &event) {
            // The grids are written after the event: the row is still empty here.
            if (const auto *call = std::get_if<events::CallerId>(&event))
                emptyWhenEmitted.append(callCell(call->row, 2).isEmpty());
            seen.append(event);
        });
    }
    template <typename T> QList<T> only() const
    {
        QList<T> out;
        for (const Event &event : seen) {
            if (const auto *e = std::get_if<T>(&event))
                out.append(*e);
        }
        return out;
    }
    // The kind of every event, in order.
    QList<size_t> kinds() const
    {
        QList<size_t> out;
        for (const Event &event : seen)
            out.append(event.index());
        return out;
    }

    QList<Event> seen;
    QList<bool> emptyWhenEmitted;
};

constexpr size_t kReceived = 0, kSent = 1, kLogged = 2, kCaller = 3, kIdentification = 4, kStep = 7;

} // namespace

TEST_F(Events, RezSessionInOrder)
{
    setVariant("3");
    const QByteArray identification = framed(" P" + QByteArray(14, '-') + "DK-C0001" + "V1.2");
    const QByteArray call = framed("2m12071015021234567" + blanks(9));
    feed(identification + call);

    EXPECT_EQ(kinds(),
              (QList<size_t>{kReceived, kLogged, kIdentification, kSent, kLogged, kCaller, kSent}));
    EXPECT_EQ(only<events::BytesReceived>().front().bytes, identification + call);
    const auto id = only<events::Identification>().front();
    EXPECT_EQ(id.name, QStringLiteral("DK-C0001"));
    EXPECT_EQ(id.version, QStringLiteral("Ver V1.2"));

    const events::CallerId caller = only<events::CallerId>().front();
    EXPECT_EQ(caller.row, 1);
    EXPECT_EQ(caller.line, QByteArray("2"));
    EXPECT_EQ(caller.time, QStringLiteral("12-07 10:15"));
    EXPECT_EQ(caller.status, NumberStatus::Number);
    EXPECT_EQ(caller.digits, QByteArray("021234567"));
    EXPECT_EQ(caller.number, QStringLiteral("02-123-4567"));
    EXPECT_EQ(caller.colour, CellColour::Red);
    EXPECT_EQ(caller.variant, VariantId(3));
    EXPECT_EQ(caller.record, call);
    EXPECT_TRUE(caller.at.isValid());
    EXPECT_EQ(emptyWhenEmitted, QList<bool>{true});

    const auto sent = only<events::BytesSent>();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].bytes + sent[1].bytes, link.written());
    EXPECT_EQ(sent[1].bytes.left(3), QByteArray("\x02"
                                                "2I"));
}

TEST_F(Events, StatusesAndLinesOfEveryFormat)
{
    struct Case {
        const char *variant;
        QByteArray record;
        NumberStatus status;
        QByteArray line;
    };
    const Case cases[] = {
        {"1", framed("4IP"), NumberStatus::Withheld, "4"},
        {"6", framed("1I12071015@C" + blanks(10)), NumberStatus::PublicPhone, "1"},
        {"8", framed("12IO"), NumberStatus::NotCollected, "12"},
        {"4", "\x02M312071015O" + QByteArray("E"), NumberStatus::NotCollected, "3"},
    };
    for (const Case &c : cases) {
        seen.clear();
        setVariant(c.variant);
        ConsoleTestAccess::state(console).IdentifyFlag = 1;
        feed(c.record);
        const auto callers = only<events::CallerId>();
        ASSERT_EQ(callers.size(), 1) << c.variant;
        EXPECT_EQ(callers[0].status, c.status) << c.variant;
        EXPECT_EQ(callers[0].line, c.line) << c.variant;
        EXPECT_TRUE(callers[0].digits.isEmpty()) << c.variant;
    }
}

TEST_F(Events, ReceivedBytesAreAnnouncedOnceAsThePortDeliveredThem)
{
    // Variant "5" stops a receive event at the identification reply's ETX; the rest is
    // read by the next event but was delivered, and is announced, with the first.
    setVariant("5");
    ReadIdentification_Click(console);
    feed(QByteArray("\x02V1.00DK-E\x03") + '0' + '1');
    feed(QByteArray(1, '\x1F'));
    const auto received = only<events::BytesReceived>();
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(received[0].bytes, QByteArray("\x02V1.00DK-E\x03"
                                            "01"));
    EXPECT_EQ(received[1].bytes, QByteArray(1, '\x1F'));
    EXPECT_EQ(only<events::Identification>().front().name, QStringLiteral("V1.00"));
}

TEST_F(Events, OperatorStepsInTheRunnersWords)
{
    Dialkite_Select(console, qint16(4));
    Dialkite_Select(console, std::nullopt);
    ReadIdentification_Click(console);
    dialNumber(console, 2, QStringLiteral("9,123"));
    OutgoingProc2(console, "2");
    Volume_Select(console, qint16(3));
    readDetection(console);
    Status_Change(console, qint16(1));
    Dialkite_change(console, qint16(6));
    QStringList words;
    for (const auto &step : only<events::OperatorStep>())
        words.append(step.words);
    EXPECT_EQ(words, (QStringList{QStringLiteral("select 4"), QStringLiteral("select"),
                                  QStringLiteral("identify"), QStringLiteral("dial 2 9,123"),
                                  QStringLiteral("hangup 2"), QStringLiteral("volume 3"),
                                  QStringLiteral("detect-read"), QStringLiteral("detect-set 0"),
                                  QStringLiteral("reprogram 6")}));
    // Each step comes before the frame it sends.
    EXPECT_EQ(kinds().mid(kinds().indexOf(kStep, 3), 2), (QList<size_t>{kStep, kSent}));
}

TEST_F(Events, PortOpenedClosedAndLost)
{
    link.setOpen(false);
    setVariant("4");
    console.startOutgoingCall("0212");
    seen.clear();
    console.ChangeComport(qint16(3));
    link.loseDevice();
    processEvents();
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(std::get<events::PortOpened>(seen[0]).port, 3);
    EXPECT_EQ(std::get<events::PortOpened>(seen[0]).device, QStringLiteral("COM3"));
    // The session starts with where the console stands, for whoever records it.
    const auto &started = std::get<events::SessionStarted>(seen[1]);
    EXPECT_EQ(started.device, QStringLiteral("COM3"));
    EXPECT_EQ(started.standing.variant, VariantId(4));
    EXPECT_EQ(started.standing.outgoing, 1);
    EXPECT_EQ(started.standing.number, QByteArray("0212"));
    EXPECT_EQ(std::get<events::PortLost>(seen[2]).reason, QStringLiteral("device removed"));
}

TEST(EventJson, MonitorLinesKeepTheirOrderAndEveryCharacter)
{
    events::CallerId call;
    call.row = 7;
    call.line = "03";
    call.number = QStringLiteral("발신번호표시금지");
    call.colour = CellColour::Blue;
    EXPECT_EQ(json::object(json::eventFields(call)),
              QByteArray("{\"event\": \"call\", \"row\": 7, \"line\": \"03\", \"time\": \"\", "
                         "\"number\": \"") +
                  QStringLiteral("발신번호표시금지").toUtf8() + "\", \"color\": \"#0000ff\"}");
    EXPECT_EQ(json::object(json::eventFields(events::OutgoingCallEnded{})),
              QByteArray("{\"event\": \"call_end\"}"));
    EXPECT_TRUE(json::eventFields(events::BytesSent{"x", {}}).isEmpty());

    // Quotes, backslashes, control characters and a character outside the BMP.
    const QString tricky = QStringLiteral("a\"b\\c\u0002") + QString::fromUcs4(U"\U0001F4DE");
    const QByteArray line =
        json::object({{QStringLiteral("name"), tricky}, {QStringLiteral("n"), 1}});
    EXPECT_EQ(line, QByteArray("{\"name\": \"a\\\"b\\\\c\\u0002\xF0\x9F\x93\x9E\", \"n\": 1}"));
    EXPECT_EQ(QJsonDocument::fromJson(line).object().value(u"name").toString(), tricky);
}

// What the publisher sends is written in one pass; it must read as Qt's own writer would
// have written it, whatever a box or a name holds.
TEST(EventJson, PublishedTextIsQtsCompactJsonByteForByte)
{
    const QString hostile = QStringLiteral("a\"b\\c\n\r\t\b\f") + QChar(0x01) + QChar(0x1f) +
                            QChar(0x7f) + QStringLiteral("전화 /</") + QChar(0x2028) +
                            QString::fromUcs4(U"\U0001F4DE");
    const json::Fields fields{{QStringLiteral("event"), QStringLiteral("call")},
                              {QStringLiteral("row"), 9999},
                              {QStringLiteral("number"), hostile},
                              {QStringLiteral("first"), qint64(1) << 40},
                              {QStringLiteral("box"), QString()},
                              {QStringLiteral("ok"), true},
                              {QStringLiteral("ratio"), 0.5}};
    EXPECT_EQ(json::compact(fields),
              QJsonDocument(json::toObject(fields)).toJson(QJsonDocument::Compact));
    EXPECT_EQ(json::compact({}), QByteArray("{}"));
}
