// The settings file, read and written one key at a time.

#include "console/settings.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace dialkite;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("Dial Kite.ini")); }
    void put(const QByteArray &content)
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray content() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString read(const char *section, const char *key) const
    {
        return Settings(path()).read(QString::fromLatin1(section), QString::fromLatin1(key));
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(SettingsFile, RoundTripCreatesFileAndSections)
{
    Settings settings(path());
    EXPECT_TRUE(settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")).isEmpty());
    EXPECT_TRUE(settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("3")));
    EXPECT_TRUE(
        settings.write(QStringLiteral("DIALKITE"), QStringLiteral("NUM"), QStringLiteral("5")));
    EXPECT_TRUE(settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("4")));
    EXPECT_EQ(read("PORT", "NUM"), QStringLiteral("4"));
    EXPECT_EQ(read("DIALKITE", "NUM"), QStringLiteral("5"));
    EXPECT_EQ(content(), QByteArray("[PORT]\nNUM=4\n\n[DIALKITE]\nNUM=5\n"));
    EXPECT_TRUE(settings.write(QStringLiteral("DIALKITE"), QStringLiteral("NUM"), QString()));
    EXPECT_EQ(read("DIALKITE", "NUM"), QString());
}

TEST_F(SettingsFile, ReadsWindowsFiles)
{
    put("\xEF\xBB\xBF; written on the shop PC\r\n[Port]\r\n  num =  7  \r\n\r\n"
        "[DIALKITE]\r\nNUM=\"3\"\r\nOTHER=x\r\n[DEVICES]\r\nCOM7=/dev/ttyUSB0\r\n");
    EXPECT_EQ(read("PORT", "NUM"), QStringLiteral("7"));
    EXPECT_EQ(read("port", "Num"), QStringLiteral("7"));
    EXPECT_EQ(read("DIALKITE", "NUM"), QStringLiteral("3"));
    EXPECT_EQ(read("DIALKITE", "MISSING"), QString());
    EXPECT_EQ(read("NOWHERE", "NUM"), QString());
    EXPECT_EQ(portDevice(Settings(path()), 7), QStringLiteral("/dev/ttyUSB0"));
}

TEST_F(SettingsFile, WriteChangesOnlyItsLineAndKeepsTheFilesStyle)
{
    const QByteArray before = "\xEF\xBB\xBF; comment \xB0\xA1\r\n[Port]\r\nnum=7\r\nkeep=1\r\n\r\n"
                              "[OTHER]\r\nA=b\r\n";
    put(before);
    EXPECT_TRUE(
        Settings(path()).write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("2")));
    EXPECT_EQ(content(),
              QByteArray("\xEF\xBB\xBF; comment \xB0\xA1\r\n[Port]\r\nnum=2\r\nkeep=1\r\n\r\n"
                         "[OTHER]\r\nA=b\r\n"));
    EXPECT_TRUE(
        Settings(path()).write(QStringLiteral("PORT"), QStringLiteral("NEW"), QStringLiteral("x")));
    EXPECT_EQ(content(),
              QByteArray("\xEF\xBB\xBF; comment \xB0\xA1\r\n[Port]\r\nnum=2\r\nkeep=1\r\n"
                         "NEW=x\r\n\r\n[OTHER]\r\nA=b\r\n"));
}

TEST_F(SettingsFile, ValuesAreCutAt255AndKeptOnOneLine)
{
    put("[P]\nK=" + QByteArray(300, 'v') + "\n");
    EXPECT_EQ(read("P", "K"), QString(255, QLatin1Char('v')));
    Settings(path()).write(QStringLiteral("P"), QStringLiteral("K"), QStringLiteral("a\nb=c"));
    EXPECT_EQ(read("P", "K"), QStringLiteral("a b=c"));
    EXPECT_EQ(read("P", "b"), QString());
}

