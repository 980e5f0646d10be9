// Fuzz target: the receive path of every variant, with the operator's steps mixed in.
// An input is a scenario script read line by line (lines that are not a valid step are
// skipped), so the golden scenarios are its seeds. After every step: no receive buffer
// beyond its cap, every row counter in 1..9999, and the bytes written since the step
// began are whole frames, each ending with its end character.

#include "fuzz/check.h"
#include "support/consoleaccess.h"

#include "cli/runner.h"
#include "scenario/script.h"

#include "console/console.h"
#include "console/recording.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>

using namespace dialkite;
using fuzz::check;

namespace {

// Written by the console in one step: STX frames of 22 or 30 characters ending with
// ETX, "S?E" command frames, the bare "?" request.
bool wholeFrames(const QByteArray &written)
{
    qsizetype at = 0;
    while (at < written.size()) {
        const char first = written[at];
        if (first == '\x02') {
            if (at + 21 < written.size() && written[at + 21] == '\x03')
                at += 22;
            else if (at + 29 < written.size() && written[at + 29] == '\x03')
                at += 30;
            else
                return false;
        } else if (first == 'S') {
            if (at + 2 >= written.size() || written[at + 2] != 'E')
                return false;
            at += 3;
        } else if (first == '?') {
            at += 1;
        } else {
            return false;
        }
    }
    return true;
}

struct Bench {
    // Writes to a folder that does not exist fail at once: the variant still switches
    // in memory and no input touches the disk.
    Bench()
        : settings(dir.filePath(QStringLiteral("missing/Dial Kite.ini")))
        , console(link, view, settings)
    {}
    void restart()
    {
        ConsoleTestAccess::state(console) = ConsoleState{};
        console.Form_Load();
        console.resetLog(GridId::Calls);
        console.resetLog(GridId::Sent);
        console.resetLog(GridId::Received);
        console.Timer2_Timer();
        console.endOutgoingCall();
        link.setOpen(true);
        link.clearWritten();
        while (link.bytesAvailable() > 0)
            link.readByte();
        view.clearMessages();
    }

    QTemporaryDir dir;
    Settings settings;
    RecordingLink link;
    RecordingView view;
    Console console;
};

Bench *bench = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    qputenv("QT_LOGGING_RULES", "*.warning=false");
    bench = new Bench;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    bench->restart();
    Console &console = bench->console;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &line : input.split('\n')) {
        const scenario::Script script = scenario::parseScript(line);
        if (script.steps.isEmpty())
            continue;
        const qsizetype before = bench->link.written().size();
        cli::runStep(console, bench->link, script.steps.front());
        const ConsoleState &s = console.state();
        check(s.RxBuffer.size() <= Console::kBufferLimit, "RxBuffer within its cap");
        for (const QByteArray &buffer : s.LineBuffer)
            check(buffer.size() <= Console::kBufferLimit, "line buffer within its cap");
        for (const qint16 row : {s.CallRow, s.SendRow, s.ReceiveRow})
            check(row >= 1 && row <= kLastLogRow, "row counter in 1..9999");
        check(wholeFrames(bench->link.written().mid(before)), "whole frames written");
    }
    return 0;
}
