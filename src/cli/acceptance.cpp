#include "acceptance.h"

#include "commands.h"
#include "printer.h"
#include "promptdesk.h"
#include "runner.h"
#include "stationboard.h"
#include "stationpage.h"
#include "testreport.h"

#include "console/console.h"
#include "console/notation.h"
#include "console/qserialportlink.h"
#include "console/recording.h"
#include "console/texts.h"
#include "console/variant.h"
#include "history/location.h"
#include "history/runs.h"
#include "outputs/capture.h"
#include "outputs/factory.h"
#include "outputs/json.h"
#include "scenario/suite.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QXmlStreamWriter>
#include <cstdio>
#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace dialkite::cli {

namespace {

using scenario::Expectation;
using scenario::SuiteStep;

// The box a station's thread runs, before each of its lines.
thread_local QString t_box;

// The run's progress and verdicts are its output, on standard output.
void report(const QString &text)
{
    printLine((t_box.isEmpty() ? text : QStringLiteral("[%1] %2").arg(t_box, text)).toUtf8());
}

// Lets the console work (the port's bytes, the outputs' news) for `ms`.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// An event as a failure message shows it.
QString describe(const Event &event)
{
    if (const auto *call = std::get_if<events::CallerId>(&event))
        return QStringLiteral("call line %1 %2 (%3%4)")
            .arg(QString::fromLatin1(call->line), call->number, json::statusName(call->status),
                 call->colour == CellColour::Blue  ? QStringLiteral(", blue")
                 : call->colour == CellColour::Red ? QStringLiteral(", red")
                                                   : QString());
    if (const auto *id = std::get_if<events::Identification>(&event))
        return QStringLiteral("identification %1 %2").arg(id->name, id->version);
    if (const auto *detection = std::get_if<events::DetectionState>(&event))
        return QStringLiteral("detection %1").arg(detection->state);
    if (std::holds_alternative<events::OutgoingCallEnded>(event))
        return QStringLiteral("call-end");
    if (const auto *sent = std::get_if<events::BytesSent>(&event))
        return QStringLiteral("tx ") + notation(sent->bytes);
    if (const auto *logged = std::get_if<events::RecordLogged>(&event))
        return QStringLiteral("rx ") + notation(logged->text);
    if (const auto *lost = std::get_if<events::PortLost>(&event))
        return QStringLiteral("the box went away (%1)").arg(lost->reason);
    return {};
}

// The line digits without the zeros a multi-line box puts before them.
QString lineNumber(const QString &line)
{
    QString trimmed = line;
    while (trimmed.size() > 1 && trimmed.startsWith(u'0'))
        trimmed.remove(0, 1);
    return trimmed;
}

bool matches(const Expectation &e, const Event &event)
{
    using What = Expectation::What;
    switch (e.what) {
    case What::Identification:
        if (const auto *id = std::get_if<events::Identification>(&event)) {
            QString version = id->version;
            if (version.startsWith(texts::kVersionPrefix))
                version.remove(0, texts::kVersionPrefix.size());
            return (e.name.isEmpty() || scenario::globMatch(e.name, id->name.trimmed())) &&
                   (e.version.isEmpty() || scenario::globMatch(e.version, version.trimmed()));
        }
        return false;
    case What::Detection:
        if (const auto *detection = std::get_if<events::DetectionState>(&event))
            return e.detection.isEmpty() || e.detection.contains(detection->state);
        return false;
    case What::Call:
        if (const auto *call = std::get_if<events::CallerId>(&event)) {
            const QString colour = call->colour == CellColour::Blue  ? QStringLiteral("blue")
                                   : call->colour == CellColour::Red ? QStringLiteral("red")
                                                                     : QStringLiteral("none");
            return (e.line.isEmpty() ||
                    lineNumber(QString::fromLatin1(call->line)) == lineNumber(e.line)) &&
                   (e.number.isEmpty() || scenario::globMatch(e.number, call->number) ||
                    scenario::globMatch(e.number, QString::fromLatin1(call->digits))) &&
                   (e.status.isEmpty() || e.status == json::statusName(call->status)) &&
                   (e.colour.isEmpty() || e.colour == colour);
        }
        return false;
    case What::CallEnd:
        return std::holds_alternative<events::OutgoingCallEnded>(event);
    case What::Tx:
        if (const auto *sent = std::get_if<events::BytesSent>(&event))
            return e.none || scenario::bytesMatch(e, sent->bytes);
        return false;
    case What::Rx:
        if (const auto *logged = std::get_if<events::RecordLogged>(&event))
            return e.none || scenario::bytesMatch(e, logged->text);
        if (const auto *received = std::get_if<events::BytesReceived>(&event))
            return !e.none && scenario::bytesMatch(e, received->bytes);
        return false;
    }
    return false;
}

// The same kind of event as an expectation waits for, whatever its fields.
bool sameKind(const Expectation &e, const Event &event)
{
    Expectation any;
    any.what = e.what;
    any.none = true; // tx and rx: any bytes
    return matches(any, event);
}

// What an expectation wanted, as its line says it: "identification version=V1.*".
QString wanted(const SuiteStep &step)
{
    QString text = step.text;
    if (text.startsWith(u"expect "))
        text.remove(0, 7);
    const qsizetype within = text.lastIndexOf(u" within ");
    return within < 0 ? text : text.left(within);
}

// An event as an expectation's fields name it: "identification name=DK-C0001 version=V9.9".
QString received(const Event &event)
{
    if (const auto *call = std::get_if<events::CallerId>(&event))
        return QStringLiteral("call line=%1 number=%2 status=%3 color=%4")
            .arg(lineNumber(QString::fromLatin1(call->line)), call->number,
                 json::statusName(call->status),
                 call->colour == CellColour::Blue  ? QStringLiteral("blue")
                 : call->colour == CellColour::Red ? QStringLiteral("red")
                                                   : QStringLiteral("none"));
    if (const auto *id = std::get_if<events::Identification>(&event)) {
        QString version = id->version.trimmed();
        if (version.startsWith(texts::kVersionPrefix))
            version.remove(0, texts::kVersionPrefix.size());
        return QStringLiteral("identification name=%1 version=%2")
            .arg(id->name.trimmed(), version.trimmed());
    }
    return describe(event);
}

// The box's own name for its kind, when what it sent names another variant than the one
// the console speaks ("DK-A0001" from a box taken for a variant 3 one).
QString otherVariantHint(const QByteArray &bytes, const QString &current)
{
    static const QRegularExpression named(QStringLiteral("DK-[A-Z][0-9]{0,4}"));
    const QRegularExpressionMatch found = named.match(QString::fromLatin1(bytes));
    if (!found.hasMatch())
        return {};
    for (const VariantInfo &info : variantTable().all()) {
        if (!found.captured().startsWith(info.deviceName) || info.code.text() == current)
            continue;
        return QStringLiteral("장비가 %1(%2번 종류)로 응답했습니다")
            .arg(found.captured(), info.code.text());
    }
    return {};
}

struct Result {
    enum Verdict { Passed, Failed, Skipped } verdict = Passed;
    int lineNumber = 0;
    QString text;
    qint64 ms = 0;
    QString message;
    bool prompt = false;        // a person's step, not a test of the box
    int limitMs = 0;            // an expectation's time limit
    QString answer = QString(); // a prompt's
};

struct SuiteReport {
    QString file;
    QString boxName, boxVersion;
    QDateTime started;
    qint64 ms = 0;
    QString capture;
    int attempt = 1;
    QString box; // a station's box
    QList<Result> results;
    int count(Result::Verdict verdict, bool promptsToo = true) const
    {
        return int(std::count_if(results.begin(), results.end(), [&](const Result &r) {
            return r.verdict == verdict && (promptsToo || !r.prompt);
        }));
    }
    bool passed() const { return count(Result::Failed) == 0 && count(Result::Skipped) == 0; }
    // The box's tests: its expectations, not the person's prompts.
    int tests() const
    {
        return int(std::count_if(results.begin(), results.end(),
                                 [](const Result &r) { return !r.prompt; }));
    }
};

// A step's result as the history keeps it.
RunStep runStepOf(const Result &result)
{
    return {result.lineNumber,
            result.text,
            result.verdict == Result::Passed   ? QStringLiteral("passed")
            : result.verdict == Result::Failed ? QStringLiteral("failed")
                                               : QStringLiteral("not_run"),
            result.ms,
            result.limitMs,
            result.message,
            result.answer};
}

// One suite against the box: a console of its own on the port, its events kept in order
// with the moment they came.
class SuiteRun : public QObject {
public:
    SuiteRun(const TestOptions &options, Settings &settings, OutputFactory &outputs)
        : m_options(options)
        , m_link([&settings](int port) { return portDevice(settings, port); })
        , m_console(m_link, m_view, settings)
    {
        m_console.Form_Load();
        m_console.Timer2_Timer();
        m_console.setVariant(VariantId(options.variant));
        m_outputs = outputs.build();
        connect(&m_console, &Console::observed, m_outputs.get(), &OutputSet::consume);
        // The capture is the run's evidence: one that stopped is a record lost.
        connect(m_outputs.get(), &OutputSet::news, this,
                [this](const QString &, Severity severity, const QString &text) {
                    if (severity == Severity::Stopped)
                        m_lostRecords << text;
                });
        connect(&m_console, &Console::observed, this, [this](const Event &event) {
            m_seen.push_back({event, m_clock.elapsed()});
            if (const auto *lost = std::get_if<events::PortLost>(&event); lost && !m_lost)
                m_lost = lost->reason;
            if (const auto *id = std::get_if<events::Identification>(&event)) {
                m_report.boxName = id->name.trimmed();
                m_report.boxVersion = id->version.trimmed();
                if (m_options.board)
                    m_options.board->identified(m_options.boxName, m_report.boxName,
                                                m_report.boxVersion, variant());
            }
        });
    }

