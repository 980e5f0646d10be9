#include "capture.h"

#include "console/notation.h"

#include <QRegularExpression>

namespace dialkite::scenario {

QByteArray stamp(const QDateTime &at)
{
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toLatin1();
}

QDateTime parseStamp(const QByteArray &text)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}$"));
    const QString stamp = QString::fromLatin1(text);
    if (!form.match(stamp).hasMatch())
        return {};
    return QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

std::optional<int> captureFormat(const QByteArray &firstLine)
{
    static const QRegularExpression header(QStringLiteral("^# dialkite capture ([0-9]{1,6})\\r?$"));
    const QRegularExpressionMatch match = header.match(QString::fromLatin1(firstLine));
    return match.hasMatch() ? std::optional<int>(match.captured(1).toInt()) : std::nullopt;
}

QByteArray headerLines(const CaptureHeader &header)
{
    const VariantInfo *variant = variantTable().find(header.variant);
    QByteArray lines = "# dialkite capture " + QByteArray::number(kCaptureFormat) + '\n';
    lines += "# program " + header.program.toUtf8() + '\n';
    lines += "# port " + (header.port.isEmpty() ? QByteArray() : header.port.toUtf8() + ' ') +
             header.device.toUtf8() + '\n';
    lines += "# variant " + header.variant.text().toUtf8() +
             (variant ? ' ' + variant->deviceName.toUtf8() : QByteArray()) + '\n';
    lines += "# started " + stamp(header.started) + '\n';
    return lines;
}

QByteArray stampedLine(const QDateTime &at, const QByteArray &text)
{
    return '@' + stamp(at) + ' ' + text + '\n';
}

QByteArray stateStep(const events::Standing &standing)
{
    return stepText(StepKind::State).toLatin1() + " variant=" + standing.variant.text().toLatin1() +
           " identify=" + QByteArray::number(standing.identify) +
           " outgoing=" + QByteArray::number(standing.outgoing) +
           " number=" + notation(standing.number).toLatin1();
}

QByteArray bytesStep(StepKind kind, const QByteArray &bytes)
{
    return stepText(kind).toLatin1() + ' ' + notation(bytes).toLatin1();
}

QByteArray commentLine(const QString &text)
{
    return "# " + visibleControls(text).toUtf8() + '\n';
}

} // namespace dialkite::scenario
