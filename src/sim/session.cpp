#include "session.h"

#include "console/notation.h"

#include <cmath>

namespace dialkite::sim {

namespace {

std::optional<int> number(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

bool allDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return !text.isEmpty();
}

} // namespace

Session::Session(Box &box, quint32 seed, QObject *parent)
    : QObject(parent)
    , m_box(box)
    , m_random(seed)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &Session::runQueue);
    m_randomTimer.setSingleShot(true);
    connect(&m_randomTimer, &QTimer::timeout, this, [this] {
        QString why;
        if (!m_box.call(randomCall(), &why))
            Q_EMIT problem(why);
        scheduleRandom();
    });
}

QString Session::help()
{
    return QStringLiteral(
        "commands: call LINE NUMBER [red] | withheld LINE [red] | public LINE [red] |\n"
        "          unavailable LINE [red] | end LINE | burst N [LINE] | raw BYTES |\n"
        "          noise N | wait MS | random RATE | variant N | status | quit");
}

void Session::submit(const QString &line)
{
    m_queue.append(line);
    if (!m_wait.isActive())
        runQueue();
}

void Session::endOfInput()
{
    m_inputEnded = true;
    if (!m_wait.isActive() && m_queue.isEmpty())
        Q_EMIT done();
}

void Session::runQueue()
{
    while (!m_queue.isEmpty() && !m_wait.isActive()) {
        const QString line = m_queue.takeFirst();
        const QString error = execute(line);
        if (!error.isEmpty())
            Q_EMIT problem(QStringLiteral("%1: %2").arg(line.trimmed(), error));
    }
    if (m_inputEnded && m_queue.isEmpty() && !m_wait.isActive())
        Q_EMIT done();
}

