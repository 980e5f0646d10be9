#pragma once

// What the portable Qt API cannot do about files, one function per need, with one
// implementation per platform family.

#include <QFileDevice>

namespace dialkite::platform {

// Gives the open file `file` the owner `ownerId` and group `groupId` of the file it
// replaces. True when it has them (or the platform has no such notion).
bool keepOwner(QFileDevice &file, uint ownerId, uint groupId);

} // namespace dialkite::platform
