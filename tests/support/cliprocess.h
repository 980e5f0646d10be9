#pragma once

// dialkite-cli as a child process (a monitor, a collector), its output collected as it
// comes, stopped by a signal to its process id; and the numbered calls the fleet tests
// send, each number the call's own.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <csignal>
#include <sys/types.h>

namespace dialkite::test {

inline void stopProcess(QProcess &process, int signal = SIGTERM)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), signal);
    process.waitForFinished(15000);
}

// `count` calls on line 1, numbers that are each the call's own: 0212000000 + first + i.
inline QString numberedCalls(int first, int count)
{
    QString commands;
    for (int i = 0; i < count; ++i)
        commands += QStringLiteral("call 1 0%1\n").arg(212000000 + first + i);
    return commands;
}

// The digits of call `n` of numberedCalls().
inline QByteArray numberedDigits(int n)
{
    return "0" + QByteArray::number(212000000 + n);
}

class CliProcess {
public:
    void start(const QStringList &arguments)
    {
        m_out.clear();
        m_err.clear();
        m_process.start(QStringLiteral(DIALKITE_CLI), arguments);
        m_process.waitForStarted(5000);
    }
    void stop(int signal = SIGTERM)
    {
        read();
        stopProcess(m_process, signal);
        read();
    }
    ~CliProcess() { stop(); }
    const QByteArray &out()
    {
        read();
        return m_out;
    }
    const QByteArray &err()
    {
        read();
        return m_err;
    }
    int printedCalls() { return int(out().count("\"event\": \"call\"")); }

private:
    void read()
    {
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
    }
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

} // namespace dialkite::test
