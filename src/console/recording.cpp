#include "recording.h"

namespace dialkite {

bool RecordingLink::open(int portNumber)
{
    m_openedPorts.append(portNumber);
    m_device = QStringLiteral("COM%1").arg(portNumber);
    if (portNumber < 1 || m_refuseAll || m_refused.contains(portNumber)) {
        m_lastError = QStringLiteral("refused");
        return false;
    }
    m_open = true;
    return true;
}

char RecordingLink::readByte()
{
    if (m_readPosition >= m_pending.size())
        return 0;
    const char byte = m_pending[m_readPosition++];
    if (m_readPosition == m_pending.size()) {
        m_pending.clear();
        m_readPosition = 0;
    }
    return byte;
}

void RecordingLink::writeByte(char byte)
{
    m_written.append(byte);
    ++m_writeCalls;
}

void RecordingLink::inject(const QByteArray &bytes)
{
    m_pending.append(bytes);
    Q_EMIT dataArrived();
}

void RecordingLink::loseDevice()
{
    m_open = false;
    m_lastError = QStringLiteral("device removed");
    Q_EMIT lost(m_lastError);
}

void RecordingLink::clearWritten()
{
    m_written.clear();
    m_writeCalls = 0;
}

Answer RecordingView::showMessage(const MessageBox &box)
{
    m_messages.append(box);
    return m_answers.isEmpty() ? Answer::Ok : m_answers.takeFirst();
}

} // namespace dialkite
