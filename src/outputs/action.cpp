#include "action.h"

#include "json.h"
#include "mqtt.h"
#include "spool.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <httplib.h>

namespace dialkite {

namespace {

constexpr QLatin1StringView kAction("action");
const QString kQueue = QStringLiteral("calls"); // one queue a spool: the calls in order
constexpr int kAnsweredRetryMs = 1000;          // a receiver that answered 5xx: soon again
constexpr int kLongestWaitMs = 10000;           // one that is away: at most this long
constexpr int kLongestRetryAfterS = 60;

// What a delivery came to.
enum class Outcome { Done, Refused, Retry };
struct Delivery {
    Outcome outcome = Outcome::Done;
    QString said;         // for the operator, when there is something to say
    int retryAfterMs = 0; // a retry: how soon
};

// ---- The two ways out ----

Delivery runProgram(const QStringList &program, const QJsonObject &call, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : actionEnvironment(call))
        environment.insert(name, value);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    // The program and its arguments as written: no shell ever reads the call.
    process.start(program.front(), program.mid(1));
    const QString id = call.value(QLatin1String("id")).toString();
    if (!process.waitForStarted(timeoutMs))
        return {Outcome::Refused,
                QCoreApplication::translate("dialkite", "on-call: cannot run %1: %2 (call %3)")
                    .arg(program.front(), process.errorString(), id)};
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {Outcome::Refused,
                QCoreApplication::translate(
                    "dialkite", "on-call: %1 did not end within %2 s and was stopped (call %3)")
                    .arg(program.front())
                    .arg(timeoutMs / 1000.0)
                    .arg(id)};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {
            Outcome::Refused,
            QCoreApplication::translate("dialkite", "on-call: %1 ended with status %2 (call %3)")
                .arg(program.front())
                .arg(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1)
                .arg(id)};
    return {};
}

Delivery post(const QUrl &url, const QByteArray &token, const QJsonObject &call, int timeoutMs)
{
    const QString origin = url.scheme() + QStringLiteral("://") + url.host() +
                           (url.port() > 0 ? QStringLiteral(":%1").arg(url.port()) : QString());
    httplib::Client client(origin.toStdString());
    const auto seconds = std::chrono::milliseconds(timeoutMs);
    client.set_connection_timeout(seconds);
    client.set_read_timeout(seconds);
    client.set_write_timeout(seconds);
    const QString id = call.value(QLatin1String("id")).toString();
    httplib::Headers headers = {{"Idempotency-Key", id.toStdString()},
                                {"User-Agent", "dialkite/" DIALKITE_VERSION}};
    if (!token.isEmpty())
        headers.emplace("Authorization", "Bearer " + token.toStdString());
    const QByteArray body = QJsonDocument(call).toJson(QJsonDocument::Compact);
    QString target = url.path(QUrl::FullyEncoded);
    if (target.isEmpty())
        target = QStringLiteral("/");
    if (url.hasQuery())
        target += u'?' + url.query(QUrl::FullyEncoded);
    const auto answer = client.Post(target.toStdString(), headers, body.constData(),
                                    size_t(body.size()), "application/json");
    const QString where = url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
    if (!answer)
        return {Outcome::Retry,
                QCoreApplication::translate("dialkite",
                                            "webhook: cannot reach %1: %2; kept, and tried again")
                    .arg(where, QString::fromStdString(httplib::to_string(answer.error()))),
                -1};
    const int status = answer->status;
    if (status >= 200 && status < 300)
        return {};
    if (status >= 500 || status == 408 || status == 425 || status == 429) {
        int after = kAnsweredRetryMs;
        if (answer->has_header("Retry-After"))
            after = qBound(1, std::atoi(answer->get_header_value("Retry-After").c_str()),
                           kLongestRetryAfterS) *
                    1000;
        return {Outcome::Retry,
                QCoreApplication::translate("dialkite",
                                            "webhook: %1 answered %2; kept, and tried again")
                    .arg(where)
                    .arg(status),
                after};
    }
    return {Outcome::Refused,
            QCoreApplication::translate("dialkite",
                                        "webhook: %1 answered %2 for call %3; it is not sent again")
                .arg(where)
                .arg(status)
                .arg(id)};
}

// ---- The link: the spools and the thread that delivers ----

struct Channel {
    QString name; // "on-call", "webhook"
    std::unique_ptr<Spool> spool;
    std::function<Delivery(const QJsonObject &)> deliver;
    std::chrono::steady_clock::time_point nextTry{};
    int failures = 0;
};

class ActionLink : public QObject {
    Q_OBJECT
public:
    explicit ActionLink(const ActionPlan &plan)
        : m_plan(plan)
    {
        if (!plan.program.isEmpty())
            m_channels.push_back(
                {QStringLiteral("on-call"), nullptr, [this](const QJsonObject &call) {
                     return runProgram(m_plan.program, call, m_plan.timeoutMs);
                 }});
        if (!plan.webhook.isEmpty())
            m_channels.push_back(
                {QStringLiteral("webhook"), nullptr, [this](const QJsonObject &call) {
                     return post(QUrl(m_plan.webhook), m_plan.token, call, m_plan.timeoutMs);
                 }});
    }
    ~ActionLink() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread) {
            m_thread->wait();
            m_thread.reset();
        }
    }

    // The delivering thread, a QThread of its own (programs are run there); the spools are
    // opened and used on it alone.
    void start()
    {
        m_thread.reset(QThread::create([this] { run(); }));
        m_thread->start();
    }
    const ActionRules &rules() const { return m_plan.rules; }
    // Whether the caller is the first output to ask: the one that tells the link's news.
    bool firstToTell() { return !m_told.exchange(true); }

    // A call to deliver; `spooled` is called on the link's thread once it is in every spool.
    void submit(const QString &box, const QJsonObject &call, std::function<void()> spooled)
    {
        {
            std::lock_guard lock(m_mutex);
            m_inbox.push_back({box, call, std::move(spooled)});
        }
        m_wake.notify_all();
    }

