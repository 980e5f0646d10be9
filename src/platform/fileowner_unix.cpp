#include "fileowner.h"

#include <QFile>

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

std::optional<std::pair<quint64, quint64>> fileIdentity(const QString &path)
{
    struct stat now {};
    if (::stat(QFile::encodeName(path).constData(), &now) != 0)
        return std::nullopt;
    return std::pair{quint64(now.st_dev), quint64(now.st_ino)};
}

} // namespace dialkite::platform