    // Opens the port; false (and a message) when it cannot.
    bool open(QString *problem)
    {
        const bool opened = m_options.device.isEmpty() ? m_link.open(m_options.port)
                                                       : m_link.openDevice(m_options.device);
        if (!opened) {
            // The port as the user knows it: COM99 and where it is on this machine.
            const QString device =
                m_link.device().isEmpty() ? QStringLiteral("the port") : m_link.device();
            *problem = QCoreApplication::translate("dialkite", "cannot open %1: %2")
                           .arg(m_options.device.isEmpty()
                                    ? QStringLiteral("COM%1 (%2)").arg(m_options.port).arg(device)
                                    : device,
                                QCoreApplication::translate(
                                    "dialkite", m_link.lastError().toUtf8().constData()));
            return false;
        }
        m_console.linkOpened(m_options.port);
        return true;
    }

    SuiteReport run(const QString &file, const QList<SuiteStep> &steps)
    {
        m_report.file = file;
        m_report.started = QDateTime::currentDateTimeUtc();
        m_clock.start();
        bool stopped = false;
        bool unprompted = false;
        for (const SuiteStep &step : steps) {
            // A box that went away fails the step at hand; nothing after it runs.
            stopped = stopped || m_lostTold;
            // What a person was to do first, unasked in a --batch run: the expectations
            // that follow are not run, up to the next operator step or prompt.
            if (step.kind != SuiteStep::Kind::Expect)
                unprompted = false;
            if (m_options.board && !stopped)
                m_options.board->stepAt(m_options.boxName, step.lineNumber, step.text);
            if (step.kind == SuiteStep::Kind::Operator) {
                if (!stopped)
                    runOperatorStep(m_console, step.step);
                QCoreApplication::processEvents();
                continue;
            }
            if (step.kind == SuiteStep::Kind::Wait) {
                if (!stopped)
                    spin(step.waitMs);
                m_settled = m_seen.size();
                continue;
            }
            Result result{Result::Skipped, step.lineNumber, step.text, 0, {}};
            if (!stopped && !unprompted)
                result = step.kind == SuiteStep::Kind::Prompt ? prompt(step) : expect(step);
            unprompted = unprompted || (step.kind == SuiteStep::Kind::Prompt &&
                                        result.verdict == Result::Failed && m_options.batch);
            result.prompt = step.kind == SuiteStep::Kind::Prompt;
            result.limitMs = result.prompt ? 0 : step.expectation.withinMs;
            if (result.verdict != Result::Skipped && m_lost && !m_lostTold) {
                result.verdict = Result::Failed;
                result.message = lostMessage();
            }
            m_lostTold = m_lostTold || (m_lost && result.verdict == Result::Failed);
            show(result);
            if (m_options.board)
                m_options.board->stepDone(m_options.boxName, runStepOf(result));
            m_report.results << result;
            stopped = stopped || (result.verdict == Result::Failed && !m_options.keepGoing);
        }
        m_link.drain(1000);
        m_report.ms = m_clock.elapsed();
        return m_report;
    }

