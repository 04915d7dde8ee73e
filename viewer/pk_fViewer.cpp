#include "viewer/pk_fViewer.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <exception>

#include "app/pk_fparam.h"
#include "app/pk_param.h"
#include "app/pk_str.h"
#include "assets/qs_Assets.h"
#include "controls/qs_Buttons.h"
#include "controls/qs_Component.h"
#include "controls/qs_XPMenu.h"
#include "framework/qs_application.h"
#include "framework/qs_designlayout.h"
#include "framework/qs_messages.h"
#include "framework/qs_prompts.h"
#include "framework/qs_stringlist.h"
#include "framework/qs_tools.h"
#include "platform/mpris_service.h"
#include "viewer/color_control.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_renderers.h"
#include "viewer/subtitle_overlay.h"
#include "viewer/track_bar.h"
#include "viewer/video_renderer.h"
#include "viewer/video_window.h"
#include "viewer/viewer_desktop.h"
#include "framework/qs_components.h"

TFrmViewer* FrmViewer = nullptr;

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;  // media time: 100 ns
constexpr QSize kDesignSize(454, 272);
constexpr int kToolBarHeight = 27;

// An integer as the answer box reads it: anything else counts as 0.
int IntegerOrZero(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok, 10);
  return ok ? value : 0;
}

}  // namespace

TFrmViewer::TFrmViewer(QWidget* owner) : TFrmBaseMain(owner), fCurrentMovie(std::make_unique<TMovieData>(QString(), false)) {
  FrmViewer = this;
  setObjectName(QStringLiteral("FrmViewer"));
  // Owned by the library window but a window of its own, without a frame.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setWindowTitle(QStringLiteral("Cinvo"));
  resize(kDesignSize);
  setFocusPolicy(Qt::StrongFocus);

  ShapeBlack = Named(new QWidget(this), "ShapeBlack");
  QPalette black = ShapeBlack->palette();
  black.setColor(QPalette::Window, Qt::black);
  ShapeBlack->setPalette(black);
  ShapeBlack->setAutoFillBackground(true);

  PnDsVideo = Named(new QWidget(this), "PnDsVideo");
  PnDsVideo->setPalette(black);
  PnDsVideo->setAutoFillBackground(true);
  auto* fill = new QHBoxLayout(PnDsVideo);
  fill->setContentsMargins(0, 0, 0, 0);

  FilterGraph = Named(new TFilterGraph(this), "FilterGraph");
  FilterGraph->SetGraphEdit(false);
  FilterGraph->SetLinearVolume(true);
  FilterGraph->SetOnDSEvent([this](QObject*, long code, intptr_t, intptr_t) {
    if (code == EC_COMPLETE) fDesktop->Playing(false);
  });
  FilterGraph->SetOnGraphClockChanged([this](QObject*) { FilterGraphGraphClockChanged(); });

  DSVideoWindow = Named(new TDSVideoWindowEx2(PnDsVideo), "DSVideoWindow");
  fill->addWidget(DSVideoWindow);
  DSVideoWindow->SetAspectRatio(rmLetterBox);
  DSVideoWindow->SetAutoHideCursor(200);
  DSVideoWindow->SetDigitalZoom(0);
  DSVideoWindow->SetFilterGraph(FilterGraph);
  TColorControl* colors = DSVideoWindow->ColorControl();
  colors->SetBrightness(5000);
  colors->SetContrast(10000);
  colors->SetHue(0);
  colors->SetSaturation(10000);
  colors->SetSharpness(5);
  colors->SetGamma(1);
  colors->SetColorEnable(true);
  DSVideoWindow->SetNoScreenSaver(true);
  DSVideoWindow->SetColor(Qt::black);
  DSVideoWindow->SetOnClick([this](QObject*) { DSVideoWindowClick(); });
  DSVideoWindow->SetOnDblClick([this](QObject*) { DSVideoWindowDblClick(); });

  BuildToolbar();
  BuildMenu();
  BuildVolume();
  PopupMenu->insertAction(_N3, cmVolume);
  BuildSubtitles();
  PopupMenu->insertAction(_N2, cmSubtitles);
  fPositionSave = new QTimer(this);
  fPositionSave->setInterval(PositionSaveSeconds * 1000);
  connect(fPositionSave, &QTimer::timeout, this, [this] { SavePlayingPosition(); });
  PlaceComponents();

  // Keys every full-window player answers to, whichever control has focus.
  auto key = [this](QKeySequence sequence, std::function<void()> action) {
    auto* shortcut = new QShortcut(sequence, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, std::move(action));
  };
  key(QKeySequence(Qt::Key_Space), [this] { TogglePlay(); });
  key(QKeySequence(Qt::Key_Escape), [this] { close(); });
  key(QKeySequence(Qt::Key_Return), [this] { ShowToolbar(!ToolbarVisible()); });
  key(QKeySequence(Qt::Key_Enter), [this] { ShowToolbar(!ToolbarVisible()); });
  key(QKeySequence(Qt::Key_Left), [this] { MoveBy(-KeyStepSeconds); });
  key(QKeySequence(Qt::Key_Right), [this] { MoveBy(KeyStepSeconds); });
  key(QKeySequence(Qt::Key_Up), [this] { ChangeVolume(1); });
  key(QKeySequence(Qt::Key_Down), [this] { ChangeVolume(-1); });
  key(QKeySequence(Qt::Key_M), [this] { ToggleMute(); });

  fDesktop = std::make_unique<TViewerDesktop>([this] { platform::MediaPlayerChanged(this); });
  FormCreate();
}

