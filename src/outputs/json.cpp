#include "json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace dialkite::json {

namespace {

// Constant at compile time: the registry is made during static initialisation.
constexpr QLatin1StringView kLinesName("json");

} // namespace

QByteArray value(const QJsonValue &value)
{
    // An array of one is the smallest document Qt's writer takes.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray string(const QString &text)
{
    return value(text);
}

QByteArray object(const Fields &fields)
{
    QByteArray out = "{";
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += string(fields[i].first) + ": " + value(fields[i].second);
    }
    return out + '}';
}

namespace {

void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendValue(QByteArray &out, const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        appendString(out, value.toString());
        return;
    case QJsonValue::Double:
        if (const double number = value.toDouble(); number == double(qint64(number)))
            out += QByteArray::number(qint64(number));
        else
            out += json::value(value);
        return;
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        return;
    default:
        out += json::value(value);
    }
}

} // namespace

QByteArray compact(Fields fields)
{
    std::sort(fields.begin(), fields.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    QByteArray out;
    out.reserve(256);
    out += '{';
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        appendString(out, fields[i].first);
        out += ':';
        appendValue(out, fields[i].second);
    }
    out += '}';
    return out;
}

QJsonObject toObject(const Fields &fields)
{
    QJsonObject out;
    for (const auto &[key, v] : fields)
        out.insert(key, v);
    return out;
}

QString colourName(CellColour colour)
{
    switch (colour) {
    case CellColour::Blue:
        return QStringLiteral("#0000ff");
    case CellColour::Red:
        return QStringLiteral("#ff0000");
    case CellColour::Default:
        break;
    }
    return {};
}

QString statusName(NumberStatus status)
{
    switch (status) {
    case NumberStatus::Withheld:
        return QStringLiteral("withheld");
    case NumberStatus::PublicPhone:
        return QStringLiteral("public_phone");
    case NumberStatus::NotCollected:
        return QStringLiteral("not_collected");
    case NumberStatus::Number:
        break;
    }
    return QStringLiteral("number");
}

namespace {

QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

struct FieldsOf {
    Fields operator()(const events::CallerId &e) const
    {
        Fields fields = {{QStringLiteral("event"), QStringLiteral("call")},
                         {QStringLiteral("row"), e.row},
                         {QStringLiteral("line"), latin1(e.line)},
                         {QStringLiteral("time"), e.time.value_or(QString())},
                         {QStringLiteral("number"), e.number},
                         {QStringLiteral("color"), colourName(e.colour)}};
        if (!e.name.isEmpty())
            fields.append({QStringLiteral("name"), e.name});
        return fields;
    }
    Fields operator()(const events::Identification &e) const
    {
        return {{QStringLiteral("event"), QStringLiteral("identification")},
                {QStringLiteral("name"), e.name},
                {QStringLiteral("version"), e.version}};
    }
    Fields operator()(const events::DetectionState &e) const
    {
        return {{QStringLiteral("event"), QStringLiteral("detection")},
                {QStringLiteral("state"), e.state}};
    }
    Fields operator()(const events::OutgoingCallEnded &) const
    {
        return {{QStringLiteral("event"), QStringLiteral("call_end")}};
    }
    template <typename Other> Fields operator()(const Other &) const { return {}; }
};

} // namespace

Fields eventFields(const Event &event)
{
    return std::visit(FieldsOf{}, event);
}

LinesOutput::LinesOutput(QString box, Sink sink, QObject *parent)
    : Output(kLinesName, parent)
    , m_box(std::move(box))
    , m_sink(std::move(sink))
{}

void LinesOutput::consume(const Event &event)
{
    if (const auto *published = std::get_if<events::Published>(&event)) {
        m_sink(QJsonDocument(published->event).toJson(QJsonDocument::Compact), event);
        return;
    }
    if (const auto *status = std::get_if<events::BoxStatus>(&event)) {
        m_sink(object({{QStringLiteral("event"), QStringLiteral("status")},
                       {QStringLiteral("box"), status->box},
                       {QStringLiteral("state"), !status->known   ? QStringLiteral("unknown")
                                                 : status->online ? QStringLiteral("online")
                                                                  : QStringLiteral("offline")}}),
               event);
        return;
    }
    Fields fields = eventFields(event);
    if (fields.isEmpty())
        return;
    if (!m_box.isEmpty())
        fields.insert(1, {QStringLiteral("box"), m_box});
    m_sink(object(fields), event);
}

} // namespace dialkite::json

namespace dialkite {

namespace {

// Constant at compile time: the registry is made during static initialisation.
constexpr QLatin1StringView kLines("json"); // the printed lines, as the kind is named

} // namespace

OutputKind linesKind()
{
    OutputKind kind;
    kind.name = kLines;
    kind.role = OutputRole::Follower;
    // Whenever a front end prints lines.
    kind.build = [](const OutputPlan &plan, SharedOutputs &,
                    const QString &box) -> std::unique_ptr<Output> {
        if (!plan.hooks.printLine)
            return nullptr;
        return std::make_unique<json::LinesOutput>(box, plan.hooks.printLine);
    };
    return kind;
}

} // namespace dialkite
