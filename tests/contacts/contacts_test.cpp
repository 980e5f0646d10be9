// The phonebook: numbers as Korean numbers are dialled, contact files as people have them
// (UTF-8, CP949, vCards), and the phonebook in a real history file.

#include "contacts/contactfile.h"
#include "contacts/number.h"
#include "history/contacts.h"
#include "history/phonebook.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::contacts;

TEST(NumberKey, EveryWayOfWritingANumberIsOneNumber)
{
    const std::pair<const char *, const char *> cases[] = {
        {"+82 10-1234-5678", "01012345678"},
        {"010-1234-5678", "01012345678"},
        {"01012345678", "01012345678"},
        {"+82 (0)10 1234 5678", "01012345678"},
        {"0082-10-1234-5678", "01012345678"},
        {"(02) 123.4567", "021234567"},
        {"+82 2-123-4567", "021234567"},
        {"1588-1234", "15881234"},
        {"101", "101"},                                // an internal extension
        {"+1 555 123 4567", "+15551234567"},           // another country keeps its code
        {"０１０－１２３４－５６７８", "01012345678"}, // full-width, as typed in Korean
        {"010\u20131234\u20135678", "01012345678"},    // an en dash from a word processor
    };
    for (const auto &[text, key] : cases)
        EXPECT_EQ(numberKey(QString::fromUtf8(text)), QString::fromUtf8(key)) << text;
    for (const char *notOne : {"", "  - ", "1", "abc", "010-1234-567x", "+", "+82",
                               "123456789012345678901", "1+2", "٠١٢٣", "+8", "+1 2"})
        EXPECT_EQ(numberKey(QString::fromUtf8(notOne)), QString()) << notOne;
}

TEST(ContactFile, CsvInEveryEncodingAKoreanPcWrites)
{
    // UTF-8 without a mark, a quoted cell over two lines, several numbers in one cell, the
    // columns found by their Korean names, and each entry with the line it begins on.
    const QByteArray utf8 = "전화번호,이름,메모\r\n"
                            "\"010-1234-5678; 02-123-4567\",홍길동,\"단골,\n2층\"\r\n"
                            "031-999-8888,김철수,\r\n";
    FileContent read = readContactFile(utf8);
    ASSERT_EQ(read.error, QString());
    EXPECT_EQ(read.encoding, QStringLiteral("UTF-8"));
    ASSERT_EQ(read.entries.size(), 2);
    EXPECT_EQ(read.entries[0].line, 2);
    EXPECT_EQ(read.entries[0].name, QStringLiteral("홍길동"));
    EXPECT_EQ(read.entries[0].note, QStringLiteral("단골,\n2층"));
    EXPECT_EQ(read.entries[0].numbers,
              QStringList({QStringLiteral("010-1234-5678"), QStringLiteral("02-123-4567")}));
    EXPECT_EQ(read.entries[1].line, 4);
    EXPECT_EQ(read.entries[1].name, QStringLiteral("김철수"));

    // With a byte-order mark, English headers.
    read = readContactFile("\xEF\xBB\xBFName,Mobile Phone\nLee,010 9999 0000\n");
    EXPECT_EQ(read.encoding, QStringLiteral("UTF-8"));
    ASSERT_EQ(read.entries.size(), 1);
    EXPECT_EQ(read.entries[0].name, QStringLiteral("Lee"));

    // CP949, as a spreadsheet on a Korean PC saves it: "이름,번호\n정수진,010-5555-6666\n".
    read = readContactFile(QByteArray::fromHex("c0ccb8a72cb9f8c8a30ac1a4bcf6c1f82c3031302d3535"
                                               "35352d363636360a"));
    EXPECT_EQ(read.encoding, QStringLiteral("CP949"));
    ASSERT_EQ(read.entries.size(), 1);
    EXPECT_EQ(read.entries[0].name, QStringLiteral("정수진"));
    EXPECT_EQ(read.entries[0].numbers, QStringList{QStringLiteral("010-5555-6666")});

    // A file without the columns says so and gives nothing.
    read = readContactFile("a,b\n1,2\n");
    EXPECT_FALSE(read.error.isEmpty());
    EXPECT_TRUE(read.entries.isEmpty());
}