    // The capture of the run, written to its end; what of the run's record was lost.
    QStringList finish()
    {
        m_lostRecords << m_outputs->finish(QDeadlineTimer(5000));
        QCoreApplication::processEvents();
        return m_lostRecords;
    }
    QString device() const
    {
        return m_options.device.isEmpty() ? m_link.device() : m_options.device;
    }
    QString variant() const { return m_console.state().VariantCode.text(); }

private:
    struct Seen {
        Event event;
        qint64 at; // ms since the suite began
    };

    Result expect(const SuiteStep &step)
    {
        const Expectation &e = step.expectation;
        const qint64 start = m_clock.elapsed();
        // An expectation looks at what came since the last one was met (an operator
        // step's frames too), then on; "expect no" not across a wait: what came before a
        // `wait` step was let settle, and is not this step's.
        size_t scan = e.none ? std::max(m_cursor, m_settled) : m_cursor;
        for (;;) {
            if (m_lost) // nothing more will come: failed at once, whatever was expected
                return {Result::Failed, step.lineNumber, step.text, m_clock.elapsed() - start,
                        lostMessage()};
            for (; scan < m_seen.size(); ++scan) {
                const qint64 at = std::max<qint64>(0, m_seen[scan].at - start);
                if (!matches(e, m_seen[scan].event)) {
                    // A box identifies itself once a request: another identification means
                    // the one wanted will not come.
                    if (!e.none && e.what == Expectation::What::Identification &&
                        sameKind(e, m_seen[scan].event))
                        return {Result::Failed, step.lineNumber, step.text, at,
                                unmet(step, start, scan)};
                    continue;
                }
                if (e.none)
                    return {Result::Failed, step.lineNumber, step.text, at,
                            QStringLiteral("원했던 것: %1 없음; 받은 것: %2 (%3 ms)")
                                .arg(wanted(step).mid(3), received(m_seen[scan].event))
                                .arg(at)};
                m_cursor = scan + 1;
                return {Result::Passed, step.lineNumber, step.text, at, {}};
            }
            const qint64 waited = m_clock.elapsed() - start;
            if (waited >= e.withinMs) {
                if (e.none)
                    return {Result::Passed, step.lineNumber, step.text, waited, {}};
                return {Result::Failed, step.lineNumber, step.text, waited,
                        unmet(step, start, m_seen.size())};
            }
            spin(int(std::min<qint64>(5, e.withinMs - waited)));
        }
    }

    QString lostMessage() const
    {
        return QStringLiteral("장비 연결이 끊겼습니다: %1").arg(visibleControls(*m_lost));
    }

    // Why an expectation was not met: what it wanted, the nearest thing of its kind that
    // came since it looked (the one at `until` when that is what ended it) and when; with
    // nothing of its kind, what came last; and a box that answered as another variant named.
    QString unmet(const SuiteStep &step, qint64 start, size_t until) const
    {
        const Expectation &e = step.expectation;
        QString message = QStringLiteral("원했던 것: %1; ").arg(wanted(step));
        std::optional<size_t> nearest;
        if (until < m_seen.size())
            nearest = until;
        for (size_t i = m_seen.size(); !nearest && i > m_cursor; --i)
            if (sameKind(e, m_seen[i - 1].event))
                nearest = i - 1;
        if (nearest)
            message += QStringLiteral("받은 것: %1 (%2 ms)")
                           .arg(received(m_seen[*nearest].event))
                           .arg(std::max<qint64>(0, m_seen[*nearest].at - start));
        else
            message += QStringLiteral("받은 것: 없음; %1").arg(lastSeen());
        QByteArray bytes;
        for (const Seen &seen : m_seen) {
            if (const auto *logged = std::get_if<events::RecordLogged>(&seen.event))
                bytes += logged->text;
            else if (const auto *in = std::get_if<events::BytesReceived>(&seen.event))
                bytes += in->bytes;
        }
        if (const QString hint = otherVariantHint(bytes, variant()); !hint.isEmpty())
            message += QStringLiteral("; ") + hint;
        return message;
    }

