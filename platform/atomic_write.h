#pragma once
// Replacing a file's contents in one step, and knowing whether a file
// changed since it was read.
#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <functional>

namespace platform {

// What identifies one version of a file: a replaced file is a new inode, a
// file edited in place has a new time or size.
struct TFileStamp {
  bool Exists = false;
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::int64_t Size = 0;
  std::int64_t ModifiedNs = 0;
  std::int64_t ChangedNs = 0;
  bool operator==(const TFileStamp&) const = default;
};
TFileStamp StampOf(const QString& path);
TFileStamp StampOfOpenFile(int fd);

// The file a write of `path` replaces: `path` itself, or the file its
// symbolic links lead to (which need not exist yet), so that a link the
// user made stays a link. Locks and copies belong beside that file.
QString WriteTarget(const QString& path);

// Changed: the caller's check before the rename found the file changed.
enum class TWriteFailure { None, DiskFull, Denied, Changed, Other };

struct TWriteResult {
  TWriteFailure Failure = TWriteFailure::None;
  QString Error;       // the system's reason, for the message
  TFileStamp Written;  // the version put in place
  bool Ok() const { return Failure == TWriteFailure::None; }
};

// Asked just before the rename: false when the file changed since the
// caller read it, so the copy must not replace it.
using TStillCurrent = std::function<bool()>;

// Writes `data` to a new file beside WriteTarget(path) (without a name
// while it is written where the file system allows, then the target +
// ".tmp-" + pid + "-" + random), flushes it to the disk and renames it over
// the target. Any short write, flush or close failure removes the new file
// and leaves the target as it was. An existing file keeps its permissions;
// one the user cannot write (no write permission, or no write bit at all
// for the superuser) is not replaced (Denied). With `stillCurrent`, a file
// changed meanwhile is not replaced either (Changed).
TWriteResult ReplaceFileContents(const QString& path, const QByteArray& data,
                                 const TStillCurrent& stillCurrent = {});

// Removes the temporary copies that earlier writes of `path` left behind
// (a writer killed before its rename) and the chains of ".lock.rmlock"
// files older versions left. With `lockHeld` (every writer holds the file's
// lock while its copy exists) all of them go; without it only those of
// processes that no longer run. Returns how many were removed.
int RemoveLeftoverCopies(const QString& path, bool lockHeld);

// Stands in for write(2) and fsync(2) of ReplaceFileContents, so tests can
// play a full disk without one. Empty members restore the real calls.
struct TWriteShim {
  std::function<ssize_t(int fd, const void* data, size_t size)> Write;
  std::function<int(int fd)> Sync;
};
void SetWriteShim(TWriteShim shim);

}  // namespace platform
