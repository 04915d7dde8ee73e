#include "app/pk_fmain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>
#include <vector>

#include "app/pk_fparam.h"
#include "app/pk_listlook.h"
#include "app/pk_param.h"
#include "app/pk_preview_media.h"
#include "app/pk_str.h"
#include "controls/qs_Buttons.h"
#include "controls/qs_Component.h"
#include "controls/qs_XPMenu.h"
#include "framework/qs_language.h"
#include "framework/qs_messages.h"
#include "framework/qs_stringlist.h"
#include "framework/qs_tools.h"
#include "viewer/color_control.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_renderers.h"
#include "viewer/graph_utils.h"
#include "viewer/video_window.h"
#include "viewer/pk_fViewer.h"
#include "controls/qs_ShellNotify.h"
#include "framework/qs_components.h"

TFrmShowcase* FrmShowcase = nullptr;

namespace {

// Where the help pages live (set when building, see app/CMakeLists.txt);
// the page itself is fixed.
#ifndef CINVO_HELP_SITE
#define CINVO_HELP_SITE "https://www.vessa.example"
#endif
constexpr char kHelpPage[] = "/V2/articles.php?lng=fr&pg=11";

constexpr int kListViewDesignWidth = 165;
constexpr int kInfoLineHeight = 13;

QFont Tahoma(int pixels) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(pixels);
  return font;
}

// The text with its placeholder replaced. Texts come from language files:
// they are never handed to a formatting routine as its format.
QString FormatText(QString text, const QString& placeholder, const QString& value) {
  const qsizetype at = text.indexOf(placeholder);
  if (at >= 0) text.replace(at, placeholder.size(), value);
  return text;
}

// Sets a flag for as long as it lives, also when left by an error.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : fFlag(flag) { fFlag = true; }
  ~TFlagGuard() { fFlag = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& fFlag;
};

// The preview gives the first sound track only (the viewer keeps one
// renderer per track, to switch between them). The renderers of the other
// tracks are silenced; referenced for the caller, who takes them out of the
// graph once a seek has dropped the sound they were cued with: taken out
// before, a renderer would still play that piece.
std::vector<GstElement*> SilenceOtherSoundTracks(TFilterGraph& graph) {
  std::vector<GstElement*> others;
  TFilterList filters(graph.Graph());
  bool first = true;
  for (int i = 0; i < filters.Count(); ++i) {
    GstElement* renderer = filters.Items(i);
    if (!IsAudioRenderer(renderer) || std::exchange(first, false)) continue;
    ApplyRendererAudio(renderer, -10000, 0);
    others.push_back(GST_ELEMENT(gst_object_ref(renderer)));
  }
  return others;
}

}  // namespace

// ------------------------------------------------------------------ items

TMovieItem::TMovieItem(const QString& caption, std::unique_ptr<TMovieData> data)
    : QTreeWidgetItem(QStringList{caption}, kType),
      fData(std::move(data)),
      fSortKey(QCollator::defaultSortKey(caption)) {
  if (fData) setToolTip(0, fData->FileName);
}

// The record goes with its item.
TMovieItem::~TMovieItem() = default;

bool TMovieItem::operator<(const QTreeWidgetItem& other) const {
  // The same order as the locale-aware comparison of the captions.
  if (other.type() == kType) return fSortKey.compare(static_cast<const TMovieItem&>(other).fSortKey) < 0;
  return text(0).localeAwareCompare(other.text(0)) < 0;
}

// ----------------------------------------------------------------- window

TFrmShowcase::TFrmShowcase(QWidget* parent) : TFrmBaseMain(parent) {
  FrmShowcase = this;
  fPreviewMedia = std::make_unique<TPreviewMediaPlayer>(*this);
  setObjectName(QStringLiteral("FrmShowcase"));
  setWindowTitle(QStringLiteral("Cinvo"));
  resize(551, 322);  // the designed 559 x 354 less the frame
  move(372, 209);
  CreateComponents();
  FormCreate();
}