// The user's settings folder does not exist on a first start: it is made. A folder that
// cannot be made (a file is in its way) or a path that is a folder is a failure.
TEST_F(SettingsFile, AMissingFolderIsMadeAFailedWriteReportsFalse)
{
    if (dialkite::test::runUnprivileged())
        return;
    const QString fresh = m_dir.filePath(QStringLiteral("home/.config/dialkite/Dial Kite.ini"));
    Settings settings(fresh);
    EXPECT_TRUE(settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("3")));
    EXPECT_EQ(Settings(fresh).read(QStringLiteral("PORT"), QStringLiteral("NUM")),
              QStringLiteral("3"));
    EXPECT_TRUE(QFileInfo(QFileInfo(fresh).absolutePath()).isWritable());
    put("in the way");
    Settings blocked(path() + QStringLiteral("/x.ini"));
    EXPECT_FALSE(blocked.write(QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")));
    EXPECT_TRUE(blocked.problem().contains(u"cannot make the folder"))
        << blocked.problem().toStdString();
    EXPECT_FALSE(Settings(m_dir.path())
                     .write(QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")));
}

TEST_F(SettingsFile, FailedWriteLeavesTheOldFile)
{
    if (dialkite::test::runUnprivileged())
        return;
    put("[PORT]\nNUM=3\n");
    QFile::setPermissions(path(), QFile::ReadOwner);
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool written =
        Settings(path()).write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("4"));
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (written)
        GTEST_SKIP() << "running with rights that ignore file permissions";
    EXPECT_EQ(read("PORT", "NUM"), QStringLiteral("3"));
}

TEST_F(SettingsFile, UnreadableFileReadsEmpty)
{
    EXPECT_EQ(Settings(m_dir.path()).read(QStringLiteral("PORT"), QStringLiteral("NUM")),
              QString());
}

TEST_F(SettingsFile, PortNumbersMapToDevices)
{
    put("[DEVICES]\nCOM3=/dev/ttyUSB0\ncom4 = /dev/pts/9\n");
    const Settings settings(path());
    EXPECT_EQ(portDevice(settings, 3), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(portDevice(settings, 4), QStringLiteral("/dev/pts/9"));
#ifdef Q_OS_WIN
    EXPECT_EQ(portDevice(settings, 1), QStringLiteral("COM1"));
#else
    EXPECT_EQ(portDevice(settings, 1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(portDevice(settings, 9), QStringLiteral("/dev/ttyS8"));
#endif
    EXPECT_EQ(portDevice(settings, 0), QString());
    EXPECT_EQ(portDevice(settings, -1), QString());
}

// ---- A write never replaces a file it could not read ----

namespace {

class SettingsSafety : public SettingsFile {
protected:
    bool write(const char *section, const char *key, const QString &value)
    {
        return Settings(path()).write(QString::fromLatin1(section), QString::fromLatin1(key),
                                      value);
    }
    static constexpr char kFull[] = "[PORT]\nNUM=3\n\n[DEVICES]\nCOM3=/dev/ttyUSB0\n";
};

} // namespace

TEST_F(SettingsSafety, UnreadableFileIsLeftAsItWas)
{
    // A link that loops cannot be opened by anyone, root included.
    const QString loop = m_dir.filePath(QStringLiteral("loop.ini"));
    ASSERT_TRUE(QFile::link(loop, loop));
    Settings looped(loop);
    EXPECT_FALSE(
        looped.write(QStringLiteral("DIALKITE"), QStringLiteral("NUM"), QStringLiteral("3")));
    EXPECT_TRUE(looped.problem().contains(loop)) << looped.problem().toStdString();
    EXPECT_TRUE(QFileInfo(loop).isSymLink());
    EXPECT_EQ(QFileInfo(loop).symLinkTarget(), loop);

    // Mode 0200: unreadable for anyone but the superuser.
    put(kFull);
    QFile::setPermissions(path(), QFile::WriteOwner);
    QFile probe(path());
    if (!probe.open(QIODevice::ReadOnly)) {
        EXPECT_EQ(read("PORT", "NUM"), QString());
        EXPECT_FALSE(write("DIALKITE", "NUM", QStringLiteral("3")));
    }
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(content(), QByteArray(kFull));
}

TEST_F(SettingsSafety, OversizedFileIsRefusedUnreadAndUnwritten)
{
    // A blank-line file one byte over the limit; one at the limit is read.
    const QByteArray atLimit = "[PORT]\nNUM=3\n" + QByteArray(Settings::kMaxFileSize - 13, '\n');
    put(atLimit);
    EXPECT_EQ(read("PORT", "NUM"), QStringLiteral("3"));
    put(atLimit + '\n');
    Settings settings(path());
    EXPECT_EQ(settings.read(QStringLiteral("PORT"), QStringLiteral("NUM")), QString());
    EXPECT_TRUE(settings.problem().contains(QStringLiteral("larger than 64 KiB")))
        << settings.problem().toStdString();
    EXPECT_FALSE(
        settings.write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("4")));
    EXPECT_EQ(content(), atLimit + '\n');
}

TEST_F(SettingsSafety, ReadOnlyFileIsNotWrittenEvenBySuperuser)
{
    put(kFull);
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_FALSE(write("DIALKITE", "NUM", QStringLiteral("3")));
    EXPECT_EQ(content(), QByteArray(kFull));
    EXPECT_EQ(QFileInfo(path()).permissions() &
                  ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
              QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
}

TEST_F(SettingsSafety, RewriteKeepsModeAndOwner)
{
    put(kFull);
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                    QFile::WriteUser | QFile::ReadGroup;
    QFile::setPermissions(path(), mode);
    ASSERT_TRUE(write("PORT", "NUM", QStringLiteral("4")));
    EXPECT_EQ(QFileInfo(path()).permissions() &
                  ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
              mode & ~(QFile::ReadUser | QFile::WriteUser));
    EXPECT_EQ(read("DEVICES", "COM3"), QStringLiteral("/dev/ttyUSB0"));

#ifdef Q_OS_UNIX
    // Only the superuser can give a file away; then a rewrite must hand it back.
    const QByteArray chown = "chown 65534:65534 '" + QFile::encodeName(path()) + "' 2>/dev/null";
    if (std::system(chown.constData()) != 0 || QFileInfo(path()).ownerId() != 65534)
        return;
    ASSERT_TRUE(write("PORT", "NUM", QStringLiteral("5")));
    EXPECT_EQ(QFileInfo(path()).ownerId(), 65534u);
    EXPECT_EQ(QFileInfo(path()).groupId(), 65534u);
#endif
}

// ---- Every byte of the lines a write does not change ----

TEST_F(SettingsFile, MixedLineEndsAreKeptLineByLine)
{
    put("; notes\n[PORT]\r\nNUM=1\nKEEP=2\r\n[DEVICES]\rCOM1=/dev/pts/3");
    ASSERT_TRUE(
        Settings(path()).write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("7")));
    EXPECT_EQ(content(),
              QByteArray("; notes\n[PORT]\r\nNUM=7\nKEEP=2\r\n[DEVICES]\rCOM1=/dev/pts/3"));
    // A new key after a last line without an end: that line gets the file's first end.
    ASSERT_TRUE(Settings(path()).write(QStringLiteral("DEVICES"), QStringLiteral("COM2"),
                                       QStringLiteral("/dev/pts/4")));
    EXPECT_EQ(content(), QByteArray("; notes\n[PORT]\r\nNUM=7\nKEEP=2\r\n[DEVICES]\r"
                                    "COM1=/dev/pts/3\nCOM2=/dev/pts/4\n"));
}

TEST_F(SettingsFile, OldMacLineEndsReadAndWriteInPlace)
{
    put("[PORT]\rNUM=2\r\r[DIALKITE]\rNUM=5\r");
    EXPECT_EQ(read("PORT", "NUM"), QStringLiteral("2"));
    EXPECT_EQ(read("DIALKITE", "NUM"), QStringLiteral("5"));
    ASSERT_TRUE(
        Settings(path()).write(QStringLiteral("PORT"), QStringLiteral("NUM"), QStringLiteral("6")));
    ASSERT_TRUE(
        Settings(path()).write(QStringLiteral("PORT"), QStringLiteral("NEW"), QStringLiteral("x")));
    EXPECT_EQ(content(), QByteArray("[PORT]\rNUM=6\rNEW=x\r\r[DIALKITE]\rNUM=5\r"));
}

// ---- The value limit counts characters ----

TEST_F(SettingsFile, LimitCountsCharactersAndNeverSplitsOne)
{
    const QString hangul = QStringLiteral("a") + QString(100, QChar(0xAC00)); // "a가가..."
    ASSERT_TRUE(Settings(path()).write(QStringLiteral("P"), QStringLiteral("K"), hangul));
    EXPECT_EQ(read("P", "K"), hangul);

    // 300 characters outside the Basic Multilingual Plane: 255 of them, each whole.
    QString emoji;
    for (int i = 0; i < 300; ++i)
        emoji += QString::fromUcs4(U"\U0001F4DE");
    put("[P]\nK=" + emoji.toUtf8() + "\n");
    const QString value = read("P", "K");
    EXPECT_EQ(value.toUcs4().size(), 255);
    EXPECT_EQ(value, emoji.left(510));
    EXPECT_FALSE(value.contains(QChar(QChar::ReplacementCharacter)));
}

TEST_F(SettingsFile, ReadOnlyProgramFolderMovesTheFileToTheUsersFolder)
{
    if (dialkite::test::runUnprivileged())
        return;
    const QString program = m_dir.filePath(QStringLiteral("program"));
    const QString user = m_dir.filePath(QStringLiteral("user/dialkite"));
    QDir().mkpath(program);
    EXPECT_EQ(Settings::choosePath(program, user), program + QStringLiteral("/Dial Kite.ini"));
    // Installed, whoever runs it: the user's own folder.
    EXPECT_EQ(Settings::choosePath(QStringLiteral("/usr/bin"), user),
              user + QStringLiteral("/Dial Kite.ini"));
    QFile old(program + QStringLiteral("/Dial Kite.ini"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("[PORT]\nNUM=4\n");
    old.close();
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(program).isWritable()) {
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    }
    const QString chosen = Settings::choosePath(program, user);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(chosen, user + QStringLiteral("/Dial Kite.ini"));
    EXPECT_EQ(Settings(chosen).read(QStringLiteral("PORT"), QStringLiteral("NUM")),
              QStringLiteral("4"));
}