    // What came most recently, for a failure: the expected thing did not.
    QString lastSeen() const
    {
        QStringList last;
        for (auto it = m_seen.rbegin(); it != m_seen.rend() && last.size() < 5; ++it) {
            const QString text = describe(it->event);
            if (!text.isEmpty())
                last.prepend(text);
        }
        return last.isEmpty() ? QStringLiteral("nothing came from the box")
                              : QStringLiteral("last seen: ") + last.join(QStringLiteral("; "));
    }

    // A step that needs a person: Enter goes on, the end of the input or --batch fails.
    // A line the person types (without its end); nothing when the input ended.
    std::optional<QByteArray> readAnswer()
    {
        QByteArray line;
#if defined(Q_OS_UNIX)
        // The console goes on answering the box while the person does what is asked.
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QEventLoop loop;
        bool ended = false;
        connect(&input, &QSocketNotifier::activated, &loop, [&] {
            char c = 0;
            const ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n <= 0 || c == '\n') {
                ended = n <= 0;
                loop.quit();
            } else if (line.size() < 200) {
                line += c;
            }
        });
        loop.exec();
#else
        char buffer[256];
        const bool ended = std::fgets(buffer, sizeof buffer, stdin) == nullptr;
        if (!ended)
            line = QByteArray(buffer).chopped(QByteArray(buffer).endsWith('\n') ? 1 : 0);
#endif
        if (ended)
            return std::nullopt;
        return line.trimmed();
    }

    // A step that needs a person: Enter goes on, the end of the input or --batch fails. A
    // prompt that ends with choices ("소리가 났습니까? 예|아니요") takes one of them (its
    // text or its number): the first passes, another fails; the answer is kept.
    Result prompt(const SuiteStep &step)
    {
        if (m_options.batch)
            return {Result::Failed, step.lineNumber, step.text, 0,
                    QStringLiteral("needs a person, and the run is --batch")};
        QString question = step.prompt;
        QStringList choices;
        if (const qsizetype blank = question.lastIndexOf(u' ');
            blank > 0 && question.mid(blank + 1).contains(u'|')) {
            choices = question.mid(blank + 1).split(u'|', Qt::SkipEmptyParts);
            question = question.left(blank);
        }
        QString offered;
        for (int i = 0; i < choices.size(); ++i)
            offered += QStringLiteral(" [%1] %2").arg(i + 1).arg(choices[i]);
        const qint64 start = m_clock.elapsed();
        for (;;) {
            const QString asked = QStringLiteral("%1%2 %3").arg(
                m_options.boxName.isEmpty() ? QString()
                                            : QStringLiteral("[%1] ").arg(m_options.boxName),
                question, choices.isEmpty() ? QStringLiteral("(Enter when done)") : offered);
            std::optional<QByteArray> line;
            if (m_options.desk) {
                line = m_options.desk->ask(
                    {m_options.boxName, QStringLiteral("  ?     ") + asked, question, choices});
            } else {
                std::fprintf(stderr, "  ?     %s ", asked.toUtf8().constData());
                std::fflush(stderr);
                line = readAnswer();
            }
            const qint64 ms = m_clock.elapsed() - start;
            if (!line)
                return {Result::Failed, step.lineNumber, step.text, ms,
                        QStringLiteral("no answer: the input ended")};
            if (choices.isEmpty())
                return {Result::Passed, step.lineNumber, step.text, ms, {}};
            const QString typed = QString::fromUtf8(*line);
            bool number = false;
            const int index = typed.toInt(&number) - 1;
            const qsizetype chosen =
                number && index >= 0 && index < choices.size() ? index : choices.indexOf(typed);
            if (chosen < 0)
                continue; // not one of them: asked again
            Result result{chosen == 0 ? Result::Passed : Result::Failed, step.lineNumber, step.text,
                          ms,
                          chosen == 0 ? QString() : QStringLiteral("답: %1").arg(choices[chosen])};
            result.answer = choices[chosen];
            return result;
        }
    }

    static void show(const Result &result)
    {
        const char *word = result.verdict == Result::Passed   ? "ok  "
                           : result.verdict == Result::Failed ? "FAIL"
                                                              : "skip";
        report(QStringLiteral("  %1  line %2: %3%4")
                   .arg(QLatin1String(word))
                   .arg(result.lineNumber)
                   .arg(result.text, result.verdict == Result::Skipped
                                         ? QString()
                                         : QStringLiteral("  (%1 ms)").arg(result.ms)));
        if (!result.message.isEmpty())
            report(QStringLiteral("        ") + visibleControls(result.message));
    }

    const TestOptions &m_options;
    QSerialPortLink m_link;
    RecordingView m_view;
    Console m_console;
    std::unique_ptr<OutputSet> m_outputs;
    std::vector<Seen> m_seen;
    size_t m_cursor = 0;
    size_t m_settled = 0; // what came before the last wait ended
    QStringList m_lostRecords;
    std::optional<QString> m_lost; // why the port went, once it has
    bool m_lostTold = false;       // a step failed for it
    QElapsedTimer m_clock;
    SuiteReport m_report;
};

// A name fit for a file: letters, digits, '.', '-' and '_'.
QString fileSafe(const QString &text)
{
    QString safe = text;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]+")), QStringLiteral("_"));
    return safe.isEmpty() ? QStringLiteral("box") : safe.left(60);
}