TFrmShowcase::~TFrmShowcase() {
  // FormDestroy: the walk stops first, so nothing arrives for a list that is
  // going away; the items release their records.
  fScan.reset();
  qDeleteAll(std::exchange(fFoundItems, {}));  // made, never listed
  Timer->stop();
  ListView->clear();
  // The list's own destruction must not reach this window's handlers.
  disconnect(ListView->model(), nullptr, this, nullptr);
  disconnect(ListView, nullptr, this, nullptr);
  if (FrmShowcase == this) FrmShowcase = nullptr;
}

void TFrmShowcase::CreateComponents() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(5, 5, 5, 5);  // the border width

  Splitter = Named(new QSplitter(Qt::Horizontal, this), "Splitter");
  Splitter->setHandleWidth(5);
  Splitter->setChildrenCollapsible(false);
  outer->addWidget(Splitter);

  PnViewer = Named(new QWidget(Splitter), "PnViewer");
  auto* viewerLayout = new QVBoxLayout(PnViewer);
  viewerLayout->setContentsMargins(0, 0, 0, 0);
  viewerLayout->setSpacing(2);

  ListView = Named(new TqsListView(PnViewer), "ListView");
  ListView->setColumnCount(1);
  ListView->setHeaderLabels({QStringLiteral("Movie")});
  ListView->setHeaderHidden(true);
  ListView->header()->setSectionResizeMode(QHeaderView::Stretch);
  ListView->setRootIsDecorated(false);
  ListView->setItemsExpandable(false);
  ListView->setUniformRowHeights(true);
  ListView->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView->setSortingEnabled(true);
  ListView->sortByColumn(0, Qt::AscendingOrder);
  ListView->setFont(Tahoma(13));
  ListView->setMinimumWidth(50);
  ListView->setMouseTracking(true);
  ListView->setFrameShape(QFrame::StyledPanel);
  // Button-face background with grid lines between the rows.
  ApplyMovieListLook(ListView);
  ListView->SetPopupMenu(PopupMenu);
  // A hand over the movies, the arrow elsewhere.
  connect(ListView, &QTreeWidget::itemEntered, ListView,
          [this](QTreeWidgetItem*, int) { ListView->viewport()->setCursor(Qt::PointingHandCursor); });
  connect(ListView, &QAbstractItemView::viewportEntered, ListView,
          [this] { ListView->viewport()->unsetCursor(); });
  connect(ListView, &QTreeWidget::itemSelectionChanged, this, [this] {
    const QList<QTreeWidgetItem*> selected = ListView->selectedItems();
    ListChanged();
    if (!selected.isEmpty()) ListViewSelectItem(selected.first(), true);
  });
  viewerLayout->addWidget(ListView, 1);

  _lbEmptyList = Named(new QLabel(ListView->viewport()), "_lbEmptyList");
  _lbEmptyList->setWordWrap(true);
  _lbEmptyList->setAlignment(Qt::AlignCenter);
  _lbEmptyList->setMargin(6);
  _lbEmptyList->setTextFormat(Qt::PlainText);
  _lbEmptyList->setAttribute(Qt::WA_TransparentForMouseEvents);  // the list's menu stays reachable
  _lbEmptyList->hide();
  ListView->viewport()->installEventFilter(this);
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(ListView->model(), signal, this, [this] { ListChanged(); });
  connect(ListView->model(), &QAbstractItemModel::modelReset, this, [this] { ListChanged(); });

  btDiskMovie = Named(new QPushButton(QStringLiteral("Start the movie"), PnViewer), "btDiskMovie");
  btDiskMovie->setDefault(true);
  btDiskMovie->setFixedHeight(25);
  connect(btDiskMovie, &QPushButton::clicked, this, [this] { BtViewClick(); });
  btDiskMovie->setEnabled(false);  // nothing selected yet
  viewerLayout->addWidget(btDiskMovie);

  _PnMediaPlayer = Named(new QWidget(Splitter), "_PnMediaPlayer");
  _PnMediaPlayer->setAutoFillBackground(true);
  QPalette black = _PnMediaPlayer->palette();
  black.setColor(QPalette::Window, Qt::black);
  black.setColor(QPalette::WindowText, Qt::white);
  _PnMediaPlayer->setPalette(black);
  _PnMediaPlayer->setFont(Tahoma(11));
  auto* playerLayout = new QVBoxLayout(_PnMediaPlayer);
  playerLayout->setContentsMargins(0, 0, 0, 0);
  playerLayout->setSpacing(0);

  FilterGraph = Named(new TFilterGraph(this), "FilterGraph");
  FilterGraph->SetGraphEdit(true);
  FilterGraph->SetLinearVolume(true);

  DSVideoWindow = Named(new TDSVideoWindowEx2(_PnMediaPlayer), "DSVideoWindow");
  DSVideoWindow->SetColor(Qt::black);
  DSVideoWindow->SetAspectRatio(rmLetterBox);
  DSVideoWindow->SetAutoHideCursor(0);
  DSVideoWindow->SetDigitalZoom(0);
  DSVideoWindow->SetNoScreenSaver(false);
  TColorControl* color = DSVideoWindow->ColorControl();
  color->SetBrightness(5000);
  color->SetContrast(10000);
  color->SetHue(0);
  color->SetSaturation(10000);
  color->SetSharpness(5);
  color->SetGamma(1);
  color->SetColorEnable(true);
  DSVideoWindow->SetFilterGraph(FilterGraph);
  DSVideoWindow->SetOnResize([this](QObject*) { DSVideoWindowResize(); });
  playerLayout->addWidget(DSVideoWindow, 1);

  _pnInfos = Named(new QWidget(_PnMediaPlayer), "_pnInfos");
  _pnInfos->setFixedHeight(81);
  auto* infoLayout = new QVBoxLayout(_pnInfos);
  infoLayout->setContentsMargins(0, 0, 0, 0);
  infoLayout->setSpacing(0);
  const auto infoLine = [this, infoLayout](const char* name) {
    auto* label = Named(new TqsLabel(_pnInfos), name);
    label->SetAutoSize(false);
    label->SetLayout(tlCenter);
    label->SetBorderWidth(1);
    label->SetTransparent(true);
    label->SetFontColor(Qt::white);
    label->setFixedHeight(kInfoLineHeight);
    infoLayout->addWidget(label);
    return label;
  };
  _lbInfoFileName = infoLine("_lbInfoFileName");
  _lbInfoCreation = infoLine("_lbInfoCreation");
  _lbInfoSize = infoLine("_lbInfoSize");
  _lbInfoViewCount = infoLine("_lbInfoViewCount");
  _lbInfoViewDate = infoLine("_lbInfoViewDate");
  _lbInfoLinked = infoLine("_lbInfoLinked");
  infoLayout->addStretch(1);
  playerLayout->addWidget(_pnInfos);

  Splitter->addWidget(PnViewer);
  Splitter->addWidget(_PnMediaPlayer);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  Splitter->setSizes({169, 551 - 10 - 169 - 5});

  // The window's own entries come before the standard block.
  _cmStart = MenuItem(this, "_cmStart", QStringLiteral("Start the movie"));
  connect(_cmStart, &QAction::triggered, this, [this] { BtViewClick(); });
  _N2 = Separator(this, "_N2");
  cmParameters = MenuItem(this, "cmParameters", QStringLiteral("Parameters"));
  connect(cmParameters, &QAction::triggered, this, [this] { BtParametersClick(); });
  cmEditInfoFile = MenuItem(this, "cmEditInfoFile", QStringLiteral("Edit info file"));
  connect(cmEditInfoFile, &QAction::triggered, this, [this] { cmEditInfoFileClick(); });
  _N1 = Separator(this, "_N1");
  const QList<QAction*> standard = PopupMenu->actions();
  PopupMenu->insertActions(standard.isEmpty() ? nullptr : standard.first(),
                           {_cmStart, _N2, cmParameters, cmEditInfoFile, _N1});
  // The base connects its own preparation; this window's runs after it.
  disconnect(PopupMenu, &QMenu::aboutToShow, this, nullptr);
  connect(PopupMenu, &QMenu::aboutToShow, this, [this] { PopupMenuPopup(); });
  // "Close" goes through this window's own close.
  disconnect(cmClose, &QAction::triggered, this, nullptr);
  connect(cmClose, &QAction::triggered, this, [this] { cmCloseClick(); });

  qsXPMenu->SetBarCaption(QStringLiteral("Cinvo"));
  QFont barFont(QStringLiteral("Tahoma"));
  barFont.setPixelSize(16);
  barFont.setBold(true);
  qsXPMenu->SetBarFont(barFont);
  qsXPMenu->SetActive(true);

  SHChangeNotify = Named(new TSHChangeNotify(this), "SHChangeNotify");
  SHChangeNotify->SetOnMediaInserted(
      [this](TSHChangeNotify*, std::uint32_t, const QString& path) { SHChangeNotifyMediaInserted(path); });
  SHChangeNotify->SetOnMediaRemoved(
      [this](TSHChangeNotify*, std::uint32_t, const QString& path) { SHChangeNotifyMediaRemoved(path); });
  SHChangeNotify->SetOnUpdateDir(
      [this](TSHChangeNotify*, std::uint32_t flags, const QString& path) { SHChangeNotifyUpdateDir(flags, path); });

  Timer = Named(new QTimer(this), "Timer");
  Timer->setInterval(2500);
  connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });
  Timer->start();
}

