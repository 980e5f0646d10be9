// dialkite-sim: a caller-ID box of any variant on a pseudo-terminal or a serial device.

#include "box.h"
#include "endpoint.h"
#include "replay.h"
#include "session.h"

#include "scenario/script.h"

#include "console/cmdline.h"
#include "console/language.h"
#include "console/notation.h"
#include "platform/termination.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTime>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
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

int fail(const QString &text, int status)
{
    std::fprintf(stderr, "dialkite-sim: %s\n", text.toUtf8().constData());
    return status;
}

// A mistake on the command line, said as every usage error is; the exit status.
int usage(const QString &problem)
{
    std::fprintf(
        stderr, "%s\n",
        qUtf8Printable(dialkite::cmdline::usageLine(QStringLiteral("dialkite-sim"), {}, problem)));
    return 2;
}

// An option's value outside what it takes: "--speed takes a factor of 0 or more, not '-1'".
int takes(const QString &option, const QString &what, const QString &value)
{
    return usage(QCoreApplication::translate("dialkite", "%1 takes %2, not '%3'")
                     .arg(option, what, value.left(40)));
}

// The command line's options, each with its help.
struct Options {
    QCommandLineOption variant{
        QStringLiteral("variant"),
        QStringLiteral("Box variant 1 to %1 (default 1).").arg(dialkite::variantTable().highest()),
        QStringLiteral("N"), QStringLiteral("1")};
    QCommandLineOption device{
        QStringLiteral("device"),
        QStringLiteral("Use this serial device instead of a pseudo-terminal."),
        QStringLiteral("PATH")};
    QCommandLineOption script{QStringLiteral("script"),
                              QStringLiteral("Read commands from FILE instead of standard input."),
                              QStringLiteral("FILE")};
    QCommandLineOption random{QStringLiteral("random"),
                              QStringLiteral("Random callers, RATE a second on average."),
                              QStringLiteral("RATE")};
    QCommandLineOption noInput{QStringLiteral("no-input"),
                               QStringLiteral("Do not read standard input; run until stopped.")};
    QCommandLineOption keepRunning{
        QStringLiteral("keep-running"),
        QStringLiteral("Go on answering the console after the commands have run out.")};
    QCommandLineOption ackTimeout{
        QStringLiteral("ack-timeout"),
        QStringLiteral("Report an acknowledgement missing after MS (default 1000)."),
        QStringLiteral("MS"), QStringLiteral("1000")};
    QCommandLineOption callEnd{
        QStringLiteral("call-end-after"),
        QStringLiteral(
            "A call dialled from the console ends by itself after MS (default 5000; 0 never)."),
        QStringLiteral("MS"), QStringLiteral("5000")};
    QCommandLineOption pieces{QStringLiteral("pieces"),
                              QStringLiteral("Write every output in N pieces, 10 ms apart."),
                              QStringLiteral("N"), QStringLiteral("1")};
    QCommandLineOption seed{QStringLiteral("seed"),
                            QStringLiteral("Seed of the random numbers (default: the clock)."),
                            QStringLiteral("N")};
    QCommandLineOption name{QStringLiteral("name"), QStringLiteral("Device name the box reports."),
                            QStringLiteral("TEXT")};
    QCommandLineOption version{QStringLiteral("box-version"),
                               QStringLiteral("Version the box reports."), QStringLiteral("TEXT")};
    QCommandLineOption replay{
        QStringLiteral("replay"),
        QStringLiteral("Play the box's side of a capture to the console (rx lines with their\n"
                       "recorded gaps), then compare what it wrote with the capture's tx lines:\n"
                       "status 0 when it answered exactly as recorded, 1 otherwise."),
        QStringLiteral("CAPTURE")};
    QCommandLineOption speed{
        QStringLiteral("speed"),
        QStringLiteral("With --replay: F times faster than recorded; 0 without gaps (default 1)."),
        QStringLiteral("F"), QStringLiteral("1")};
    QCommandLineOption link{
        QStringLiteral("link"),
        QStringLiteral("Also name the pseudo-terminal PATH (a symbolic link, made anew each\n"
                       "start and removed at the end), as a USB adapter keeps its\n"
                       "/dev/serial/by-id name: a console that maps its port to PATH finds\n"
                       "the box again after it is started anew."),
        QStringLiteral("PATH")};
    QCommandLineOption fault{
        QStringLiteral("fault"),
        QStringLiteral(
            "Play a faulty box (repeatable): no-identify, wrong-version, slow:MS (every\n"
            "answer MS late), drop-call-end, garble:P (a byte of a record changed\n"
            "with probability P), ignore:LETTER (a command letter ignored),\n"
            "no-ack-wait (every call record sent twice, not waiting for its answer),\n"
            "die-after:MS (the box goes away MS after it starts: the line closes),\n"
            "wrong-variant:N (it speaks variant N whatever it is told to be)."),
        QStringLiteral("KIND")};