bool writeJunit(const QString &path, const QList<SuiteReport> &reports, QString *problem)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *problem = file.errorString();
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    int tests = 0;
    int failures = 0;
    int skipped = 0;
    qint64 ms = 0;
    for (const SuiteReport &report : reports) {
        tests += report.tests();
        failures += report.count(Result::Failed, false);
        skipped += report.count(Result::Skipped, false);
        ms += report.ms;
    }
    const auto seconds = [](qint64 ms) { return QString::number(double(ms) / 1000.0, 'f', 3); };
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("dialkite-cli test"));
    xml.writeAttribute(QStringLiteral("tests"), QString::number(tests));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
    xml.writeAttribute(QStringLiteral("time"), seconds(ms));
    for (const SuiteReport &report : reports) {
        const QString suite = report.box.isEmpty()
                                  ? QFileInfo(report.file).completeBaseName()
                                  : report.box + u'/' + QFileInfo(report.file).completeBaseName();
        xml.writeStartElement(QStringLiteral("testsuite"));
        xml.writeAttribute(QStringLiteral("name"), suite);
        xml.writeAttribute(QStringLiteral("tests"), QString::number(report.tests()));
        xml.writeAttribute(QStringLiteral("failures"),
                           QString::number(report.count(Result::Failed, false)));
        xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("skipped"),
                           QString::number(report.count(Result::Skipped, false)));
        xml.writeAttribute(QStringLiteral("time"), seconds(report.ms));
        xml.writeAttribute(QStringLiteral("timestamp"),
                           report.started.toString(Qt::ISODate).left(19));
        xml.writeAttribute(QStringLiteral("hostname"), QSysInfo::machineHostName());
        xml.writeStartElement(QStringLiteral("properties"));
        for (const auto &[name, value] :
             {std::pair{QStringLiteral("box.name"), report.boxName},
              std::pair{QStringLiteral("box.version"), report.boxVersion},
              std::pair{QStringLiteral("suite.file"), report.file},
              std::pair{QStringLiteral("capture"), report.capture}}) {
            xml.writeEmptyElement(QStringLiteral("property"));
            xml.writeAttribute(QStringLiteral("name"), name);
            xml.writeAttribute(QStringLiteral("value"), visibleControls(value));
        }
        xml.writeEndElement();
        for (const Result &result : report.results) {
            if (result.prompt)
                continue;
            xml.writeStartElement(QStringLiteral("testcase"));
            xml.writeAttribute(QStringLiteral("classname"), suite);
            xml.writeAttribute(
                QStringLiteral("name"),
                QStringLiteral("line %1: %2").arg(result.lineNumber).arg(result.text));
            xml.writeAttribute(QStringLiteral("time"), seconds(result.ms));
            // What was measured against its limit, for a trend across units.
            if (result.verdict != Result::Skipped) {
                xml.writeStartElement(QStringLiteral("properties"));
                for (const auto &[name, value] : {std::pair{"measured_ms", result.ms},
                                                  std::pair{"limit_ms", qint64(result.limitMs)}}) {
                    xml.writeEmptyElement(QStringLiteral("property"));
                    xml.writeAttribute(QStringLiteral("name"), QLatin1String(name));
                    xml.writeAttribute(QStringLiteral("value"), QString::number(value));
                }
                xml.writeEndElement();
            }
            if (result.verdict == Result::Failed) {
                xml.writeStartElement(QStringLiteral("failure"));
                xml.writeAttribute(QStringLiteral("message"), visibleControls(result.message));
                xml.writeAttribute(QStringLiteral("type"), QStringLiteral("expectation"));
                xml.writeCharacters(QStringLiteral("line %1: %2\n%3")
                                        .arg(result.lineNumber)
                                        .arg(result.text, visibleControls(result.message)));
                xml.writeEndElement();
            } else if (result.verdict == Result::Skipped) {
                xml.writeEmptyElement(QStringLiteral("skipped"));
                xml.writeAttribute(QStringLiteral("message"),
                                   QStringLiteral("an earlier expectation failed"));
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (!file.commit()) {
        *problem = file.errorString();
        return false;
    }
    return true;
}

// The verdict as one sees it from across the room: 합격 or 불합격 in a band (coloured on
// a terminal), the time, and where the evidence is.
void showBanner(bool passed, qint64 ms, const QList<SuiteReport> &reports)
{
#if defined(Q_OS_UNIX)
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
#else
    const bool terminal = false;
#endif
    const QString word = passed ? QCoreApplication::translate("dialkite", "PASSED")
                                : QCoreApplication::translate("dialkite", "FAILED");
    const QString band = QStringLiteral("==================== %1 ====================").arg(word);
    if (terminal)
        report((passed ? QStringLiteral("\x1b[1;97;42m") : QStringLiteral("\x1b[1;97;41m")) + band +
               QStringLiteral("\x1b[0m"));
    else
        report(band);
    report(
        QCoreApplication::translate("dialkite", "time: %1 s").arg(double(ms) / 1000.0, 0, 'f', 1));
    for (const SuiteReport &report : reports)
        if (!report.capture.isEmpty())
            cli::report(QCoreApplication::translate("dialkite", "capture: %1").arg(report.capture));
}

// The steps of a run as the history keeps them.
QList<RunStep> stepsOf(const SuiteReport &report)
{
    QList<RunStep> steps;
    for (const Result &result : report.results)
        steps << runStepOf(result);
    return steps;
}

// The run's page for the box.
QByteArray reportOf(const TestOptions &options, const QString &suite, const SuiteRun &run,
                    const SuiteReport &result)
{
    TestReport report;
    report.suite = suite;
    report.boxName = result.boxName;
    report.boxVersion = result.boxVersion;
    report.variant = run.variant();
    report.device = run.device();
    report.operatorName = options.operatorName;
    report.station = QSysInfo::machineHostName();
    report.started = result.started;
    report.ended = result.started.addMSecs(result.ms);
    report.attempt = result.attempt;
    report.passed = result.passed();
    report.steps = stepsOf(result);
    report.capture = result.capture;
    report.captureSha256 = fileSha256(result.capture);
    return reportHtml(report);
}

// The run's page written: --report FILE, or a file of its own in --reports DIR.
void writeReport(const TestOptions &options, const SuiteReport &result, const QByteArray &page,
                 QStringList *lost)
{
    const QString path =
        !options.report.isEmpty()
            ? options.report
            : QDir(options.reports)
                  .filePath(QFileInfo(result.capture).completeBaseName() + QStringLiteral(".html"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(page) < 0 || !out.commit()) {
        *lost << QCoreApplication::translate("dialkite", "the report %1: %2")
                     .arg(path, out.errorString());
        return;
    }
    cli::report(QCoreApplication::translate("dialkite", "report: %1").arg(path));
}

// One attempt of a suite against the box: run, captured and kept in the history. Nothing
// (and `problem`) when the box cannot be opened; what could not be kept goes to `lost`.
std::optional<SuiteReport> runAttempt(const TestOptions &options, Settings &settings,
                                      const QString &file, const scenario::Suite &suite,
                                      int attempt, QStringList *lost, QString *problem)
{
    // The run's capture, under a name with the box and the time once the run is over.
    QDir().mkpath(options.captures);
    // A station's boxes each have their own files, though they may share a name.
    const QString box = options.boxName.isEmpty() ? QString() : fileSafe(options.boxName) + u'-';
    const QString capture =
        QDir(options.captures)
            .filePath(QStringLiteral("run-%1%2.scn")
                          .arg(box, QDateTime::currentDateTime().toString(
                                        QStringLiteral("yyyyMMdd-HHmmss-zzz"))));
    OutputPlan plan;
    plan.set(QStringLiteral("capture"),
             CaptureOptions{capture, {}, 0, QStringLiteral("dialkite-cli " DIALKITE_VERSION)});
    OutputFactory outputs(plan);
    SuiteRun run(options, settings, outputs);
    if (!run.open(problem))
        return std::nullopt;
    report(QStringLiteral("suite %1 on %2").arg(file, run.device()));
    if (options.board)
        options.board->begin(options.boxName, file, attempt);
    SuiteReport result = run.run(file, suite.steps);
    for (const QString &what : run.finish())
        *lost << QCoreApplication::translate("dialkite", "the capture %1: %2").arg(capture, what);
    const QString named =
        QDir(options.captures)
            .filePath(
                QStringLiteral("%1%2-%3-%4%5.scn")
                    .arg(box,
                         fileSafe(result.boxName.isEmpty() ? QFileInfo(run.device()).fileName()
                                                           : result.boxName),
                         result.started.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
                         fileSafe(QFileInfo(file).completeBaseName()),
                         attempt > 1 ? QStringLiteral("-%1").arg(attempt) : QString()));
    result.capture = QFile::rename(capture, named) ? named : capture;
    result.attempt = attempt;
    result.box = options.boxName;
    if (!options.history.isEmpty()) {
        TestRun record;
        record.started = result.started;
        record.suite = file;
        record.device = run.device();
        record.variant = run.variant();
        record.boxName = result.boxName;
        record.boxVersion = result.boxVersion;
        record.passed = result.count(Result::Passed);
        record.failed = result.count(Result::Failed);
        record.skipped = result.count(Result::Skipped);
        record.durationMs = result.ms;
        record.capture = result.capture;
        record.attempt = attempt;
        record.steps = stepsOf(result);
        QString unkept;
        if (!recordRun(options.history, record, &unkept))
            *lost << QCoreApplication::translate("dialkite", "the history %1: %2")
                         .arg(options.history, unkept);
    }
    const bool wanted = !options.report.isEmpty() || !options.reports.isEmpty();
    if (wanted || options.board) {
        const QByteArray page = reportOf(options, file, run, result);
        if (wanted)
            writeReport(options, result, page, lost);
        if (options.board)
            options.board->runEnded(options.boxName, result.passed(), page);
    }
    return result;
}

} // namespace

namespace {

using Suites = QList<std::pair<QString, scenario::Suite>>;

// Every suite read and checked first: a mistake in any is reported before a box is
// touched. The exit status when one is not fit to run.
std::optional<int> readSuites(const QStringList &files, Suites *suites)
{
    for (const QString &file : files) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) {
            say(QCoreApplication::translate("dialkite", "cannot read %1: %2")
                    .arg(file, in.errorString()));
            return 1;
        }
        scenario::Suite suite = scenario::parseSuite(in.readAll());
        // A suite that expects nothing would pass whatever the box did.
        if (suite.error.isEmpty() &&
            std::none_of(suite.steps.begin(), suite.steps.end(), [](const SuiteStep &step) {
                return step.kind == SuiteStep::Kind::Expect;
            }))
            suite.error =
                QStringLiteral("no expectation: a suite needs at least one 'expect' step");
        if (!suite.error.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", qUtf8Printable(file), qUtf8Printable(suite.error));
            return 2;
        }
        suites->append({file, suite});
    }
    return std::nullopt;
}

