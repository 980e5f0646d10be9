#include "language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

namespace dialkite {

bool useLanguage(QCoreApplication &app, const QString &language)
{
    auto *translator = new QTranslator(&app);
    // The installed file first (a package's share/dialkite/translations), else the one
    // built into the program.
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral("../share/dialkite/translations"));
    const QString name = QStringLiteral("dialkite_") + language;
    if (!translator->load(name, installed) && !translator->load(name, QStringLiteral(":/i18n"))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

QString useSystemLanguage(QCoreApplication &app)
{
    if (QLocale::system().language() == QLocale::Korean && useLanguage(app, QStringLiteral("ko")))
        return QStringLiteral("ko");
    return QStringLiteral("en");
}

} // namespace dialkite
