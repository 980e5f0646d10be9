#include "json.h"

namespace dialkite::cli {

QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\') {
            out += '\\';
            out += char(u);
        } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
            out += QByteArrayLiteral("\\u00") + QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            out += QString(c).toUtf8();
        }
    }
    return out + '"';
}

QByteArray colourName(CellColour colour)
{
    switch (colour) {
    case CellColour::Blue:
        return "#0000ff";
    case CellColour::Red:
        return "#ff0000";
    case CellColour::Default:
        break;
    }
    return "";
}

} // namespace dialkite::cli
