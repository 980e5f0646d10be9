#pragma once

// A real mosquitto broker for the tests: on 127.0.0.1 and a free port, with a generated
// configuration (persistence on, so that a restart keeps a collector's session), started
// and stopped by its process id.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dialkite::test {

inline int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class Broker {
public:
    // `passwordFile`: a mosquitto_passwd file; empty for anonymous access. `port`: 0 for
    // a free one. `defaults`: mosquitto as installed (no persistence, 1,000 queued
    // messages at most for a client that is away), not kept for the tests' sake.
    // `aclFile`: mosquitto's access control list, with the password file.
    explicit Broker(const QString &passwordFile = {}, int port = 0, bool defaults = false,
                    bool startNow = true, const QString &aclFile = {})
        : m_port(port ? port : freePort())
    {
        QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        config.open(QIODevice::WriteOnly);
        config.write("listener " + QByteArray::number(m_port) + " 127.0.0.1\n");
        // Started as root it would become "mosquitto" and lose its own files.
        if (::geteuid() == 0)
            config.write("user root\n");
        config.write(passwordFile.isEmpty() ? "allow_anonymous true\n"
                                            : "allow_anonymous false\npassword_file " +
                                                  QFile::encodeName(passwordFile) + "\n");
        if (!aclFile.isEmpty())
            config.write("acl_file " + QFile::encodeName(aclFile) + "\n");
        if (!defaults)
            config.write("persistence true\npersistence_location " +
                         QFile::encodeName(m_dir.path()) +
                         "/\nautosave_interval 1\nmax_queued_messages 100000\n");
        config.close();
        if (startNow)
            start();
    }
    ~Broker() { stop(); }

    bool start()
    {
        m_process.start(QStringLiteral("mosquitto"),
                        {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
        if (!m_process.waitForStarted(5000))
            return false;
        // Listening once a connection is taken.
        for (int i = 0; i < 100; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(quint16(m_port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const bool up =
                ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
            ::close(fd);
            if (up)
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    // Stops it by its process id: SIGTERM, as a service manager would, so that it
    // saves its persistent state.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGTERM);
        m_process.waitForFinished(5000);
    }
    // Kills it at once, as a power cut would: what it had not saved is gone.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(5000);
    }
    int port() const { return m_port; }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port); }
    QString log() { return QString::fromUtf8(m_process.readAll()); }

private:
    QTemporaryDir m_dir;
    int m_port;
    QProcess m_process;
};

} // namespace dialkite::test