TFrmViewer::~TFrmViewer() {
  // Never leave the screen as an opening set it, whatever ends the viewer.
  if (fScreenTaken) RestoreScreen();
  if (FilterGraph->Active()) {
    FilterGraph->Stop();
    FilterGraph->SetActive(false);
  }
  platform::MediaPlayerEnded(this);
  if (FrmViewer == this) FrmViewer = nullptr;
}

void TFrmViewer::BuildToolbar() {
  pnToolBar = Named(new QWidget(this), "pnToolBar");
  pnToolBar->setAutoFillBackground(true);
  auto* bar = new TDesignLayout(pnToolBar, QSize(kDesignSize.width(), kToolBarHeight));

  auto button = [this, bar](const char* name, const char* glyph, const char* hint, int x) {
    auto* b = Named(new TqsSpeedButton(pnToolBar), name);
    b->SetFlat(true);
    b->SetGlyph(QImage(QString::fromLatin1(glyph)));
    b->setToolTip(QString::fromLatin1(hint));
    bar->Add(b, QRect(x, 1, 25, 25));
    return b;
  };
  _sbClose = button("_sbClose", kGlyphStop, "Stop", 0);
  _sbPause = button("_sbPause", kGlyphPause, "Pause", 27);
  _sbRestart = button("_sbRestart", kGlyphRestart, "Start", 54);
  _sbStart = button("_sbStart", kGlyphStart, "Start", 81);
  _sbFullScreen = button("_sbFullScreen", kGlyphHideToolbar, "Hide toolbar", 108);
  _sbClose->SetOnClick([this](QObject*) { _sbCloseClick(); });
  _sbPause->SetOnClick([this](QObject*) { _sbPauseClick(); });
  _sbRestart->SetOnClick([this](QObject*) { _sbRestartClick(); });
  _sbStart->SetOnClick([this](QObject*) { _sbStartClick(); });
  _sbFullScreen->SetOnClick([this](QObject*) { _sbFullScreenClick(); });

  DSTrackBar = Named(new TDSTrackBar(pnToolBar), "DSTrackBar");
  DSTrackBar->setTickPosition(QSlider::NoTicks);
  DSTrackBar->setFocusPolicy(Qt::NoFocus);
  DSTrackBar->SetTimerInterval(1000);
  DSTrackBar->SetFilterGraph(FilterGraph);
  DSTrackBar->SetOnChange([this](QObject*) { DSTrackBarChange(); });
  DSTrackBar->SetOnTimer([this](QObject*, uint32_t, uint32_t) { DSTrackBarTimer(); });
  bar->Add(DSTrackBar, QRect(133, 1, 145, 25), akLeft | akTop | akRight);

  QFont tahoma(QStringLiteral("Tahoma"));
  tahoma.setPointSize(8);
  auto label = [this, bar, &tahoma](const char* name, int x, int width) {
    auto* l = Named(new TqsLabel(pnToolBar), name);
    l->setFont(tahoma);
    l->SetAutoSize(false);
    l->SetAlignment(taCenter);
    l->SetLayout(tlCenter);
    l->SetBorderStyle(lbsSunken);
    l->SetTransparent(true);
    bar->Add(l, QRect(x, 3, width, 21), akTop | akRight);
    return l;
  };
  _lbStatus = label("_lbStatus", 281, 50);
  _lbPosition = label("_lbPosition", 334, 59);
  _lbDuration = label("_lbDuration", 395, 59);
  _lbPosition->SetOnDblClick([this](QObject*) { cmGoToClick(); });
}

