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
#include <QRandomGenerator>
#include <QTimer>
#include <list>

namespace dialkite::sim {

// What is wrong with a box, to prove that a test suite catches it (dialkite-sim --fault).
struct Faults {
    bool noIdentify = false;   // never answers an identification request
    bool wrongVersion = false; // reports version "V9.9"
    int slowMs = 0;            // answers the console this much later
    bool dropCallEnd = false;  // never reports the end of a dialled call
    double garble = 0;         // each record has one byte changed with this probability
    QByteArray ignore;         // command letters it ignores (no answer, no effect)
    bool noAckWait = false;    // does not wait for acknowledgements: sends each call twice
    int dieAfterMs = 0;        // goes away (the line closes) this long after it starts
    int wrongVariant = 0;      // speaks this variant whatever it is told to be
};

// A fault as written on the command line ("no-identify", "slow:500", "garble:0.5",
// "ignore:x"); false (and `why`) when it is not one.
bool parseFault(const QString &text, Faults *faults, QString *why);

struct BoxOptions {
    int variant = 1;
    int ackTimeoutMs = 1000;          // how long an acknowledgement may take before it is reported
    int callEndAfterMs = 5000;        // a dialled call ends by itself after this; 0: never
    std::optional<Identity> identity; // default: defaultIdentity(variant)
    Faults faults;
    quint32 seed = 1; // for the garbling
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
    // The bytes to the console, with the faults applied.
    void send(const QByteArray &bytes, bool record = true);
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
    QRandomGenerator m_random;
};

} // namespace dialkite::sim