void TFrmShowcase::FormCreate() {
  TFrmBaseMain::FormCreate();
  Language->SetHelpURL(QStringLiteral(CINVO_HELP_SITE) + QLatin1String(kHelpPage));
  // The information lines are made of translated texts: a language chosen
  // now shows in them at once, not at the next selection.
  SetOnTranslate([this](QObject*) {
    for (QTreeWidgetItem* item : ListView->selectedItems())
      if (auto* movie = dynamic_cast<TMovieItem*>(item);
          movie && movie->Data() && movie->Data()->FileName.compare(CurrentFile, Qt::CaseInsensitive) == 0)
        ShowMovieInfo(*movie->Data());
  });
  CDFiles.clear();
  ListMovieDir = Parameters().MovieDir;
  ListCDReader = Parameters().CDReader;
  DSVideoWindow->ColorControl()->SetBrightness(Parameters().Brightness);
  int width = Contexte->ReadInteger(QStringLiteral("Initial"), QStringLiteral("ListViewWidth"), kListViewDesignWidth);
  // A width no splitter gives (edited by hand) would hide the list or the
  // preview: the designed one instead.
  if (width < ListView->minimumWidth() || width > screen()->virtualGeometry().width()) width = kListViewDesignWidth;
  QList<int> sizes = Splitter->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  Splitter->setSizes({width, qMax(0, total - width)});
  WatchLibrary();
}

