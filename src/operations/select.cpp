#include "select.h"

#include "scenario/steps.h"

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
    console.noteOperatorStep(scenario::stepText(scenario::StepKind::Select, optionDigit(index)));
    if (index)
        switchVariant(console, *index); // OK without a choice acts as Cancel
}

void switchVariant(Console &console, qint16 number)
{
    const QString section = QStringLiteral("DIALKITE");
    const QString key = QStringLiteral("NUM");
    const QString chosen = QString::number(number);
    // The code is what the settings file holds after the write. When the file cannot
    // be written the operator's choice still applies (the file keeps its old value).
    console.setVariant(
        console.saveSetting(section, key, chosen)
            ? VariantId::fromText(leadingNumber(console.settings().read(section, key)))
            : VariantId(number));
    console.resetLog(GridId::Calls);
    console.resetLog(GridId::Sent);
    console.resetLog(GridId::Received);
    console.MSFlexGrid5().setText(1, 0, QString());
    console.MSFlexGrid5().setText(1, 1, QString());
}

} // namespace dialkite