    QList<QCommandLineOption> all() const
    {
        return {variant, device, script, random,  noInput, keepRunning, ackTimeout, callEnd,
                pieces,  seed,   name,   version, replay,  speed,       link,       fault};
    }
};

// What the simulator is asked to do, every value checked.
struct Run {
    BoxOptions box;
    double rate = 0;
    int pieces = 1;
    std::optional<quint32> seed;
    QString device; // "" for a pseudo-terminal
    QString link;
    std::optional<QStringList> script;
    std::optional<QList<dialkite::scenario::Step>> replay;
    double speed = 1;
    bool readInput = true;
    bool keepRunning = false;
};

// A file's bytes; nothing, and the status that ends the program, when it cannot be read.
std::optional<QByteArray> readFile(const QString &path, int *status)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        return file.readAll();
    *status = fail(
        QCoreApplication::translate("dialkite", "cannot read %1: %2").arg(path, file.errorString()),
        1);
    return std::nullopt;
}

// The box's own values: its variant, times, identity and faults.
bool readBox(const QCommandLineParser &parser, const Options &o, BoxOptions *box, int *status)
{
    bool ok = false;
    box->variant = parser.value(o.variant).toInt(&ok);
    if (!ok || !knownVariant(box->variant)) {
        *status = usage(QCoreApplication::translate("dialkite", "%1 takes %2 to %3, not '%4'")
                            .arg(QStringLiteral("--variant"))
                            .arg(1)
                            .arg(dialkite::variantTable().highest())
                            .arg(parser.value(o.variant).left(40)));
        return false;
    }
    box->ackTimeoutMs = parser.value(o.ackTimeout).toInt(&ok);
    if (!ok || box->ackTimeoutMs < 1) {
        *status =
            takes(QStringLiteral("--ack-timeout"),
                  QCoreApplication::translate("dialkite", "a positive number of milliseconds"),
                  parser.value(o.ackTimeout));
        return false;
    }
    box->callEndAfterMs = parser.value(o.callEnd).toInt(&ok);
    if (!ok || box->callEndAfterMs < 0) {
        *status = takes(QStringLiteral("--call-end-after"),
                        QCoreApplication::translate("dialkite", "milliseconds (0 for never)"),
                        parser.value(o.callEnd));
        return false;
    }
    if (parser.isSet(o.name) || parser.isSet(o.version)) {
        Identity identity = defaultIdentity(box->variant);
        if (parser.isSet(o.name))
            identity.name = parser.value(o.name).toLatin1();
        if (parser.isSet(o.version))
            identity.version = parser.value(o.version).toLatin1();
        box->identity = identity;
    }
    for (const QString &kind : parser.values(o.fault)) {
        QString why;
        if (!parseFault(kind, &box->faults, &why)) {
            *status = usage(why);
            return false;
        }
    }
    return true;
}

