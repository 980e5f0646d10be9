// The simulated box's answers to the console.

#include "support/frames.h"

#include "sim/box.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace dialkite::sim;
using namespace dialkite::test;

namespace {

struct Fixture {
    explicit Fixture(int variant, int callEnd = 0)
        : box(BoxOptions{variant, 100, callEnd, std::nullopt, {}, 1})
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
    f.box.fromConsole(frame22("ax "));
    f.box.fromConsole(frame22("ay0") + frame22("ax ") + frame22(" v3") + frame22("az3"));
    ASSERT_EQ(f.out.size(), 2);
    EXPECT_EQ(f.out[0], QByteArray("\x02"
                                   "ax2\x03"));
    EXPECT_EQ(f.out[1], QByteArray("\x02"
                                   "ax0\x03"));
    EXPECT_EQ(f.box.volume(), 3);
    EXPECT_EQ(f.box.variant(), 3);
    f.box.fromConsole(frame22("ay-1") + frame22("az"));
    EXPECT_EQ(f.problems.size(), 2);
    EXPECT_EQ(f.box.detection(), 0);
}

TEST(SimBox, IdentificationInEachVariantsOwnFormat)
{
    const std::pair<int, QByteArray> cases[] = {{1, frame22(" P")}, {3, frame30(" P")},
                                                {4, "SPE"},         {5, "?"},
                                                {6, frame30(" P")}, {8, frame22(" P")}};
    for (const auto &[variant, request] : cases) {
        Fixture f(variant);
        f.box.fromConsole(request);
        ASSERT_EQ(f.out.size(), 1) << variant;
        EXPECT_EQ(f.out[0], identificationRecord(variant, defaultIdentity(variant)));
    }
}

TEST(SimBox, DialledCallEndsByItselfUnlessHungUp)
{
    Fixture f(1, 50);
    f.box.fromConsole(frame22("2O123") + frame22("3O456"));
    EXPECT_EQ(f.box.activeCalls().value(2), QByteArray("123"));
    f.box.fromConsole(frame22("3F456"));
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
    f.box.fromConsole(frame30("4I"));
    EXPECT_EQ(f.box.pendingAcknowledgements(), 1);
    QSignalSpy spy(&f.box, &Box::problem);
    ASSERT_TRUE(spy.wait(1000));
    EXPECT_EQ(f.box.missingAcknowledgements(), 1);
    EXPECT_TRUE(f.problems.back().contains(QStringLiteral("<STX>2I")));
    // An acknowledgement nobody waits for is a problem too.
    f.box.fromConsole(frame30("1I"));
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
    f.box.fromConsole(frame22("ax "));
    EXPECT_TRUE(f.out.isEmpty());
    EXPECT_EQ(f.problems.size(), 1);
}
