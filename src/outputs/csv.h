#pragma once

// CSV as spreadsheets read it: a field with a comma, a quote or a line break is quoted,
// its quotes doubled; lines end with CRLF. Files for people start with a UTF-8
// byte-order mark so that the Hangul opens right. What goes into a cell may come from
// anyone (a box, a broker): control characters are shown as <HH> (C1 and bidirectional
// controls as <U+HHHH>), and a cell that a spreadsheet would take for a formula (=, +, -,
// @ first, blanks before it or not) is led by an apostrophe.

#include "console/notation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace dialkite::csv {

inline QString safe(const QString &text)
{
    const QString shown = visibleControls(text);
    qsizetype first = 0;
    while (first < shown.size() && shown[first].isSpace())
        ++first;
    if (first < shown.size() && (shown[first] == u'=' || shown[first] == u'+' ||
                                 shown[first] == u'-' || shown[first] == u'@'))
        return QLatin1Char('\'') + shown;
    return shown;
}

inline constexpr char kBom[] = "\xEF\xBB\xBF";

inline QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// One line: the fields quoted as needed, joined by commas, CRLF at the end.
inline QByteArray line(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &text : fields)
        quoted << field(safe(text));
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

} // namespace dialkite::csv