void TFrmViewer::BuildMenu() {
  _cmInfoFilename = MenuItem(this, "_cmInfoFilename", QStringLiteral("Infos"));
  _cmInfoFilename->setMenu(new QMenu(PopupMenu));
  _cmInfoMovieSize = MenuItem(this, "_cmInfoMovieSize", QStringLiteral("Source size"));
  _cmInfoSize = MenuItem(this, "_cmInfoSize", QStringLiteral("Display size"));
  _cmInfoFilename->menu()->addActions({_cmInfoMovieSize, _cmInfoSize});
  _N1 = Separator(this, "_N1");

  cmToolbar = MenuItem(this, "cmToolbar", QStringLiteral("Toolbar"));
  cmToolbar->setCheckable(true);
  connect(cmToolbar, &QAction::triggered, this, [this] { cmToolbarClick(); });

  cmDisplaySize = MenuItem(this, "cmDisplaySize", QStringLiteral("Display size"));
  cmDisplaySize->setMenu(new QMenu(PopupMenu));
  cmDisplaySizeNormal = MenuItem(this, "cmDisplaySizeNormal", QStringLiteral("Normal"));
  cmDisplaySizeFullScreen = MenuItem(this, "cmDisplaySizeFullScreen", QStringLiteral("Full screen"));
  cmDisplaySize_16_9 = MenuItem(this, "cmDisplaySize_16_9", QStringLiteral("16 / 9"));
  auto* sizes = new QActionGroup(this);
  sizes->setExclusive(true);
  for (QAction* item : {cmDisplaySizeNormal, cmDisplaySizeFullScreen, cmDisplaySize_16_9}) {
    item->setCheckable(true);
    sizes->addAction(item);
    cmDisplaySize->menu()->addAction(item);
  }
  cmDisplaySizeNormal->setChecked(true);
  connect(cmDisplaySizeNormal, &QAction::triggered, this, [this] { cmDisplaySizeNormalClick(); });
  connect(cmDisplaySizeFullScreen, &QAction::triggered, this, [this] { cmDisplaySizeFullScreenClick(); });
  connect(cmDisplaySize_16_9, &QAction::triggered, this, [this] { cmDisplaySize_16_9Click(); });

  cmAudio = MenuItem(this, "cmAudio", QStringLiteral("Audio"));
  cmAudio->setMenu(new QMenu(PopupMenu));
  _cmAudio1 = MenuItem(this, "_cmAudio1", QStringLiteral("Audio 1"));
  _cmAudio2 = MenuItem(this, "_cmAudio2", QStringLiteral("Audio 2"));
  _cmAudio1->setCheckable(true);
  _cmAudio2->setCheckable(true);
  cmAudio->menu()->addActions({_cmAudio1, _cmAudio2});
  cmAudio->setVisible(false);
  connect(_cmAudio1, &QAction::triggered, this, [this] { _cmAudio1Click(); });
  connect(_cmAudio2, &QAction::triggered, this, [this] { _cmAudio2Click(); });
  fAudioItems = {_cmAudio1, _cmAudio2};
  _N2 = Separator(this, "_N2");

  cmGoTo = MenuItem(this, "cmGoTo", QStringLiteral("Go to"));
  connect(cmGoTo, &QAction::triggered, this, [this] { cmGoToClick(); });
  cmPlay = MenuItem(this, "cmPlay", QStringLiteral("Play"));
  connect(cmPlay, &QAction::triggered, this, [this] { _sbStartClick(); });
  cmPause = MenuItem(this, "cmPause", QStringLiteral("Pause"));
  connect(cmPause, &QAction::triggered, this, [this] { _sbPauseClick(); });
  _N3 = Separator(this, "_N3");
  cmParameters = MenuItem(this, "cmParameters", QStringLiteral("Parameters"));
  connect(cmParameters, &QAction::triggered, this, [this] { cmParametersClick(); });

  PopupMenu->insertActions(cmAbout, {_cmInfoFilename, _N1, cmToolbar, cmDisplaySize, cmAudio, _N2, cmGoTo, cmPlay,
                                     cmPause, _N3, cmParameters});
  // After the base window's own handling, which was connected first.
  connect(PopupMenu, &QMenu::aboutToShow, this, [this] { InfoCaptions(); });

  qsXPMenu->SetBarCaption(QStringLiteral("Cinvo"));
  QFont barFont = qsXPMenu->BarFont();
  barFont.setPixelSize(16);
  qsXPMenu->SetBarFont(barFont);
  qsXPMenu->SetActive(true);
}

