#include "qserialportlink.h"

namespace dialkite {

QSerialPortLink::QSerialPortLink(std::function<QString(int)> deviceForPort, QObject *parent)
    : SerialLink(parent)
    , m_deviceForPort(std::move(deviceForPort))
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::dataArrived);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QSerialPortLink::onError);
}

bool QSerialPortLink::open(int portNumber)
{
    const QString device = portNumber >= 1 ? m_deviceForPort(portNumber) : QString();
    if (device.isEmpty()) {
        m_port.setPortName(QString());
        m_lastError = linkreason::kNoDevice.arg(portNumber);
        return false;
    }
    return openDevice(device);
}

bool QSerialPortLink::openDevice(const QString &device)
{
    close();
    m_lastError.clear();
    m_opening = true;
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud19200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    const bool opened = m_port.open(QIODevice::ReadWrite);
    if (opened) {
        // DTR and RTS stay low. Only possible once open; a pseudo-terminal refuses
        // both (UnsupportedOperationError) and stays usable, so that is not a failure.
        m_port.setDataTerminalReady(false);
        m_port.setRequestToSend(false);
        m_port.clearError();
    } else {
        // Qt says "Permission error while locking the device" when another program holds
        // the port's lock: that is what the operator needs to hear.
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            m_lastError = linkreason::kNoSuchDevice;
            break;
        case QSerialPort::PermissionError:
            m_lastError =
                m_port.errorString().contains(QLatin1String("lock"), Qt::CaseInsensitive) ||
                        m_port.errorString().contains(QLatin1String("busy"), Qt::CaseInsensitive)
                    ? linkreason::kInUse
                    : linkreason::kNotPermitted;
            break;
        default:
            m_lastError = m_port.errorString();
        }
    }
    m_opening = false;
    return opened;
}

void QSerialPortLink::close()
{
    if (!m_port.isOpen())
        return;
    drain(100); // an acknowledgement just written still goes out
    m_port.close();
}

void QSerialPortLink::drain(int ms)
{
    while (m_port.isOpen() && m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(ms))
            break;
    }
}

bool QSerialPortLink::isOpen() const
{
    return m_port.isOpen();
}

qint64 QSerialPortLink::bytesAvailable() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

char QSerialPortLink::readByte()
{
    char byte = 0;
    m_port.getChar(&byte);
    return byte;
}

QByteArray QSerialPortLink::peek()
{
    return m_port.isOpen() ? m_port.peek(m_port.bytesAvailable()) : QByteArray();
}

void QSerialPortLink::writeByte(char byte)
{
    if (m_port.isOpen())
        m_port.putChar(byte);
}

void QSerialPortLink::endOfFrame()
{
    if (m_port.isOpen())
        m_port.flush(); // writes what it can without waiting
}

void QSerialPortLink::onError(QSerialPort::SerialPortError error)
{
    if (m_opening || !m_port.isOpen())
        return;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        // A read that returns nothing: the adapter was unplugged or the far end of a
        // pseudo-terminal closed. QSerialPort words it with whatever stale error number
        // the system left behind, so say what happened instead.
        m_lastError = linkreason::kRemoved;
        break;
    case QSerialPort::WriteError:
        m_lastError = m_port.errorString();
        break;
    default:
        return;
    }
    // A vanished device keeps reporting the error at full speed while the port stays
    // open; close it at once and let the console tell the operator.
    m_port.close(); // not close(): nothing more can be written
    Q_EMIT lost(m_lastError);
}

} // namespace dialkite
