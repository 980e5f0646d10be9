#pragma once

// The fleet key: a secret the monitors and collectors of one fleet share in a file, so
// that nobody else on the broker can forge an event or a confirmation. Each signed message
// ends in "sig", an HMAC-SHA256 over the topic and the exact text before it:
//
//     {"box":"front",...,"sig":"<64 hexadecimal digits>"}
//
// The key file holds at least 32 random bytes (dialkite-cli fleet-key new writes 64
// hexadecimal digits, mode 0600); a file others may read is refused.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace dialkite {

inline constexpr qsizetype kFleetKeyBytes = 32;

// Whether `given` is the secret `secret`, in a time that does not tell where they differ
// (nor how long the secret is); never for an empty secret.
bool sameSecret(QByteArrayView given, QByteArrayView secret);

// The key in the file at `path`; nothing (and `error`, a sentence naming the file) when it
// cannot be read, is too short, or others may read it.
std::optional<QByteArray> loadFleetKey(const QString &path, QString *error);
// A new random key into a new file at `path` (mode 0600; an existing file is never
// replaced). False and `error` when it cannot be written.
bool writeNewFleetKey(const QString &path, QString *error);

// `payload` (a JSON object's text, one field at least) with its signature for `topic` as
// its last field.
QByteArray signMessage(const QByteArray &key, const QString &topic, const QByteArray &payload);
// The text a valid signature covers, without the signature; nothing when the message
// carries none, or one that is not valid for `topic` under `key`.
std::optional<QByteArray> verifiedMessage(const QByteArray &key, const QString &topic,
                                          const QByteArray &payload);

} // namespace dialkite
