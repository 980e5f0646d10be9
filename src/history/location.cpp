#include "location.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace dialkite {

namespace {

constexpr int kConnectTimeoutS = 10;

} // namespace

bool isPostgres(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://")) ||
           text.startsWith(QLatin1String("postgres://"));
}

QString HistoryLocation::shown() const
{
    if (!isPostgres())
        return file;
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

std::optional<HistoryLocation> historyLocation(const QString &text, QString *error)
{
    HistoryLocation location;
    if (!isPostgres(text)) {
        location.file = text;
        return location;
    }
    const QUrl url(text, QUrl::StrictMode);
    const QString database = url.path().mid(1);
    if (!url.isValid() || url.host().isEmpty() || url.userName().isEmpty() || database.isEmpty() ||
        database.contains(u'/') || !url.fragment().isNull()) {
        *error = QCoreApplication::translate(
            "dialkite", "a PostgreSQL history is postgresql://USER@HOST[:PORT]/DB");
        return std::nullopt;
    }
    location.dialect = Dialect::Postgres;
    location.user = url.userName();
    location.host = url.host();
    location.port = url.port(5432);
    location.database = database;
    location.password = url.password();
    if (const QString given = qEnvironmentVariable("DIALKITE_PG_PASSWORD"); !given.isEmpty())
        location.password = given;
    // sslmode and the like, as libpq takes them.
    QStringList options;
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        static const QStringList allowed = {QStringLiteral("sslmode"),
                                            QStringLiteral("sslrootcert"),
                                            QStringLiteral("application_name")};
        if (!allowed.contains(key)) {
            *error = QCoreApplication::translate(
                         "dialkite", "a PostgreSQL history takes no option %1 (only %2)")
                         .arg(key, allowed.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        if (value.contains(u';') || value.contains(u'=') || value.contains(u' ')) {
            *error = QCoreApplication::translate("dialkite",
                                                 "the option %1 of a PostgreSQL history is not one")
                         .arg(key);
            return std::nullopt;
        }
        options << key + u'=' + value;
    }
    options << QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutS);
    location.options = options.join(u';');
    return location;
}

QString shownLocation(const QString &text)
{
    QString ignored;
    const auto location = historyLocation(text, &ignored);
    return location ? location->shown() : QStringLiteral("postgresql://...");
}

QString defaultHistoryFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/dialkite/history.sqlite");
}

QString defaultSpoolFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/dialkite/mqtt-spool.sqlite");
}

std::optional<QString> historyFile(const Profile &settings)
{
    const QString section = QStringLiteral("HISTORY");
    if (settings.value(section, QStringLiteral("RECORD")).trimmed() == QLatin1String("0"))
        return std::nullopt;
    const QString file = settings.value(section, QStringLiteral("FILE"));
    return file.isEmpty() ? defaultHistoryFile() : file;
}

} // namespace dialkite
