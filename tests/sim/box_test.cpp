// The simulated box's answers to the console.

#include "sim/box.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace dialkite::sim;

namespace {

QByteArray frame(const QByteArray &fields)
{
    return '\x02' + fields + QByteArray(20 - fields.size(), ' ') + '\x03';
}

QByteArray rezFrame(const QByteArray &fields)
{
    return '\x02' + fields + QByteArray(28 - fields.size(), ' ') + '\x03';
}

struct Fixture {
    explicit Fixture(int variant, int callEnd = 0)
        : box(BoxOptions{variant, 100, callEnd, std::nullopt})
    {
        QObject::connect(&box, &Box::output, [this](const QByteArray &b) { out.append(b); });
        QObject::connect(&box, &Box::problem, [this](const QString &p) { problems.append(p); });
    }
    Box box;
    QList<QByteArray> out;
    QStringList problems;
};

} // namespace

TEST(SimBox, SettingsCommands)
{
    Fixture f(1);
    f.box.fromConsole(frame("ax "));
    f.box.fromConsole(frame("ay0") + frame("ax ") + frame(" v3") + frame("az3"));
    ASSERT_EQ(f.out.size(), 2);
    EXPECT_EQ(f.out[0], QByteArray("\x02"
                                   "ax2\x03"));
    EXPECT_EQ(f.out[1], QByteArray("\x02"
                                   "ax0\x03"));
    EXPECT_EQ(f.box.volume(), 3);
    EXPECT_EQ(f.box.variant(), 3);
    f.box.fromConsole(frame("ay-1") + frame("az"));
    EXPECT_EQ(f.problems.size(), 2);
    EXPECT_EQ(f.box.detection(), 0);
}

TEST(SimBox, IdentificationInEachVariantsOwnFormat)
{
    const std::pair<int, QByteArray> cases[] = {{1, frame(" P")},    {3, rezFrame(" P")},
                                                {4, "SPE"},          {5, "?"},
                                                {6, rezFrame(" P")}, {8, frame(" P")}};
    for (const auto &[variant, request] : cases) {
        Fixture f(variant);
        f.box.fromConsole(request);
        ASSERT_EQ(f.out.size(), 1) << variant;
        EXPECT_EQ(f.out[0], identificationRecord(formatOf(variant), defaultIdentity(variant)));
    }
}

TEST(SimBox, DialledCallEndsByItselfUnlessHungUp)
{
    Fixture f(1, 50);
    f.box.fromConsole(frame("2O123") + frame("3O456"));
    EXPECT_EQ(f.box.activeCalls().value(2), QByteArray("123"));
    f.box.fromConsole(frame("3F456"));
    QSignalSpy spy(&f.box, &Box::output);
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(f.out.back(), QByteArray("\x02"
                                       "2S\x03"));
    EXPECT_FALSE(spy.wait(200)) << "line 3 was hung up";
    EXPECT_TRUE(f.box.activeCalls().isEmpty());
}

TEST(SimBox, AcknowledgementsAreAwaitedAndMissesReported)
{
    Fixture f(3);
    QString why;
    ASSERT_TRUE(f.box.call({2, Caller::Number, "12345678"}, &why));
    ASSERT_TRUE(f.box.call({4, Caller::Withheld, {}}, &why));
    EXPECT_EQ(f.box.pendingAcknowledgements(), 2);
    f.box.fromConsole(rezFrame("4I"));
    EXPECT_EQ(f.box.pendingAcknowledgements(), 1);
    QSignalSpy spy(&f.box, &Box::problem);
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(f.box.missingAcknowledgements(), 1);
    EXPECT_TRUE(f.problems.back().contains(QStringLiteral("<STX>2I")));
    // An acknowledgement nobody waits for is a problem too.
    f.box.fromConsole(rezFrame("1I"));
    EXPECT_EQ(f.problems.size(), 2);
}

TEST(SimBox, RorivuHandshake)
{
    Fixture f(4);
    f.box.fromConsole("SPE");
    EXPECT_FALSE(f.box.identified());
    f.box.fromConsole("SME");
    EXPECT_TRUE(f.box.identified());
    EXPECT_TRUE(f.problems.isEmpty());
}

TEST(SimBox, ZurazaDoesNotAnswerDetectionReads)
{
    Fixture f(5);
    f.box.fromConsole(frame("ax "));
    EXPECT_TRUE(f.out.isEmpty());
    EXPECT_EQ(f.problems.size(), 1);
}
