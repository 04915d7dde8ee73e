#pragma once
// Directory enumeration with the attributes the file tools need.
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace platform {

// A wall-clock date and time in the system's time zone, to the second.
struct LocalClock {
  QDate Date;
  QTime Time;
};

// One directory entry as the enumeration returns it.
struct DirEntry {
  QString Name;     // name without directory
  qint64 Size = 0;  // bytes (0 for directories)
  // Last modification as the file system keeps it: seconds since the epoch
  // and the nanoseconds within that second.
  qint64 ModifiedSecs = 0;
  qint32 ModifiedNsecs = 0;
  bool Directory = false;
  bool Hidden = false;  // name begins with "."

  // Last modification in local time, to the millisecond. Made on demand:
  // QDateTime's local-time conversion costs more than listing the entry.
  QDateTime Time() const;
  // The same local date and time to the second, converted cheaply.
  LocalClock LocalModified() const;
};

// Entries of `dir` in the order the file system returns them, "." and ".."
// left out. Symbolic links are followed. An unreadable or missing directory
// gives an empty list.
QList<DirEntry> ListDirectory(const QString& dir);

// Identity of the real directory a path leads to (device and inode), so a
// walk can enter each real directory once even through link loops.
struct DirIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  friend bool operator==(const DirIdentity&, const DirIdentity&) = default;
  friend auto operator<=>(const DirIdentity&, const DirIdentity&) = default;
};
std::optional<DirIdentity> DirectoryIdentity(const QString& path);

// The entry for one path, as an enumeration of its directory would give it.
std::optional<DirEntry> StatEntry(const QString& path);

}  // namespace platform

namespace platform {

// True when files can be created in `dir`. Asks the kernel (access W_OK), so
// a read-only mount answers false even for root, who ignores permission bits.
bool IsWritableDirectory(const QString& dir);

}  // namespace platform
