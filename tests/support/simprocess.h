#pragma once

// dialkite-sim as a child process: the box on the far end of a pseudo-terminal.

#include "support/pty.h"

#include <QProcess>
#include <QStringList>

namespace dialkite::test {

class SimProcess {
public:
    explicit SimProcess(const QStringList &arguments)
    {
        m_process.start(QStringLiteral(DIALKITE_SIM), arguments);
        waitFor([this] {
            m_out += m_process.readAllStandardOutput();
            return m_out.contains('\n') || m_process.state() == QProcess::NotRunning;
        });
        m_path = QString::fromLocal8Bit(m_out.left(m_out.indexOf('\n')));
    }
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    bool ok() const { return m_path.startsWith(QLatin1Char('/')); }
    const QString &path() const { return m_path; }

    void send(const QString &commands) { m_process.write(commands.toUtf8()); }
    // Ends its input and waits for it to finish (it waits for owed acknowledgements).
    bool finish(int ms = 15000)
    {
        m_process.closeWriteChannel();
        return waitFor([this] { return m_process.state() == QProcess::NotRunning; }, ms);
    }
    int exitCode() const { return m_process.exitCode(); }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    // Asked to end (SIGTERM): it closes its line and removes its --link name, as a box
    // whose adapter is pulled.
    void end()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }

    // Everything it logged so far.
    QString log()
    {
        m_err += m_process.readAllStandardError();
        return QString::fromUtf8(m_err);
    }
    // The frames it received from the console, in the log's notation.
    QStringList received() { return tagged(QStringLiteral(" <- ")); }
    QStringList sent() { return tagged(QStringLiteral(" -> ")); }

private:
    QStringList tagged(const QString &tag)
    {
        QStringList lines;
        for (const QString &line : log().split(QLatin1Char('\n'))) {
            const qsizetype at = line.indexOf(tag);
            if (at == 12) // after the time stamp
                lines.append(line.mid(at + tag.size()));
        }
        return lines;
    }

    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
    QString m_path;
};

} // namespace dialkite::test
