#pragma once

// dialkite-cli test: box acceptance runs. Each suite runs against the box on a serial
// port through the console's core, exactly as an operator would (the same frames, the
// box's records answered as the console answers them), its expectations checked against
// the console's events within their time limits. Every run is captured and kept in the
// call history with its verdict and steps; --junit writes a report that CI servers read,
// --report a page to hand over with the box.

#include "monitor.h"

#include "outputs/web.h"

#include <QString>
#include <QStringList>

namespace dialkite::cli {

class PromptDesk;
class StationBoard;

struct TestOptions {
    QStringList suites;
    QString device;         // a device path, or
    int port = 0;           // a port number mapped through the settings file
    int variant = 1;        // the variant selected before the suite starts
    QString junit;          // the JUnit XML report
    bool keepGoing = false; // a failure does not end its suite
    bool batch = false;     // no person at hand: a prompt fails at once
    int retries = 0;        // a failed suite is run again this many times at most
    QString settingsPath;
    QString captures; // the folder of the runs' captures
    QString history;  // where runs are kept; "" for none
    QString report;   // the run's report (one suite)
    QString reports;  // or a folder with one report a run
    QString operatorName;
    // A station: every box at once (--device repeated, --rig), each on a thread of its own
    // with its name before its lines, its prompts asked at the shared desk.
    QList<BoxSpec> boxes;
    QString boxName;            // the box of this run, in a station
    PromptDesk *desk = nullptr; // where a station's prompts are asked
    // The station's page (--http [ADDR:]PORT): where it listens, its token and names.
    QString http;
    WebOptions page;
    StationBoard *board = nullptr; // what the page shows, told by each box's run
};

// Runs every suite; the exit status: 0 every expectation passed, 1 one failed (or the
// port or a file could not be used), 2 a suite is not valid, 3 a run's record (its
// history, JUnit report or capture) could not be kept.
int runTests(const TestOptions &options);

} // namespace dialkite::cli
