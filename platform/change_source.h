#pragma once
// Change notifications from the system: media mounted and unmounted (the
// mount table) and changes inside given directory trees (inotify), reported
// with the codes of the change notifier's events.
//
// How the system's changes map onto the codes:
//   a mount appears in the table          -> kChangeMediaInserted (mount directory)
//   a mount leaves the table              -> kChangeMediaRemoved  (mount directory)
//     (entries compare whole, mount id and options included: a disc swapped
//      between two reads of the table, or a remount, is a removal and an insertion;
//      system file systems such as proc, sysfs or cgroup are left out)
//   file created / moved in from outside  -> kChangeCreate (file)   + kChangeUpdateDir (its directory)
//   file deleted / moved out              -> kChangeDelete (file)   + kChangeUpdateDir
//   directory created / moved in          -> kChangeMkDir (dir)     + kChangeUpdateDir; the new
//                                            tree is watched and what it already holds is
//                                            reported as created
//   directory deleted / moved out         -> kChangeRmDir (dir)     + kChangeUpdateDir
//   file renamed inside the trees         -> kChangeRenameItem (old, new)   + kChangeUpdateDir of both
//   directory renamed inside the trees    -> kChangeRenameFolder (old, new) + kChangeUpdateDir of both
//   file written and closed               -> kChangeUpdateItem (file) + kChangeUpdateDir
//   attributes / times changed            -> kChangeAttributes (file or directory)
//   a watched tree's root deleted / moved -> kChangeRmDir (root)    + kChangeUpdateDir (root)
//   a root that does not exist (yet)      -> watched for through its nearest existing
//     is made, or made again                 parent: kChangeMkDir (root) + kChangeUpdateDir
//                                            (root), its contents reported as created
//   events lost (kernel queue overflow)   -> kChangeUpdateDir for every watched root
//   a file system mounted or unmounted    -> kChangeUpdateDir for what it covers in the
//     in or over the trees                   trees, which is watched anew
// A directory's update is reported once for all the changes of the 400 ms
// after its first one, after the item events, so a burst of writes gives
// one update that sees the final state.
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/mount_table.h"

class QSocketNotifier;

namespace platform {

enum : std::uint32_t {
  kChangeRenameItem = 0x00000001,
  kChangeCreate = 0x00000002,
  kChangeDelete = 0x00000004,
  kChangeMkDir = 0x00000008,
  kChangeRmDir = 0x00000010,
  kChangeMediaInserted = 0x00000020,
  kChangeMediaRemoved = 0x00000040,
  kChangeAttributes = 0x00000800,
  kChangeUpdateDir = 0x00001000,
  kChangeUpdateItem = 0x00002000,
  kChangeRenameFolder = 0x00020000,
};
// The kinds each half of the source can report.
constexpr std::uint32_t kMountChanges = kChangeMediaInserted | kChangeMediaRemoved;
constexpr std::uint32_t kDirectoryChanges = kChangeRenameItem | kChangeCreate | kChangeDelete | kChangeMkDir |
                                            kChangeRmDir | kChangeAttributes | kChangeUpdateDir |
                                            kChangeUpdateItem | kChangeRenameFolder;

class ChangeSource : public QObject {
  Q_OBJECT
 public:
  // Called on the source's thread for every change of a kind in the mask;
  // `path2` is empty for one-path kinds.
  using ChangeHandler = std::function<void(std::uint32_t code, const QString& path1, const QString& path2)>;
  // Called when a system limit stops the source from watching everything:
  // the text says which limit and how to raise it.
  using LimitHandler = std::function<void(const QString& message)>;

  explicit ChangeSource(QObject* parent = nullptr);
  ~ChangeSource() override;

  void SetChangeHandler(ChangeHandler handler) { fOnChange = std::move(handler); }
  void SetLimitHandler(LimitHandler handler) { fOnLimit = std::move(handler); }

  // Starts reporting the kinds in `mask`; directory kinds concern `trees`
  // and everything below them. Stops a previous run first. False (with
  // ErrorText()) when a needed system service cannot be started; a reached
  // limit is not a failure: the limit handler hears of it and the source
  // goes on with what it could watch.
  bool Start(std::uint32_t mask, const QStringList& trees);
  // Directory updates seen but not yet reported are kept for a next Start
  // whose trees still hold them (registering anew loses no change).
  void Stop();
  bool Active() const { return fActive; }
  QString ErrorText() const { return fErrorText; }

  // Directories watched now.
  int WatchCount() const { return static_cast<int>(fWatchPaths.size()); }
  // Behave as if the system allowed only `count` directory watches (tests);
  // negative: the system's own limit.
  void SetWatchLimit(int count) { fWatchLimit = count; }
  // Read another file as the mount table (tests); takes effect at the next Start.
  void SetMountTableFile(const QString& path) { fMountTableFile = path; }

  // The texts given when a limit is reached.
  static QString WatchLimitText();
  static QString InstanceLimitText();

 private:
  static QString LimitText(const QString& what, const QString& limit, const QString& setting,
                           qint64 suggested);
  void OnMountTableChanged();
  QList<MountEntry> ReadTable() const;
  // Watches again what a mount at `mountDir` covered or uncovered in the trees.
  void RewatchBelow(const QString& mountDir);
  void OnInotifyReadable();
  void HandleRawEvent(int wd, std::uint32_t mask, std::uint32_t cookie, const QString& name);
  void FlushPendingMove();
  void FlushDirUpdates();
  void DirChanged(const QString& dir);
  // Watches `dir` and the directories below it; with `reportContents` what
  // they hold is reported as created.
  void WatchTree(const QString& dir, bool reportContents);
  bool AddWatch(const QString& dir);
  void ForgetTree(const QString& dir, bool removeWatches);
  // Watches every root that exists now and is not watched yet; for the
  // others, their nearest existing parent, to see them made.
  void WatchForMissingRoots();
  void DropParentWatches();
  void MoveTree(const QString& from, const QString& to);
  void ReachedLimit(const QString& text);
  void Emit(std::uint32_t code, const QString& path1, const QString& path2 = {});
  static QString Join(const QString& dir, const QString& name);
  static QString ParentOf(const QString& path);

  ChangeHandler fOnChange;
  LimitHandler fOnLimit;
  std::uint32_t fMask = 0;
  bool fActive = false;
  QString fErrorText;
  bool fLimitReported = false;
  int fWatchLimit = -1;

  QString fMountTableFile = MountTablePath();
  int fMountFd = -1;
  QSocketNotifier* fMountNotifier = nullptr;  // children: freed with the source
  QList<MountEntry> fMountTable;

  int fInotifyFd = -1;
  QSocketNotifier* fInotifyNotifier = nullptr;
  std::uint64_t fRun = 0;  // counts Start/Stop, so a read loop sees a restart
  std::uint32_t fWatchMask = 0;
  QStringList fRoots;
  QHash<int, QString> fWatchPaths;  // watch descriptor -> directory
  QHash<QString, int> fWatchOf;     // directory -> watch descriptor
  // The nearest existing parents of missing roots, watched for their making.
  QHash<int, QString> fParentWatchPaths;
  QHash<QString, int> fParentWatchOf;
  bool fLookForRoots = false;  // a parent changed: look again after the events read

  // A move out of a directory waits for its move in (same cookie).
  struct PendingMove {
    std::uint32_t Cookie = 0;
    QString Path;
    bool Directory = false;
  };
  std::optional<PendingMove> fPendingMove;
  QTimer fMoveTimer;

  QStringList fChangedDirs;  // in order of first change
  QTimer fDirTimer;
};

}  // namespace platform
