#pragma once

// The programs' own messages in the user's language, through Qt's translations
// (translations/dialkite_ko.ts, built into dialkite_ko.qm): the command-line programs speak
// Korean under a Korean locale (LANG=ko_KR.UTF-8) and English otherwise. What is made for
// people to keep or look at (the window, pages, reports, CSV) is Korean whatever the locale.

#include <QString>

class QCoreApplication;

namespace dialkite {

// Loads the messages of the system's language when there are any ("ko"); the language
// used, "en" when none was loaded.
QString useSystemLanguage(QCoreApplication &app);
// Loads the messages of `language` ("ko"); false when there are none.
bool useLanguage(QCoreApplication &app, const QString &language);

} // namespace dialkite