void TFrmViewer::PlaceComponents() {
  const QRect client = rect();
  ShapeBlack->setGeometry(client);
  if (fPanelBand) {
    const int w = frameGeometry().width();
    const int h = w * 9 / 16;
    PnDsVideo->setGeometry(0, (client.height() - h) / 2, w, h);
  } else {
    PnDsVideo->setGeometry(client);
  }
  pnToolBar->setGeometry(0, client.height() - kToolBarHeight, client.width(), kToolBarHeight);
  ShapeBlack->lower();
  pnToolBar->raise();
}

void TFrmViewer::resizeEvent(QResizeEvent* event) {
  TFrmBaseMain::resizeEvent(event);
  PlaceComponents();
}

void TFrmViewer::FormCreate() {
  TFrmBaseMain::FormCreate();
  fCurrentMovie = std::make_unique<TMovieData>(QString(), false);  // empty: no file, not from a CD
  ShowToolbar(false);
  const int viewMode = Contexte->ReadInteger(QStringLiteral("ViewMode"), 2);
  fViewMode = static_cast<uint8_t>(viewMode >= 0 && viewMode <= 2 ? viewMode : 2);  // a hand-edited value: the default
}

TMovieData& TFrmViewer::CurrentMovie() { return *fCurrentMovie; }

void TFrmViewer::SetOnUpdateMoviePosition(std::function<void(TMovieData&)> handler) {
  fOnUpdateMoviePosition = std::move(handler);
}

bool TFrmViewer::ToolbarVisible() const { return pnToolBar->isVisibleTo(const_cast<TFrmViewer*>(this)); }

// ------------------------------------------------------------------ opening

void TFrmViewer::OpenMovie(const QString& fileName, const TMovieData* movie) {
  // A movie still showing is closed first, so its position is not lost.
  if (fShowing) FormClose();

  fScreenSaverWasOn = DisableScreenSaver();
  fLowPowerWasOn = DisableLowPower();
  fPowerOffWasOn = DisablePowerOff();
  fScreenTaken = true;
  try {
    try {
      ApplyScreenSettingsMode(Parameters().ScreenSettingsMode);
    } catch (const EToolsError& e) {
      // The movie plays at the screen's own mode; the user is told once.
      static bool told = false;
      if (!told) ReportErrorLater(e.Message());
      told = true;
    }
    DSVideoWindow->ColorControl()->SetBrightness(Parameters().Brightness);

    fMovieFileName = fileName;
    fMovieTitle = QFileInfo(fileName).completeBaseName();
    setWindowTitle(fMovieTitle);

    fRendered = false;
    fSwitchingStream = false;
    FilterGraph->SetActive(true);
    FilterGraph->EmptyGraph();
    ApplyVolume(false);  // the sound renderers are made with it
    FilterGraph->RenderMediaFile(fileName);
    fRendered = true;
  } catch (...) {
    // The viewer stays closed: give back at once what was switched off.
    if (FilterGraph->Active()) {
      FilterGraph->Stop();
      FilterGraph->SetActive(false);
    }
    RestoreScreen();
    throw;
  }
  // The record belongs to this movie from now on, so a close that comes
  // while the window is being shown stores under the right name.
  if (movie) {
    fCurrentMovie->FileName = movie->FileName;
    fCurrentMovie->ViewPosition = movie->ViewPosition;
  }
  fPaused = false;

  QCoreApplication::processEvents();
  // Over the whole screen, panels included, as a borderless maximised
  // window is elsewhere; also where no window manager places it.
  if (QScreen* screen = this->screen()) {
    setGeometry(screen->geometry());
    // The display mode may change under the window (800 x 600 is applied
    // just before; the server reports it a little later).
    disconnect(fScreenFollow);
    fScreenFollow = connect(screen, &QScreen::geometryChanged, this, [this](const QRect& area) {
      if (fShowing) setGeometry(area);
    });
  }
  fShowing = true;
  showFullScreen();
  raise();
  activateWindow();
  // The source size first: applying the display size then crops a wide
  // picture at once instead of after the next "16 / 9".
  ReadSourceSize();
  ApplyViewMode();
  QCoreApplication::processEvents();
  if (!fShowing) return;  // closed while it was being shown

  fAudioRendererCount = CountAudioRenderers();
  if (fAudioRendererCount > 1) {
    ListAudioStreams();
    cmAudio->setVisible(true);
    SelectAudioStream(1);
  } else {
    // "Audio 2" of a movie with one stream would silence it.
    cmAudio->setVisible(false);
  }
  fMediaSeeking = FilterGraph->MediaSeeking();
  FindSubtitles(true);
  _lbDuration->SetCaption(SecondsToText(FilterGraph->DurationMs() / 1000));
  fOpened = true;
  PlayMovie();
  platform::MediaPlayerStarted(this);
  fDesktop->MovieOpened(fileName);
  PostWindowMessage(this, WM_RESUME);
}