void TFrmShowcase::showEvent(QShowEvent* event) {
  TFrmBaseMain::showEvent(event);
  // The first activation, once the window is on the screen (a window that
  // never receives the focus still gets its list).
  if (!Activated) QTimer::singleShot(0, this, [this] { FormActivate(); });
}

bool TFrmShowcase::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && !Activated)
    QTimer::singleShot(0, this, [this] { FormActivate(); });
  if (TqsMessageEvent::MessageOf(event) == WM_PREVIEW) {
    // Asked for before a movie was started: the preview would play beside
    // it.
    if (static_cast<TqsMessageEvent*>(event)->WParam() != fPreviewSerial || MovieShowing()) return true;
    QCoreApplication::processEvents();
    if (static_cast<TqsMessageEvent*>(event)->WParam() != fPreviewSerial || MovieShowing()) return true;
    // A list still being built decides the selection at its end; the
    // preview follows that selection.
    if (ListsPending())
      fPreviewAfterLists = true;
    else
      PreviewMovie(CurrentFile);
    return true;
  }
  return TFrmBaseMain::event(event);
}

void TFrmShowcase::FormActivate() {
  if (Activated) return;
  Activated = true;
  QCoreApplication::processEvents();
  RefreshLists();
  AfterLists([this] { SelectFirstMovie(); });
}

