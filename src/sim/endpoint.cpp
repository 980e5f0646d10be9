#include "endpoint.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace dialkite::sim {

namespace {

void makeRaw(int fd, bool serialLine)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    if (serialLine) {
        cfsetispeed(&tio, B19200);
        cfsetospeed(&tio, B19200);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    }
    tcsetattr(fd, TCSANOW, &tio);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

std::unique_ptr<Endpoint> Endpoint::openPty(QString *error)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(systemError());
        return nullptr;
    }
    makeRaw(slave, false);
    // Any speed but the console's, so that peerConfigured() sees the console arrive.
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        cfsetispeed(&tio, B38400);
        cfsetospeed(&tio, B38400);
        tcsetattr(slave, TCSANOW, &tio);
    }
    auto endpoint =
        std::unique_ptr<Endpoint>(new Endpoint(master, slave, QString::fromLocal8Bit(name)));
    endpoint->m_pty = true;
    return endpoint;
}

std::unique_ptr<Endpoint> Endpoint::openDevice(const QString &path, QString *error)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, systemError());
        return nullptr;
    }
    makeRaw(fd, true);
    return std::unique_ptr<Endpoint>(new Endpoint(fd, -1, path));
}

Endpoint::Endpoint(int fd, int keepOpen, QString path)
    : m_fd(fd)
    , m_keepOpen(keepOpen)
    , m_path(std::move(path))
    , m_readable(fd, QSocketNotifier::Read)
    , m_writable(fd, QSocketNotifier::Write)
{
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_writable.setEnabled(false);
    connect(&m_readable, &QSocketNotifier::activated, this, &Endpoint::onReadable);
    connect(&m_writable, &QSocketNotifier::activated, this, &Endpoint::flush);
    connect(&m_stager, &QTimer::timeout, this, &Endpoint::stageNext);
}

Endpoint::~Endpoint()
{
    ::close(m_fd);
    if (m_keepOpen >= 0)
        ::close(m_keepOpen);
}

bool Endpoint::peerConfigured() const
{
    termios tio{};
    return !m_pty || (tcgetattr(m_fd, &tio) == 0 && cfgetospeed(&tio) == B19200);
}

void Endpoint::setPieces(int pieces, int gapMs)
{
    m_pieces = qMax(1, pieces);
    m_stager.setInterval(qMax(0, gapMs));
}

void Endpoint::write(const QByteArray &bytes)
{
    if (m_out.size() + bytes.size() > kQueueLimit) {
        Q_EMIT problem(QStringLiteral("output queue full: %1 bytes dropped").arg(bytes.size()));
        return;
    }
    if (m_pieces <= 1) {
        m_out.append(bytes);
        flush();
        return;
    }
    const qsizetype size = qMax<qsizetype>(1, (bytes.size() + m_pieces - 1) / m_pieces);
    for (qsizetype at = 0; at < bytes.size(); at += size)
        m_staged.append(bytes.mid(at, size));
    if (!m_stager.isActive()) {
        stageNext();
        m_stager.start();
    }
}

void Endpoint::stageNext()
{
    if (m_staged.isEmpty()) {
        m_stager.stop();
        return;
    }
    m_out.append(m_staged.takeFirst());
    flush();
}

void Endpoint::flush()
{
    while (!m_out.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            Q_EMIT problem(QStringLiteral("write failed: %1").arg(systemError()));
            m_out.clear();
        }
        break;
    }
    m_writable.setEnabled(!m_out.isEmpty());
}

void Endpoint::onReadable()
{
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n > 0) {
        Q_EMIT received(QByteArray(buffer, n));
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        // Nobody holds the other side (a device unplugged): stop listening rather than
        // being woken for the same error again and again.
        m_readable.setEnabled(false);
        Q_EMIT lost(QStringLiteral("read failed: %1").arg(systemError()));
    }
}

} // namespace dialkite::sim