void TFrmViewer::ApplyViewMode() {
  switch (fViewMode) {
    case 0:
      SetDisplaySizeNormal();
      break;
    case 1:
      SetDisplaySizeFullScreen();
      break;
    case 2:
      SetDisplaySize16x9();
      break;
    default:
      break;
  }
}

void TFrmViewer::ReadSourceSize() {
  TVideoRenderer* renderer = DSVideoWindow->GraphRenderer();
  if (!renderer) return;
  renderer->SetDefaultSourcePosition();
  long width = 0, height = 0;
  if (Succeeded(renderer->get_SourceWidth(&width))) fSourceWidth = int(width);
  if (Succeeded(renderer->get_SourceHeight(&height))) fSourceHeight = int(height);
}

int TFrmViewer::CountAudioRenderers() {
  TFilterList filters(FilterGraph->Graph());
  int count = 0;
  for (int i = 0; i < filters.Count(); ++i)
    if (IsAudioRenderer(filters.Items(i))) ++count;
  return count;
}

void TFrmViewer::ListAudioStreams() {
  QStringList tags;
  TFilterList filters(FilterGraph->Graph());
  for (int i = 0; i < filters.Count(); ++i)
    if (IsAudioRenderer(filters.Items(i))) tags << StreamTags(filters.Items(i));
  while (fAudioItems.size() < size_t(tags.size())) {
    const int n = int(fAudioItems.size()) + 1;
    auto* item = new QAction(this);
    item->setObjectName(QStringLiteral("_cmAudio%1").arg(n));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, n] { AudioStreamClick(n); });
    cmAudio->menu()->addAction(item);
    fAudioItems.push_back(item);
  }
  for (size_t i = 0; i < fAudioItems.size(); ++i) {
    QString caption = QStringLiteral("Audio %1").arg(i + 1);
    QString tag = i < size_t(tags.size()) ? tags[int(i)] : QString();
    // A title's "&" is text, not a menu key.
    if (!tag.isEmpty()) caption += QStringLiteral(" (%1)").arg(tag.replace(QLatin1Char('&'), QStringLiteral("&&")));
    fAudioItems[i]->setText(caption);
    fAudioItems[i]->setVisible(i < size_t(tags.size()));
  }
}

void TFrmViewer::SelectAudioStream(int n) {
  for (size_t i = 0; i < fAudioItems.size(); ++i) fAudioItems[i]->setChecked(int(i) + 1 == n);
  TFilterList filters(FilterGraph->Graph());
  int number = 0;
  for (int i = 0; i < filters.Count(); ++i) {
    GstElement* filter = filters.Items(i);
    if (!IsAudioRenderer(filter)) continue;
    if (++number == n) continue;
    TPinList pins(filter);
    for (int p = 0; p < pins.Count(); ++p) {
      DisconnectPin(pins.Items(p));
      if (GstPad* peer = ConnectedTo(pins.Items(p))) {
        DisconnectPin(peer);
        gst_object_unref(peer);
      }
    }
  }
}

