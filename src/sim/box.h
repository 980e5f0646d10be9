#pragma once

// One simulated caller-ID box: its variant, its settings, the calls dialled from the
// console, and the acknowledgements it waits for. It answers what the console sends
// and produces caller events on request; the bytes go out through output().

#include "frames.h"
#include "records.h"

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <list>

namespace dialkite::sim {

struct BoxOptions {
    int variant = 1;
    int ackTimeoutMs = 1000;          // how long an acknowledgement may take before it is reported
    int callEndAfterMs = 5000;        // a dialled call ends by itself after this; 0: never
    std::optional<Identity> identity; // default: defaultIdentity(variant)
};

class Box : public QObject {
    Q_OBJECT
public:
    explicit Box(const BoxOptions &options, QObject *parent = nullptr);

    int variant() const { return m_variant; }
    Format format() const { return formatOf(m_variant); }
    int detection() const { return m_detection; }
    int volume() const { return m_volume; }
    bool identified() const { return m_identified; }
    int missingAcknowledgements() const { return m_missing; }
    int pendingAcknowledgements() const { return int(m_expected.size()); }
    // How long each acknowledgement took, in milliseconds, in the order they came.
    const QList<double> &acknowledgementTimes() const { return m_ackTimes; }
    QMap<int, QByteArray> activeCalls() const { return m_calls; }
    void setVariant(int variant);

    // Bytes from the console.
    void fromConsole(const QByteArray &bytes);

    // Caller events; false (and `why`) when this box cannot report it.
    bool call(const CallEvent &event, QString *why);
    bool endCall(int line, QString *why);
    // Several call records in one write.
    bool burst(const QList<CallEvent> &events, QString *why);
    void sendRaw(const QByteArray &bytes);

Q_SIGNALS:
    void output(const QByteArray &bytes);
    // Each frame the console sent, as it came.
    void frameIn(const QByteArray &frame);
    // "event" lines and "problem" lines for the log.
    void note(const QString &text);
    void problem(const QString &text);

private:
    struct Expected {
        QByteArray frame; // what the console must send
        QString what;     // for the report
        QTimer *timer;
        QElapsedTimer since;
    };

    void handle(const Frame &frame);
    void handleSetting(const Frame &frame);
    void identify();
    void dialled(int line, const QByteArray &number);
    void hungUp(int line);
    void expect(const QByteArray &frame, const QString &what);
    bool fulfil(const QByteArray &frame);

    int m_variant;
    BoxOptions m_options;
    int m_detection = 2;
    int m_volume = 2;
    bool m_identified = false;
    int m_missing = 0;
    FrameReader m_reader;
    QMap<int, QByteArray> m_calls; // line -> number dialled from the console
    QMap<int, QTimer *> m_callEnds;
    std::list<Expected> m_expected;
    QList<double> m_ackTimes;
};

} // namespace dialkite::sim
