#include "history.h"

#include "outputs/csv.h"
#include "outputs/json.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cstdio>

namespace dialkite::cli {

namespace {

void out(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
}

bool wide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
           (c >= 0x20000 && c <= 0x3FFFD);
}

struct Column {
    const char *field; // in the query
    const char *title; // in the table and the CSV header
    const char *key;   // in JSON, as the monitor names it
};

const Column kColumns[] = {
    {"pc_time", "time", "pc_time"},
    {"box", "box", "box"},
    {"line", "line", "line"},
    {"box_time", "box time", "time"},
    {"number", "number", "number"},
    {"status", "status", "status"},
    {"colour", "color", "color"},
    {"variant", "variant", "variant"},
    {"device_name", "device", "device"},
    {"trim(port || ' ' || device)", "port", "port"},
};

} // namespace

int displayWidth(const QString &text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += wide(c) ? 2 : (c < 0x20 ? 0 : 1);
    return width;
}

QDateTime parseLocalTime(const QString &text, bool endOfDay)
{
    const QString t = text.trimmed().replace(QLatin1Char('T'), QLatin1Char(' '));
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime at = QDateTime::fromString(t, QLatin1String(format));
        if (at.isValid())
            return at;
    }
    const QDate date = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return {};
    return endOfDay ? date.endOfDay() : date.startOfDay();
}

int printHistory(const HistoryOptions &options)
{
    const QString path = options.file.isEmpty() ? defaultHistoryFile() : options.file;
    if (!QFileInfo::exists(path)) {
        std::fprintf(stderr, "dialkite-cli: no call history at %s\n", qUtf8Printable(path));
        return 1;
    }
    const QString name = QStringLiteral("dialkite-history-reader");
    int status = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000"));
        QStringList fields;
        for (const Column &column : kColumns)
            fields << QLatin1String(column.field);
        const HistoryQuery search = historyQuery(options.filter, fields.join(QStringLiteral(", ")));
        QSqlQuery query(db);
        if (!db.open() || !query.prepare(search.sql)) {
            std::fprintf(stderr,
                         "dialkite-cli: %s is not a call history this program can read: %s\n",
                         qUtf8Printable(path), qUtf8Printable(query.lastError().text()));
            status = 1;
        } else {
            for (int i = 0; i < search.values.size(); ++i)
                query.bindValue(i, search.values[i]);
            if (!query.exec()) {
                std::fprintf(stderr, "dialkite-cli: cannot search %s: %s\n", qUtf8Printable(path),
                             qUtf8Printable(query.lastError().text()));
                status = 1;
            }
        }
        QList<QStringList> rows;
        bool anyBox = false;
        while (status == 0 && query.next()) {
            QStringList row;
            for (int i = 0; i < int(std::size(kColumns)); ++i)
                row << query.value(i).toString();
            anyBox = anyBox || !row[1].isEmpty();
            rows << row;
        }
        if (status == 0) {
            // The box column only when a rig's boxes are in the history.
            QList<int> shown;
            for (int i = 0; i < int(std::size(kColumns)); ++i) {
                if (i != 1 || anyBox)
                    shown << i;
            }
            switch (options.format) {
            case HistoryFormat::Json:
                for (const QStringList &row : rows) {
                    json::Fields fields{{QStringLiteral("event"), QStringLiteral("call")}};
                    for (const int i : shown)
                        fields.append({QString::fromLatin1(kColumns[i].key), row[i]});
                    out(json::object(fields) + '\n');
                }
                break;
            case HistoryFormat::Csv: {
                QStringList header;
                for (const int i : shown)
                    header << QString::fromLatin1(kColumns[i].title);
                out(csv::line(header));
                for (const QStringList &row : rows) {
                    QStringList cells;
                    for (const int i : shown)
                        cells << row[i];
                    out(csv::line(cells));
                }
                break;
            }
            case HistoryFormat::Table: {
                QList<int> widths;
                for (const int i : shown)
                    widths << displayWidth(QString::fromLatin1(kColumns[i].title));
                for (const QStringList &row : rows) {
                    for (int k = 0; k < shown.size(); ++k)
                        widths[k] = qMax(widths[k], displayWidth(row[shown[k]]));
                }
                const auto line = [&](const QStringList &cells) {
                    QString text;
                    for (int k = 0; k < cells.size(); ++k) {
                        text += cells[k];
                        if (k + 1 < cells.size())
                            text +=
                                QString(widths[k] - displayWidth(cells[k]) + 2, QLatin1Char(' '));
                    }
                    out(text.toUtf8() + '\n');
                };
                QStringList header;
                for (const int i : shown)
                    header << QString::fromLatin1(kColumns[i].title);
                line(header);
                for (const QStringList &row : rows) {
                    QStringList cells;
                    for (const int i : shown)
                        cells << row[i];
                    line(cells);
                }
                break;
            }
            }
        }
        query = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return status;
}

} // namespace dialkite::cli
