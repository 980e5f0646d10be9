#include "webguard.h"

#include <QDate>
#include <QHostAddress>
#include <QRandomGenerator>
#include <algorithm>

namespace dialkite {

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

// The name in a Host header: without its port, brackets kept round an IPv6 address,
// lower case, without a final dot.
std::string hostName(const std::string &host)
{
    std::string name = host;
    if (!name.empty() && name.front() == '[') {
        const size_t close = name.find(']');
        name = close == std::string::npos ? std::string() : name.substr(0, close + 1);
    } else if (const size_t colon = name.find(':'); colon != std::string::npos) {
        name = name.substr(0, colon);
    }
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    return lower(name);
}

// An address as a Host header writes it: IPv6 ones in brackets.
std::string asHost(const QString &address)
{
    const QHostAddress parsed(address);
    if (!parsed.isNull() && parsed.protocol() == QAbstractSocket::IPv6Protocol)
        return lower((u'[' + parsed.toString() + u']').toStdString());
    return lower(address.toStdString());
}

// A parameter's value, when the request gives it (the first if it is given twice).
std::optional<QString> given(const std::multimap<std::string, std::string> &params,
                             const char *name)
{
    const auto found = params.find(name);
    if (found == params.end())
        return std::nullopt;
    return QString::fromStdString(found->second).trimmed();
}

QString wrong(const char *name, const QString &value, const QString &why)
{
    QString shown = value.left(40);
    if (value.size() > 40)
        shown += u'…';
    return QStringLiteral("%1=%2: %3").arg(QLatin1String(name), shown, why);
}

// A whole number from `low` to `high`.
std::optional<int> whole(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

bool readLine(const std::multimap<std::string, std::string> &params, QString *line, QString *error)
{
    const auto text = given(params, "line");
    if (!text || text->isEmpty())
        return true;
    const auto number = whole(*text, 1, 16);
    if (!number) {
        *error = wrong("line", *text, QStringLiteral("a line is a number from 1 to 16"));
        return false;
    }
    *line = QString::number(*number);
    return true;
}

bool readText(const std::multimap<std::string, std::string> &params, const char *name,
              QString *value, QString *error)
{
    const auto text = given(params, name);
    if (!text)
        return true;
    if (text->size() > 64) {
        *error = wrong(name, *text, QStringLiteral("at most 64 characters"));
        return false;
    }
    *value = *text;
    return true;
}

bool readPeriod(const std::multimap<std::string, std::string> &params, HistoryFilter *filter,
                QString *error)
{
    for (const char *name : {"since", "until"}) {
        const auto text = given(params, name);
        if (!text || text->isEmpty())
            continue;
        const QDate date = QDate::fromString(*text, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid()) {
            *error = wrong(name, *text, QStringLiteral("a date is written YYYY-MM-DD"));
            return false;
        }
        if (name[0] == 's')
            filter->since = date.startOfDay();
        else
            filter->until = date.endOfDay();
    }
    if (filter->since.isValid() && filter->until.isValid() && filter->since > filter->until) {
        *error = QStringLiteral("since=%1 is after until=%2: the period is backwards")
                     .arg(filter->since.date().toString(Qt::ISODate),
                          filter->until.date().toString(Qt::ISODate));
        return false;
    }
    return true;
}

} // namespace

HostCheck::HostCheck(const QString &boundAddress, const QStringList &extra)
    : m_names{"127.0.0.1", "localhost", "[::1]"}
{
    const QHostAddress bound(boundAddress);
    m_anyLocal = bound == QHostAddress::AnyIPv4 || bound == QHostAddress::AnyIPv6 ||
                 bound == QHostAddress::Any;
    m_names.push_back(asHost(boundAddress));
    for (const QString &name : extra)
        if (!name.trimmed().isEmpty())
            m_names.push_back(hostName(asHost(name.trimmed())));
}

bool HostCheck::allowed(const std::string &host, const std::string &local) const
{
    const std::string name = hostName(host);
    if (name.empty())
        return false;
    if (std::find(m_names.begin(), m_names.end(), name) != m_names.end())
        return true;
    // Bound to every address: the one this connection came in on is the page's own.
    return m_anyLocal && !local.empty() && name == asHost(QString::fromStdString(local));
}

std::string Sessions::open(WebClock::time_point now)
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    std::string id =
        QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex().toStdString();
    std::lock_guard lock(m_mutex);
    while (m_order.size() >= kMost) {
        m_ends.erase(m_order.front());
        m_order.pop_front();
    }
    m_ends[id] = now + kLifetime;
    m_order.push_back(id);
    return id;
}

