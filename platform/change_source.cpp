#include "platform/change_source.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// Longer than the notifier's repeat window, so two updates of one directory
// are never taken for one report given twice.
constexpr int kDirUpdateDelayMs = 400;
// A move out waits this long for its move in before it counts as a removal.
constexpr int kMovePairingMs = 20;

// File systems that never hold media: their mounts come and go with
// services and containers and are not worth a notification.
bool IsPseudoFileSystem(const QString& type) {
  static const QSet<QString> kTypes = {
      QStringLiteral("proc"),      QStringLiteral("sysfs"),       QStringLiteral("cgroup"),
      QStringLiteral("cgroup2"),   QStringLiteral("nsfs"),        QStringLiteral("devpts"),
      QStringLiteral("mqueue"),    QStringLiteral("bpf"),         QStringLiteral("tracefs"),
      QStringLiteral("debugfs"),   QStringLiteral("securityfs"),  QStringLiteral("pstore"),
      QStringLiteral("configfs"),  QStringLiteral("fusectl"),     QStringLiteral("binfmt_misc"),
      QStringLiteral("autofs"),    QStringLiteral("hugetlbfs"),   QStringLiteral("efivarfs"),
      QStringLiteral("rpc_pipefs"), QStringLiteral("devtmpfs")};
  return kTypes.contains(type);
}

QString MountKey(const MountEntry& e) {
  return QString::number(e.MountId) + QChar(0) + e.Device + QChar(0) + e.MountDir + QChar(0) + e.FsType +
         QChar(0) + e.Options;
}

// True when `path` is `dir` or lies below it.
bool IsWithin(const QString& path, const QString& dir) {
  if (path == dir) return true;
  const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
  return path.startsWith(prefix);
}

// The directory entry type of `path` itself (a link is a link).
unsigned char TypeOf(const QString& path) {
  struct stat st;
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return DT_UNKNOWN;
  return S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
}

bool IsDirectory(const QString& path) {
  struct stat st;
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

void DropNotifier(QSocketNotifier*& notifier) {
  if (!notifier) return;
  notifier->setEnabled(false);
  // May be inside its own activation.
  notifier->deleteLater();
  notifier = nullptr;
}

}  // namespace

ChangeSource::ChangeSource(QObject* parent) : QObject(parent) {
  fMoveTimer.setSingleShot(true);
  fMoveTimer.setInterval(kMovePairingMs);
  connect(&fMoveTimer, &QTimer::timeout, this, &ChangeSource::FlushPendingMove);
  fDirTimer.setSingleShot(true);
  fDirTimer.setInterval(kDirUpdateDelayMs);
  connect(&fDirTimer, &QTimer::timeout, this, &ChangeSource::FlushDirUpdates);
}

ChangeSource::~ChangeSource() { Stop(); }

QString ChangeSource::WatchLimitText() {
  return LimitText(QStringLiteral("Not every folder can be watched for changes"), QStringLiteral("watches"),
                   QStringLiteral("max_user_watches"), 524288);
}

QString ChangeSource::InstanceLimitText() {
  return LimitText(QStringLiteral("Folders cannot be watched for changes"), QStringLiteral("instances"),
                   QStringLiteral("max_user_instances"), 1024);
}

QString ChangeSource::LimitText(const QString& what, const QString& limit, const QString& setting,
                                qint64 suggested) {
  const QString name = QStringLiteral("fs.inotify.") + setting;
  QFile file(QStringLiteral("/proc/sys/fs/inotify/") + setting);
  bool known = false;
  const qint64 now = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong(&known) : 0;
  if (known) suggested = std::max(suggested, now * 2);
  const QString line = QStringLiteral("%1=%2").arg(name).arg(suggested);
  return QStringLiteral(
             "%1: the system's limit on inotify %2 (%3, now %4) is reached. Changes in the folders left "
             "out show only when the list is refreshed. To raise the limit, run as administrator "
             "\"sysctl %5\", and to keep it, put the line \"%5\" in a file in /etc/sysctl.d/ "
             "(for example /etc/sysctl.d/60-inotify.conf).")
      .arg(what, limit, name, known ? QString::number(now) : QStringLiteral("unknown"), line);
}

