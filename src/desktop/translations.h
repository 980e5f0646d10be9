#pragma once

#include <QCoreApplication>

namespace dialkite {

// Qt's own texts (standard buttons, context menus, file dialogs) in Korean, as the rest
// of the window: Qt's qtbase_ko catalogue from Debian's translations package. False when
// it is not installed; Qt's English texts stay then.
bool loadKoreanQtTexts(QCoreApplication &app);

} // namespace dialkite
