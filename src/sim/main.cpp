// dialkite-sim: a caller-ID box of any variant on a pseudo-terminal or a serial device.

#include "box.h"
#include "endpoint.h"
#include "replay.h"
#include "session.h"

#include "scenario/script.h"

#include "console/notation.h"
#include "platform/termination.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTime>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace dialkite::sim;

namespace {

// One line on standard error: time, direction or kind, text.
void log(const char *tag, const QString &text)
{
    std::fprintf(stderr, "%s %s %s\n",
                 qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))), tag,
                 text.toUtf8().constData());
    std::fflush(stderr);
}

struct Counts {
    int sent = 0;
    int received = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dialkite-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DIALKITE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Plays one caller-ID box for the Dial Kite console. Without --device it creates a\n"
            "pseudo-terminal and prints its path on the first line of standard output: map a\n"
            "port number to it in the console's settings file ([DEVICES] COM1=/dev/pts/N).\n"
            "Commands come from standard input (one a line), from --script, or at random\n"
            "with --random. Everything sent and received is logged on standard error:\n"
            "\"->\" to the console, \"<-\" from it, \"..\" events, \"!!\" problems.\n\n") +
        Session::help());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption variant(
        QStringLiteral("variant"),
        QStringLiteral("Box variant 1 to %1 (default 1).").arg(dialkite::variantTable().highest()),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption device(
        QStringLiteral("device"),
        QStringLiteral("Use this serial device instead of a pseudo-terminal."),
        QStringLiteral("PATH"));
    const QCommandLineOption script(
        QStringLiteral("script"),
        QStringLiteral("Read commands from FILE instead of standard input."),
        QStringLiteral("FILE"));
    const QCommandLineOption random(QStringLiteral("random"),
                                    QStringLiteral("Random callers, RATE a second on average."),
                                    QStringLiteral("RATE"));
    const QCommandLineOption noInput(
        QStringLiteral("no-input"),
        QStringLiteral("Do not read standard input; run until stopped."));
    const QCommandLineOption keepRunning(
        QStringLiteral("keep-running"),
        QStringLiteral("Go on answering the console after the commands have run out."));
    const QCommandLineOption ackTimeout(
        QStringLiteral("ack-timeout"),
        QStringLiteral("Report an acknowledgement missing after MS (default 1000)."),
        QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption callEnd(
        QStringLiteral("call-end-after"),
        QStringLiteral(
            "A call dialled from the console ends by itself after MS (default 5000; 0 never)."),
        QStringLiteral("MS"), QStringLiteral("5000"));
    const QCommandLineOption pieces(QStringLiteral("pieces"),
                                    QStringLiteral("Write every output in N pieces, 10 ms apart."),
                                    QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption seed(
        QStringLiteral("seed"), QStringLiteral("Seed of the random numbers (default: the clock)."),
        QStringLiteral("N"));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Device name the box reports."),
                                  QStringLiteral("TEXT"));
    const QCommandLineOption version(QStringLiteral("box-version"),
                                     QStringLiteral("Version the box reports."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption replay(
        QStringLiteral("replay"),
        QStringLiteral("Play the box's side of a capture to the console (rx lines with their\n"
                       "recorded gaps), then compare what it wrote with the capture's tx lines:\n"
                       "status 0 when it answered exactly as recorded, 1 otherwise."),
        QStringLiteral("CAPTURE"));
    const QCommandLineOption speed(
        QStringLiteral("speed"),
        QStringLiteral("With --replay: F times faster than recorded; 0 without gaps (default 1)."),
        QStringLiteral("F"), QStringLiteral("1"));
    const QCommandLineOption link(
        QStringLiteral("link"),
        QStringLiteral("Also name the pseudo-terminal PATH (a symbolic link, made anew each\n"
                       "start and removed at the end), as a USB adapter keeps its\n"
                       "/dev/serial/by-id name: a console that maps its port to PATH finds\n"
                       "the box again after it is started anew."),
        QStringLiteral("PATH"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral(
            "Play a faulty box (repeatable): no-identify, wrong-version, slow:MS (every\n"
            "answer MS late), drop-call-end, garble:P (a byte of a record changed\n"
            "with probability P), ignore:LETTER (a command letter ignored),\n"
            "no-ack-wait (every call record sent twice, not waiting for its answer)."),
        QStringLiteral("KIND"));
    parser.addOptions({variant, device, script, random, noInput, keepRunning, ackTimeout, callEnd,
                       pieces, seed, name, version, replay, speed, link, fault});
    parser.process(app);

    const auto fail = [](const QString &text, int status) {
        std::fprintf(stderr, "dialkite-sim: %s\n", text.toUtf8().constData());
        return status;
    };
    bool ok = false;
    BoxOptions options;
    options.variant = parser.value(variant).toInt(&ok);
    if (!ok || !knownVariant(options.variant))
        return fail(
            QStringLiteral("--variant takes 1 to %1").arg(dialkite::variantTable().highest()), 2);
    options.ackTimeoutMs = parser.value(ackTimeout).toInt(&ok);
    if (!ok || options.ackTimeoutMs < 1)
        return fail(QStringLiteral("--ack-timeout takes a positive number of milliseconds"), 2);
    options.callEndAfterMs = parser.value(callEnd).toInt(&ok);
    if (!ok || options.callEndAfterMs < 0)
        return fail(QStringLiteral("--call-end-after takes milliseconds (0 for never)"), 2);
    const double rate = parser.isSet(random) ? parser.value(random).toDouble(&ok) : 0.0;
    if (parser.isSet(random) && (!ok || rate <= 0 || rate > 1000))
        return fail(QStringLiteral("--random takes a rate above 0 and at most 1000 a second"), 2);
    const int pieceCount = parser.value(pieces).toInt(&ok);
    if (!ok || pieceCount < 1)
        return fail(QStringLiteral("--pieces takes a positive number"), 2);
    if (parser.isSet(name) || parser.isSet(version)) {
        Identity identity = defaultIdentity(options.variant);
        if (parser.isSet(name))
            identity.name = parser.value(name).toLatin1();
        if (parser.isSet(version))
            identity.version = parser.value(version).toLatin1();
        options.identity = identity;
    }
    for (const QString &kind : parser.values(fault)) {
        QString why;
        if (!parseFault(kind, &options.faults, &why))
            return fail(why, 2);
    }
    QStringList scriptLines;
    if (parser.isSet(script)) {
        QFile file(parser.value(script));
        if (!file.open(QIODevice::ReadOnly))
            return fail(
                QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()), 1);
        scriptLines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    }

    QList<dialkite::scenario::Step> replaySteps;
    const double replaySpeed = parser.value(speed).toDouble(&ok);
    if (!ok || replaySpeed < 0)
        return fail(QStringLiteral("--speed takes a factor of 0 or more"), 2);
    if (parser.isSet(replay)) {
        QFile file(parser.value(replay));
        if (!file.open(QIODevice::ReadOnly))
            return fail(
                QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()), 1);
        const dialkite::scenario::Script capture = dialkite::scenario::parseScript(file.readAll());
        if (!capture.error.isEmpty())
            return fail(capture.error, 2);
        replaySteps = capture.steps;
    }

    QString error;
    std::unique_ptr<Endpoint> line = parser.isSet(device)
                                         ? Endpoint::openDevice(parser.value(device), &error)
                                         : Endpoint::openPty(&error);
    if (!line)
        return fail(error, 1);
    line->setPieces(pieceCount, 10);
    // The fixed name: only ever a link of ours is replaced, never a file.
    const QString linkPath = parser.value(link);
    if (!linkPath.isEmpty()) {
        const QFileInfo existing(linkPath);
        if (existing.exists() && !existing.isSymLink())
            return fail(QStringLiteral("--link %1 exists and is not a link").arg(linkPath), 2);
        QFile::remove(linkPath);
        if (!QFile::link(line->path(), linkPath))
            return fail(QStringLiteral("cannot make the link %1").arg(linkPath), 1);
    }
    const auto unlink = [&] {
        if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == line->path())
            QFile::remove(linkPath);
    };
    std::printf("%s\n", line->path().toLocal8Bit().constData());
    std::fflush(stdout);

    if (parser.isSet(replay)) {
        Replay player(*line, replaySteps, replaySpeed);
        QObject::connect(&player, &Replay::sent,
                         [](const QByteArray &bytes) { log("->", dialkite::notation(bytes)); });
        QObject::connect(line.get(), &Endpoint::received,
                         [](const QByteArray &bytes) { log("<-", dialkite::notation(bytes)); });
        QObject::connect(&player, &Replay::note, [](const QString &t) { log("..", t); });
        QObject::connect(line.get(), &Endpoint::lost, [](const QString &t) {
            log("!!", t);
            QCoreApplication::exit(1);
        });
        QObject::connect(&player, &Replay::finished, [&line](int status) {
            // The last bytes reach the console before the line goes.
            QTimer::singleShot(line->idle() ? 0 : 100,
                               [status] { QCoreApplication::exit(status); });
        });
        dialkite::onTerminationSignal([] { QCoreApplication::exit(1); });
        std::signal(SIGPIPE, SIG_IGN);
        player.start();
        return app.exec();
    }

    const quint32 seedValue = parser.isSet(seed) ? parser.value(seed).toUInt()
                                                 : quint32(QDateTime::currentMSecsSinceEpoch());
    options.seed = seedValue;
    Box box(options);
    Session session(box, seedValue);
    Counts counts;
    QObject::connect(&box, &Box::output, line.get(), [&](const QByteArray &bytes) {
        ++counts.sent;
        log("->", dialkite::notation(bytes));
        line->write(bytes);
    });
    QObject::connect(&box, &Box::frameIn, [&](const QByteArray &frame) {
        ++counts.received;
        log("<-", dialkite::notation(frame));
    });
    QObject::connect(line.get(), &Endpoint::received, &box, &Box::fromConsole);
    QObject::connect(&box, &Box::note, [](const QString &t) { log("..", t); });
    QObject::connect(&box, &Box::problem, [](const QString &t) { log("!!", t); });
    QObject::connect(&session, &Session::note, [](const QString &t) { log("..", t); });
    QObject::connect(&session, &Session::problem, [](const QString &t) { log("!!", t); });
    QObject::connect(line.get(), &Endpoint::problem, [](const QString &t) { log("!!", t); });
    QObject::connect(line.get(), &Endpoint::lost, [](const QString &t) {
        log("!!", t);
        QCoreApplication::exit(1);
    });

    // The end: once the commands have run out (unless told to keep running), when the
    // output has gone and the acknowledgements have come or been reported missing.
    QTimer drain;
    drain.setInterval(20);
    QObject::connect(&drain, &QTimer::timeout, [&] {
        if (line->idle() && box.pendingAcknowledgements() == 0)
            app.quit();
    });
    const bool stayAfterInput = parser.isSet(keepRunning);
    QObject::connect(&session, &Session::done, [&] {
        if (!stayAfterInput)
            drain.start();
    });
    QObject::connect(&session, &Session::quitRequested, &drain, [&] { drain.start(); });

    // SIGINT and SIGTERM end the run cleanly, through the event loop.
    dialkite::onTerminationSignal([] { QCoreApplication::quit(); });
    std::signal(SIGPIPE, SIG_IGN);

    QByteArray stdinBuffer;
    std::unique_ptr<QSocketNotifier> input;
    if (parser.isSet(script)) {
        for (const QString &command : scriptLines)
            session.submit(command);
        session.endOfInput();
    } else if (!parser.isSet(noInput)) {
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, [&] {
            char buffer[4096];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                input->setEnabled(false);
                if (!stdinBuffer.isEmpty())
                    session.submit(QString::fromUtf8(stdinBuffer));
                session.endOfInput();
                return;
            }
            stdinBuffer.append(buffer, n);
            qsizetype end;
            while ((end = stdinBuffer.indexOf('\n')) >= 0) {
                session.submit(QString::fromUtf8(stdinBuffer.left(end)));
                stdinBuffer.remove(0, end + 1);
            }
            if (stdinBuffer.size() > 65536)
                stdinBuffer.clear(); // no line is that long
        });
    }
    if (rate > 0)
        session.startRandom(rate);

    const int status = app.exec();
    unlink();
    log("..", QStringLiteral("%1 outputs sent, %2 frames received, %3 acknowledgements missing")
                  .arg(counts.sent)
                  .arg(counts.received)
                  .arg(box.missingAcknowledgements()));
    if (QList<double> times = box.acknowledgementTimes(); !times.isEmpty()) {
        std::sort(times.begin(), times.end());
        const auto at = [&](double p) { return times[qsizetype(p * double(times.size() - 1))]; };
        log("..", QStringLiteral("acknowledged %1 records: p50 %2 ms, p99 %3 ms, max %4 ms")
                      .arg(times.size())
                      .arg(at(0.5), 0, 'f', 2)
                      .arg(at(0.99), 0, 'f', 2)
                      .arg(times.back(), 0, 'f', 2));
    }
    return status;
}
