#include "port.h"

namespace dialkite {

Choice savedPortChoice(const Profile &settings)
{
    const QString text = settings.value(QStringLiteral("PORT"), QStringLiteral("NUM")).trimmed();
    qint64 value = 0;
    for (const QChar c : text) {
        const int digit = c.isDigit() && c.unicode() < 128 ? c.unicode() - u'0'
                          : (c.toUpper() >= u'A' && c.toUpper() <= u'F')
                              ? c.toUpper().unicode() - u'A' + 10
                              : -1;
        if (digit < 0 || value > 0xFFFFFFF)
            break;
        value = value * 16 + digit;
    }
    return value >= 1 && value <= kPortChoices ? Choice(qint16(value)) : Choice();
}

void choosePort(Console &console, Choice index)
{
    if (!index)
        return;
    console.ChangeComport(index);
}

} // namespace dialkite
