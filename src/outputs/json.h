#pragma once

// The one JSON serializer of the console's outputs: the runner's screen, the monitor's
// event lines and everything built on them. Values are written by Qt's JSON classes
// (valid UTF-8, every character whole); objects keep their keys in the order given, so
// the lines read as they always have: {"event": "call", "row": 1, ...}.

#include "output.h"
#include "registry.h"

#include "console/events.h"
#include "console/grid.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

namespace dialkite::json {

using Fields = QList<std::pair<QString, QJsonValue>>;

// One JSON value in UTF-8.
QByteArray value(const QJsonValue &value);
// A JSON string literal in UTF-8.
QByteArray string(const QString &text);
// {"key": value, ...} on one line, in the order of `fields`.
QByteArray object(const Fields &fields);
// The same as Qt's compact JSON of the object (keys in their sorted order, no blanks),
// written in one pass: what is sent for every event.
QByteArray compact(Fields fields);
QJsonObject toObject(const Fields &fields);

// A cell colour as the outputs name it: "", "#0000ff" or "#ff0000".
QString colourName(CellColour colour);
// A number's status as the outputs name it: "number", "withheld", "public_phone",
// "not_collected".
QString statusName(NumberStatus status);

// The fields of an event as the monitor prints it, "event" first; empty for the
// events the monitor does not print (bytes, logged records, operator steps, ports).
Fields eventFields(const Event &event);

// The monitor's lines as an output: one object a line for each event it prints, with
// "box" after "event" for a box of a rig; `sink` writes the line. A collector's lines:
// each event as its publisher sent it, and each box's status.
class LinesOutput : public Output {
    Q_OBJECT
public:
    using Sink = std::function<void(const QByteArray &line, const Event &event)>;
    LinesOutput(QString box, Sink sink, QObject *parent = nullptr);
    void consume(const Event &event) override;
    QString finish(QDeadlineTimer) override { return {}; }

private:
    QString m_box;
    Sink m_sink;
};

} // namespace dialkite::json

namespace dialkite {

// The printed lines as a kind: a monitor's and a collector's standard output, each line
// once what it tells is kept.
OutputKind linesKind();

} // namespace dialkite