QString Session::execute(const QString &text)
{
    const QString line = text.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
        return {};
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString &word = words[0];
    const int lines = lineCount(m_box.variant());
    QString why;

    if (word == QLatin1String("raw")) {
        const auto bytes = parseNotation(line.mid(4).toLatin1(), &why);
        if (!bytes)
            return why;
        m_box.sendRaw(*bytes);
        return {};
    }
    const bool red = words.size() > 1 && words.back() == QLatin1String("red");
    const qsizetype arguments = words.size() - 1 - (red ? 1 : 0);
    const auto lineArgument = [&]() {
        return arguments >= 1 ? number(words[1], 1, lines) : std::nullopt;
    };

    if (word == QLatin1String("call")) {
        const auto l = lineArgument();
        if (!l || arguments != 2 || !allDigits(words[2]) || words[2].size() > 12)
            return QStringLiteral("call LINE NUMBER: line 1-%1, 1 to 12 digits").arg(lines);
        return m_box.call({*l, Caller::Number, words[2].toLatin1(), red}, &why) ? QString() : why;
    }
    const std::pair<const char *, Caller> statuses[] = {{"withheld", Caller::Withheld},
                                                        {"public", Caller::PublicPhone},
                                                        {"unavailable", Caller::NotCollected}};
    for (const auto &[name, caller] : statuses) {
        if (word != QLatin1String(name))
            continue;
        const auto l = lineArgument();
        if (!l || arguments != 1)
            return QStringLiteral("%1 LINE: line 1-%2").arg(word).arg(lines);
        return m_box.call({*l, caller, {}, red}, &why) ? QString() : why;
    }
    if (word == QLatin1String("end")) {
        const auto l = lineArgument();
        if (!l || arguments != 1)
            return QStringLiteral("end LINE: line 1-%1").arg(lines);
        return m_box.endCall(*l, &why) ? QString() : why;
    }
    if (word == QLatin1String("burst")) {
        const auto count = words.size() >= 2 ? number(words[1], 1, 100000) : std::nullopt;
        const auto l = words.size() == 3 ? number(words[2], 1, lines) : std::optional<int>(0);
        if (!count || !l || words.size() > 3)
            return QStringLiteral("burst N [LINE]");
        QList<CallEvent> events;
        for (int i = 0; i < *count; ++i) {
            const QByteArray digits = QByteArray::number(10000000 + (i % 90000000));
            events.append({*l ? *l : 1 + i % qMin(lines, 4), Caller::Number, digits, red});
        }
        return m_box.burst(events, &why) ? QString() : why;
    }
    if (word == QLatin1String("random")) {
        bool ok = false;
        const double rate = words.size() == 2 ? words[1].toDouble(&ok) : 0.0;
        if (!ok || rate <= 0 || rate > 1000)
            return QStringLiteral("random RATE (above 0, at most 1000 a second)");
        startRandom(rate);
        return {};
    }
    if (word == QLatin1String("noise")) {
        const auto count = words.size() == 2 ? number(words[1], 1, 100000) : std::nullopt;
        if (!count)
            return QStringLiteral("noise N");
        QByteArray bytes(*count, '\0');
        for (char &b : bytes)
            b = char(m_random.bounded(256));
        m_box.sendRaw(bytes);
        return {};
    }
    if (word == QLatin1String("wait")) {
        const auto ms = words.size() == 2 ? number(words[1], 0, 24 * 3600 * 1000) : std::nullopt;
        if (!ms)
            return QStringLiteral("wait MS");
        m_wait.start(*ms);
        return {};
    }
    if (word == QLatin1String("variant")) {
        const auto v =
            words.size() == 2 ? number(words[1], 1, variantTable().highest()) : std::nullopt;
        if (!v)
            return QStringLiteral("variant N: 1-%1").arg(variantTable().highest());
        m_box.setVariant(*v);
        Q_EMIT note(QStringLiteral("now variant %1").arg(*v));
        return {};
    }
    if (word == QLatin1String("status")) {
        QStringList calls;
        const auto active = m_box.activeCalls();
        for (auto it = active.begin(); it != active.end(); ++it)
            calls += QStringLiteral("%1:%2").arg(it.key()).arg(QString::fromLatin1(it.value()));
        Q_EMIT note(QStringLiteral("variant %1, detection %2, volume %3, identified %4, "
                                   "dialled calls [%5], acknowledgements waited for %6, missed %7")
                        .arg(m_box.variant())
                        .arg(m_box.detection())
                        .arg(m_box.volume())
                        .arg(m_box.identified() ? 1 : 0)
                        .arg(calls.join(QLatin1Char(' ')))
                        .arg(m_box.pendingAcknowledgements())
                        .arg(m_box.missingAcknowledgements()));
        return {};
    }
    if (word == QLatin1String("quit")) {
        Q_EMIT quitRequested();
        return {};
    }
    if (word == QLatin1String("help")) {
        Q_EMIT note(help());
        return {};
    }
    return QStringLiteral("unknown command (help lists them)");
}

void Session::startRandom(double perSecond)
{
    m_perSecond = perSecond;
    scheduleRandom();
}

// Exponentially distributed gaps: events arrive at random, `m_perSecond` on average.
void Session::scheduleRandom()
{
    if (m_perSecond <= 0)
        return;
    const double gap = -std::log(1.0 - m_random.generateDouble()) / m_perSecond;
    m_randomTimer.start(int(qMin(gap * 1000.0, 3600.0 * 1000.0)));
}

CallEvent Session::randomCall()
{
    static const char *const shapes[] = {"02", "02", "031", "010", "", "1", "70"};
    static const int lengths[] = {9, 10, 10, 11, 8, 11, 12};
    const Format format = m_box.format();
    CallEvent event;
    event.line = 1 + int(m_random.bounded(format == Format::MultiLine ? 16 : 4));
    event.red = m_random.bounded(4) == 0;
    const int roll = int(m_random.bounded(100));
    const bool statusFits = format != Format::Zuraza || event.line != 4;
    if (roll < 8 && format != Format::Zuraza) {
        event.caller = Caller::Withheld;
    } else if (roll < 13 && statusFits) {
        event.caller = Caller::PublicPhone;
    } else if (roll < 17 && statusFits) {
        event.caller = Caller::NotCollected;
    } else {
        const int shape = int(m_random.bounded(7));
        QByteArray digits = shapes[shape];
        if (digits.isEmpty())
            digits.append(char('2' + m_random.bounded(8)));
        while (digits.size() < lengths[shape])
            digits.append(char('0' + m_random.bounded(10)));
        event.digits = digits;
    }
    return event;
}

} // namespace dialkite::sim
