#include "json.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace dialkite::cli {

QByteArray jsonString(const QString &text)
{
    // Qt's writer escapes what JSON requires and writes every character, those outside
    // the Basic Multilingual Plane included, as UTF-8. An array of one is the smallest
    // document it writes.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
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
