#pragma once
// The program's own movie player: a borderless window over the whole screen
// that plays one movie with a thin toolbar at the bottom and a popup menu,
// keeps the screen awake while it plays and remembers where viewing stopped.
// There is one viewer; closing it hides it for the next movie.
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "framework/qs_fbaseMain.h"
#include "platform/media_player.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QWidget;
class TDSTrackBar;
class TDSVideoWindowEx2;
class TFilterGraph;
class IMediaSeeking;
class TMovieData;
class TqsLabel;
class TqsSpeedButton;
class TSubtitleOverlay;
class TSubtitleTrack;
class TViewerDesktop;

// As a media player it answers the desktop's media controls while a movie
// shows (pk_fViewer_media.cpp).
class TFrmViewer : public TFrmBaseMain, public platform::IMediaPlayer {
  Q_OBJECT
 public:
  // Messages the viewer posts to itself.
  static constexpr unsigned WM_RESUME = 2025;
  static constexpr unsigned WM_RESTART = 2026;
  static constexpr unsigned WM_SHOWPOSITION = 2027;
  // A resume starts this many seconds before the stored position.
  static constexpr int ResumeLeadSeconds = 15;
  // Left and Right move this far.
  static constexpr int KeyStepSeconds = 10;
  // Up, Down and each notch of the wheel change the sound level this much
  // (percent); the level shows over the picture this long.
  static constexpr int VolumeStep = 5;
  static constexpr int VolumeShownMs = 1000;
  // While a movie plays its position goes into its record this often, so
  // a crash or a killed process loses at most that much.
  static constexpr int PositionSaveSeconds = 30;

  explicit TFrmViewer(QWidget* owner = nullptr);
  ~TFrmViewer() override;

  // Components.
  QWidget* ShapeBlack;
  QWidget* PnDsVideo;
  TDSVideoWindowEx2* DSVideoWindow;
  QWidget* pnToolBar;
  TqsSpeedButton* _sbClose;
  TqsSpeedButton* _sbPause;
  TqsSpeedButton* _sbRestart;
  TqsSpeedButton* _sbStart;
  TqsSpeedButton* _sbFullScreen;
  TDSTrackBar* DSTrackBar;
  TqsLabel* _lbStatus;
  TqsLabel* _lbPosition;
  TqsLabel* _lbDuration;
  QAction* _cmInfoFilename;
  QAction* _cmInfoMovieSize;
  QAction* _cmInfoSize;
  QAction* _N1;
  QAction* cmToolbar;
  QAction* cmDisplaySize;
  QAction* cmDisplaySizeNormal;
  QAction* cmDisplaySizeFullScreen;
  QAction* cmDisplaySize_16_9;
  QAction* cmAudio;
  QAction* _cmAudio1;
  QAction* _cmAudio2;
  // "Off" and one entry per subtitle track; hidden for a movie without.
  QAction* cmSubtitles;
  QAction* cmSubtitlesOff;
  TSubtitleOverlay* SubtitleOverlay;
  QAction* cmVolume;
  QAction* cmVolumeUp;
  QAction* cmVolumeDown;
  QAction* cmMute;
  // The sound level over the picture, for a moment after each change.
  QLabel* _lbVolume;
  QAction* cmGoTo;
  QAction* cmPlay;
  QAction* cmPause;
  QAction* _N2;
  QAction* cmParameters;
  QAction* _N3;
  TFilterGraph* FilterGraph;

  // Opens and plays a movie. `movie` (may be null) is the caller's record:
  // its FileName and ViewPosition are copied into CurrentMovie, so the
  // position is kept under the record's name even when `fileName` is a copy.
  // Raises (EDirectShowException etc.) when the movie cannot be rendered;
  // the viewer then stays hidden and the screen saver, power phases and
  // display mode are already back as they were. A movie still showing is
  // closed first (its position stored).
  void OpenMovie(const QString& fileName, const TMovieData* movie);
  // The viewer's own record: after a close, ViewPosition holds the second
  // reached.
  TMovieData& CurrentMovie();
  // Called on close with CurrentMovie when a library window exists: it
  // stores the position and updates its list.
  void SetOnUpdateMoviePosition(std::function<void(TMovieData&)> handler);

  // State.
  bool Opened() const { return fOpened; }
  bool Paused() const { return fPaused; }
  const QString& MovieFileName() const { return fMovieFileName; }
  const QString& MovieTitle() const { return fMovieTitle; }
  int AudioRendererCount() const { return fAudioRendererCount; }
  int SourceWidth() const { return fSourceWidth; }
  int SourceHeight() const { return fSourceHeight; }
  int ViewMode() const { return fViewMode; }
  bool ToolbarVisible() const;
  bool ScreenSaverWasOn() const { return fScreenSaverWasOn; }
  bool LowPowerWasOn() const { return fLowPowerWasOn; }
  bool PowerOffWasOn() const { return fPowerOffWasOn; }
  IMediaSeeking* MediaSeeking() const { return fMediaSeeking; }

  // Operations and handlers.
  void FormCreate() override;
  // Every close (toolbar, menu, Escape, the window manager, quitting, the
  // session ending) runs it: the position reached is stored and the screen
  // given back; then the window hides. A viewer showing no movie has
  // nothing to do, so closing twice is harmless.
  void FormClose() override;
  void PlayMovie();
  void PauseMovie();
  void UpdateStatus();
  void ShowToolbar(bool visible);
  int CountAudioRenderers();
  // Checks the entry of sound stream n (from 1) and cuts off the others.
  void SelectAudioStream(int n);
  void ReloadMovie();
  void SetDisplaySizeNormal();
  void SetDisplaySizeFullScreen();
  void SetDisplaySize16x9();
  void ReadSourceSize();
  void ShowPosition();

