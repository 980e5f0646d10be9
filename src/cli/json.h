#pragma once

#include <QByteArray>
#include <QString>

namespace dialkite::cli {

// A JSON string literal: quotes, backslashes and control characters (C0, DEL and C1)
// escaped, everything else as UTF-8.
QByteArray jsonString(const QString &text);

} // namespace dialkite::cli
