#pragma once

// The flight recorder: every port session written as a capture, a scenario script with
// times that `dialkite-cli run` replays and `dialkite-sim --replay` plays back to a
// console. A capture holds what the port delivered (rx, one line per read), what the
// console wrote (tx, one line per frame) and the operator's confirmed dialogs, each
// line stamped with the local time to the millisecond, after a header and a state step
// that let every file replay on its own.
//
// The console's thread only hands the events over; a thread of the recorder's own
// formats and writes them, a line at a time straight to the system, so a slow or full
// disk never holds up the receive path and a killed console loses only what had not
// reached the file yet (the line being written). A write that fails stops the
// recording and says so once (failed()); the console goes on.

#include "console/console.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace dialkite {

class CaptureWriterThread;

// The format's version, written in the first line; readers refuse higher ones.
inline constexpr int kCaptureFormat = 1;

struct CaptureOptions {
    // Either one file (the monitor's --capture FILE), or a folder in which each port
    // session gets files of its own, rotated so that all captures there stay under
    // `folderLimit` bytes, the oldest deleted first.
    QString file;
    QString folder;
    qint64 folderLimit = 200LL * 1024 * 1024;
    QString program; // "dialkite 0.2.0"
};

// The desktop's recorder as the settings file asks for it: section CAPTURE, RECORD=0
// turns it off, FOLDER moves it (default: `defaultFolder`), LIMIT_MB caps all captures
// together (default 200). Nothing when it is off.
std::optional<CaptureOptions> recorderOptions(const Profile &settings,
                                              const QString &defaultFolder);

class CaptureRecorder : public QObject {
    Q_OBJECT
public:
    CaptureRecorder(const Console &console, CaptureOptions options, QObject *parent = nullptr);
    ~CaptureRecorder() override;

    // Connected to Console::observed.
    void consume(const Event &event);
    // Starts a file now (the monitor, whose port is opened before the console sees it).
    void startSession(const QString &port, const QString &device);
    // Waits until everything handed over so far is written.
    void flush();
    bool stopped() const { return m_stopped; }

    // A line's time stamp: local time to the millisecond.
    static QByteArray stamp(const QDateTime &at);

Q_SIGNALS:
    // The recording stopped: the disk is full, read-only, or the folder cannot be made.
    void failed(const QString &message);

private:
    void onWriterFailed(const QString &message);

    const Console &m_console;
    std::unique_ptr<CaptureWriterThread> m_writer;
    bool m_inSession = false;
    bool m_stopped = false;
};

} // namespace dialkite