bool TFrmShowcase::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListView->viewport() && event->type() == QEvent::Resize)
    _lbEmptyList->setGeometry(ListView->viewport()->rect());
  return TFrmBaseMain::eventFilter(watched, event);
}

void TFrmShowcase::ListChanged() {
  const bool selected = SelectedItem() != nullptr;
  btDiskMovie->setEnabled(selected);
  _cmStart->setEnabled(selected);
  // While the walk runs the list is not empty yet, only unfinished.
  const bool empty = ItemCount() == 0 && !ListsPending() && Activated;
  if (empty) {
    _lbEmptyList->setText(EmptyListText());
    _lbEmptyList->setGeometry(ListView->viewport()->rect());
  }
  _lbEmptyList->setVisible(empty);
}

QString TFrmShowcase::EmptyListText() const {
  const TqsStringList& texts = *AppStrings;
  const QString types = MovieTypePatterns(Parameters().MovieTypes).join(QLatin1Char(' '));
  QStringList lines;
  if (ListMovieDir.isEmpty()) {
    lines << texts[sNoMovieDir];
  } else if (!QFileInfo(ListMovieDir).isDir()) {
    lines << FormatText(texts[sMovieDirMissing], QStringLiteral("%s"), QDir::toNativeSeparators(ListMovieDir));
  } else {
    lines << FormatText(texts[sNoMoviesIn], QStringLiteral("%s"), QDir::toNativeSeparators(ListMovieDir));
    lines << FormatText(texts[sTypesSearched], QStringLiteral("%s"), types);
  }
  lines << QString() << texts[sChangeInParameters];
  return lines.join(QLatin1Char('\n'));
}

void TFrmShowcase::keyPressEvent(QKeyEvent* event) {
  // The start button is the window's default button.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    btDiskMovie->animateClick();
    return;
  }
  TFrmBaseMain::keyPressEvent(event);
}

void TFrmShowcase::ListViewSelectItem(QTreeWidgetItem* item, bool selected) {
  auto* movie = dynamic_cast<TMovieItem*>(item);
  if (!selected || !movie || !movie->Data()) return;
  const TMovieData& record = *movie->Data();
  if (record.FileName.compare(CurrentFile, Qt::CaseInsensitive) == 0) return;
  CurrentFile = record.FileName;
  ShowMovieInfo(record);
  // A refresh while a movie is shown moves the selection, but no second
  // movie plays behind it; nor after it, until the user picks another.
  if (!MovieShowing()) PostWindowMessage(this, WM_PREVIEW, fPreviewSerial);
}

bool TFrmShowcase::MovieShowing() const { return fStartingMovie || (FrmViewer && FrmViewer->isVisible()); }

void TFrmShowcase::ShowMovieInfo(const TMovieData& record) {
  const TqsStringList& texts = *AppStrings;
  _lbInfoFileName->SetCaption(record.FileName);
  _lbInfoCreation->SetCaption(texts[sCreatedThe] + DateTimeText(record.CreationDate));
  _lbInfoSize->SetCaption(texts[sSize] + SizeText(record.FileSize));
  if (record.ViewCount < 1) {
    _lbInfoViewCount->SetCaption(QString());
    _lbInfoViewDate->SetCaption(QString());
  } else {
    _lbInfoViewCount->SetCaption(FormatText(texts[sSeenTimes], QStringLiteral("%d"), QString::number(record.ViewCount)));
    _lbInfoViewDate->SetCaption(texts[sLastSeen] + DateTimeText(record.ViewDate));
  }
  _lbInfoLinked->SetCaption(FormatText(texts[sPosition], QStringLiteral("%s"), SecondsToText(record.ViewPosition)));
}