// What the suites made of one box.
struct BoxResult {
    QString box;
    QList<SuiteReport> reports;
    QStringList lost; // what of the runs' records could not be kept
    int passed = 0;
    int failed = 0;
    int skipped = 0;
    QString problem; // the box could not be opened
    bool allPassed() const { return problem.isEmpty() && failed == 0 && skipped == 0; }
};

// Every suite against one box, a failed one again up to --retry times (each attempt kept,
// the last deciding).
BoxResult runBox(const TestOptions &options, const Suites &suites)
{
    t_box = options.boxName;
    Settings settings(options.settingsPath);
    BoxResult out;
    out.box = options.boxName;
    for (const auto &[file, suite] : suites) {
        std::optional<SuiteReport> last;
        for (int attempt = 1; attempt <= options.retries + 1; ++attempt) {
            if (attempt > 1)
                report(QStringLiteral("attempt %1 of %2").arg(attempt).arg(options.retries + 1));
            last = runAttempt(options, settings, file, suite, attempt, &out.lost, &out.problem);
            if (!last) {
                if (options.board)
                    options.board->boxDone(options.boxName, false, out.problem);
                return out;
            }
            if (last->passed())
                break;
        }
        out.passed += last->count(Result::Passed);
        out.failed += last->count(Result::Failed);
        out.skipped += last->count(Result::Skipped);
        out.reports << *last;
    }
    if (options.board)
        options.board->boxDone(options.boxName, out.allPassed());
    return out;
}