Q_SIGNALS:
    void news(dialkite::Severity severity, const QString &text);

private:
    struct Submitted {
        QString box;
        QJsonObject call;
        std::function<void()> spooled;
    };

    void spoolAll(std::deque<Submitted> &inbox)
    {
        for (Channel &channel : m_channels) {
            std::vector<Spooled> add;
            qint64 seq = channel.spool->lastSequence(kQueue);
            for (const Submitted &each : inbox) {
                QJsonObject call = each.call;
                // A console's call gets its id here, kept with it until it is delivered.
                if (!call.contains(QLatin1String("id")))
                    call.insert(QStringLiteral("id"), each.box + u':' + channel.spool->instance() +
                                                          u':' + QString::number(seq + 1));
                add.push_back({kQueue, ++seq, channel.name,
                               QJsonDocument(call).toJson(QJsonDocument::Compact)});
            }
            QString problem;
            if (!channel.spool->write(add, {}, {}, &problem))
                Q_EMIT news(Severity::Problem, QStringLiteral("%1: %2").arg(channel.name, problem));
        }
        for (Submitted &each : inbox)
            each.spooled();
        inbox.clear();
    }

    // Delivers the oldest call of the channel, if it is time; when to look again.
    std::chrono::steady_clock::time_point tryNext(Channel &channel)
    {
        const auto now = std::chrono::steady_clock::now();
        if (now < channel.nextTry)
            return channel.nextTry;
        const std::vector<Spooled> head = channel.spool->after(kQueue, 0, 1);
        if (head.empty())
            return now + std::chrono::hours(1);
        const QJsonObject call = QJsonDocument::fromJson(head.front().payload).object();
        const Delivery delivery = channel.deliver(call);
        if (delivery.outcome == Outcome::Retry) {
            if (channel.failures++ == 0)
                Q_EMIT news(Severity::Problem, delivery.said);
            const int waitMs = delivery.retryAfterMs > 0
                                   ? delivery.retryAfterMs
                                   : qMin(kLongestWaitMs, 500 << qMin(channel.failures, 5));
            channel.nextTry = now + std::chrono::milliseconds(waitMs);
            return channel.nextTry;
        }
        if (channel.failures > 0)
            Q_EMIT news(
                Severity::Notice,
                QCoreApplication::translate("dialkite", "%1: delivering again").arg(channel.name));
        channel.failures = 0;
        if (delivery.outcome == Outcome::Refused)
            Q_EMIT news(Severity::Problem, delivery.said);
        QString problem;
        channel.spool->write({}, {}, {{kQueue, head.front().seq}}, &problem);
        return now;
    }

    void openSpools()
    {
        QDir().mkpath(m_plan.spoolFolder);
        for (Channel &channel : m_channels) {
            QString problem;
            const QString path =
                QDir(m_plan.spoolFolder).filePath(channel.name + QStringLiteral("-spool.sqlite"));
            channel.spool = openSpoolFile(path, &problem);
            if (!channel.spool) {
                Q_EMIT news(Severity::Problem,
                            QCoreApplication::translate(
                                "dialkite",
                                "%1: cannot use the spool %2: %3; calls wait in memory until they"
                                " are delivered (a program that ends loses them)")
                                .arg(channel.name, path, problem));
                channel.spool = memorySpool();
            }
        }
    }

    void run()
    {
        openSpools();
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            std::deque<Submitted> inbox;
            inbox.swap(m_inbox);
            lock.unlock();
            if (!inbox.empty())
                spoolAll(inbox);
            auto next = std::chrono::steady_clock::now() + std::chrono::hours(1);
            for (Channel &channel : m_channels)
                next = std::min(next, tryNext(channel));
            lock.lock();
            m_wake.wait_until(lock, next, [this] { return m_stop || !m_inbox.empty(); });
        }
        lock.unlock();
        // Closed on the thread that opened them.
        for (Channel &channel : m_channels)
            channel.spool.reset();
    }

    ActionPlan m_plan;
    std::vector<Channel> m_channels;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Submitted> m_inbox;
    bool m_stop = false;
    std::atomic<bool> m_told{false};
    std::unique_ptr<QThread> m_thread;
};