bool ChangeSource::Start(std::uint32_t mask, const QStringList& trees) {
  // Updates seen but not yet reported survive a new start that still covers them.
  Stop();
  const QStringList unreported = std::exchange(fChangedDirs, {});
  fMask = mask;
  fErrorText.clear();

  const bool watchDirs = (mask & kDirectoryChanges) && !trees.isEmpty();
  // Directory watching needs the table too: a mount inside or over a
  // watched tree replaces what the watches see.
  if ((mask & kMountChanges) || watchDirs) {
    fMountFd = ::open(QFile::encodeName(fMountTableFile).constData(), O_RDONLY | O_CLOEXEC);
    if (fMountFd < 0) {
      fErrorText = QStringLiteral("%1: %2").arg(fMountTableFile, QString::fromLocal8Bit(std::strerror(errno)));
      Stop();
      return false;
    }
    // Read after opening, so a change in between still wakes us.
    fMountTable = ReadTable();
    // The table is always readable; a change shows as an exceptional condition.
    fMountNotifier = new QSocketNotifier(fMountFd, QSocketNotifier::Exception, this);
    connect(fMountNotifier, &QSocketNotifier::activated, this, &ChangeSource::OnMountTableChanged);
  }

  if (watchDirs) {
    fInotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fInotifyFd < 0) {
      if (errno != EMFILE) {
        fErrorText = QStringLiteral("inotify: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        Stop();
        return false;
      }
      ReachedLimit(InstanceLimitText());
    } else {
      fWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
      if (mask & (kChangeUpdateItem | kChangeUpdateDir)) fWatchMask |= IN_CLOSE_WRITE;
      if (mask & kChangeAttributes) fWatchMask |= IN_ATTRIB;
      fInotifyNotifier = new QSocketNotifier(fInotifyFd, QSocketNotifier::Read, this);
      connect(fInotifyNotifier, &QSocketNotifier::activated, this, &ChangeSource::OnInotifyReadable);
      for (const QString& tree : trees) {
        if (tree.isEmpty()) continue;
        const QString root = QDir::cleanPath(QDir(tree).absolutePath());
        if (fRoots.contains(root)) continue;
        fRoots.append(root);
        WatchTree(root, false);
      }
      WatchForMissingRoots();
      for (const QString& dir : unreported) {
        for (const QString& root : std::as_const(fRoots)) {
          if (IsWithin(dir, root)) {
            DirChanged(dir);
            break;
          }
        }
      }
    }
  }
  fActive = true;
  return true;
}

void ChangeSource::Stop() {
  DropNotifier(fMountNotifier);
  DropNotifier(fInotifyNotifier);
  if (fMountFd >= 0) ::close(fMountFd);
  if (fInotifyFd >= 0) ::close(fInotifyFd);
  fMountFd = fInotifyFd = -1;
  fMountTable.clear();
  fRoots.clear();
  fWatchPaths.clear();
  fWatchOf.clear();
  fParentWatchPaths.clear();
  fParentWatchOf.clear();
  fLookForRoots = false;
  fPendingMove.reset();
  fMoveTimer.stop();
  fDirTimer.stop();  // fChangedDirs stays for a next start that still covers them
  fActive = false;
  ++fRun;
}

QList<MountEntry> ChangeSource::ReadTable() const {
  QFile file(fMountTableFile);
  // A proc file reports size 0: read until the end.
  return file.open(QIODevice::ReadOnly) ? ParseMountInfo(file.readAll()) : QList<MountEntry>();
}

void ChangeSource::OnMountTableChanged() {
  const QList<MountEntry> table = ReadTable();
  QHash<QString, int> before;
  for (const MountEntry& e : fMountTable) ++before[MountKey(e)];
  QHash<QString, int> after;
  for (const MountEntry& e : table) ++after[MountKey(e)];
  const QList<MountEntry> previous = fMountTable;
  fMountTable = table;

  QStringList changed;
  // Removals first: a disc swapped between two reads is out before the next is in.
  for (const MountEntry& e : previous) {
    int& left = after[MountKey(e)];
    if (left > 0) {
      --left;
    } else if (!IsPseudoFileSystem(e.FsType)) {
      Emit(kChangeMediaRemoved, e.MountDir);
      changed.append(e.MountDir);
    }
  }
  for (const MountEntry& e : table) {
    int& left = before[MountKey(e)];
    if (left > 0) {
      --left;
    } else if (!IsPseudoFileSystem(e.FsType)) {
      Emit(kChangeMediaInserted, e.MountDir);
      changed.append(e.MountDir);
    }
  }
  for (const QString& mountDir : std::as_const(changed)) RewatchBelow(mountDir);
  if (!changed.isEmpty() && fInotifyFd >= 0) {
    // A mount may bring a missing root, or hide the directory watched for it.
    DropParentWatches();
    WatchForMissingRoots();
  }
}