std::optional<Run> readRun(const QCommandLineParser &parser, const Options &o, int *status)
{
    Run run;
    if (!readBox(parser, o, &run.box, status))
        return std::nullopt;
    bool ok = false;
    run.rate = parser.isSet(o.random) ? parser.value(o.random).toDouble(&ok) : 0.0;
    if (parser.isSet(o.random) && (!ok || run.rate <= 0 || run.rate > 1000)) {
        *status = takes(
            QStringLiteral("--random"),
            QCoreApplication::translate("dialkite", "a rate above 0 and at most 1000 a second"),
            parser.value(o.random));
        return std::nullopt;
    }
    run.pieces = parser.value(o.pieces).toInt(&ok);
    if (!ok || run.pieces < 1) {
        *status = takes(QStringLiteral("--pieces"),
                        QCoreApplication::translate("dialkite", "a positive number"),
                        parser.value(o.pieces));
        return std::nullopt;
    }
    if (parser.isSet(o.script)) {
        const auto content = readFile(parser.value(o.script), status);
        if (!content)
            return std::nullopt;
        run.script = QString::fromUtf8(*content).split(QLatin1Char('\n'));
    }
    run.speed = parser.value(o.speed).toDouble(&ok);
    if (!ok || run.speed < 0) {
        *status = takes(QStringLiteral("--speed"),
                        QCoreApplication::translate("dialkite", "a factor of 0 or more"),
                        parser.value(o.speed));
        return std::nullopt;
    }
    if (parser.isSet(o.replay)) {
        const auto content = readFile(parser.value(o.replay), status);
        if (!content)
            return std::nullopt;
        const dialkite::scenario::Script capture = dialkite::scenario::parseScript(*content);
        if (!capture.error.isEmpty()) {
            *status = fail(capture.error, 2);
            return std::nullopt;
        }
        run.replay = capture.steps;
    }
    if (parser.isSet(o.seed))
        run.seed = parser.value(o.seed).toUInt();
    run.device = parser.value(o.device);
    run.link = parser.value(o.link);
    run.readInput = !parser.isSet(o.noInput);
    run.keepRunning = parser.isSet(o.keepRunning);
    return run;
}

// The line to the console, with its fixed name when asked for: only ever a link of
// ours is replaced, never a file.
std::unique_ptr<Endpoint> openLine(const Run &run, int *status)
{
    QString error;
    std::unique_ptr<Endpoint> line =
        run.device.isEmpty() ? Endpoint::openPty(&error) : Endpoint::openDevice(run.device, &error);
    if (!line) {
        *status = fail(error, 1);
        return nullptr;
    }
    line->setPieces(run.pieces, 10);
    if (!run.link.isEmpty()) {
        const QFileInfo existing(run.link);
        if (existing.exists() && !existing.isSymLink()) {
            *status =
                usage(QCoreApplication::translate("dialkite", "--link %1 exists and is not a link")
                          .arg(run.link));
            return nullptr;
        }
        QFile::remove(run.link);
        if (!QFile::link(line->path(), run.link)) {
            *status = fail(
                QCoreApplication::translate("dialkite", "cannot make the link %1").arg(run.link),
                1);
            return nullptr;
        }
    }
    std::printf("%s\n", line->path().toLocal8Bit().constData());
    std::fflush(stdout);
    return line;
}

// The box's side of a capture played to the console.
int replay(Endpoint &line, const Run &run)
{
    Replay player(line, *run.replay, run.speed);
    QObject::connect(&player, &Replay::sent,
                     [](const QByteArray &bytes) { log("->", dialkite::notation(bytes)); });
    QObject::connect(&line, &Endpoint::received,
                     [](const QByteArray &bytes) { log("<-", dialkite::notation(bytes)); });
    QObject::connect(&player, &Replay::note, [](const QString &t) { log("..", t); });
    QObject::connect(&line, &Endpoint::lost, [](const QString &t) {
        log("!!", t);
        QCoreApplication::exit(1);
    });
    QObject::connect(&player, &Replay::finished, [&line](int status) {
        // The last bytes reach the console before the line goes.
        QTimer::singleShot(line.idle() ? 0 : 100, [status] { QCoreApplication::exit(status); });
    });
    dialkite::onTerminationSignal([] { QCoreApplication::exit(1); });
    std::signal(SIGPIPE, SIG_IGN);
    player.start();
    return QCoreApplication::exec();
}