void TFrmViewer::ReloadMovie() {
  int64_t current = 0, stop = 0;
  if (fRendered && fMediaSeeking && Succeeded(fMediaSeeking->GetPositions(&current, &stop)))
    fCurrentMovie->ViewPosition = current / kUnitsPerSecond;
  fSwitchingStream = true;
  FilterGraph->Stop();
  FilterGraph->EmptyGraph();
  fRendered = false;
  FilterGraph->RenderMediaFile(fMovieFileName);
  fRendered = true;
  FindSubtitles(false);  // new renderers, the same choice
  UpdateStatus();
}

// ------------------------------------------------------------ display sizes

void TFrmViewer::SetDisplaySizeNormal() {
  fPanelBand = false;
  PlaceComponents();
  DSVideoWindow->SetAspectRatio(rmLetterBox);
  if (TVideoRenderer* renderer = DSVideoWindow->GraphRenderer()) renderer->SetDefaultSourcePosition();
  cmDisplaySizeNormal->setChecked(true);
}

void TFrmViewer::SetDisplaySizeFullScreen() {
  fPanelBand = false;
  PlaceComponents();
  DSVideoWindow->SetAspectRatio(rmCrop);
  if (TVideoRenderer* renderer = DSVideoWindow->GraphRenderer()) renderer->SetDefaultSourcePosition();
  cmDisplaySizeFullScreen->setChecked(true);
}

void TFrmViewer::SetDisplaySize16x9() {
  if (TVideoRenderer* renderer = DSVideoWindow->GraphRenderer()) {
    if (CropSourceTo16x9(renderer)) {
      DSVideoWindow->SetAspectRatio(rmCrop);
      fPanelBand = true;
      PlaceComponents();
    } else {
      SetDisplaySizeNormal();
    }
  }
  cmDisplaySize_16_9->setChecked(true);
}

bool TFrmViewer::CropSourceTo16x9(TVideoRenderer* renderer) {
  renderer->SetDefaultSourcePosition();
  long left = 0, top = 0, width = 0, height = 0;
  // A picture of unknown size (no video yet, or none at all) is shown whole
  // rather than divided by nothing.
  if (Failed(renderer->GetSourcePosition(&left, &top, &width, &height)) || width <= 0 || height <= 0) return false;
  const double ratio = (double(height) / double(width)) / 0.5625;
  if (ratio >= 1) return false;  // not wider than 16:9
  const double wide = double(height) * 16 / 9;
  renderer->put_SourceWidth(long(wide));
  renderer->put_SourceHeight(height);
  renderer->put_SourceLeft(long((double(width) - wide) / 2));
  renderer->put_SourceTop(top);
  return true;
}

// --------------------------------------------------------- small operations

void TFrmViewer::PlayMovie() {
  if (!fOpened) return;
  FilterGraph->Play();
  if (!fPositionSave->isActive()) fPositionSave->start();
  fPaused = false;
  UpdateStatus();
  fDesktop->Playing(true);
  platform::MediaPlayerChanged(this);
}

void TFrmViewer::PauseMovie() {
  if (!fOpened) return;
  FilterGraph->Pause();
  fPositionSave->stop();
  SavePlayingPosition();
  fPaused = true;
  UpdateStatus();
  fDesktop->Playing(false);
  platform::MediaPlayerChanged(this);
}

void TFrmViewer::UpdateStatus() { _lbStatus->SetCaption(fPaused ? QStringLiteral("PAUSE") : QStringLiteral("PLAY")); }

void TFrmViewer::ShowToolbar(bool visible) {
  pnToolBar->setVisible(visible);
  DSVideoWindow->SetAutoHideCursor(visible ? 0 : 200);
  cmToolbar->setChecked(visible);
}

void TFrmViewer::ShowPosition() {
  if (!fMediaSeeking) return;
  int64_t current = 0;
  if (Failed(fMediaSeeking->GetCurrentPosition(&current))) return;
  _lbPosition->SetCaption(SecondsToText(current / kUnitsPerSecond));
}

void TFrmViewer::SetCurrentPosition(int64_t target) {
  if (!fMediaSeeking) return;
  fMediaSeeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  // A jump back after the end plays again.
  fDesktop->Playing(!fPaused);
  platform::MediaPlayerChanged(this, true);
  // Thumb and label follow the jump now: while paused no timer would move
  // them.
  DSTrackBar->TimerTick();
}

