#include "records.h"

#include "console/bytes.h"

namespace dialkite::sim {

namespace {

QByteArray blanks(qsizetype n)
{
    return QByteArray(qMax<qsizetype>(n, 0), ' ');
}

// Left-aligned in `width` places, blank filled.
QByteArray field(const QByteArray &text, qsizetype width)
{
    return text.left(width) + blanks(width - text.size());
}

QByteArray lineText(Format format, int line)
{
    if (format == Format::MultiLine)
        return QByteArray::number(line).rightJustified(2, '0');
    return QByteArray::number(line);
}

QByteArray timeField(const QDateTime &when)
{
    return when.toString(QStringLiteral("MMddhhmm")).toLatin1();
}

char statusLetter(Caller caller)
{
    switch (caller) {
    case Caller::Withheld:
        return 'P';
    case Caller::PublicPhone:
        return 'C';
    case Caller::NotCollected:
        return 'O';
    case Caller::Number:
        break;
    }
    return 0;
}

// What the number field holds: the digits, or the format's status code.
QByteArray numberField(Format format, const CallEvent &event)
{
    if (event.caller == Caller::Number)
        return event.digits;
    const QByteArray letter(1, statusLetter(event.caller));
    return format == Format::Zud ? "@" + letter : letter;
}

// Each byte of the line's text carried in the line's range, or nullopt where a byte
// does not fit it.
std::optional<QByteArray> zurazaLine(int line, const QByteArray &text)
{
    const quint8 offset = kZurazaOffsets[line - 1];
    const int highest = line == 1 ? 0x4F : line == 4 ? 0x3E : 0x4F;
    QByteArray bytes(1, char(kZurazaFirst + offset));
    for (const char c : text) {
        if (quint8(c) < 0x10 || quint8(c) > highest || quint8(c) == kZurazaEnd)
            return std::nullopt;
        bytes.append(char(quint8(c) + offset));
    }
    bytes.append(char(kZurazaEnd + offset));
    return bytes;
}

} // namespace

Format formatOf(int variant)
{
    const VariantInfo *info = variantTable().find(VariantId(variant));
    return info ? info->format : Format::Default;
}

bool knownVariant(int variant)
{
    return variant >= 1 && variantTable().find(VariantId(variant)) != nullptr;
}

namespace {

const VariantInfo *entry(int variant)
{
    return variantTable().find(VariantId(variant));
}

const SimulatedRecords *simulated(int variant)
{
    const VariantInfo *info = entry(variant);
    return info ? info->simulated : nullptr;
}

// The number as SimulatedRecords take it: the digits, or the status letter.
QByteArray simulatedNumber(const CallEvent &event)
{
    return event.caller == Caller::Number ? event.digits
                                          : QByteArray(1, statusLetter(event.caller));
}

} // namespace

int lineCount(int variant)
{
    const VariantInfo *info = entry(variant);
    return info ? info->lines : 4;
}

bool hasCallEnd(int variant)
{
    if (const SimulatedRecords *records = simulated(variant))
        return records->callEnd != nullptr;
    const Format format = formatOf(variant);
    return format != Format::MultiLine && format != Format::Zuraza;
}

bool reprogrammableTo(int variant)
{
    const VariantInfo *info = entry(variant);
    return info && info->reprogrammable();
}

Identity defaultIdentity(int variant)
{
    const VariantInfo *info = entry(variant);
    const QByteArray name = info ? info->deviceName.toLatin1() : QByteArray("DK-?");
    switch (formatOf(variant)) {
    case Format::Rez:
        return {name + "0001", "V1.0"}; // 8 and 4 places
    case Format::Rorivu:
    case Format::Zud:
        return {name + "001", "V10"}; // 7 and 3 places
    case Format::Zuraza:
        return {name, "V1.00"};
    case Format::Default:
    case Format::MultiLine:
        break;
    }
    return {name + "0001", "V10"}; // 8 and 3 places
}

std::optional<QByteArray> callRecord(int variant, const CallEvent &event, QString *why)
{
    if (event.line < 1 || event.line > lineCount(variant)) {
        *why = QStringLiteral("line %1 does not exist on this box (1 to %2)")
                   .arg(event.line)
                   .arg(lineCount(variant));
        return std::nullopt;
    }
    const Format format = formatOf(variant);
    const QByteArray line = lineText(format, event.line);
    if (const SimulatedRecords *records = simulated(variant))
        return records->call(line, simulatedNumber(event), event.red);
    const QByteArray number = numberField(format, event);
    switch (format) {
    case Format::Default:
        // STX, line, "I", number field from position 4, ETX.
        return STX + line + 'I' + field(number, 16) + ETX;
    case Format::MultiLine:
        // STX, two-character line, "I", number field from position 5, ETX.
        return STX + line + 'I' + field(number, 16) + ETX;
    case Format::Rez:
        // STX, line, "I" or "m", MMDDhhmm, number field from position 12, ETX at 30.
        return STX + line + (event.red ? 'm' : 'I') + timeField(event.when) + field(number, 18) +
               ETX;
    case Format::Zud:
        // STX, line, "I", MMDDhhmm, number field from position 12, ETX at 30.
        return STX + line + 'I' + timeField(event.when) + field(number, 18) + ETX;
    case Format::Rorivu:
        // STX, "I" or "M", line, MMDDhhmm, the number running straight into "E".
        return STX + QByteArray(1, event.red ? 'M' : 'I') + line + timeField(event.when) + number +
               'E';
    case Format::Zuraza:
        if (event.caller == Caller::Withheld) {
            *why = QStringLiteral("this format has no withheld marker");
            return std::nullopt;
        }
        if (const auto bytes = zurazaLine(event.line, number))
            return bytes;
        *why = QStringLiteral("line %1 cannot carry \"%2\" in this format")
                   .arg(event.line)
                   .arg(QString::fromLatin1(number));
        return std::nullopt;
    }
    return std::nullopt;
}

QByteArray identificationRecord(int variant, const Identity &identity)
{
    if (const SimulatedRecords *records = simulated(variant))
        return records->identification(identity.name, identity.version);
    switch (formatOf(variant)) {
    case Format::Default:
    case Format::MultiLine:
        // positions 4-9 unused, 10-17 name, 18-20 version
        return STX + QByteArray(" P") + blanks(6) + field(identity.name, 8) +
               field(identity.version, 3) + ETX;
    case Format::Rez:
        // positions 4-17 unused, 18-25 name, 26-29 version, ETX at 30
        return STX + QByteArray(" P") + blanks(14) + field(identity.name, 8) +
               field(identity.version, 4) + ETX;
    case Format::Zud:
        // positions 4-17 unused, 18-24 name, 25-27 version, blanks to 29, ETX
        return STX + QByteArray(" P") + blanks(14) + field(identity.name, 7) +
               field(identity.version, 3) + blanks(2) + ETX;
    case Format::Rorivu:
        // positions 3-11 unused, 12-18 name, 19-21 version, "E"
        return STX + QByteArray("P") + blanks(9) + field(identity.name, 7) +
               field(identity.version, 3) + 'E';
    case Format::Zuraza:
        // STX, version and name, ETX; the console shows the five characters after STX.
        return STX + identity.version + identity.name + ETX;
    }
    return {};
}

std::optional<QByteArray> callEndRecord(int variant, int line)
{
    const Format format = formatOf(variant);
    const QByteArray l = lineText(format, line);
    if (const SimulatedRecords *records = simulated(variant))
        return records->callEnd ? std::optional<QByteArray>(records->callEnd(l)) : std::nullopt;
    switch (format) {
    case Format::Default:
    case Format::Rez:
    case Format::Zud:
        return STX + l + 'S' + ETX;
    case Format::Rorivu:
        return STX + QByteArray("S") + l + 'E';
    case Format::MultiLine:
    case Format::Zuraza:
        break;
    }
    return std::nullopt;
}

std::optional<QByteArray> acknowledgementOf(int variant, const CallEvent &event)
{
    if (const SimulatedRecords *records = simulated(variant)) {
        const QByteArray answer =
            records->acknowledgement
                ? records->acknowledgement(lineText(formatOf(variant), event.line),
                                           simulatedNumber(event))
                : QByteArray();
        return answer.isEmpty() ? std::nullopt : std::optional<QByteArray>(answer);
    }
    switch (formatOf(variant)) {
    case Format::Rez:
        // STX, the line, "I", blanks to 29, ETX: the REZ command frame.
        return STX + QByteArray::number(event.line) + 'I' + blanks(26) + ETX;
    case Format::Rorivu:
        return QByteArray("SIE");
    default:
        return std::nullopt;
    }
}

QByteArray detectionRecord(int setting)
{
    return STX + QByteArray("ax") + QByteArray::number(setting) + ETX;
}

} // namespace dialkite::sim