// ---- The output of one box ----

class ActionOutput : public Output {
    Q_OBJECT
public:
    ActionOutput(std::shared_ptr<ActionLink> link, const QString &box, bool tellsNews)
        : Output(QString(kAction))
        , m_link(std::move(link))
        , m_box(box.isEmpty() ? QSysInfo::machineHostName() : box) // a lone box: the PC's name
    {
        if (tellsNews)
            connect(m_link.get(), &ActionLink::news, this, &Output::news);
    }

    void consume(const Event &event) override
    {
        ++m_given;
        QJsonObject call;
        if (const auto *caller = std::get_if<events::CallerId>(&event)) {
            json::Fields fields = publishedFields(event, m_box);
            fields.append(
                {QStringLiteral("pc_time"), caller->at.toLocalTime().toString(Qt::ISODateWithMs)});
            for (const auto &[key, value] : fields)
                call.insert(key, value);
        } else if (const auto *published = std::get_if<events::Published>(&event);
                   published &&
                   published->event.value(QLatin1String("event")).toString() == u"call") {
            call = published->event;
        }
        if (call.isEmpty() || !m_link->rules().takes(call)) {
            ++m_kept; // nothing for the actions: as safe as it will be
            return;
        }
        ++m_submitted;
        const auto spooled = m_spooled;
        m_link->submit(m_box, call, [this, spooled] {
            spooled->fetch_add(1);
            QMetaObject::invokeMethod(
                this, [this] { Q_EMIT committed(); }, Qt::QueuedConnection);
        });
    }

    QString finish(QDeadlineTimer deadline) override
    {
        while (m_spooled->load() < m_submitted && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const quint64 missing = m_submitted - m_spooled->load();
        return missing == 0 ? QString()
                            : QCoreApplication::translate(
                                  "dialkite", "%1 calls were not yet in the actions' spool")
                                  .arg(missing);
    }
    bool durable() const override { return true; }
    quint64 committedCount() const override { return m_kept + m_spooled->load(); }

private:
    std::shared_ptr<ActionLink> m_link;
    QString m_box;
    quint64 m_given = 0;
    quint64 m_kept = 0;
    quint64 m_submitted = 0;
    std::shared_ptr<std::atomic<quint64>> m_spooled = std::make_shared<std::atomic<quint64>>(0);
};

// ---- The plan ----

QStringList listOf(const QString &text)
{
    QStringList items;
    for (const QString &item : text.split(u',', Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty())
            items << item.trimmed();
    return items;
}

bool readRules(const Config &config, ActionRules *rules, QString *error)
{
    const QString section = QStringLiteral("ACTIONS");
    rules->lines = listOf(config.value(section, QStringLiteral("LINES")));
    rules->boxes = listOf(config.value(section, QStringLiteral("BOXES")));
    rules->statuses = listOf(config.value(section, QStringLiteral("STATUS")));
    rules->contacts = config.value(section, QStringLiteral("CONTACTS")).trimmed();
    static const QStringList statuses = {QStringLiteral("number"), QStringLiteral("withheld"),
                                         QStringLiteral("public_phone"),
                                         QStringLiteral("not_collected")};
    for (const QString &status : std::as_const(rules->statuses)) {
        if (!statuses.contains(status)) {
            *error = QCoreApplication::translate("dialkite", "[ACTIONS] STATUS takes %1, not '%2'")
                         .arg(statuses.join(QStringLiteral(", ")), status.left(40));
            return false;
        }
    }
    if (!rules->contacts.isEmpty() && rules->contacts != u"known" &&
        rules->contacts != u"unknown") {
        *error = QCoreApplication::translate("dialkite",
                                             "[ACTIONS] CONTACTS takes known or unknown, not '%1'")
                     .arg(rules->contacts.left(40));
        return false;
    }
    return true;
}

bool readToken(const Config &config, QByteArray *token, QString *error)
{
    const QString section = QStringLiteral("ACTIONS");
    const QString file = config.value(section, QStringLiteral("TOKEN_FILE"));
    if (!file.isEmpty()) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) {
            *error =
                QCoreApplication::translate("dialkite", "cannot read the webhook's token %1: %2")
                    .arg(file, in.errorString());
            return false;
        }
        *token = in.read(4096).trimmed();
    } else {
        *token = qgetenv("DIALKITE_WEBHOOK_TOKEN").trimmed();
    }
    for (const char c : std::as_const(*token)) {
        if (uchar(c) < 0x21 || uchar(c) > 0x7E) {
            *error = QCoreApplication::translate(
                "dialkite", "the webhook's token may hold only visible ASCII characters");
            return false;
        }
    }
    return true;
}

