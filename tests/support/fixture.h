#pragma once

// A console as it stands after start-up (both timers run, port open), on a recording
// link and view, with its settings file in a fresh temporary folder.

#include "support/consoleaccess.h"

#include "console/console.h"
#include "console/recording.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace dialkite::test {

inline QByteArray bytes(const char *text)
{
    return QByteArray(text);
}

// STX, body, ETX.
inline QByteArray framed(const QByteArray &body)
{
    return '\x02' + body + '\x03';
}

struct Harness {
    Harness()
        : settings(dir.filePath(QStringLiteral("Dial Kite.ini")))
        , console(link, view, settings)
    {
        console.Form_Load();
        console.Timer2_Timer();
        link.setOpen(true);
    }
    Harness(const Harness &) = delete;

    ConsoleState &state() { return ConsoleTestAccess::state(console); }
    void feed(const QByteArray &data) { link.inject(data); }
    void setVariant(const char *code)
    {
        state().VariantCode = VariantId::fromText(QString::fromLatin1(code));
    }
    QString cell(GridId id, int row, int column) { return console.grid(id).text(row, column); }
    QString callCell(int row, int column) { return cell(GridId::Calls, row, column); }
    QString received(int row) { return cell(GridId::Received, row, 1); }
    QString sent(int row) { return cell(GridId::Sent, row, 1); }
    // Lets queued signals (a lost device) arrive.
    void processEvents() { QCoreApplication::processEvents(); }

    QTemporaryDir dir;
    Settings settings;
    RecordingLink link;
    RecordingView view;
    Console console;
};

class ConsoleTest : public ::testing::Test, public Harness {};

} // namespace dialkite::test
