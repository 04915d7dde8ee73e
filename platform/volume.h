#pragma once
// Volume queries that never prompt the user.
#include <QString>

namespace platform {

// True when the volume at `root` answers a query: a block device must be
// mounted; a directory must exist and its file system answer statvfs.
bool VolumeReady(const QString& root);

}  // namespace platform
