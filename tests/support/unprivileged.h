#pragma once

// Tests of file permissions mean nothing to root, who may write anything. Run as root
// (as CI does), such a test runs itself again as "nobody" in a child process, through
// setpriv, and takes that run's verdict:
//
//     TEST(Files, ...) {
//         if (runUnprivileged())
//             return;
//         ... the test itself ...
//     }

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace dialkite::test {

// True when this test has been run as "nobody" (and its verdict recorded); false when
// the caller should go on and run it here.
inline bool runUnprivileged()
{
    if (::geteuid() != 0)
        return false;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        ADD_FAILURE() << "running as root without setpriv (util-linux) to drop privileges";
        return true;
    }
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QStringLiteral("%1.%2").arg(QString::fromLatin1(test->test_suite_name()),
                                                       QString::fromLatin1(test->name()));
    // A home and a temporary folder of its own, which nobody may write.
    QTemporaryDir home(QStringLiteral("/tmp/dialkite-nobody-XXXXXX"));
    QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("TMPDIR"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"),
                       home.path() + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                          QStringLiteral("--clear-groups"), QStringLiteral("--"),
                          QCoreApplication::applicationFilePath(),
                          QStringLiteral("--gtest_filter=") + filter});
    if (!child.waitForFinished(60000))
        child.kill();
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << "as nobody:\n" << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << "as nobody:\n" << output.constData();
    return true;
}

} // namespace dialkite::test