void ChangeSource::RewatchBelow(const QString& mountDir) {
  if (fInotifyFd < 0) return;
  QStringList tops;
  for (const QString& root : std::as_const(fRoots)) {
    if (IsWithin(root, mountDir)) {
      tops.append(root);  // the whole tree now shows another file system (or none)
    } else if (IsWithin(mountDir, root)) {
      tops.append(mountDir);  // a part of the tree does
    }
  }
  for (const QString& top : std::as_const(tops)) {
    // Watches on the file system that went away are gone already; those on
    // a directory now covered by a mount would see nothing more.
    ForgetTree(top, true);
    WatchTree(top, false);
    DirChanged(top);
  }
}

void ChangeSource::OnInotifyReadable() {
  // Events are padded so that each header is aligned; copy the header anyway
  // so no access depends on that.
  alignas(struct inotify_event) char buffer[64 * 1024];
  const int fd = fInotifyFd;
  const std::uint64_t run = fRun;
  while (fd >= 0 && run == fRun) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::size_t offset = 0;
    while (offset + sizeof(struct inotify_event) <= static_cast<std::size_t>(n)) {
      struct inotify_event header;
      std::memcpy(&header, buffer + offset, sizeof header);
      const std::size_t total = sizeof header + header.len;
      if (offset + total > static_cast<std::size_t>(n)) break;
      QString name;
      if (header.len > 0) {
        const char* raw = buffer + offset + sizeof header;
        name = QFile::decodeName(QByteArray(raw, static_cast<qsizetype>(::strnlen(raw, header.len))));
      }
      HandleRawEvent(header.wd, header.mask, header.cookie, name);
      if (run != fRun) return;  // stopped by a handler
      offset += total;
    }
  }
  if (std::exchange(fLookForRoots, false)) WatchForMissingRoots();
  if (fPendingMove) fMoveTimer.start();
}

void ChangeSource::HandleRawEvent(int wd, std::uint32_t mask, std::uint32_t cookie, const QString& name) {
  const bool pairs = fPendingMove && (mask & IN_MOVED_TO) && cookie == fPendingMove->Cookie;
  if (fPendingMove && !pairs) FlushPendingMove();

  if (mask & IN_Q_OVERFLOW) {
    // Events were lost: every tree may have changed, a missing root been made.
    for (const QString& root : std::as_const(fRoots)) DirChanged(root);
    fLookForRoots = true;
    return;
  }
  if (const auto parent = fParentWatchPaths.constFind(wd); parent != fParentWatchPaths.constEnd()) {
    // Something made, moved in or gone above a missing root.
    if (mask & IN_IGNORED) {
      fParentWatchOf.remove(*parent);
      fParentWatchPaths.erase(parent);
    }
    fLookForRoots = true;
  }
  const auto found = fWatchPaths.constFind(wd);
  if (found == fWatchPaths.constEnd()) return;
  const QString dir = *found;
  if (mask & IN_IGNORED) {
    fWatchPaths.remove(wd);
    if (fWatchOf.value(dir, -1) == wd) fWatchOf.remove(dir);
    return;
  }
  const bool isDir = mask & IN_ISDIR;
  const QString path = name.isEmpty() ? dir : Join(dir, name);

  if (mask & IN_CREATE) {
    Emit(isDir ? kChangeMkDir : kChangeCreate, path);
    DirChanged(dir);
    if (isDir) WatchTree(path, true);
  } else if (mask & IN_DELETE) {
    // The deleted directory's own watch goes with an IN_IGNORED.
    Emit(isDir ? kChangeRmDir : kChangeDelete, path);
    DirChanged(dir);
  } else if (mask & IN_MOVED_FROM) {
    fPendingMove = PendingMove{cookie, path, isDir};
  } else if (mask & IN_MOVED_TO) {
    if (pairs) {
      const PendingMove from = *fPendingMove;
      fPendingMove.reset();
      fMoveTimer.stop();
      Emit(isDir ? kChangeRenameFolder : kChangeRenameItem, from.Path, path);
      DirChanged(ParentOf(from.Path));
      DirChanged(dir);
      if (isDir) MoveTree(from.Path, path);
    } else {
      Emit(isDir ? kChangeMkDir : kChangeCreate, path);
      DirChanged(dir);
      if (isDir) WatchTree(path, true);
    }
  } else if (mask & IN_CLOSE_WRITE) {
    Emit(kChangeUpdateItem, path);
    DirChanged(dir);
  } else if (mask & IN_ATTRIB) {
    Emit(kChangeAttributes, path);
  } else if (mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
    // Below a root the parent's event tells; a root has no watched parent.
    if (fRoots.contains(dir)) {
      Emit(kChangeRmDir, dir);
      DirChanged(dir);
      ForgetTree(dir, true);
      fLookForRoots = true;  // it may be made again
    }
  }
}

