#pragma once

// What the portable Qt API cannot do about files, one function per need, with one
// implementation per platform family.

#include <QFileDevice>
#include <QString>
#include <optional>
#include <utility>

namespace dialkite::platform {

// Gives the open file `file` the owner `ownerId` and group `groupId` of the file it
// replaces. True when it has them (or the platform has no such notion).
bool keepOwner(QFileDevice &file, uint ownerId, uint groupId);

// Which file is at `path` now (its device and inode): another after the path was deleted
// and made again, or renamed over. Nothing when there is none there, or where the platform
// cannot tell files apart this way.
std::optional<std::pair<quint64, quint64>> fileIdentity(const QString &path);

} // namespace dialkite::platform