// A station: every box at once, each with a console on a thread of its own; their
// prompts are asked at one desk, one at a time.
QList<BoxResult> runStation(const TestOptions &options, const Suites &suites, PromptDesk &desk)
{
    QList<BoxResult> results(options.boxes.size());
    std::vector<std::unique_ptr<QThread>> threads;
    QEventLoop loop;
    int running = 0;
    for (qsizetype i = 0; i < options.boxes.size(); ++i) {
        TestOptions one = options;
        one.boxes.clear();
        one.boxName = options.boxes[i].name;
        one.device = options.boxes[i].device;
        one.port = options.boxes[i].port;
        one.variant = options.boxes[i].variant;
        one.desk = &desk;
        threads.emplace_back(
            QThread::create([one, &suites, &results, i] { results[i] = runBox(one, suites); }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (--running == 0)
                loop.quit();
        });
        ++running;
        threads.back()->start();
    }
    loop.exec();
    for (const auto &thread : threads)
        thread->wait();
    return results;
}

} // namespace

int runTests(const TestOptions &options)
{
    Suites suites;
    if (const auto status = readSuites(options.suites, &suites))
        return *status;
    // A station's page: every box, even one, on a tile of its own.
    TestOptions station = options;
    if (!options.http.isEmpty() && options.boxes.isEmpty())
        station.boxes = {BoxSpec{options.device.isEmpty()
                                     ? QStringLiteral("COM%1").arg(options.port)
                                     : QFileInfo(options.device).fileName(),
                                 options.device, options.port, options.variant, false}};
    QList<StationBoard::Box> tiles;
    for (const BoxSpec &box : std::as_const(station.boxes))
        tiles.append(
            {box.name, box.device.isEmpty() ? QStringLiteral("COM%1").arg(box.port) : box.device});
    StationBoard board(tiles, QSysInfo::machineHostName());
    PromptDesk desk(options.http.isEmpty() ? nullptr : &board);
    std::unique_ptr<StationPage> page;
    if (!options.http.isEmpty()) {
        station.board = &board;
        page = std::make_unique<StationPage>(options.page, board, desk);
        if (QString problem; !page->start(&problem)) {
            say(problem);
            return 1;
        }
        report(QCoreApplication::translate("dialkite", "station page: %1")
                   .arg(QStringLiteral("http://%1:%2/"))
                   .arg(options.page.address)
                   .arg(page->port()));
    }
    QElapsedTimer clock; // a station's boxes run at once: its time is the longest
    clock.start();
    const QList<BoxResult> boxes = station.boxes.isEmpty()
                                       ? QList<BoxResult>{runBox(station, suites)}
                                       : runStation(station, suites, desk);
    QList<SuiteReport> reports;
    QStringList lost;
    int passed = 0, failed = 0, skipped = 0;
    bool unopened = false;
    for (const BoxResult &box : boxes) {
        if (!box.problem.isEmpty()) {
            say(box.box.isEmpty() ? box.problem
                                  : QStringLiteral("[%1] %2").arg(box.box, box.problem));
            unopened = true;
        }
        // A station says each box's verdict, as its tile would.
        if (boxes.size() > 1)
            cli::report(QStringLiteral("[%1] %2: %3")
                            .arg(box.box,
                                 box.allPassed()
                                     ? QCoreApplication::translate("dialkite", "PASSED")
                                     : QCoreApplication::translate("dialkite", "FAILED"),
                                 QCoreApplication::translate("dialkite", "%1 passed, %2 failed")
                                     .arg(box.passed)
                                     .arg(box.failed)));
        reports << box.reports;
        lost << box.lost;
        passed += box.passed;
        failed += box.failed;
        skipped += box.skipped;
    }
    board.finish();
    if (unopened && boxes.size() == 1 && !page)
        return 1;
    const bool allPassed = !unopened && failed == 0 && skipped == 0;
    report(QCoreApplication::translate("dialkite", "%1 passed, %2 failed").arg(passed).arg(failed) +
           (skipped ? QCoreApplication::translate("dialkite", ", %1 not run").arg(skipped)
                    : QString()));
    showBanner(allPassed, clock.elapsed(), reports);
    if (!options.junit.isEmpty()) {
        QString problem;
        if (!writeJunit(options.junit, reports, &problem))
            lost << QCoreApplication::translate("dialkite", "the JUnit report %1: %2")
                        .arg(options.junit, problem);
    }
    // Never a verdict without its record.
    for (const QString &what : std::as_const(lost))
        say(QCoreApplication::translate("dialkite", "the run's record is not kept in %1")
                .arg(what));
    // The verdicts stay on the page until the operator is done with them.
    if (page && !options.batch)
        desk.holdUntilEnter(
            QCoreApplication::translate("dialkite", "The station page stays open until Enter."));
    if (!lost.isEmpty())
        return 3;
    return allPassed ? 0 : 1;
}

