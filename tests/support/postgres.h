#pragma once

// A throwaway PostgreSQL cluster for the tests: initdb into a temporary folder, the
// server on 127.0.0.1 and a free port, started and stopped by its process id (as the
// "postgres" user when the tests run as root, which the server refuses to be). Trust
// authentication on loopback: the tests' user is "postgres".
//
//     PostgresCluster pg;
//     if (!pg.ok()) GTEST_SKIP() << pg.why();
//     const QString url = pg.url("fleet");   // postgresql://postgres@127.0.0.1:PORT/fleet

#include "support/broker.h" // freePort

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <pwd.h>
#include <unistd.h>

namespace dialkite::test {

class PostgresCluster {
public:
    PostgresCluster()
        : m_dir(QStringLiteral("/tmp/dialkite-pg-XXXXXX"))
        , m_port(freePort())
    {
        for (const QString &version :
             QDir(QStringLiteral("/usr/lib/postgresql"))
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
            if (QFile::exists(bin + QStringLiteral("/initdb"))) {
                m_bin = bin;
                break;
            }
        }
        if (m_bin.isEmpty()) {
            m_why = QStringLiteral("no PostgreSQL server here (Debian: postgresql-15)");
            return;
        }
        if (::geteuid() == 0) {
            const passwd *user = ::getpwnam("postgres");
            if (!user) {
                m_why = QStringLiteral("running as root without a postgres user to run the server");
                return;
            }
            m_uid = user->pw_uid;
            m_gid = user->pw_gid;
            if (::chown(QFile::encodeName(m_dir.path()).constData(), m_uid, m_gid) != 0) {
                m_why = QStringLiteral("cannot give the cluster's folder to postgres");
                return;
            }
        }
        QProcess initdb;
        run(initdb, QStringLiteral("initdb"),
            {QStringLiteral("-D"), data(), QStringLiteral("-U"), QStringLiteral("postgres"),
             QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
             QStringLiteral("--locale=C"), QStringLiteral("--no-sync")});
        if (!initdb.waitForFinished(120000) || initdb.exitCode() != 0) {
            m_why = QStringLiteral("initdb failed: ") + QString::fromLocal8Bit(initdb.readAll());
            return;
        }
        m_ok = start();
    }
    ~PostgresCluster() { stop(); }

    bool ok() const { return m_ok; }
    const QString &why() const { return m_why; }
    int port() const { return m_port; }
    QString url(const QString &database) const
    {
        return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(m_port).arg(database);
    }

    // A new empty database.
    bool createDatabase(const QString &name)
    {
        return psql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(name));
    }
    // One statement through psql; its output in `output`.
    bool psql(const QString &database, const QString &sql, QString *output = nullptr)
    {
        QProcess client;
        run(client, QStringLiteral("psql"),
            {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
             QString::number(m_port), QStringLiteral("-U"), QStringLiteral("postgres"),
             QStringLiteral("-d"), database, QStringLiteral("-v"),
             QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-AtqX"), QStringLiteral("-c"), sql},
            false);
        client.waitForFinished(60000);
        if (output)
            *output = QString::fromUtf8(client.readAllStandardOutput()).trimmed();
        return client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
    }

    bool start()
    {
        if (m_server.state() != QProcess::NotRunning)
            return true;
        run(m_server, QStringLiteral("postgres"),
            {QStringLiteral("-D"), data(), QStringLiteral("-p"), QString::number(m_port),
             QStringLiteral("-k"), m_dir.path(), QStringLiteral("-c"),
             QStringLiteral("listen_addresses=127.0.0.1"), QStringLiteral("-c"),
             QStringLiteral("fsync=off"), QStringLiteral("-c"),
             QStringLiteral("max_connections=50")});
        if (!m_server.waitForStarted(10000)) {
            m_why = QStringLiteral("the server did not start");
            return false;
        }
        for (int i = 0; i < 200; ++i) {
            if (psql(QStringLiteral("postgres"), QStringLiteral("SELECT 1")))
                return true;
            if (m_server.state() == QProcess::NotRunning)
                break;
            QThread::msleep(100);
        }
        m_why = QStringLiteral("the server did not take connections: ") +
                QString::fromLocal8Bit(m_server.readAllStandardError());
        return false;
    }
    // A fast shutdown (SIGINT): clients are disconnected, nothing committed is lost.
    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_server.processId()), SIGINT);
        if (!m_server.waitForFinished(30000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }

private:
    QString data() const { return m_dir.path() + QStringLiteral("/data"); }

    // A server program, as postgres when we are root; output kept apart.
    void run(QProcess &process, const QString &program, const QStringList &arguments,
             bool merged = true)
    {
        if (merged)
            process.setProcessChannelMode(QProcess::MergedChannels);
        const QString path = m_bin + u'/' + program;
        if (::geteuid() != 0) {
            process.start(path, arguments);
            return;
        }
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=%1").arg(m_uid),
                                  QStringLiteral("--regid=%1").arg(m_gid),
                                  QStringLiteral("--clear-groups"), QStringLiteral("--"), path} +
                          arguments);
    }

    QTemporaryDir m_dir;
    int m_port;
    QString m_bin;
    QString m_why;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_ok = false;
    QProcess m_server;
};

} // namespace dialkite::test