QString TFrmShowcase::SizeText(std::int64_t bytes) {
  return QStringLiteral("%1 K").arg(static_cast<qint64>(bytes / 1024));
}

void TFrmShowcase::PreviewMovie(const QString& path) {
  DSVideoWindow->SetAspectRatio(rmLetterBox);
  FilterGraph->SetActive(true);
  FilterGraph->EmptyGraph();
  // The viewer's sound level, set there or through the desktop.
  FilterGraph->SetVolume(Parameters().GraphVolume());
  bool rendered = false;
  try {
    rendered = FilterGraph->RenderMediaFile(path) >= 0;
  } catch (const std::exception&) {
  }
  if (!rendered) {
    // A black pane, not the last picture of the movie before, and no message.
    ClearPreview();
    return;
  }
  const std::vector<GstElement*> otherTracks = SilenceOtherSoundTracks(*FilterGraph);
  if (IMediaSeeking* seeking = FilterGraph->MediaSeeking()) {
    int64_t stop = 0;
    if (seeking->GetStopPosition(&stop) >= 0) {
      int64_t current = stop / 12;
      seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }
  }
  for (GstElement* renderer : otherTracks) {
    RemoveFilter(FilterGraph->Graph(), renderer);
    gst_object_unref(renderer);
  }
  FilterGraph->Play();
  const TMovieItem* item = SelectedItem();
  fPreviewMedia->Started(path, item && item->Data() && item->Data()->FileName == path ? item->text(0)
                                                                                     : QFileInfo(path).completeBaseName());
}

void TFrmShowcase::StopPreview() {
  FilterGraph->Stop();
  fPreviewMedia->Ended();
}

void TFrmShowcase::ClearPreview() {
  StopPreview();
  // The renderer leaves with the graph, and its last picture with it.
  FilterGraph->SetActive(false);
}

void TFrmShowcase::ForgetGoneMovie() {
  if (CurrentFile.isEmpty() || ListsPending()) return;
  const auto shows = [this](const TMovieItem* item) {
    return item && item->Data() && item->Data()->FileName.compare(CurrentFile, Qt::CaseInsensitive) == 0;
  };
  if (shows(SelectedItem())) return;
  for (int i = 0; i < ItemCount(); ++i)
    if (shows(Item(i))) return;
  CurrentFile.clear();
  for (TqsLabel* line : {_lbInfoFileName, _lbInfoCreation, _lbInfoSize, _lbInfoViewCount, _lbInfoViewDate, _lbInfoLinked})
    line->SetCaption(QString());
  ClearPreview();
}

void TFrmShowcase::DSVideoWindowResize() { DSVideoWindow->UpdateOverlayRect(); }

void TFrmShowcase::PopupMenuPopup() {
  TFrmBaseMain::PopupMenuPopup();
  _cmStart->setText(btDiskMovie->text());
}

void TFrmShowcase::cmCloseClick() {
  StopPreview();
  TFrmBaseMain::cmCloseClick();
}

void TFrmShowcase::FormClose() {
  // The viewer closes first, so its position is stored while the list it
  // reports to still exists and the screen is given back before the run ends.
  if (FrmViewer && FrmViewer->isVisible()) FrmViewer->close();
  // The launcher ended after handing a movie to another program: this
  // run's list width and position are not kept.
  if (fEndedOnView) return;
  Contexte->WriteInteger(QStringLiteral("Initial"), QStringLiteral("ListViewWidth"), PnViewer->width());
  TFrmBaseMain::FormClose();
}

