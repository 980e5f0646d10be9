#include "fileowner.h"

#include <sys/stat.h>
#include <unistd.h>

namespace dialkite::platform {

bool keepOwner(QFileDevice &file, uint ownerId, uint groupId)
{
    struct stat now {};
    if (::fstat(file.handle(), &now) != 0)
        return false;
    if (now.st_uid == ownerId && now.st_gid == groupId)
        return true;
    return ::fchown(file.handle(), uid_t(ownerId), gid_t(groupId)) == 0;
}

} // namespace dialkite::platform