TEST(ContactFile, VCardsOfBothVersions)
{
    const QByteArray cards = "BEGIN:VCARD\r\n"
                             "VERSION:3.0\r\n"
                             "N:한;지민;;;\r\n"
                             "item1.TEL;TYPE=CELL:+82-10-7777-8888\r\n"
                             "TEL;TYPE=WORK:02-555-\r\n"
                             " 1234\r\n"
                             "NOTE:거래처\\, 서울\\n2층\r\n"
                             "END:VCARD\r\n"
                             "BEGIN:VCARD\r\n"
                             "VERSION:4.0\r\n"
                             "FN;CHARSET=UTF-8:Kim \"Sun\"\r\n"
                             "TEL;VALUE=uri;TYPE=\"voice,cell\":tel:+1-555-123-4567;ext=2\r\n"
                             "END:VCARD\r\n";
    const FileContent read = readContactFile(cards);
    ASSERT_EQ(read.error, QString());
    ASSERT_EQ(read.entries.size(), 2);
    EXPECT_EQ(read.entries[0].line, 1);
    EXPECT_EQ(read.entries[0].name, QStringLiteral("한지민")); // from N: no FN
    EXPECT_EQ(read.entries[0].numbers,
              QStringList({QStringLiteral("+82-10-7777-8888"), QStringLiteral("02-555-1234")}));
    EXPECT_EQ(read.entries[0].note, QStringLiteral("거래처, 서울\n2층"));
    EXPECT_EQ(read.entries[1].line, 9);
    EXPECT_EQ(read.entries[1].name, QStringLiteral("Kim \"Sun\""));
    EXPECT_EQ(read.entries[1].numbers, QStringList{QStringLiteral("+1-555-123-4567")});
}

TEST(ContactFile, AnExportReadsBackAsItWas)
{
    // A name a spreadsheet would take for a formula and numbers that begin with "+" are
    // marked in the file and come back as they were.
    const QList<Entry> written = {
        {0,
         QStringLiteral("=HYPERLINK(\"x\")"),
         QStringLiteral("메모, 둘"),
         {QStringLiteral("+82 10-1234-5678"), QStringLiteral("02-123-4567")}},
        {0, QStringLiteral("김철수"), {}, {QStringLiteral("1588-1234")}}};
    const FileContent read = readContactFile(writeCsv(written));
    ASSERT_EQ(read.entries.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(read.entries[i].name, written[i].name);
        EXPECT_EQ(read.entries[i].note, written[i].note);
        EXPECT_EQ(read.entries[i].numbers, written[i].numbers);
    }
}

TEST(ContactBookTest, ImportsMergesRefusesAndFindsInARealHistory)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calls.sqlite"));
    ContactBook book(path);
    QString problem;
    ASSERT_TRUE(book.open(&problem)) << problem.toStdString();
    const QList<Entry> file = {
        {2, QStringLiteral("홍길동"), QStringLiteral("단골"), {QStringLiteral("+82 10-1234-5678")}},
        {3, QStringLiteral("김철수"), {}, {QStringLiteral("02-123-4567"), QStringLiteral("abc")}},
        {4, {}, {}, {QStringLiteral("010-1111-2222")}},
        {5, QStringLiteral("박지성"), {}, {QStringLiteral("01012345678")}}, // 홍길동's
        {6, QStringLiteral("홍길동"), {}, {QStringLiteral("031-999-8888")}},
        {7, QStringLiteral("이영희"), {}, {}},
    };
    auto result = book.import(file, &problem);
    ASSERT_TRUE(result) << problem.toStdString();
    EXPECT_EQ(result->added, 2);
    EXPECT_EQ(result->merged, 1); // 홍길동's second number
    EXPECT_EQ(result->refusals,
              QStringList({QStringLiteral("line 3: 'abc' is not a telephone number"),
                           QStringLiteral("line 4: no name"),
                           QStringLiteral("line 5: 01012345678 is 홍길동's number already"),
                           QStringLiteral("line 7: 이영희 has no number")}));

    // The same file again adds nothing.
    result = book.import(file, &problem);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->added + result->merged, 0);
    EXPECT_EQ(result->unchanged, 3);

    // Found by any way of writing a number, by name and by note.
    for (const QString &search : {QStringLiteral("010-1234-5678"), QStringLiteral("1234 5678"),
                                  QStringLiteral("길동"), QStringLiteral("단골")}) {
        const auto found = book.list(search, &problem);
        ASSERT_TRUE(found);
        ASSERT_EQ(found->size(), 1) << search.toStdString();
        EXPECT_EQ(found->front().name, QStringLiteral("홍길동"));
        EXPECT_EQ(found->front().numbers.size(), 2);
    }
    const auto all = book.list({}, &problem);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 2);

    // What the outputs read: every number's name, and a version that moves with a change.
    Phonebook names(path, 50);
    names.start();
    EXPECT_EQ(names.nameOf(QStringLiteral("01012345678")), QStringLiteral("홍길동"));
    EXPECT_EQ(names.nameOf(QStringLiteral("0319998888")), QStringLiteral("홍길동"));
    EXPECT_EQ(names.nameOf(QStringLiteral("021234567")), QStringLiteral("김철수"));
    EXPECT_EQ(names.nameOf(QStringLiteral("0299999999")), QString());
    const qint64 before = names.version();
    const qint64 kim = all->front().name == u"김철수" ? all->front().id : all->back().id;
    EXPECT_TRUE(book.remove(kim, &problem));
    EXPECT_FALSE(book.remove(kim, &problem)); // not there any more
    EXPECT_EQ(problem, QString());
    for (int i = 0; i < 100 && names.version() == before; ++i)
        QThread::msleep(20);
    EXPECT_GT(names.version(), before);
    EXPECT_EQ(names.nameOf(QStringLiteral("02-123-4567")), QString());
}