void ChangeSource::FlushPendingMove() {
  if (!fPendingMove) return;
  const PendingMove from = *fPendingMove;
  fPendingMove.reset();
  fMoveTimer.stop();
  // Moved out of the watched trees: gone as far as we can see.
  Emit(from.Directory ? kChangeRmDir : kChangeDelete, from.Path);
  DirChanged(ParentOf(from.Path));
  // The kernel keeps watching a directory moved elsewhere; we do not.
  if (from.Directory) ForgetTree(from.Path, true);
}

void ChangeSource::DirChanged(const QString& dir) {
  if (!(fMask & kChangeUpdateDir)) return;
  if (!fChangedDirs.contains(dir)) fChangedDirs.append(dir);
  if (!fDirTimer.isActive()) fDirTimer.start();
}

void ChangeSource::FlushDirUpdates() {
  const QStringList dirs = std::exchange(fChangedDirs, {});
  for (const QString& dir : dirs) Emit(kChangeUpdateDir, dir);
}

void ChangeSource::WatchTree(const QString& top, bool reportContents) {
  // Real directories before links to directories, so a directory reached
  // both ways is watched, and reported, under its real path.
  QStringList pending{top};
  QStringList links;
  while (!pending.isEmpty() || !links.isEmpty()) {
    const QString dir = pending.isEmpty() ? links.takeFirst() : pending.takeLast();
    if (!AddWatch(dir)) continue;
    DIR* handle = ::opendir(QFile::encodeName(dir).constData());
    if (!handle) continue;
    bool any = false;
    while (const struct dirent* entry = ::readdir(handle)) {
      const char* raw = entry->d_name;
      if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0) continue;
      const QString path = Join(dir, QFile::decodeName(raw));
      unsigned char type = entry->d_type;
      if (type == DT_UNKNOWN) type = TypeOf(path);
      const bool isDir = type == DT_DIR || (type == DT_LNK && IsDirectory(path));
      any = true;
      if (reportContents) Emit(isDir ? kChangeMkDir : kChangeCreate, path);
      if (isDir) (type == DT_LNK ? links : pending).append(path);
    }
    ::closedir(handle);
    // What arrived before the watch did was never reported as a change.
    if (reportContents && any) DirChanged(dir);
  }
}

bool ChangeSource::AddWatch(const QString& dir) {
  if (fInotifyFd < 0) return false;
  int wd;
  if (fWatchLimit >= 0 && WatchCount() >= fWatchLimit) {
    wd = -1;
    errno = ENOSPC;
  } else {
    wd = ::inotify_add_watch(fInotifyFd, QFile::encodeName(dir).constData(), fWatchMask);
  }
  if (wd < 0) {
    if (errno == ENOSPC) ReachedLimit(WatchLimitText());
    return false;  // unreadable or vanished directories are simply not watched
  }
  // The same directory reached again (a link, a loop): one watch, one path.
  if (fWatchPaths.contains(wd)) return false;
  fWatchPaths.insert(wd, dir);
  fWatchOf.insert(dir, wd);
  return true;
}

