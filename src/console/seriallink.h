#pragma once

// The serial line to the box, as the console uses it: open a numbered port at
// 19200,n,8,1, read waiting bytes one at a time, write one byte at a time.

#include <QCoreApplication>
#include <QObject>
#include <QString>

namespace dialkite {

// Why a port could not be opened or went away, as lastError() words the usual cases (the
// window says them in Korean, the command line in the user's language; anything else is
// the system's own words).
namespace linkreason {
inline const QString kRemoved =
    QString::fromLatin1(QT_TRANSLATE_NOOP("dialkite", "device removed or closed by the other end"));
inline const QString kInUse =
    QString::fromLatin1(QT_TRANSLATE_NOOP("dialkite", "in use by another program"));
inline const QString kNoSuchDevice =
    QString::fromLatin1(QT_TRANSLATE_NOOP("dialkite", "no such device"));
inline const QString kNotPermitted =
    QString::fromLatin1(QT_TRANSLATE_NOOP("dialkite", "not permitted to open it"));
inline const QString kNoDevice = QStringLiteral("no device for port %1"); // COMn maps nowhere
} // namespace linkreason

class SerialLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens port number `portNumber` (COMn); false when it cannot be opened.
    virtual bool open(int portNumber) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual qint64 bytesAvailable() const = 0;
    // The next waiting byte; only called while bytesAvailable() > 0.
    virtual char readByte() = 0;
    // Every byte waiting, left waiting.
    virtual QByteArray peek() = 0;
    // The device the link has open (or had open last), as the system names it.
    virtual QString device() const = 0;
    // Why the last open failed or the device went away, in the system's words.
    virtual QString lastError() const = 0;
    virtual void writeByte(char byte) = 0;
    // A whole frame has been written: it goes out now rather than when the event loop
    // next looks (an acknowledgement a box waits for must not queue behind other work).
    virtual void endOfFrame() {}

Q_SIGNALS:
    // New bytes are waiting (the receive event).
    void dataArrived();
    // The device went away while open (adapter unplugged, far end closed). The link has
    // already closed itself when this arrives.
    void lost(const QString &reason);
};

} // namespace dialkite
