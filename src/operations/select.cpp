#include "select.h"

#include "console/variantcode.h"

namespace dialkite {

namespace {

// The number of the leading digits of a profile value, as decimal text; "0" when it
// has none or they do not fit 32 bits.
QString leadingNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && trimmed[digits].isDigit() && trimmed[digits].unicode() < 128)
        ++digits;
    bool ok = false;
    const qint32 value = trimmed.left(digits).toInt(&ok);
    return QString::number(ok ? value : 0);
}

} // namespace

void Dialkite_Select(Console &console, Choice index)
{
    if (!index)
        return; // OK without a choice acts as Cancel
    const QString section = QStringLiteral("DIALKITE");
    const QString key = QStringLiteral("NUM");
    const QString chosen = QString::number(*index);
    // The code is what the settings file holds after the write. When the file cannot
    // be written the operator's choice still applies (the file keeps its old value).
    ConsoleState &state = console.state();
    state.VariantCode = console.settings().write(section, key, chosen)
                            ? leadingNumber(console.settings().read(section, key))
                            : chosen;
    if (const auto variant = variantByCode(state.VariantCode))
        console.MSFlexGrid4().setText(1, 0, variant->deviceName);
    console.resetLog(GridId::Calls);
    console.resetLog(GridId::Sent);
    console.resetLog(GridId::Received);
    console.MSFlexGrid5().setText(1, 0, QString());
    console.MSFlexGrid5().setText(1, 1, QString());
}

} // namespace dialkite