bool Sessions::valid(const std::string &id, WebClock::time_point now)
{
    if (id.empty())
        return false;
    std::lock_guard lock(m_mutex);
    const auto found = m_ends.find(id);
    return found != m_ends.end() && now < found->second;
}

bool SignInLimit::mayTry(const std::string &address, WebClock::time_point now)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_wrong.find(address);
    if (found == m_wrong.end())
        return true;
    auto &times = found->second;
    while (!times.empty() && now - times.front() >= std::chrono::minutes(1))
        times.pop_front();
    if (times.empty()) {
        m_wrong.erase(found);
        return true;
    }
    return times.size() < size_t(kWrongAMinute);
}

void SignInLimit::wrong(const std::string &address, WebClock::time_point now)
{
    std::lock_guard lock(m_mutex);
    if (m_wrong.size() >= kAddresses && !m_wrong.count(address)) {
        // Forget the addresses whose last wrong token is a minute old; if every one is
        // recent, the table is full of strangers: start again rather than grow.
        std::erase_if(m_wrong, [&](const auto &entry) {
            return now - entry.second.back() >= std::chrono::minutes(1);
        });
        if (m_wrong.size() >= kAddresses)
            m_wrong.clear();
    }
    auto &times = m_wrong[address];
    times.push_back(now);
    while (times.size() > size_t(kWrongAMinute))
        times.pop_front();
}

std::string cookieValue(const std::string &header, const std::string &name)
{
    size_t at = 0;
    while (at < header.size()) {
        size_t end = header.find(';', at);
        if (end == std::string::npos)
            end = header.size();
        size_t start = header.find_first_not_of(' ', at);
        if (start < end && header.compare(start, name.size(), name) == 0 &&
            start + name.size() < end && header[start + name.size()] == '=')
            return header.substr(start + name.size() + 1, end - start - name.size() - 1);
        at = end + 1;
    }
    return {};
}

std::optional<CallQuery> callQuery(const std::multimap<std::string, std::string> &params,
                                   QString *error)
{
    CallQuery query;
    HistoryFilter &filter = query.filter;
    if (const auto format = given(params, "format")) {
        if (*format != u"csv" && *format != u"json") {
            *error = wrong("format", *format, QStringLiteral("csv or json"));
            return std::nullopt;
        }
        query.csv = *format == u"csv";
    }
    if (!readText(params, "number", &filter.number, error) ||
        !readText(params, "box", &filter.box, error) || !readLine(params, &filter.line, error) ||
        !readPeriod(params, &filter, error))
        return std::nullopt;
    filter.limit = query.csv ? 0 : 100;
    if (const auto limit = given(params, "limit"); limit && !query.csv) {
        const auto value = whole(*limit, 1, kLargestCallPage);
        if (!value) {
            *error = wrong("limit", *limit,
                           QStringLiteral("a number from 1 to %1").arg(kLargestCallPage));
            return std::nullopt;
        }
        filter.limit = *value;
    }
    if (const auto offset = given(params, "offset")) {
        const auto value = whole(*offset, 0, std::numeric_limits<int>::max());
        if (!value) {
            *error = wrong("offset", *offset, QStringLiteral("a number from 0 on"));
            return std::nullopt;
        }
        filter.offset = *value;
    }
    return query;
}

std::optional<QString> lineParameter(const std::multimap<std::string, std::string> &params,
                                     QString *error)
{
    QString line;
    if (!readLine(params, &line, error))
        return std::nullopt;
    return line;
}

} // namespace dialkite
