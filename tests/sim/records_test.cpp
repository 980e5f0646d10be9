// What the simulated box sends, byte for byte, written out by hand from the record
// tables of each format.

#include "sim/frames.h"
#include "sim/records.h"

#include <gtest/gtest.h>

using namespace dialkite::sim;

namespace {

// A variant of the console's table with the format, whose box is built by it.
int variantOf(Format format)
{
    switch (format) {
    case Format::Default:
        return 1;
    case Format::Rez:
        return 3;
    case Format::Rorivu:
        return 4;
    case Format::Zuraza:
        return 5;
    case Format::Zud:
        return 6;
    case Format::MultiLine:
        break;
    }
    return 7;
}

const QDateTime kWhen(QDate(2026, 3, 15), QTime(14, 7));

QByteArray b(const char *text, qsizetype size = -1)
{
    return size < 0 ? QByteArray(text) : QByteArray(text, size);
}

} // namespace

TEST(SimRecords, CallRecordsOfEveryFormat)
{
    struct Case {
        Format format;
        CallEvent event;
        QByteArray bytes;
    };
    const Case cases[] = {
        {Format::Default,
         {2, Caller::Number, "021234567", false, kWhen},
         b("\x02"
           "2I021234567       \x03")},
        {Format::Default,
         {3, Caller::Withheld, {}, false, kWhen},
         b("\x02"
           "3IP               \x03")},
        {Format::MultiLine,
         {12, Caller::Number, "12345678", false, kWhen},
         b("\x02"
           "12I12345678        \x03")},
        {Format::MultiLine,
         {3, Caller::PublicPhone, {}, false, kWhen},
         b("\x02"
           "03IC               \x03")},
        {Format::Rez,
         {2, Caller::Number, "0212345678", false, kWhen},
         b("\x02"
           "2I031514070212345678        \x03")},
        {Format::Rez,
         {4, Caller::NotCollected, {}, true, kWhen},
         b("\x02"
           "4m03151407O                 \x03")},
        {Format::Zud,
         {1, Caller::Withheld, {}, false, kWhen},
         b("\x02"
           "1I03151407@P                \x03")},
        {Format::Zud,
         {1, Caller::Number, "123456789012", false, kWhen},
         b("\x02"
           "1I03151407123456789012      \x03")},
        {Format::Rorivu,
         {2, Caller::Number, "021234567", false, kWhen},
         b("\x02"
           "I203151407021234567E")},
        {Format::Rorivu,
         {3, Caller::PublicPhone, {}, true, kWhen},
         b("\x02"
           "M303151407CE")},
        {Format::Zuraza, {1, Caller::Number, "12", false, kWhen}, b("\x10\x31\x32\x1F")},
        {Format::Zuraza, {2, Caller::Number, "12", false, kWhen}, b("\x50\x71\x72\x5F")},
        {Format::Zuraza, {3, Caller::PublicPhone, {}, false, kWhen}, b("\x90\xC3\x9F")},
        {Format::Zuraza, {4, Caller::Number, "09", false, kWhen}, b("\xD0\xF0\xF9\xDF")},
    };
    for (const Case &c : cases) {
        QString why;
        const auto bytes = callRecord(variantOf(c.format), c.event, &why);
        ASSERT_TRUE(bytes.has_value()) << why.toStdString();
        EXPECT_EQ(*bytes, c.bytes) << int(c.format) << " line " << c.event.line;
    }
    for (const Case &c : cases) {
        if (c.format == Format::Rez || c.format == Format::Zud) {
            EXPECT_EQ(c.bytes.size(), 30);
        }
    }
}

TEST(SimRecords, EventsAFormatCannotCarry)
{
    struct Case {
        Format format;
        CallEvent event;
    };
    const Case cases[] = {
        {Format::Zuraza, {1, Caller::Withheld, {}, false, kWhen}},
        {Format::Zuraza, {4, Caller::PublicPhone, {}, false, kWhen}}, // "C" beyond line 4's range
        {Format::Default, {5, Caller::Number, "1234", false, kWhen}},
        {Format::MultiLine, {17, Caller::Number, "1234", false, kWhen}},
        {Format::Rez, {0, Caller::Number, "1234", false, kWhen}},
    };
    for (const Case &c : cases) {
        QString why;
        EXPECT_FALSE(callRecord(variantOf(c.format), c.event, &why).has_value());
        EXPECT_FALSE(why.isEmpty());
    }
}

