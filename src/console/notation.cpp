#include "notation.h"

namespace dialkite {

namespace {

std::optional<int> hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

QString controlName(char16_t u)
{
    if (u == 0x02)
        return QStringLiteral("<STX>");
    if (u == 0x03)
        return QStringLiteral("<ETX>");
    return QStringLiteral("<%1>").arg(int(u), 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

std::optional<QByteArray> parseNotation(const QByteArray &text, QString *error, int firstColumn)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const int column = int(i) + firstColumn;
        if (c != '<') {
            if (c < 0x20 || c > 0x7E) {
                *error = QStringLiteral("column %1: byte 0x%2 must be written as <HH>")
                             .arg(column)
                             .arg(quint8(c), 2, 16, QLatin1Char('0'));
                return std::nullopt;
            }
            bytes.append(c);
            continue;
        }
        // A view of the rest, not a copy: a long line of "<<" stays linear.
        const QByteArrayView rest = QByteArrayView(text).sliced(i);
        if (rest.startsWith("<<")) {
            bytes.append('<');
            i += 1;
        } else if (rest.startsWith("<STX>") || rest.startsWith("<ETX>")) {
            bytes.append(rest[1] == 'S' ? char(0x02) : char(0x03));
            i += 4;
        } else if (rest.size() >= 4 && rest[3] == '>' && hexDigit(rest[1]) && hexDigit(rest[2])) {
            bytes.append(char(*hexDigit(rest[1]) * 16 + *hexDigit(rest[2])));
            i += 3;
        } else {
            *error = QStringLiteral("column %1: '<' starts neither <HH>, <STX>, <ETX> nor <<")
                         .arg(column);
            return std::nullopt;
        }
    }
    return bytes;
}

namespace {

// Characters that steer a terminal or the direction of the text around them instead of
// being read: C1 controls, and the bidirectional marks, embeddings, overrides and isolates
// (a number could otherwise show reversed, or hide what follows it).
bool invisibleControl(char16_t u)
{
    return (u >= 0x80 && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F ||
           (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

} // namespace

QString visibleControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F)
            shown += controlName(u);
        else if (invisibleControl(u))
            shown += QStringLiteral("<U+%1>").arg(u, 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += c;
    }
    return shown;
}

QString notation(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char byte : bytes) {
        const quint8 b = quint8(byte);
        if (b == '<')
            out += QStringLiteral("<<");
        else if (b < 0x20 || b > 0x7E)
            out += controlName(b);
        else
            out += QLatin1Char(byte);
    }
    return out;
}

} // namespace dialkite
