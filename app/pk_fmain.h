#pragma once
// The main window: the movie library on the left, the preview and the
// selected movie's information on the right.
#include <QCollator>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTreeWidgetItem>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/pk_moviescan.h"
#include "framework/qs_fbaseMain.h"

class QAction;
class QLabel;
class QPushButton;
class QSplitter;
class QTimer;
class TDSVideoWindowEx2;
class TFilterGraph;
class TMovieData;
class TqsLabel;
class TqsListView;
class TSHChangeNotify;

// The message that starts the preview once the selection has been painted.
constexpr unsigned WM_PREVIEW = 2024;  // WM_USER + 1000

// A list item: the movie's caption and its record, which it owns. Items
// sort on their caption the way the user's language orders words.
class TMovieItem : public QTreeWidgetItem {
 public:
  static constexpr int kType = QTreeWidgetItem::UserType + 1;
  TMovieItem(const QString& caption, std::unique_ptr<TMovieData> data);
  ~TMovieItem() override;
  TMovieData* Data() const { return fData.get(); }
  bool operator<(const QTreeWidgetItem& other) const override;

 private:
  std::unique_ptr<TMovieData> fData;
  // The caption's collation key, made once: a list of ten thousand movies
  // is sorted again as they arrive, and comparing texts through the item's
  // data costs far more than comparing keys.
  QCollatorSortKey fSortKey;
};

class TPreviewMediaPlayer;

class TFrmShowcase : public TFrmBaseMain {
  Q_OBJECT
  friend class TPreviewMediaPlayer;

 public:
  explicit TFrmShowcase(QWidget* parent = nullptr);
  ~TFrmShowcase() override;

  // Components.
  QWidget* PnViewer;
  TqsListView* ListView;
  // Over the empty list: which directory and types were searched.
  QLabel* _lbEmptyList;
  QPushButton* btDiskMovie;
  QSplitter* Splitter;
  QWidget* _PnMediaPlayer;
  TDSVideoWindowEx2* DSVideoWindow;
  QWidget* _pnInfos;
  TqsLabel* _lbInfoFileName;
  TqsLabel* _lbInfoCreation;
  TqsLabel* _lbInfoSize;
  TqsLabel* _lbInfoViewCount;
  TqsLabel* _lbInfoViewDate;
  TqsLabel* _lbInfoLinked;
  TFilterGraph* FilterGraph;
  TSHChangeNotify* SHChangeNotify = nullptr;
  QTimer* Timer;
  QAction* _cmStart;
  QAction* _N2;
  QAction* cmParameters;
  QAction* cmEditInfoFile;
  QAction* _N1;

  // The library.
  bool Busy = false;          // a CD movie is being copied
  QString ListMovieDir;       // the movies directory the disk items come from
  QString ListCDReader;       // the CD reader the CD items come from
  QStringList CDFiles;        // every movie of the CD at the last CD scan
  QString CurrentFile;        // the movie shown and previewed
  bool Activated = false;

  // Life cycle.
  void FormCreate() override;
  void FormActivate();
  void FormClose() override;

  // Handlers.
  void ListViewSelectItem(QTreeWidgetItem* item, bool selected);
  void BtViewClick();
  void BtParametersClick();
  void cmEditInfoFileClick();
  void PopupMenuPopup();
  void cmCloseClick();
  void TimerTimer();
  void SHChangeNotifyMediaInserted(const QString& path);
  void SHChangeNotifyMediaRemoved(const QString& path);
  void SHChangeNotifyUpdateDir(unsigned flags, const QString& path);
  void DSVideoWindowResize();

  // Information and preview.
  void ShowMovieInfo(const TMovieData& record);
  static QString SizeText(std::int64_t bytes);
  void PreviewMovie(const QString& path);
  void StartMovie(const QString& path, TMovieData& record);
  // Called by the viewer when it closes, with its own record.
  void UpdateMoviePosition(TMovieData& record);

  // Library operations.
  void ScanMovieDir();
  void ScanCD();
  void RemoveCDMovies();
  void RefreshLists();
  void SetMovieDir(const QString& dir);
  void SetCDReader(const QString& reader);
  void SelectFirstMovie();
  QString CDRoot() const;
  bool CDChanged() const;
  bool IsWatchedPath(const QString& path) const;
  // Why the list is empty: the directory and the types searched, or that
  // the directory is missing, and where to change them.
  QString EmptyListText() const;
  void CheckFreeSpace(const TMovieData& record) const;
  bool CopyMovieFile(const QString& source, const QString& destination);

  // The item of the list at `index` and its record.
  TMovieItem* Item(int index) const;
  int ItemCount() const;
  TMovieItem* SelectedItem() const;

  // True while the movies directory is being walked: the disk items are not
  // all listed yet. ListsComplete is raised when they are.
  bool ListsPending() const { return fScan != nullptr; }

  // Free bytes of the file system holding a directory; nothing when it
  // cannot be told. Replaceable so that a full disk can be staged.
  using TFreeSpaceQuery = std::function<std::optional<std::int64_t>(const QString& dir)>;
  static void SetFreeSpaceQuery(TFreeSpaceQuery query);

 Q_SIGNALS:
  void ListsComplete();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateComponents();
  void ListCDMovies();
  void AddCDMovie(const QString& path);
  // A file the walk found: its record is read and its item made; the
  // items join the list a slice at a time.
  void MovieFound(TFoundMovie& found);
  void AddFoundMovies(bool all);
  void AfterLists(std::function<void()> step);
  // While the disk items are still coming, `step` is put off until they are
  // all there, once however often asked (`queued` says it is); true then.
  bool PutOffWhileListing(bool& queued, void (TFrmShowcase::*step)());
  void ListsDone();
  void DeleteItems(bool diskItems);
  void SelectItem(QTreeWidgetItem* item);
  void StopPreview();
  // Stops the preview and gives its graph up: the pane goes black.
  void ClearPreview();
  // True while a movie started from this window is on the screen or being
  // handed to its program: the preview keeps still meanwhile.
  bool MovieShowing() const;
  // Once the list is complete: the movie shown is no longer listed, so its
  // lines and its picture go.
  void ForgetGoneMovie();
  void WatchLibrary();
  // The text over an empty list and the start command follow the list.
  void ListChanged();
  // Raises when the movie to start is gone, after refreshing the lists.
  void EnsureMovieExists(const QString& path);

  std::unique_ptr<TMovieDirScan> fScan;
  QList<QTreeWidgetItem*> fFoundItems;  // made, not yet in the list
  QElapsedTimer fSinceItemsAdded;
  int fCDItemCount = 0;                 // CD items in the list
  std::vector<std::function<void()>> fAfterLists;
  bool fPreviewAfterLists = false;
  bool fRefreshQueued = false;
  bool fCDScanQueued = false;   // the CD is listed once the disk items are
  bool fStartingMovie = false;  // a click is starting a movie
  intptr_t fPreviewSerial = 0;  // previews asked for before this are void
  bool fEndedOnView = false;  // the launcher ended after handing a movie over
  int fActivation = 0;        // guards the first activation against re-entry
  // The preview as the desktop's media controls see it.
  std::unique_ptr<TPreviewMediaPlayer> fPreviewMedia;
};

// The main window in library mode, else null.
extern TFrmShowcase* FrmShowcase;
