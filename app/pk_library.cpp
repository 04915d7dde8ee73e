// The movie library: the list items of the main window, built from the
// movies directory and from the CD, and the copy of a CD movie before it is
// played.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <utility>

#include "app/pk_fmain.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "controls/qs_Buttons.h"
#include "controls/qs_ShellNotify.h"
#include "framework/qs_contexte.h"
#include "framework/qs_messages.h"
#include "framework/qs_stringlist.h"
#include "framework/qs_tools.h"
#include "platform/mount_table.h"
#include "viewer/filter_graph.h"

namespace {

// The caption of a movie file: its name without directory and extension.
QString CaptionOf(const QString& path) { return QFileInfo(path).completeBaseName(); }

std::optional<std::int64_t> StorageFreeSpace(const QString& dir) {
  // The movies directory may not exist yet (the copy creates it): ask the
  // file system of its nearest existing parent.
  QString probe = QDir::cleanPath(dir);
  while (!probe.isEmpty() && !QFileInfo(probe).isDir()) {
    const QString parent = QFileInfo(probe).path();
    if (parent == probe) break;
    probe = parent;
  }
  QStorageInfo storage(probe);
  if (probe.isEmpty() || !storage.isValid() || !storage.isReady()) return std::nullopt;
  return storage.bytesAvailable();
}

TFrmShowcase::TFreeSpaceQuery& FreeSpaceQuery() {
  static TFrmShowcase::TFreeSpaceQuery query;
  return query;
}

// Does `path` begin with `prefix`, letter case aside?
bool HasPrefix(const QString& path, const QString& prefix) {
  return path.size() >= prefix.size() && QStringView(path).left(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

// A directory's name as the change notifier reports it: absolute, without
// ".", ".." or a trailing or doubled separator.
QString CleanPath(const QString& path) { return QDir::cleanPath(QDir(path).absolutePath()); }

// The same with symbolic links resolved; a part that no longer exists (a
// deleted file) is kept as it stands below its nearest existing parent.
QString ResolvedPath(const QString& path) {
  QString existing = CleanPath(path);
  QString rest;
  while (!QFileInfo::exists(existing)) {
    const QString parent = QFileInfo(existing).path();
    if (parent == existing) return CleanPath(path);
    rest = QLatin1Char('/') + QFileInfo(existing).fileName() + rest;
    existing = parent;
  }
  const QString canonical = QFileInfo(existing).canonicalFilePath();
  return canonical.isEmpty() ? CleanPath(path) : QDir::cleanPath(canonical + rest);
}

// Whether `path` lies in `dir`, as a plain prefix of their cleaned names
// or, failing that, of their names with links resolved.
bool IsBelow(const QString& path, const QString& dir) {
  return HasPrefix(CleanPath(path), CleanPath(dir)) || HasPrefix(ResolvedPath(path), ResolvedPath(dir));
}

}  // namespace

void TFrmShowcase::SetFreeSpaceQuery(TFreeSpaceQuery query) { FreeSpaceQuery() = std::move(query); }

int TFrmShowcase::ItemCount() const { return ListView->topLevelItemCount(); }

TMovieItem* TFrmShowcase::Item(int index) const { return static_cast<TMovieItem*>(ListView->topLevelItem(index)); }

TMovieItem* TFrmShowcase::SelectedItem() const {
  const QList<QTreeWidgetItem*> selected = ListView->selectedItems();
  return selected.isEmpty() ? nullptr : static_cast<TMovieItem*>(selected.first());
}

void TFrmShowcase::SelectItem(QTreeWidgetItem* item) {
  if (!item) {
    ListView->clearSelection();
    return;
  }
  ListView->setCurrentItem(item);
  item->setSelected(true);
  ListView->scrollToItem(item);
}

void TFrmShowcase::DeleteItems(bool diskItems) {
  // Nothing of that kind listed (the timer's check with no disc, every 2.5
  // seconds): no walk over the list and no repaint.
  const int count = diskItems ? ItemCount() - fCDItemCount : fCDItemCount;
  if (count <= 0) return;
  // A deleted selection leaves nothing selected: the list would move it to
  // a neighbour, and that one would be previewed.
  const QTreeWidgetItem* current = ListView->currentItem();
  const auto* currentMovie = dynamic_cast<const TMovieItem*>(current);
  if (currentMovie && currentMovie->Data() && currentMovie->Data()->Origin == diskItems)
    ListView->selectionModel()->clear();
  ListView->setUpdatesEnabled(false);
  if (count == ItemCount()) {
    // All of them: at once, rather than one removal (and one model update)
    // per item.
    ListView->clear();
  } else {
    // From the last index down, so that the indexes still to visit stay put.
    for (int i = ItemCount() - 1; i >= 0; --i) {
      TMovieItem* item = Item(i);
      if (item->Data() && item->Data()->Origin == diskItems) delete ListView->takeTopLevelItem(i);
    }
  }
  if (!diskItems) fCDItemCount = 0;
  ListView->setUpdatesEnabled(true);
}

// ----------------------------------------------------------- disk items

void TFrmShowcase::ScanMovieDir() {
  fScan.reset();  // a walk still running is for a list about to be replaced
  qDeleteAll(std::exchange(fFoundItems, {}));
  fSinceItemsAdded.invalidate();  // the first ones are shown at once
  DeleteItems(true);
  if (ListMovieDir.isEmpty()) {
    ListsDone();
    return;
  }
  const QString mask = MovieMask(ListMovieDir, Parameters().MovieTypes);
  fScan = std::make_unique<TMovieDirScan>(
      this, mask, Parameters().Recurse, [this](TFoundMovie& found) { MovieFound(found); },
      [this] { AddFoundMovies(false); },
      [this] {
        AddFoundMovies(true);
        fScan.reset();
        ListsDone();
      });
}

void TFrmShowcase::MovieFound(TFoundMovie& found) {
  auto record = std::make_unique<TMovieData>(found.Path, true);
  record->SetFileStamp(&found.Entry);
  record->ReadStoredRecord();
  fFoundItems.append(new TMovieItem(CaptionOf(found.Path), std::move(record)));
}

void TFrmShowcase::AddFoundMovies(bool all) {
  // The list takes what was found a few times a second rather than after
  // every slice: each addition lays all its rows out again.
  constexpr int kItemsAddedMs = 100;
  if (fFoundItems.isEmpty()) return;
  if (!all && fSinceItemsAdded.isValid() && fSinceItemsAdded.elapsed() < kItemsAddedMs) return;
  fSinceItemsAdded.start();
  ListView->setUpdatesEnabled(false);
  ListView->addTopLevelItems(std::exchange(fFoundItems, {}));
  ListView->setUpdatesEnabled(true);
}

void TFrmShowcase::AfterLists(std::function<void()> step) {
  if (ListsPending())
    fAfterLists.push_back(std::move(step));
  else
    step();
}

bool TFrmShowcase::PutOffWhileListing(bool& queued, void (TFrmShowcase::*step)()) {
  if (!ListsPending()) return false;
  if (!std::exchange(queued, true))
    AfterLists([this, &queued, step] {
      queued = false;
      (this->*step)();
    });
  return true;
}

void TFrmShowcase::ListsDone() {
  // Steps queued by a refresh may start another walk; they then wait for it.
  std::vector<std::function<void()>> steps;
  steps.swap(fAfterLists);
  for (auto& step : steps) {
    if (ListsPending())
      fAfterLists.push_back(std::move(step));
    else
      step();
  }
  if (ListsPending()) return;
  ListChanged();
  if (std::exchange(fPreviewAfterLists, false) && !MovieShowing()) PostWindowMessage(this, WM_PREVIEW, fPreviewSerial);
  ForgetGoneMovie();
  Q_EMIT ListsComplete();
}

// ------------------------------------------------------------- CD items

QString TFrmShowcase::CDRoot() const {
  if (ListCDReader.isEmpty()) return QString();
  // A device: where it is mounted now, if anywhere.
  if (platform::IsBlockDevice(ListCDReader)) return platform::MountDirOf(ListCDReader, platform::ReadMountTable());
  // A mount directory (or any directory standing in for the disc).
  return ListCDReader;
}

void TFrmShowcase::RemoveCDMovies() {
  DeleteItems(false);
  QCoreApplication::processEvents();
}

void TFrmShowcase::ScanCD() {
  if (Busy) return;
  for (const QString& file : std::as_const(CDFiles)) {
    if (file.compare(CurrentFile, Qt::CaseInsensitive) == 0) {
      StopPreview();
      break;
    }
  }
  CDFiles.clear();
  RemoveCDMovies();
  WatchLibrary();  // the disc may have come or gone
  // A CD movie is listed only when no disk item has its name; while the
  // movies directory is walked (a refresh that ran during the wait just
  // above, or one still under way) the disk items are not all there, so the
  // disc is listed once they are.
  if (PutOffWhileListing(fCDScanQueued, &TFrmShowcase::ScanCD)) return;
  ListCDMovies();
  ForgetGoneMovie();
}

void TFrmShowcase::ListCDMovies() {
  // No reader set or no disc in it: there is nothing to scan (and the
  // separator alone would name the root of the file system).
  const QString cdRoot = CDRoot();
  if (cdRoot.isEmpty()) return;
  const QString root = AddBackslash(cdRoot);
  if (!DriveReady(root)) return;
  ForEachFile(MovieMask(root, Parameters().MovieTypes),
              [this](const QString& path, const TSearchRec&) { AddCDMovie(path); });
}

void TFrmShowcase::AddCDMovie(const QString& path) {
  CDFiles.append(path);
  const QString caption = CaptionOf(path);
  for (int i = 0; i < ItemCount(); ++i) {
    if (Item(i)->text(0).localeAwareCompare(caption) == 0) {
      SelectItem(Item(i));
      return;
    }
  }
  auto record = std::make_unique<TMovieData>(path, false);
  record->ReadRecord();
  auto* item = new TMovieItem(caption, std::move(record));
  ListView->addTopLevelItem(item);
  ++fCDItemCount;
  SelectItem(item);
}

// ------------------------------------------------------------ both halves

void TFrmShowcase::RefreshLists() {
  if (Busy) return;
  // A refresh asked for while the disk items are still coming runs once
  // they are all there, as it would have after a walk on this thread; a
  // second such request adds nothing to the first.
  if (PutOffWhileListing(fRefreshQueued, &TFrmShowcase::RefreshLists)) return;
  const TMovieItem* selected = SelectedItem();
  const int index = selected ? ListView->indexOfTopLevelItem(const_cast<TMovieItem*>(selected)) : -1;
  ScanCD();
  ScanMovieDir();
  AfterLists([this, index] {
    if (index < 0) {
      SelectItem(nullptr);
      return;
    }
    // A list grown shorter keeps its last item selected.
    if (ItemCount() > 0) SelectItem(Item(qMin(index, ItemCount() - 1)));
  });
}

void TFrmShowcase::SetMovieDir(const QString& dir) {
  if (dir == ListMovieDir) return;
  ListMovieDir = dir;
  ScanMovieDir();
  WatchLibrary();
}

void TFrmShowcase::SetCDReader(const QString& reader) {
  if (reader == ListCDReader) return;
  ListCDReader = reader;
  ScanCD();
  WatchLibrary();
}

void TFrmShowcase::SelectFirstMovie() {
  if (ItemCount() == 0) return;
  TMovieItem* first = nullptr;
  for (int i = 0; i < ItemCount() && !first; ++i)
    if (Item(i)->Data() && !Item(i)->Data()->Origin) first = Item(i);
  SelectItem(first ? first : Item(0));
  ListView->setFocus();
}

bool TFrmShowcase::CDChanged() const { return CDFiles.isEmpty() || !IsExistingFile(CDFiles.first()); }

bool TFrmShowcase::IsWatchedPath(const QString& path) const {
  if (path.isEmpty()) return false;
  const QString cdRoot = CDRoot();
  if (!cdRoot.isEmpty() && IsBelow(path, cdRoot)) return true;
  if (ListMovieDir.isEmpty()) return false;
  // A plain prefix: a sibling such as Movies2 counts too.
  return IsBelow(path, ListMovieDir);
}

// ------------------------------------------------------------- triggers

void TFrmShowcase::TimerTimer() {
  if (!Busy && CDChanged()) ScanCD();
}

void TFrmShowcase::SHChangeNotifyMediaInserted(const QString&) { ScanCD(); }

void TFrmShowcase::SHChangeNotifyMediaRemoved(const QString&) { ScanCD(); }

void TFrmShowcase::SHChangeNotifyUpdateDir(unsigned, const QString& path) {
  if (IsWatchedPath(path)) RefreshLists();
}

void TFrmShowcase::WatchLibrary() {
  // Directory changes are seen in these trees only: the library and the
  // disc in the reader.
  QStringList trees;
  if (!ListMovieDir.isEmpty()) trees << ListMovieDir;
  const QString cdRoot = CDRoot();
  if (!cdRoot.isEmpty()) trees << cdRoot;
  if (SHChangeNotify && trees != SHChangeNotify->WatchedTrees()) SHChangeNotify->SetWatchedTrees(trees);
}

// ---------------------------------------------------------------- copy

void TFrmShowcase::CheckFreeSpace(const TMovieData& record) const {
  const TFreeSpaceQuery& query = FreeSpaceQuery();
  const std::optional<std::int64_t> free = query ? query(ListMovieDir) : StorageFreeSpace(ListMovieDir);
  // A file system that cannot be asked refuses every copy.
  if (!free || static_cast<double>(record.FileSize) * 1.1 > static_cast<double>(*free))
    throw EQSException((*AppStrings)[sNoFreeSpace]);
}

bool TFrmShowcase::CopyMovieFile(const QString& source, const QString& destination) {
  // The copy shows its progress, can be cancelled, asks before replacing a
  // movie of the same name and never leaves half a movie behind.
  return ShellCopyFile(source, destination, true, true);
}
