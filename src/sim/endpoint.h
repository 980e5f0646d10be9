#pragma once

// The simulator's end of the serial line: the master side of a pseudo-terminal it
// creates, or a serial device (null-modem cable) set to 19200,n,8,1. Reading and
// writing never block; output waits in a bounded queue until the line takes it.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

namespace dialkite::sim {

class Endpoint : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kQueueLimit = 1 << 20;

    // A new pseudo-terminal; path() is the device the console opens.
    static std::unique_ptr<Endpoint> openPty(QString *error);
    static std::unique_ptr<Endpoint> openDevice(const QString &path, QString *error);
    ~Endpoint() override;

    const QString &path() const { return m_path; }
    // Queues bytes for the line; with pieces > 1 they go out in that many writes,
    // `gapMs` apart.
    void write(const QByteArray &bytes);
    void setPieces(int pieces, int gapMs);
    bool idle() const { return m_out.isEmpty() && m_staged.isEmpty(); }
    // Whether a console has opened and set up the line: on a pseudo-terminal, the
    // console's 19200 baud shows on this side too; a serial device is always ready.
    bool peerConfigured() const;

Q_SIGNALS:
    void received(const QByteArray &bytes);
    void problem(const QString &text);
    // The line cannot be read any more (a serial adapter unplugged).
    void lost(const QString &text);

private:
    Endpoint(int fd, int keepOpen, QString path);
    void onReadable();
    void flush();
    void stageNext();

    int m_fd;
    int m_keepOpen; // our own slave descriptor, so the pty stays up between console opens
    QString m_path;
    QSocketNotifier m_readable;
    QSocketNotifier m_writable;
    QByteArray m_out;
    QList<QByteArray> m_staged;
    QTimer m_stager;
    int m_pieces = 1;
    bool m_pty = false;
};

} // namespace dialkite::sim
