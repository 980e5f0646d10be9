#pragma once

#include "seriallink.h"

#include <QSerialPort>
#include <functional>

namespace dialkite {

// The real serial port. Port numbers become device names through `deviceForPort`
// (see portDevice() in settings.h).
class QSerialPortLink : public SerialLink {
    Q_OBJECT
public:
    explicit QSerialPortLink(std::function<QString(int)> deviceForPort, QObject *parent = nullptr);

    bool open(int portNumber) override;
    // Opens a device by its name or path (COM3, /dev/ttyUSB0, /dev/pts/4).
    bool openDevice(const QString &device);
    void close() override;
    bool isOpen() const override;
    qint64 bytesAvailable() const override;
    char readByte() override;
    QByteArray peek() override;
    QString device() const override { return m_port.portName(); }
    void writeByte(char byte) override;
    void endOfFrame() override;

    // Waits up to `ms` for queued output to reach the device.
    void drain(int ms);

    QString lastError() const override { return m_lastError; }

private:
    void onError(QSerialPort::SerialPortError error);

    std::function<QString(int)> m_deviceForPort;
    QSerialPort m_port;
    QString m_lastError;
    bool m_opening = false;
};

} // namespace dialkite