TEST(SimRecords, IdentificationCallEndAndDetection)
{
    EXPECT_EQ(identificationRecord(variantOf(Format::Default), {"DK-A0001", "V10"}),
              b("\x02 P      DK-A0001V10\x03"));
    EXPECT_EQ(identificationRecord(variantOf(Format::Rez), {"DK-C0001", "V1.0"}),
              b("\x02 P              DK-C0001V1.0\x03"));
    EXPECT_EQ(identificationRecord(variantOf(Format::Zud), {"DK-F001", "V10"}),
              b("\x02 P              DK-F001V10  \x03"));
    EXPECT_EQ(identificationRecord(variantOf(Format::Rorivu), {"DK-D001", "V10"}),
              b("\x02P         DK-D001V10E"));
    EXPECT_EQ(identificationRecord(variantOf(Format::Zuraza), {"DK-E", "V1.00"}),
              b("\x02V1.00DK-E\x03"));

    EXPECT_EQ(callEndRecord(variantOf(Format::Default), 1), b("\x02"
                                                              "1S\x03"));
    EXPECT_EQ(callEndRecord(variantOf(Format::Rez), 2), b("\x02"
                                                          "2S\x03"));
    EXPECT_EQ(callEndRecord(variantOf(Format::Zud), 3), b("\x02"
                                                          "3S\x03"));
    EXPECT_EQ(callEndRecord(variantOf(Format::Rorivu), 4), b("\x02"
                                                             "S4E"));
    EXPECT_FALSE(callEndRecord(variantOf(Format::MultiLine), 1).has_value());
    EXPECT_FALSE(callEndRecord(variantOf(Format::Zuraza), 1).has_value());

    EXPECT_EQ(detectionRecord(1), b("\x02"
                                    "ax1\x03"));
}

TEST(SimFrames, ConsoleFramesFromAStream)
{
    const QByteArray stream = b("?SPE") + b("\x02 P                  \x03") +
                              b("\x02"
                                "2I                          \x03") +
                              b("SIE") +
                              b("\x02"
                                "ay2                 \x03") +
                              b("xx");
    // Bytes that start no frame come out as they arrive, so only whole-stream feeding
    // is compared for them.
    for (qsizetype split = 0; split <= stream.size(); ++split) {
        FrameReader reader;
        QList<Frame> frames = reader.feed(stream.left(split));
        frames += reader.feed(stream.mid(split));
        QByteArray unknown;
        while (frames.size() > 6 && frames.back().kind == Frame::Kind::Unknown)
            unknown.prepend(frames.takeLast().bytes);
        ASSERT_EQ(frames.size(), 6) << "split at " << split;
        EXPECT_EQ(unknown, b("xx"));
        EXPECT_EQ(frames[0].kind, Frame::Kind::Query);
        EXPECT_EQ(frames[1].kind, Frame::Kind::Rorivu);
        EXPECT_EQ(frames[1].command, 'P');
        EXPECT_EQ(frames[2].kind, Frame::Kind::Default);
        EXPECT_EQ(frames[2].port, ' ');
        EXPECT_EQ(frames[2].command, 'P');
        EXPECT_TRUE(frames[2].data.isEmpty());
        EXPECT_EQ(frames[3].kind, Frame::Kind::Rez);
        EXPECT_EQ(frames[3].port, '2');
        EXPECT_EQ(frames[4].bytes, b("SIE"));
        EXPECT_EQ(frames[5].port, 'a');
        EXPECT_EQ(frames[5].command, 'y');
        EXPECT_EQ(frames[5].data, b("2"));
    }
}

TEST(SimFrames, UnendedFrameIsBounded)
{
    FrameReader reader;
    const QList<Frame> frames = reader.feed('\x02' + QByteArray(FrameReader::kLimit, 'z'));
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0].kind, Frame::Kind::Unknown);
    EXPECT_TRUE(reader.pending().isEmpty());
}
