#pragma once

// The report of one box's test run, to hand over with the box: one self-contained page in
// Korean (no script, no outside resource, printable) with the box's identification, who
// tested it where and when, the verdict, each step with its measured time and limit, the
// failures' messages, the prompts' answers, and the capture with its SHA-256.

#include "history/rows.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace dialkite::cli {

struct TestReport {
    QString suite;
    QString boxName, boxVersion, variant, device;
    QString operatorName; // who ran it (--operator)
    QString station;      // the PC's name
    QDateTime started, ended;
    int attempt = 1;
    bool passed = false;
    QList<RunStep> steps;
    QString capture;          // the capture's path
    QByteArray captureSha256; // its digest, hexadecimal; empty when it could not be read
};

// The page; everything that came from the box or a file is text in it, never markup.
QByteArray reportHtml(const TestReport &report);

// The capture's SHA-256 in hexadecimal; empty when it cannot be read.
QByteArray fileSha256(const QString &path);

} // namespace dialkite::cli