bool readActionPlan(const Config &config, FrontEnd, OutputPlan *plan, QString *error)
{
    const QString section = QStringLiteral("ACTIONS");
    ActionPlan part;
    const QString program = config.value(section, QStringLiteral("ON_CALL"));
    part.program = splitProgram(program);
    if (part.program.isEmpty() && !program.trimmed().isEmpty()) {
        *error =
            QCoreApplication::translate("dialkite", "--on-call has a quote that is not closed: %1")
                .arg(program.left(80));
        return false;
    }
    part.webhook = config.value(section, QStringLiteral("WEBHOOK")).trimmed();
    if (part.program.isEmpty() && part.webhook.isEmpty())
        return true;
    if (!part.webhook.isEmpty()) {
        const QUrl url(part.webhook, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") ||
            url.host().isEmpty()) {
            *error =
                QCoreApplication::translate(
                    "dialkite", "the webhook is http://HOST[:PORT]/PATH or https://..., not '%1'")
                    .arg(part.webhook.left(80));
            return false;
        }
    }
    bool ok = true;
    const QString timeout = config.value(section, QStringLiteral("TIMEOUT"));
    const int seconds = timeout.isEmpty() ? 10 : timeout.toInt(&ok);
    if (!ok || seconds < 1 || seconds > 600) {
        *error = QCoreApplication::translate("dialkite",
                                             "[ACTIONS] TIMEOUT takes 1 to 600 seconds, not '%1'")
                     .arg(timeout.left(40));
        return false;
    }
    part.timeoutMs = seconds * 1000;
    if (!readRules(config, &part.rules, error) ||
        (!part.webhook.isEmpty() && !readToken(config, &part.token, error)))
        return false;
    part.spoolFolder = config.value(section, QStringLiteral("SPOOL"));
    if (part.spoolFolder.isEmpty())
        part.spoolFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/dialkite");
    plan->set(kAction, part);
    return true;
}

std::unique_ptr<Output> buildAction(const OutputPlan &plan, SharedOutputs &shared,
                                    const QString &box)
{
    const auto *part = plan.get<ActionPlan>(kAction);
    if (!part)
        return nullptr;
    // One link (its spools, its thread) for every box of the process.
    const auto link =
        shared.get<ActionLink>(kAction, [part] { return std::make_shared<ActionLink>(*part); });
    auto output = std::make_unique<ActionOutput>(link, box, link->firstToTell());
    // Started once its news has someone to tell it.
    if (!shared.find<void>(QStringLiteral("action-started"))) {
        shared.get<int>(QStringLiteral("action-started"), [] { return std::make_shared<int>(1); });
        link->start();
    }
    return output;
}

} // namespace