  void _sbCloseClick();
  void _sbPauseClick();
  void _sbStartClick();
  void _sbRestartClick();
  void _sbFullScreenClick();
  void cmToolbarClick();
  void DSVideoWindowClick();
  void DSVideoWindowDblClick();
  void cmDisplaySizeNormalClick();
  void cmDisplaySizeFullScreenClick();
  void cmDisplaySize_16_9Click();
  void _cmAudio1Click();
  void _cmAudio2Click();
  // The entry of sound stream n: rebuild, keep that stream, play on.
  void AudioStreamClick(int n);
  void cmGoToClick();
  void cmParametersClick();
  void PopupMenuPopup();
  void DSTrackBarChange();
  void DSTrackBarTimer();
  void FilterGraphGraphClockChanged();
  // The sound level (Parameters' Volume and Muted, shared with the
  // preview): `steps` of VolumeStep up (or down when negative), unmuting;
  // and mute on or off. Both show the level.
  void ChangeVolume(int steps);
  void ToggleMute();
  // Subtitle track `n` (1 = the movie's first text stream, the files
  // beside it after the movie's own; 0 = none) over the picture, kept in
  // the movie's record when `keep`.
  void SelectSubtitle(int n, bool keep = true);
  int SubtitleCount() const { return static_cast<int>(fSubtitleTracks.size()); }
  int Subtitle() const { return fSubtitle; }
  // The position reached, into the record now (the view is not counted
  // again): every PositionSaveSeconds while playing, and on pause.
  void SavePlayingPosition();

  // The desktop's media controls.
  bool MediaPlaying() const override;
  void MediaPlay() override;
  void MediaPause() override;
  void MediaStop() override;
  void MediaQuit() override;
  void MediaRaise() override;
  int64_t MediaPositionUs() const override;
  int64_t MediaDurationUs() const override;
  void MediaSetPositionUs(int64_t position) override;
  double MediaVolume() const override;
  void MediaSetVolume(double level) override;
  QString MediaTitle() const override;
  QString MediaFileName() const override;
  bool MediaFullscreen() const override;

  // The seconds a go-to answer names ("mm:ss", or minutes alone; a part
  // that is not a number counts as 0).
  static int64_t GoToSeconds(const QString& answer);

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void BuildToolbar();
  void BuildMenu();
  void BuildVolume();
  void BuildSubtitles();
  // The movie's tracks and those beside it, after each rendering; at an
  // opening the record's choice, else the track the movie marks, else the
  // first file beside it, else none; after a rebuild the track shown before.
  void FindSubtitles(bool opening);
  void SubtitleCaptions();
  // The level to the graph and the menu; `show`: over the picture too.
  void ApplyVolume(bool show);
  // Black shape, video panel (as the display size wants it) and toolbar.
  void PlaceComponents();
  void InfoCaptions();
  // One "Audio" entry per sound stream of the graph, with its language or
  // title where the file gives one.
  void ListAudioStreams();
  void TogglePlay();
  void OnResume();
  void OnRestart();
  void MoveBy(int seconds);
  void SetCurrentPosition(int64_t target);
  // Steps 1 to 3 of an opening undone: display mode, then what was on.
  void RestoreScreen();
  void ApplyViewMode();
  // Shows the centred 16:9 part of a wider picture; false (and the whole
  // picture) when it is not wider or its size is unknown.
  bool CropSourceTo16x9(class TVideoRenderer* renderer);

  std::unique_ptr<TMovieData> fCurrentMovie;
  std::function<void(TMovieData&)> fOnUpdateMoviePosition;
  bool fOpened = false;
  bool fPaused = false;
  QString fMovieFileName;
  QString fMovieTitle;
  bool fScreenSaverWasOn = false;
  bool fLowPowerWasOn = false;
  bool fPowerOffWasOn = false;
  // The screen settings of an opening are in force and not yet given back.
  bool fScreenTaken = false;
  // A movie is showing: closing stores its position.
  bool fShowing = false;
  int fAudioRendererCount = 0;
  int fSourceWidth = 0;
  int fSourceHeight = 0;
  int fViewMode = 2;
  // The video panel is the centred 16:9 band rather than the whole window.
  bool fPanelBand = false;
  // The graph holds the movie (a failed rebuild leaves it empty).
  bool fRendered = false;
  // The graph was rebuilt for another sound stream: the resume continues
  // where the movie was, not where a record left it.
  bool fSwitchingStream = false;
  IMediaSeeking* fMediaSeeking = nullptr;
  QMetaObject::Connection fScreenFollow;
  QTimer* fVolumeShown = nullptr;
  QTimer* fPositionSave = nullptr;
  std::vector<std::shared_ptr<TSubtitleTrack>> fSubtitleTracks;
  std::vector<std::shared_ptr<TSubtitleTrack>> fSubtitleFiles;  // read once per opening
  int fSubtitle = 0;
  // The "Audio" entries, stream 1 first ("Audio 1" and "Audio 2", then
  // those made for movies with more streams).
  std::vector<QAction*> fAudioItems;
  // Recently used files, thumbnail, no suspend while playing.
  std::unique_ptr<TViewerDesktop> fDesktop;
};

// The one viewer: null until created, reset when destroyed.
extern TFrmViewer* FrmViewer;
