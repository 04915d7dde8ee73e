#include "platform/volume.h"

#include <sys/statvfs.h>

#include <QFile>

#include "platform/mount_table.h"

namespace platform {

bool VolumeReady(const QString& root) {
  if (root.isEmpty()) return false;
  QString dir = root;
  if (IsBlockDevice(root)) {
    dir = MountDirOf(root, ReadMountTable());
    if (dir.isEmpty()) return false;  // a drive without a mounted disc
  }
  struct statvfs info;
  return ::statvfs(QFile::encodeName(dir).constData(), &info) == 0;
}

}  // namespace platform