void ChangeSource::WatchForMissingRoots() {
  if (fInotifyFd < 0) return;
  // Each pass that adds a parent's watch looks again, since what was made
  // before that watch came was never reported; each goes at least one
  // level further down.
  for (int pass = 0; pass < 256; ++pass) {
    QSet<QString> parents;
    for (const QString& root : std::as_const(fRoots)) {
      if (fWatchOf.contains(root)) continue;
      if (IsDirectory(root)) {
        WatchTree(root, true);
        if (fWatchOf.contains(root)) {
          Emit(kChangeMkDir, root);
          DirChanged(root);
        }
        continue;  // there, but not to be watched (a limit, no permission)
      }
      QString parent = ParentOf(root);
      while (parent != QLatin1String("/") && !IsDirectory(parent)) parent = ParentOf(parent);
      parents.insert(parent);
    }
    for (auto it = fParentWatchOf.begin(); it != fParentWatchOf.end();) {
      if (parents.contains(it.key())) {
        ++it;
        continue;
      }
      if (!fWatchPaths.contains(it.value())) ::inotify_rm_watch(fInotifyFd, it.value());
      fParentWatchPaths.remove(it.value());
      it = fParentWatchOf.erase(it);
    }
    bool added = false;
    for (const QString& parent : std::as_const(parents)) {
      if (fParentWatchOf.contains(parent)) continue;
      // Added to a watch the directory may have already as part of a tree.
      const int wd = ::inotify_add_watch(fInotifyFd, QFile::encodeName(parent).constData(),
                                         IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                             IN_MASK_ADD);
      if (wd < 0) {
        if (errno == ENOSPC) ReachedLimit(WatchLimitText());
        continue;
      }
      fParentWatchPaths.insert(wd, parent);
      fParentWatchOf.insert(parent, wd);
      added = true;
    }
    if (!added) return;
  }
}

void ChangeSource::DropParentWatches() {
  for (auto it = fParentWatchPaths.cbegin(); it != fParentWatchPaths.cend(); ++it)
    if (!fWatchPaths.contains(it.key())) ::inotify_rm_watch(fInotifyFd, it.key());
  fParentWatchPaths.clear();
  fParentWatchOf.clear();
}

void ChangeSource::ForgetTree(const QString& top, bool removeWatches) {
  for (auto it = fWatchPaths.begin(); it != fWatchPaths.end();) {
    if (IsWithin(*it, top)) {
      // A directory watched for a missing root as well keeps its watch.
      if (removeWatches && fInotifyFd >= 0 && !fParentWatchPaths.contains(it.key()))
        ::inotify_rm_watch(fInotifyFd, it.key());
      if (fWatchOf.value(*it, -1) == it.key()) fWatchOf.remove(*it);
      it = fWatchPaths.erase(it);
    } else {
      ++it;
    }
  }
}

void ChangeSource::MoveTree(const QString& from, const QString& to) {
  QList<std::pair<int, QString>> moved;
  for (auto it = fWatchPaths.begin(); it != fWatchPaths.end(); ++it) {
    if (IsWithin(*it, from)) moved.append({it.key(), to + it->mid(from.size())});
  }
  for (const auto& [wd, path] : moved) {
    const QString old = fWatchPaths.value(wd);
    if (fWatchOf.value(old, -1) == wd) fWatchOf.remove(old);
    fWatchPaths.insert(wd, path);
    fWatchOf.insert(path, wd);
  }
  // A directory moved in from an unwatched place within a watched one.
  if (moved.isEmpty()) WatchTree(to, true);
}

void ChangeSource::ReachedLimit(const QString& text) {
  if (fLimitReported) return;
  fLimitReported = true;
  if (fOnLimit) fOnLimit(text);
}

void ChangeSource::Emit(std::uint32_t code, const QString& path1, const QString& path2) {
  if ((fMask & code) && fOnChange) fOnChange(code, path1, path2);
}

QString ChangeSource::Join(const QString& dir, const QString& name) {
  return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

QString ChangeSource::ParentOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

}  // namespace platform