void TFrmViewer::TogglePlay() { DSVideoWindowClick(); }

void TFrmViewer::MoveBy(int seconds) {
  if (!fOpened || !fShowing || !fMediaSeeking) return;
  int64_t current = 0, stop = 0;
  if (Failed(fMediaSeeking->GetPositions(&current, &stop))) return;
  int64_t target = current + int64_t(seconds) * kUnitsPerSecond;
  if (target < 0) target = 0;
  // As with "Go to": nothing happens for a point in the last hundredth.
  if (target >= stop - stop / 100) return;
  SetCurrentPosition(target);
}

// ----------------------------------------------------------------- commands

void TFrmViewer::_sbCloseClick() { close(); }
void TFrmViewer::_sbPauseClick() { PauseMovie(); }
void TFrmViewer::_sbStartClick() { PlayMovie(); }

void TFrmViewer::_sbRestartClick() {
  PostWindowMessage(this, WM_RESTART);
  PlayMovie();
}

void TFrmViewer::_sbFullScreenClick() { ShowToolbar(false); }
void TFrmViewer::cmToolbarClick() { ShowToolbar(!ToolbarVisible()); }

void TFrmViewer::DSVideoWindowClick() {
  switch (FilterGraph->GraphState()) {
    case 1:
    case 2:
      PlayMovie();
      break;
    case 3:
      PauseMovie();
      break;
    default:
      break;
  }
}

void TFrmViewer::DSVideoWindowDblClick() {
  ShowToolbar(!ToolbarVisible());
  PlayMovie();
}

void TFrmViewer::cmDisplaySizeNormalClick() {
  PauseMovie();
  SetDisplaySizeNormal();
  PlayMovie();
  fViewMode = 0;
}

void TFrmViewer::cmDisplaySizeFullScreenClick() {
  PauseMovie();
  SetDisplaySizeFullScreen();
  PlayMovie();
  fViewMode = 1;
}

void TFrmViewer::cmDisplaySize_16_9Click() {
  PauseMovie();
  SetDisplaySize16x9();
  PlayMovie();
  fViewMode = 2;
}

void TFrmViewer::_cmAudio1Click() { AudioStreamClick(1); }
void TFrmViewer::_cmAudio2Click() { AudioStreamClick(2); }

void TFrmViewer::AudioStreamClick(int n) {
  ReloadMovie();
  SelectAudioStream(n);
  PlayMovie();
}

int64_t TFrmViewer::GoToSeconds(const QString& answer) {
  const qsizetype colon = answer.indexOf(QLatin1Char(':'));
  if (colon < 0) return int64_t(IntegerOrZero(answer)) * 60;
  return int64_t(IntegerOrZero(answer.left(colon))) * 60 + IntegerOrZero(answer.mid(colon + 1));
}

void TFrmViewer::cmGoToClick() {
  const QString caption = sGoToPosition >= 0 ? (*AppStrings)[sGoToPosition] : QStringLiteral("Go to position");
  QString answer;
  if (!InputQuery(caption, QStringLiteral("mm:ss"), answer) || answer.isEmpty()) return;
  if (!fMediaSeeking) return;
  const int64_t target = GoToSeconds(answer) * kUnitsPerSecond;
  int64_t stop = 0;
  if (Failed(fMediaSeeking->GetStopPosition(&stop))) return;
  if (target < stop - stop / 100) SetCurrentPosition(target);
}

void TFrmViewer::cmParametersClick() {
  if (EditParameters()) DSVideoWindow->ColorControl()->SetBrightness(Parameters().Brightness);
}

void TFrmViewer::PopupMenuPopup() {
  TFrmBaseMain::PopupMenuPopup();
  InfoCaptions();
}

void TFrmViewer::InfoCaptions() {
  _cmInfoFilename->setText(fMovieTitle);
  const QRect overlay = DSVideoWindow->OverlayRect();
  _cmInfoSize->setText(QStringLiteral("Display %1 x %2 ").arg(overlay.width()).arg(overlay.height()));
  _cmInfoMovieSize->setText(QStringLiteral("Source %1 x %2").arg(fSourceWidth).arg(fSourceHeight));
}

void TFrmViewer::DSTrackBarChange() {
  if (fPaused) PostWindowMessage(this, WM_SHOWPOSITION);
}