// Everything the box and the line do goes to standard error.
void logEverything(Box &box, Session &session, Endpoint &line, Counts &counts)
{
    QObject::connect(&box, &Box::output, &line, [&](const QByteArray &bytes) {
        ++counts.sent;
        log("->", dialkite::notation(bytes));
        line.write(bytes);
    });
    QObject::connect(&box, &Box::frameIn, [&](const QByteArray &frame) {
        ++counts.received;
        log("<-", dialkite::notation(frame));
    });
    QObject::connect(&line, &Endpoint::received, &box, &Box::fromConsole);
    QObject::connect(&box, &Box::note, [](const QString &t) { log("..", t); });
    QObject::connect(&box, &Box::problem, [](const QString &t) { log("!!", t); });
    QObject::connect(&session, &Session::note, [](const QString &t) { log("..", t); });
    QObject::connect(&session, &Session::problem, [](const QString &t) { log("!!", t); });
    QObject::connect(&line, &Endpoint::problem, [](const QString &t) { log("!!", t); });
    QObject::connect(&line, &Endpoint::lost, [](const QString &t) {
        log("!!", t);
        QCoreApplication::exit(1);
    });
}

// Commands from standard input, a line each, as they come.
class InputLines {
public:
    explicit InputLines(Session &session)
        : m_session(session)
        , m_notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { read(); });
    }

private:
    void read()
    {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            m_notifier.setEnabled(false);
            if (!m_buffer.isEmpty())
                m_session.submit(QString::fromUtf8(m_buffer));
            m_session.endOfInput();
            return;
        }
        m_buffer.append(buffer, n);
        qsizetype end;
        while ((end = m_buffer.indexOf('\n')) >= 0) {
            m_session.submit(QString::fromUtf8(m_buffer.left(end)));
            m_buffer.remove(0, end + 1);
        }
        if (m_buffer.size() > 65536)
            m_buffer.clear(); // no line is that long
    }

    Session &m_session;
    QSocketNotifier m_notifier;
    QByteArray m_buffer;
};

void reportAcknowledgements(const Box &box, const Counts &counts)
{
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
}

// The box on the line, driven by commands, until they run out or it is stopped.
int serve(Endpoint &line, Run run)
{
    const quint32 seed = run.seed.value_or(quint32(QDateTime::currentMSecsSinceEpoch()));
    run.box.seed = seed;
    Box box(run.box);
    Session session(box, seed);
    Counts counts;
    logEverything(box, session, line, counts);

    // The end: once the commands have run out (unless told to keep running), when the
    // output has gone and the acknowledgements have come or been reported missing.
    QTimer drain;
    drain.setInterval(20);
    QObject::connect(&drain, &QTimer::timeout, [&] {
        if (line.idle() && box.pendingAcknowledgements() == 0)
            QCoreApplication::quit();
    });
    QObject::connect(&session, &Session::done, [&] {
        if (!run.keepRunning)
            drain.start();
    });
    QObject::connect(&session, &Session::quitRequested, &drain, [&] { drain.start(); });
    // SIGINT and SIGTERM end the run cleanly, through the event loop.
    dialkite::onTerminationSignal([] { QCoreApplication::quit(); });
    std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<InputLines> input;
    if (run.script) {
        for (const QString &command : std::as_const(*run.script))
            session.submit(command);
        session.endOfInput();
    } else if (run.readInput) {
        input = std::make_unique<InputLines>(session);
    }
    if (run.rate > 0)
        session.startRandom(run.rate);
    if (run.box.faults.dieAfterMs > 0)
        QTimer::singleShot(run.box.faults.dieAfterMs, [] {
            log("!!", QStringLiteral("the box goes away"));
            QCoreApplication::exit(0);
        });
    const int status = QCoreApplication::exec();
    reportAcknowledgements(box, counts);
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    dialkite::useSystemLanguage(app);
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
    const Options options;
    parser.addOptions(options.all());
    if (const auto status = dialkite::cmdline::checkArguments(
            parser, options.all(), app.arguments(), QStringLiteral("dialkite-sim")))
        return *status;
    parser.process(app);

    int status = 0;
    const auto run = readRun(parser, options, &status);
    if (!run)
        return status;
    const std::unique_ptr<Endpoint> line = openLine(*run, &status);
    if (!line)
        return status;
    status = run->replay ? replay(*line, *run) : serve(*line, *run);
    if (!run->link.isEmpty() && QFileInfo(run->link).symLinkTarget() == line->path())
        QFile::remove(run->link);
    return status;
}