void TFrmShowcase::BtParametersClick() {
  if (!EditParameters()) return;
  SetCDReader(Parameters().CDReader);
  SetMovieDir(Parameters().MovieDir);
  DSVideoWindow->ColorControl()->SetBrightness(Parameters().Brightness);
  RefreshLists();
}

void TFrmShowcase::cmEditInfoFileClick() {
  const QString path = MovieListPath();
  // No records yet (a first run): an empty file to edit, written the way
  // every save is. A failed write has been reported already.
  if (!QFileInfo::exists(path) && !MovieList().Flush()) return;
  try {
    ShellOpen(path);
  } catch (const EToolsError& e) {
    throw EToolsError(FileMessage(e.Message(), QDir::toNativeSeparators(path)));
  }
}

void TFrmShowcase::BtViewClick() {
  TMovieItem* item = SelectedItem();
  if (!item || !item->Data()) return;
  TMovieData& record = *item->Data();
  const QString path = record.FileName;
  // Previews asked for before are void, and none starts until the movie is
  // on the screen (which then holds them off).
  ++fPreviewSerial;
  fPreviewAfterLists = false;
  TFlagGuard starting(fStartingMovie);
  StopPreview();
  if (record.Origin || !Parameters().CopyFromCD || ListMovieDir.isEmpty()) {
    StartMovie(path, record);
    return;
  }
  // A CD movie goes to the movies directory first. Nothing rebuilds the
  // list meanwhile.
  {
    TFlagGuard busy(Busy);
    EnsureMovieExists(path);
    CheckFreeSpace(record);
    const QString destination = AddBackslash(ListMovieDir) + QFileInfo(path).fileName();
    if (!CopyMovieFile(path, destination)) return;
    // The CD item's record is the one counted and handed to the viewer; the
    // viewer keeps what it needs before the item goes.
    StartMovie(destination, record);
    RemoveCDMovies();
    ScanMovieDir();
  }
}

void TFrmShowcase::EnsureMovieExists(const QString& path) {
  if (IsExistingFile(path)) return;
  // Gone since the scan (deleted, disc taken out): no view is counted, and
  // the list shows what is there now.
  const QString shown = QDir::toNativeSeparators(path);
  const bool wasBusy = Busy;
  Busy = false;
  RefreshLists();
  Busy = wasBusy;
  throw EQSException(FormatText((*AppStrings)[sMovieGone], QStringLiteral("%s"), shown));
}

void TFrmShowcase::StartMovie(const QString& path, TMovieData& record) {
  EnsureMovieExists(path);
  record.RecordView();
  FilterGraph->Stop();
  FilterGraph->SetActive(false);
  fPreviewMedia->Ended();
  // Counted before it shows; a movie that then cannot be shown at all was
  // not seen.
  try {
    if (Parameters().InternalViewer) {
      if (!FrmViewer) {
        FrmViewer = new TFrmViewer(this);
        FrmViewer->SetOnUpdateMoviePosition([this](TMovieData& movie) { UpdateMoviePosition(movie); });
      }
      FrmViewer->OpenMovie(path, &record);
      return;
    }
    ShellOpen(path);
  } catch (...) {
    if (!FrmViewer || !FrmViewer->isVisible()) record.TakeBackView();
    throw;
  }
  if (Parameters().ExitOnView) {
    fEndedOnView = true;
    QCoreApplication::exit(0);
  }
}

void TFrmShowcase::UpdateMoviePosition(TMovieData& record) {
  record.SavePosition();
  const QString name = QFileInfo(record.FileName).fileName();
  for (int i = 0; i < ItemCount(); ++i) {
    TMovieData* data = Item(i)->Data();
    if (data && QFileInfo(data->FileName).fileName().compare(name, Qt::CaseInsensitive) == 0)
      data->ViewPosition = record.ViewPosition;
  }
}
