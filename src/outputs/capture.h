#pragma once

// The flight recorder: every port session written as a capture, a scenario script with
// times that `dialkite-cli run` replays and `dialkite-sim --replay` plays back to a
// console. A capture holds what the port delivered (rx, one line per read), what the
// console wrote (tx, one line per frame) and the operator's confirmed dialogs, each
// line stamped with the local time to the millisecond, after a header and a state step
// that let every file replay on its own.
//
// The console's thread only hands the events over; one writer thread of the process
// formats and writes them, a line at a time straight to the system, so a slow or full
// disk never holds up the receive path and a killed console loses only what had not
// reached the file yet. A write that fails stops that recording and says so once; the
// file keeps its whole lines, so it still replays; the console goes on.

#include "output.h"
#include "registry.h"

#include <QString>
#include <memory>

namespace dialkite {

class CaptureWriter;

struct CaptureOptions {
    // Either one file (the monitor's --capture FILE), or a folder in which each port
    // session gets files of its own, rotated so that all captures there stay under
    // `folderLimit` bytes, the oldest deleted first.
    QString file;
    QString folder;
    qint64 folderLimit = 200LL * 1024 * 1024;
    QString program; // "dialkite 0.2.0"
};

// The capture as a kind of output: the window records every port session in a folder
// ([CAPTURE] RECORD=0 turns it off, FOLDER moves it, LIMIT_MB caps it); a monitor records
// its box into --capture FILE.
OutputKind captureKind();
// Where the window keeps captures unless told otherwise.
QString defaultCaptureFolder();

// The writer thread every capture of a process shares.
std::shared_ptr<CaptureWriter> startCaptureWriter();

class CaptureOutput : public Output {
    Q_OBJECT
public:
    CaptureOutput(std::shared_ptr<CaptureWriter> writer, CaptureOptions options,
                  QObject *parent = nullptr);
    // With a writer of its own.
    explicit CaptureOutput(CaptureOptions options, QObject *parent = nullptr);
    ~CaptureOutput() override;

    void consume(const Event &event) override;
    void take(const SharedEvent &event) override;
    QString finish(QDeadlineTimer deadline) override;
    bool stopped() const { return m_stopped; }

private:
    void onStopped(const QString &message);

    std::shared_ptr<CaptureWriter> m_writer;
    int m_session = 0;
    bool m_inSession = false;
    bool m_stopped = false;
};

} // namespace dialkite
