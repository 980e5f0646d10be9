#include "fleetkey.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSaveFile>

namespace dialkite {

namespace {

constexpr qint64 kLargestKeyFile = 4096;
constexpr qsizetype kSignatureDigits = 64;
const char kSignatureLead[] = ",\"sig\":\"";
const char kSignatureEnd[] = "\"}";

QByteArray signature(const QByteArray &key, const QString &topic, QByteArrayView text)
{
    QMessageAuthenticationCode code(QCryptographicHash::Sha256, key);
    code.addData(topic.toUtf8());
    code.addData("\n", 1);
    code.addData(text.data(), text.size());
    return code.result().toHex();
}

bool isHex(QByteArrayView text)
{
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

} // namespace

bool sameSecret(QByteArrayView given, QByteArrayView secret)
{
    unsigned char difference = given.size() == secret.size() ? 0 : 1;
    for (qsizetype i = 0; i < given.size(); ++i)
        difference |=
            static_cast<unsigned char>(given[i] ^ secret[secret.isEmpty() ? 0 : i % secret.size()]);
    return difference == 0 && !secret.isEmpty();
}

std::optional<QByteArray> loadFleetKey(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QCoreApplication::translate("dialkite", "the fleet key %1 cannot be read: %2")
                     .arg(path, file.errorString());
        return std::nullopt;
    }
#ifdef Q_OS_UNIX
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (file.permissions() & others) {
        *error = QCoreApplication::translate(
                     "dialkite", "the fleet key %1 may be read by others; make it yours alone"
                                 " (chmod 600 %1)")
                     .arg(path);
        return std::nullopt;
    }
#endif
    const QByteArray text = file.read(kLargestKeyFile).trimmed();
    // Hexadecimal digits as fleet-key new writes them, or the raw bytes of another tool.
    const QByteArray key = isHex(text) && text.size() % 2 == 0 ? QByteArray::fromHex(text) : text;
    if (key.size() < kFleetKeyBytes) {
        *error = QCoreApplication::translate(
                     "dialkite", "the fleet key %1 holds %2 bytes; it needs at least %3 random"
                                 " bytes (dialkite-cli fleet-key new FILE makes one)")
                     .arg(path)
                     .arg(key.size())
                     .arg(kFleetKeyBytes);
        return std::nullopt;
    }
    return key;
}

bool writeNewFleetKey(const QString &path, QString *error)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        *error = QStringLiteral("%1 exists; a fleet key is never written over a file").arg(path);
        return false;
    }
    QByteArray key(kFleetKeyBytes, '\0');
    QRandomGenerator::system()->generate(key.begin(), key.end());
    QSaveFile file(path);
    // Made for its owner alone before a byte of the key is in it.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(key.toHex() + '\n') != kFleetKeyBytes * 2 + 1 || !file.commit()) {
        *error = QCoreApplication::translate("dialkite", "cannot write the fleet key %1: %2")
                     .arg(path, file.errorString());
        return false;
    }
    return true;
}

QByteArray signMessage(const QByteArray &key, const QString &topic, const QByteArray &payload)
{
    return payload.chopped(1) + kSignatureLead + signature(key, topic, payload) + kSignatureEnd;
}

std::optional<QByteArray> verifiedMessage(const QByteArray &key, const QString &topic,
                                          const QByteArray &payload)
{
    const qsizetype tail = qsizetype(sizeof kSignatureLead - 1) + kSignatureDigits +
                           qsizetype(sizeof kSignatureEnd - 1);
    if (payload.size() < tail + 1 || !payload.endsWith(kSignatureEnd))
        return std::nullopt;
    const qsizetype lead = payload.size() - tail;
    if (QByteArrayView(payload).sliced(lead, sizeof kSignatureLead - 1) != kSignatureLead)
        return std::nullopt;
    const QByteArrayView given =
        QByteArrayView(payload).sliced(lead + sizeof kSignatureLead - 1, kSignatureDigits);
    const QByteArray text = payload.left(lead) + '}';
    if (!sameSecret(given, signature(key, topic, text)))
        return std::nullopt;
    return text;
}

} // namespace dialkite
