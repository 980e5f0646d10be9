#pragma once

#include "console/grid.h"

#include <QByteArray>
#include <QString>

namespace dialkite::cli {

// A JSON string literal in UTF-8.
QByteArray jsonString(const QString &text);

// A cell colour as the JSON outputs name it: "", "#0000ff" or "#ff0000".
QByteArray colourName(CellColour colour);

} // namespace dialkite::cli
