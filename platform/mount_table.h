#pragma once
// The system's table of mounted file systems.
#include <QByteArray>
#include <QList>
#include <QString>

namespace platform {

struct MountEntry {
  QString Device;    // mount source, e.g. /dev/sr0
  QString MountDir;  // where it is mounted
  QString FsType;
  QString Options;   // per-mount and super-block options, for change detection
  int MountId = -1;  // unique among the mounts present at one time
  friend bool operator==(const MountEntry&, const MountEntry&) = default;
};

// Parses the text of /proc/self/mountinfo (octal escapes in paths decoded).
QList<MountEntry> ParseMountInfo(const QByteArray& text);

// The current mount table; empty when it cannot be read.
QList<MountEntry> ReadMountTable();

// Path of the mount table file the process sees (for change watching).
QString MountTablePath();

// Where `device` (a block device path, links resolved) is mounted now; empty
// when it is not mounted. The first mount listed wins.
QString MountDirOf(const QString& device, const QList<MountEntry>& table);

// True when `path` names a block device.
bool IsBlockDevice(const QString& path);

}  // namespace platform