namespace {

// The boxes of a station: --device given more than once (each named by its device's file
// name) or a rig file (the monitor's); one --device stays the one box.
void readStation(const cmdline::Arguments &arguments, TestOptions *options, QString *error)
{
    const QStringList devices = arguments.values(QStringLiteral("--device"));
    if (devices.size() > 1) {
        options->device.clear();
        QStringList names;
        for (const QString &device : devices) {
            QString name = QFileInfo(device).fileName();
            for (int n = 2; name.isEmpty() || names.contains(name); ++n)
                name = QFileInfo(device).fileName() + QStringLiteral("-%1").arg(n);
            names << name;
            options->boxes.append({name, device, 0, options->variant, false});
        }
    }
    if (const QString rig = arguments.value(QStringLiteral("--rig")); !rig.isEmpty()) {
        QFile file(rig);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(rig, file.errorString());
            return;
        }
        const QList<BoxSpec> boxes = parseRigFile(file.read(Settings::kMaxFileSize), error);
        if (boxes.isEmpty()) {
            *error = rig + QStringLiteral(": ") + *error;
            return;
        }
        if (!options->boxes.isEmpty() || !options->device.isEmpty()) {
            *error = QStringLiteral("--rig FILE names the boxes: no --device with it");
            return;
        }
        options->boxes = boxes;
    }
}

std::optional<TestOptions> readTestOptions(const Invocation &invocation, QString *error)
{
    const cmdline::Arguments &arguments = invocation.arguments;
    TestOptions options;
    options.settingsPath = invocation.config.settingsPath;
    options.batch = arguments.has(QStringLiteral("--batch"));
    options.keepGoing = arguments.has(QStringLiteral("--keep-going"));
    if (arguments.has(QStringLiteral("--port")))
        options.port = cmdline::number(arguments.value(QStringLiteral("--port")),
                                       QStringLiteral("--port"), 1, 255, error)
                           .value_or(0);
    options.device = arguments.value(QStringLiteral("--device"));
    if (error->isEmpty() && arguments.has(QStringLiteral("--variant")))
        options.variant =
            cmdline::number(arguments.value(QStringLiteral("--variant")),
                            QStringLiteral("--variant"), 1, variantTable().highest(), error)
                .value_or(1);
    if (error->isEmpty() && arguments.has(QStringLiteral("--retry")))
        options.retries = cmdline::number(arguments.value(QStringLiteral("--retry")),
                                          QStringLiteral("--retry"), 0, 10, error)
                              .value_or(0);
    options.junit = arguments.value(QStringLiteral("--junit"));
    options.report = arguments.value(QStringLiteral("--report"));
    options.reports = arguments.value(QStringLiteral("--reports"));
    options.operatorName = arguments.value(QStringLiteral("--operator"));
    if (error->isEmpty() && !options.report.isEmpty() && !options.reports.isEmpty())
        *error = QStringLiteral("--report FILE or --reports DIR, not both");
    if (error->isEmpty() && !options.report.isEmpty() &&
        (arguments.words.size() > 1 || arguments.has(QStringLiteral("--retry"))))
        *error = QStringLiteral("--report FILE is one run's: give --reports DIR for several"
                                " suites or attempts");
    options.http = arguments.value(QStringLiteral("--http"));
    if (error->isEmpty() && !options.http.isEmpty()) {
        // Its token and names are the fleet page's settings ([HTTP] TOKEN and HOSTS).
        parseListenAddress(options.http, &options.page, error);
        options.page.token =
            invocation.config.value(QStringLiteral("HTTP"), QStringLiteral("TOKEN"));
        options.page.hosts =
            invocation.config.value(QStringLiteral("HTTP"), QStringLiteral("HOSTS"))
                .split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    }
    options.captures = arguments.value(QStringLiteral("--captures"));
    options.history = arguments.value(QStringLiteral("--history"));
    if (error->isEmpty() && !options.history.isEmpty())
        historyLocation(options.history, error);
    options.suites = arguments.words;
    if (error->isEmpty())
        readStation(arguments, &options, error);
    const int ways = (options.port != 0) + !options.device.isEmpty() + !options.boxes.isEmpty();
    if (error->isEmpty() && ways != 1)
        *error = QStringLiteral("--device PATH or --port N: the box to test (--device repeated"
                                " or --rig FILE for several at once)");
    if (error->isEmpty() && !options.report.isEmpty() && !options.boxes.isEmpty())
        *error = QStringLiteral("--report FILE is one box's: give --reports DIR for a station");
    if (!error->isEmpty())
        return std::nullopt;
    if (options.captures.isEmpty())
        options.captures = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/dialkite/runs");
    if (options.history.isEmpty())
        options.history = historyFile(invocation.config.file()).value_or(QString());
    return options;
}

} // namespace

int testCommand(const Invocation &invocation)
{
    QString error;
    const auto options = readTestOptions(invocation, &error);
    if (!options)
        return usageError(invocation.command, error);
    return runTests(*options);
}

} // namespace dialkite::cli