void TFrmViewer::DSTrackBarTimer() { ShowPosition(); }

void TFrmViewer::FilterGraphGraphClockChanged() {
  // The video window has just reset the source rectangle for its zoom (it
  // hears the graph first): a 16:9 crop in force is put back.
  if (fPanelBand)
    if (TVideoRenderer* renderer = DSVideoWindow->GraphRenderer()) CropSourceTo16x9(renderer);
  PostWindowMessage(this, WM_RESUME);
}

// --------------------------------------------------------- posted messages

bool TFrmViewer::event(QEvent* event) {
  switch (TqsMessageEvent::MessageOf(event)) {
    case WM_RESUME:
      OnResume();
      return true;
    case WM_RESTART:
      OnRestart();
      return true;
    case WM_SHOWPOSITION:
      ShowPosition();
      return true;
    default:
      return TFrmBaseMain::event(event);
  }
}

void TFrmViewer::OnResume() {
  // A message left over from a movie already closed changes nothing.
  if (!fShowing || !fMediaSeeking) return;
  int64_t stop = 0;
  if (Failed(fMediaSeeking->GetStopPosition(&stop))) return;
  const int64_t lead = ResumeLeadSeconds * kUnitsPerSecond;
  const int64_t reached = fCurrentMovie->ViewPosition * kUnitsPerSecond;
  const int64_t lastTenth = stop - stop / 10;
  // A record that stopped in the last tenth, or in the last lead (all a
  // short movie watched to its end has), was seen to the end: the movie
  // starts again. A stream switch goes back one lead unless that lands in
  // the last tenth.
  const bool fromStart = fSwitchingStream ? reached - lead >= lastTenth : reached >= std::min(lastTenth, stop - lead);
  SetCurrentPosition(fromStart ? 0 : reached - lead);
}

void TFrmViewer::OnRestart() {
  if (!fShowing || !fMediaSeeking) return;
  int64_t stop = 0;
  if (Failed(fMediaSeeking->GetStopPosition(&stop))) return;
  SetCurrentPosition(0);
}

void TFrmViewer::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) DSVideoWindowDblClick();
}

// ------------------------------------------------------------------ closing

void TFrmViewer::RestoreScreen() {
  fScreenTaken = false;
  RestoreDisplayMode();
  if (fScreenSaverWasOn) EnableScreenSaver();
  if (fLowPowerWasOn) EnableLowPower();
  if (fPowerOffWasOn) EnablePowerOff();
  fScreenSaverWasOn = fLowPowerWasOn = fPowerOffWasOn = false;
}

void TFrmViewer::SavePlayingPosition() {
  if (!fShowing || !fRendered || !fMediaSeeking || fCurrentMovie->FileName.isEmpty()) return;
  int64_t current = 0, stop = 0;
  if (Failed(fMediaSeeking->GetPositions(&current, &stop))) return;
  fCurrentMovie->ViewPosition = current / kUnitsPerSecond;
  // Only the position: the library window also shows it in its list.
  if (fOnUpdateMoviePosition)
    fOnUpdateMoviePosition(*fCurrentMovie);
  else
    fCurrentMovie->SavePosition();
}

void TFrmViewer::FormClose() {
  // Every way of closing ends here; a viewer with no movie showing (closed
  // before, or never opened) has nothing to store or give back.
  fPositionSave->stop();
  if (!fShowing) return;
  fShowing = false;
  platform::MediaPlayerEnded(this);
  fDesktop->MovieClosed();

  int64_t current = 0, stop = 0;
  if (fRendered && fMediaSeeking && Succeeded(fMediaSeeking->GetPositions(&current, &stop)))
    fCurrentMovie->ViewPosition = current / kUnitsPerSecond;

  // The screen comes back whatever the library window's handler does.
  std::exception_ptr failure;
  try {
    if (fOnUpdateMoviePosition) fOnUpdateMoviePosition(*fCurrentMovie);
  } catch (...) {
    failure = std::current_exception();
  }
  Contexte->WriteInteger(QStringLiteral("ViewMode"), fViewMode);
  FilterGraph->Stop();
  FilterGraph->SetActive(false);
  fMediaSeeking = nullptr;
  SubtitleOverlay->SetTrack(nullptr);
  RestoreScreen();
  TFrmBaseMain::FormClose();
  if (failure) std::rethrow_exception(failure);
}
