#pragma once

// A serial link and a screen without hardware or windows: the link takes injected bytes
// and records every write, the view records every message box. The headless runner and
// the tests drive the console through them.

#include "consoleview.h"
#include "seriallink.h"

#include <QByteArray>
#include <QList>
#include <QSet>

namespace dialkite {

class RecordingLink : public SerialLink {
    Q_OBJECT
public:
    using SerialLink::SerialLink;

    bool open(int portNumber) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    qint64 bytesAvailable() const override { return m_pending.size() - m_readPosition; }
    char readByte() override;
    QByteArray peek() override { return pending(); }
    QString device() const override { return m_device; }
    QString lastError() const override { return m_lastError; }
    void writeByte(char byte) override;

    // Makes the link open without a port number, as if a port had been opened.
    void setOpen(bool open) { m_open = open; }
    // Port numbers that open() refuses; refuseAllPorts() refuses every one.
    void refusePort(int portNumber) { m_refused.insert(portNumber); }
    void refuseAllPorts(bool refuse = true) { m_refuseAll = refuse; }

    // The box sends `bytes`; one receive event follows.
    void inject(const QByteArray &bytes);
    // The device goes away while open.
    void loseDevice();

    const QByteArray &written() const { return m_written; }
    int writeCalls() const { return m_writeCalls; }
    void clearWritten();
    const QList<int> &openedPorts() const { return m_openedPorts; }
    QByteArray pending() const { return m_pending.mid(m_readPosition); }

private:
    bool m_open = false;
    QString m_device;
    QString m_lastError;
    bool m_refuseAll = false;
    QSet<int> m_refused;
    QList<int> m_openedPorts;
    QByteArray m_pending;
    qsizetype m_readPosition = 0;
    QByteArray m_written;
    int m_writeCalls = 0;
};

class RecordingView : public ConsoleView {
public:
    Answer showMessage(const MessageBox &box) override;
    void showNotice(const MessageBox &box) override { m_notices.append(box); }
    void setOutgoingCaption(const QString &caption) override { m_caption = caption; }

    // Answers given to the next boxes, in order; Ok once they run out.
    void queueAnswer(Answer answer) { m_answers.append(answer); }

    const QList<MessageBox> &messages() const { return m_messages; }
    // The boxes that wait for nobody.
    const QList<MessageBox> &notices() const { return m_notices; }
    void clearMessages() { m_messages.clear(); }
    const QString &caption() const { return m_caption; }

private:
    QList<MessageBox> m_messages;
    QList<MessageBox> m_notices;
    QList<Answer> m_answers;
    QString m_caption;
};

} // namespace dialkite