bool ActionRules::takes(const QJsonObject &call) const
{
    const auto text = [&call](const char *key) {
        return call.value(QLatin1String(key)).toString();
    };
    if (!lines.isEmpty()) {
        const QString line = text("line");
        bool found = false;
        for (const QString &wanted : lines)
            found = found || wanted == line || wanted.toInt() == line.toInt();
        if (!found)
            return false;
    }
    if (!boxes.isEmpty() && !boxes.contains(text("box")))
        return false;
    if (!statuses.isEmpty() && !statuses.contains(text("status")))
        return false;
    const bool known = !text("name").isEmpty();
    return contacts.isEmpty() || (contacts == u"known") == known;
}

QStringList splitProgram(const QString &text)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quote == u'\'') {
            if (c == u'\'')
                quote = QChar();
            else
                word += c;
        } else if (quote == u'"') {
            if (c == u'"')
                quote = QChar();
            else if (c == u'\\' && i + 1 < text.size() &&
                     (text[i + 1] == u'"' || text[i + 1] == u'\\'))
                word += text[++i];
            else
                word += c;
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == u'\'' || c == u'"') {
            quote = c;
            inWord = true;
        } else if (c == u'\\' && i + 1 < text.size()) {
            word += text[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (!quote.isNull())
        return {};
    if (inWord)
        words << word;
    return words;
}

QList<std::pair<QString, QString>> actionEnvironment(const QJsonObject &call)
{
    const auto text = [&call](const char *key) {
        return call.value(QLatin1String(key)).toString();
    };
    return {{QStringLiteral("DIALKITE_NUMBER"), text("number")},
            {QStringLiteral("DIALKITE_NAME"), text("name")},
            {QStringLiteral("DIALKITE_LINE"), text("line")},
            {QStringLiteral("DIALKITE_BOX"), text("box")},
            {QStringLiteral("DIALKITE_ID"), text("id")},
            {QStringLiteral("DIALKITE_STATUS"), text("status")},
            {QStringLiteral("DIALKITE_DIGITS"), text("digits")},
            {QStringLiteral("DIALKITE_TIME"), text("time")},
            {QStringLiteral("DIALKITE_PC_TIME"), text("pc_time")},
            {QStringLiteral("DIALKITE_COLOR"), text("color")},
            {QStringLiteral("DIALKITE_VARIANT"), text("variant")}};
}

OutputKind actionKind()
{
    const QString section = QStringLiteral("ACTIONS");
    OutputKind kind;
    kind.name = kAction;
    kind.section = section;
    kind.keys = {
        QStringLiteral("ON_CALL"), QStringLiteral("WEBHOOK"),  QStringLiteral("TOKEN_FILE"),
        QStringLiteral("TIMEOUT"), QStringLiteral("LINES"),    QStringLiteral("BOXES"),
        QStringLiteral("STATUS"),  QStringLiteral("CONTACTS"), QStringLiteral("SPOOL")};
    const QStringList both{QStringLiteral("monitor"), QStringLiteral("collect")};
    kind.options = {
        {both,
         {QStringLiteral("--on-call"),
          QStringLiteral("\"PROGRAM ARG...\""),
          QStringLiteral("run PROGRAM for each call (never through a shell), the call in\n"
                         "its environment: DIALKITE_NUMBER, DIALKITE_NAME, DIALKITE_LINE,\n"
                         "DIALKITE_BOX, DIALKITE_ID, DIALKITE_STATUS, ... ([ACTIONS] ON_CALL)"),
          false,
          {},
          false,
          section,
          QStringLiteral("ON_CALL")}},
        {both,
         {QStringLiteral("--webhook"),
          QStringLiteral("URL"),
          QStringLiteral("post each call as JSON to URL (Idempotency-Key: its id; a bearer\n"
                         "token from [ACTIONS] TOKEN_FILE or DIALKITE_WEBHOOK_TOKEN), kept\n"
                         "and tried again until the receiver takes it"),
          false,
          {},
          false,
          section,
          QStringLiteral("WEBHOOK")}},
        {both,
         {QStringLiteral("--webhook-token-file"),
          QStringLiteral("FILE"),
          QStringLiteral("the webhook's bearer token ([ACTIONS] TOKEN_FILE)"),
          false,
          {},
          false,
          section,
          QStringLiteral("TOKEN_FILE")}},
        {both,
         {QStringLiteral("--action-spool"),
          QStringLiteral("FOLDER"),
          QStringLiteral("where calls wait for the actions (default beside the history)"),
          false,
          {},
          false,
          section,
          QStringLiteral("SPOOL")}},
    };
    kind.role = OutputRole::Durable;
    kind.read = readActionPlan;
    kind.build = buildAction;
    return kind;
}

} // namespace dialkite

#include "action.moc"
