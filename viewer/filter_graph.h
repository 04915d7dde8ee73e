#pragma once
// TFilterGraph: the media graph component. It owns one GStreamer pipeline,
// renders movie files into it, runs, pauses and stops it, applies volume and
// rate, and turns the pipeline's bus messages into component events on the
// user-interface thread. Controls bound to the graph join it as member
// filters (they contribute an element of their own) and as listeners.
#include <gst/gst.h>

#include <QObject>
#include <QString>

#include <deque>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "viewer/graph_utils.h"

enum TGraphMode { gmNormal, gmCapture, gmDVD };

// Control events sent to the listeners (code, value).
enum TControlEvent {
  ControlPlay = 0,
  ControlPause = 1,
  ControlStop = 2,
  ControlFileRendering = 3,
  ControlFileRendered = 4,
  ControlActivation = 7,
};

// Graph event codes as the listeners and OnDSEvent receive them.
enum TGraphEventCode : long {
  EC_COMPLETE = 1,
  EC_USERABORT = 2,
  EC_ERRORABORT = 3,
  EC_STREAM_ERROR_STOPPED = 6,
  EC_STREAM_ERROR_STILLPLAYING = 7,
  EC_ERROR_STILLPLAYING = 8,
  EC_PALETTE_CHANGED = 9,
  EC_VIDEO_SIZE_CHANGED = 10,
  EC_QUALITY_CHANGE = 11,
  EC_CLOCK_CHANGED = 13,
  EC_PAUSED = 14,
  EC_OPENING_FILE = 16,
  EC_BUFFERING_DATA = 17,
  EC_FULLSCREEN_LOST = 18,
  EC_OLE_EVENT = 24,
  EC_STREAM_CONTROL_STOPPED = 26,
  EC_STREAM_CONTROL_STARTED = 27,
  EC_END_OF_SEGMENT = 28,
  EC_DEVICE_LOST = 31,
  EC_STEP_COMPLETE = 36,
  EC_TIMECODE_AVAILABLE = 48,
  EC_EXTDEVICE_MODE_CHANGE = 49,
  EC_GRAPH_CHANGED = 80,
  EC_CLOCK_UNSET = 81,
  EC_VMR_RENDERDEVICE_SET = 83,
  EC_SNDDEV_IN_ERROR = 512,
  EC_SNDDEV_OUT_ERROR = 513,
};

// The message the graph posts to its notification receiver.
constexpr unsigned WM_GRAPHNOTIFY = 0x8001;

// A control that puts a filter of its own into the graph (the video window's
// renderer). The filter is one element, usually a bin, with one input pin
// that accepts raw video ("video/x-raw", any format: start the bin with
// videoconvert). The graph adds it on activation or when the member joins an
// active graph, keeps it through EmptyGraph, and connects the first decoded
// video stream of a rendered file to it. While its input is not connected it
// is parked (locked in NULL), so it never holds up the graph.
// GetFilterObject is asked on the user-interface thread only.
// A member destroyed while still in a graph takes its filter out by itself
// (without further notifications): a forgotten RemoveMemberFilter never
// leaves the graph calling freed memory.
class TFilterGraph;
class IMemberFilter {
 public:
  IMemberFilter() = default;
  IMemberFilter(const IMemberFilter&) {}  // a copy has joined no graph
  IMemberFilter& operator=(const IMemberFilter&) { return *this; }
  virtual ~IMemberFilter();
  // The filter (the member keeps its own reference).
  virtual GstElement* GetFilterObject() = 0;
  virtual QString GetFilterName() = 0;
  // 0 before the filter is added, 1 after, 2 before it is removed, 3 after.
  virtual void FilterNotify(int operation, int value) = 0;

 private:
  friend class TFilterGraph;
  std::vector<TFilterGraph*> fJoinedGraphs;
};

// A control told of every graph event (before the component's own events)
// and of the control events. Always called on the user-interface thread.
// A listener destroyed while still in a graph leaves it by itself.
class IGraphListener {
 public:
  IGraphListener() = default;
  IGraphListener(const IGraphListener&) {}  // a copy has joined no graph
  IGraphListener& operator=(const IGraphListener&) { return *this; }
  virtual ~IGraphListener();
  virtual void HandleGraphEvent(long code, intptr_t param1, intptr_t param2) = 0;
  virtual void HandleControlEvent(int code, int value) = 0;

 private:
  friend class TFilterGraph;
  std::vector<TFilterGraph*> fJoinedGraphs;
};

// Seeking flags.
enum : unsigned {
  AM_SEEKING_NoPositioning = 0,
  AM_SEEKING_AbsolutePositioning = 1,
  AM_SEEKING_RelativePositioning = 2,
  AM_SEEKING_IncrementalPositioning = 3,
  AM_SEEKING_PositioningBitsMask = 3,
};

// The graph's seeking interface; times in 100 ns. Valid for the life of the
// component; without a graph every call answers E_UNEXPECTED.
class TFilterGraph;
class IMediaSeeking {
 public:
  explicit IMediaSeeking(TFilterGraph* graph) : fGraph(graph) {}
  HRESULT GetDuration(int64_t* duration);
  HRESULT GetStopPosition(int64_t* stop);
  HRESULT GetCurrentPosition(int64_t* current);
  HRESULT GetPositions(int64_t* current, int64_t* stop);
  HRESULT SetPositions(int64_t* current, unsigned currentFlags, int64_t* stop, unsigned stopFlags);
  HRESULT SetRate(double rate);
  HRESULT GetRate(double* rate);

 private:
  TFilterGraph* fGraph;
};

// The desktop's media controls count in microseconds.
constexpr int64_t kMediaUnitsPerMicrosecond = 10;
// The current position and the duration in microseconds; -1 when unknown.
inline int64_t CurrentPositionUs(IMediaSeeking* seeking) {
  int64_t current = 0;
  if (!seeking || seeking->GetCurrentPosition(&current) < 0) return -1;
  return current / kMediaUnitsPerMicrosecond;
}
inline int64_t DurationUs(IMediaSeeking* seeking) {
  int64_t duration = 0;
  if (!seeking || seeking->GetDuration(&duration) < 0) return -1;
  return duration / kMediaUnitsPerMicrosecond;
}

class TFilterGraph : public QObject {
  Q_OBJECT
 public:
  explicit TFilterGraph(QObject* owner = nullptr);
  ~TFilterGraph() override;

  // Published properties.
  QString LogFile() const { return fLogFile; }
  void SetLogFile(const QString& value);
  bool Active() const { return fActive; }
  void SetActive(bool value);
  bool AutoCreate() const { return fAutoCreate; }
  void SetAutoCreate(bool value) { fAutoCreate = value; }
  TGraphMode Mode() const { return fMode; }
  void SetMode(TGraphMode value);
  bool GraphEdit() const { return fGraphEdit; }
  void SetGraphEdit(bool value);
  bool LinearVolume() const { return fLinearVolume; }
  void SetLinearVolume(bool value);

  // Activates when AutoCreate is on: the owning form calls it once loaded.
  void Loaded();

  int Volume() const { return fVolume; }
  void SetVolume(int value);
  int Balance() const { return fBalance; }
  void SetBalance(int value);
  double PlaybackRate() const { return fPlaybackRate; }
  void SetPlaybackRate(double value);
  void ApplyAudioAndRate();

  bool Play();
  bool Pause();
  bool Stop();
  // 0 none, 1 stopped, 2 paused, 3 running.
  int GraphState();
  // Builds the graph for the file and prerolls it; S_FALSE without a graph;
  // raises EDirectShowException when the file cannot be rendered.
  HRESULT RenderMediaFile(const QString& fileName);
  void EmptyGraph();
  void DisconnectAllPins();
  int32_t DurationMs();

  // Interface access: the seeking interface while active, the graph itself.
  IMediaSeeking* MediaSeeking() { return fActive ? &fSeeking : nullptr; }
  GstPipeline* Graph() const { return fGraph; }

  void AddMemberFilter(IMemberFilter* member);
  void RemoveMemberFilter(IMemberFilter* member);
  void AddListener(IGraphListener* listener);
  void RemoveListener(IGraphListener* listener);
  const std::vector<IMemberFilter*>& MemberFilters() const { return fMemberFilters; }
  const std::vector<IGraphListener*>& Listeners() const { return fListeners; }

  // Published events.
  using TNotifyEvent = std::function<void(QObject* sender)>;
  using TResultEvent = std::function<void(QObject* sender, HRESULT result)>;
  using TBoolEvent = std::function<void(QObject* sender, bool value)>;
  using TParamEvent = std::function<void(QObject* sender, intptr_t param1, intptr_t param2)>;
  using TDSEvent = std::function<void(QObject* sender, long code, intptr_t param1, intptr_t param2)>;

  void SetOnActivate(TNotifyEvent handler) { fOnActivate = std::move(handler); }
  void SetOnDSEvent(TDSEvent handler) { fOnDSEvent = std::move(handler); }
  void SetOnGraphComplete(std::function<void(QObject*, HRESULT result, GstElement* renderer)> h) {
    fOnGraphComplete = std::move(h);
  }
  void SetOnGraphUserAbort(TNotifyEvent h) { fOnGraphUserAbort = std::move(h); }
  void SetOnGraphErrorAbort(TResultEvent h) { fOnGraphErrorAbort = std::move(h); }
  void SetOnGraphStreamErrorStopped(TParamEvent h) { fOnGraphStreamErrorStopped = std::move(h); }
  void SetOnGraphStreamErrorStillPlaying(TParamEvent h) { fOnGraphStreamErrorStillPlaying = std::move(h); }
  void SetOnGraphErrorStillPlaying(TResultEvent h) { fOnGraphErrorStillPlaying = std::move(h); }
  void SetOnGraphPaletteChanged(TNotifyEvent h) { fOnGraphPaletteChanged = std::move(h); }
  void SetOnGraphVideoSizeChanged(std::function<void(QObject*, int width, int height)> h) {
    fOnGraphVideoSizeChanged = std::move(h);
  }
  void SetOnGraphQualityChange(TNotifyEvent h) { fOnGraphQualityChange = std::move(h); }
  void SetOnGraphClockChanged(TNotifyEvent h) { fOnGraphClockChanged = std::move(h); }
  void SetOnGraphPaused(TResultEvent h) { fOnGraphPaused = std::move(h); }
  void SetOnGraphOpeningFile(TBoolEvent h) { fOnGraphOpeningFile = std::move(h); }
  void SetOnGraphBufferingData(TBoolEvent h) { fOnGraphBufferingData = std::move(h); }
  void SetOnGraphFullscreenLost(std::function<void(QObject*, intptr_t renderer)> h) {
    fOnGraphFullscreenLost = std::move(h);
  }
  void SetOnGraphOleEvent(TParamEvent h) { fOnGraphOleEvent = std::move(h); }
  void SetOnGraphStreamControlStopped(TParamEvent h) { fOnGraphStreamControlStopped = std::move(h); }
  void SetOnGraphStreamControlStarted(TParamEvent h) { fOnGraphStreamControlStarted = std::move(h); }
  void SetOnGraphEndOfSegment(std::function<void(QObject*, int64_t streamTime, intptr_t numSegment)> h) {
    fOnGraphEndOfSegment = std::move(h);
  }
  void SetOnGraphDeviceLost(std::function<void(QObject*, intptr_t device, bool removed)> h) {
    fOnGraphDeviceLost = std::move(h);
  }
  void SetOnGraphStepComplete(TNotifyEvent h) { fOnGraphStepComplete = std::move(h); }
  void SetOnGraphTimeCodeAvailable(TParamEvent h) { fOnGraphTimeCodeAvailable = std::move(h); }
  void SetOnGraphEXTDeviceModeChange(TParamEvent h) { fOnGraphEXTDeviceModeChange = std::move(h); }
  void SetOnGraphChanged(TNotifyEvent h) { fOnGraphChanged = std::move(h); }
  void SetOnGraphClockUnset(TNotifyEvent h) { fOnGraphClockUnset = std::move(h); }
  void SetOnGraphVMRRenderDevice(std::function<void(QObject*, intptr_t renderDevice)> h) {
    fOnGraphVMRRenderDevice = std::move(h);
  }
  void SetOnGraphSNDDevInError(TParamEvent h) { fOnGraphSNDDevInError = std::move(h); }
  void SetOnGraphSNDDevOutError(TParamEvent h) { fOnGraphSNDDevOutError = std::move(h); }

  // Builder decisions, asked while RenderMediaFile runs (on the
  // user-interface thread). A candidate decoder or demuxer: its factory,
  // long name and factory name; false skips it.
  using TSelectedFilterEvent =
      std::function<bool(GstElementFactory* moniker, const QString& filterName, const QString& classID)>;
  // A filter the builder made; false refuses it and the rendering fails.
  using TCreatedFilterEvent = std::function<bool(GstElement* filter, const QString& classID)>;
  // A decoded stream that no renderer takes, or one without decoder; true
  // when the handler took care of it.
  using TUnableToRenderEvent = std::function<bool(GstPad* pin)>;
  void SetOnSelectedFilter(TSelectedFilterEvent h) { fOnSelectedFilter = std::move(h); }
  void SetOnCreatedFilter(TCreatedFilterEvent h) { fOnCreatedFilter = std::move(h); }
  void SetOnUnableToRender(TUnableToRenderEvent h) { fOnUnableToRender = std::move(h); }

 protected:
  bool event(QEvent* event) override;

 private:
  friend class IMediaSeeking;
  friend class IMemberFilter;
  struct RenderJob;

  void Activate();
  void Deactivate();
  void SendControl(int code, int value);
  void InsertMemberFilter(IMemberFilter* member);
  void TakeOutMemberFilter(IMemberFilter* member);
  // A member being destroyed: its filter goes without asking the member.
  void ForgetMemberFilter(IMemberFilter* member);
  GstElement* InsertedFilterOf(IMemberFilter* member) const;
  void RegisterGraph();
  void RevokeGraph();
  void ApplyLogFile(const QString& name);
  void CloseLog();
  void Log(const QString& line);
  void DrainEvents();
  GstMessage* NextEvent();
  void QueueEvents(std::vector<GstMessage*> messages);
  void ClearEvents();
  bool TranslateMessage(GstMessage* message, long* code, intptr_t* param1, intptr_t* param2);
  void Dispatch(long code, intptr_t param1, intptr_t param2);
  HRESULT WaitForState(GstClockTime timeout);
  void ApplyAudio();
  void PostGraphEvent(long code, intptr_t param1, intptr_t param2);
  void ResetPositions();
  HRESULT Seek(double rate, bool setCurrent, int64_t current, bool setStop, int64_t stop);
  HRESULT WaitForRender(RenderJob* job);
  static bool StoppedBeforeAnyStream(RenderJob* job);
  void UndoFailedRender(const TFilterList& before, bool hadMovie);

  // Streaming-thread side of rendering.
  static GstBusSyncReply BusSyncHandler(GstBus* bus, GstMessage* message, gpointer self);
  static void OnPadAdded(GstElement* decoder, GstPad* pad, gpointer job);
  static GstPadProbeReturn OnVideoCaps(GstPad* pad, GstPadProbeInfo* info, gpointer);
  static void OnNoMorePads(GstElement* decoder, gpointer job);
  static void OnUnknownType(GstElement* decoder, GstPad* pad, GstCaps* caps, gpointer job);
  static int OnAutoplugSelect(GstElement* decoder, GstPad* pad, GstCaps* caps, GstElementFactory* factory,
                              gpointer job);
  static void OnElementAdded(GstBin* bin, GstBin* subBin, GstElement* element, gpointer job);
  static bool RunOnUiThread(RenderJob* job, const std::function<void()>& call);
  static void LinkDecodedPad(RenderJob* job, GstPad* pad);
  static void UnrenderedStream(RenderJob* job, GstPad* pad);
  static void LinkSubtitlePad(RenderJob* job, GstPad* pad);
  // A new renderer of this rendering, joined to `pad` (a stream of `kind`).
  static void AddRenderer(RenderJob* job, GstPad* pad, GstElement* renderer, const QString& kind);
  // The output of a stage that turns the picture upright as the stream's
  // orientation tag asks (a new reference), or null when there is none.
  static GstPad* UprightOutput(RenderJob* job, GstPad* pad);

  QString fLogFile;
  bool fActive = false;
  bool fAutoCreate = false;
  TGraphMode fMode = gmNormal;
  bool fGraphEdit = false;
  bool fLinearVolume = true;
  int fVolume = 10000;
  int fBalance = 0;
  double fPlaybackRate = 1.0;
  std::vector<IMemberFilter*> fMemberFilters;
  std::vector<IGraphListener*> fListeners;
  // The filter each member put into the active graph (referenced).
  std::vector<std::pair<IMemberFilter*, GstElement*>> fInsertedFilters;
  GstPipeline* fGraph = nullptr;
  GstBus* fBus = nullptr;
  unsigned fRotCookie = 0;
  std::unique_ptr<class QFile> fLogStream;
  IMediaSeeking fSeeking;
  bool fStopped = false;
  bool fPausePending = false;
  // Clock changed is raised on the first run after a successful rendering:
  // state changes posted before that rendering ended do not count.
  bool fClockChangePending = false;
  uint32_t fRenderedSeqnum = 0;
  int64_t fLastPosition = 0;  // 100 ns, for when the position cannot be queried
  int64_t fStopPosition = -1;  // 100 ns; -1: the end
  std::shared_ptr<RenderJob> fRenderJob;  // while RenderMediaFile runs
  std::mutex fJobMutex;                   // guards fRenderJob for the bus handler
  // The graph's event queue: bus messages taken on the posting thread and
  // drained on the user-interface thread.
  std::mutex fEventMutex;
  std::deque<GstMessage*> fEvents;
  bool fNotifyPending = false;
  double fAppliedRate = 1.0;

  TNotifyEvent fOnActivate;
  TDSEvent fOnDSEvent;
  std::function<void(QObject*, HRESULT, GstElement*)> fOnGraphComplete;
  TNotifyEvent fOnGraphUserAbort;
  TResultEvent fOnGraphErrorAbort;
  TParamEvent fOnGraphStreamErrorStopped;
  TParamEvent fOnGraphStreamErrorStillPlaying;
  TResultEvent fOnGraphErrorStillPlaying;
  TNotifyEvent fOnGraphPaletteChanged;
  std::function<void(QObject*, int, int)> fOnGraphVideoSizeChanged;
  TNotifyEvent fOnGraphQualityChange;
  TNotifyEvent fOnGraphClockChanged;
  TResultEvent fOnGraphPaused;
  TBoolEvent fOnGraphOpeningFile;
  TBoolEvent fOnGraphBufferingData;
  std::function<void(QObject*, intptr_t)> fOnGraphFullscreenLost;
  TParamEvent fOnGraphOleEvent;
  TParamEvent fOnGraphStreamControlStopped;
  TParamEvent fOnGraphStreamControlStarted;
  std::function<void(QObject*, int64_t, intptr_t)> fOnGraphEndOfSegment;
  std::function<void(QObject*, intptr_t, bool)> fOnGraphDeviceLost;
  TNotifyEvent fOnGraphStepComplete;
  TParamEvent fOnGraphTimeCodeAvailable;
  TParamEvent fOnGraphEXTDeviceModeChange;
  TNotifyEvent fOnGraphChanged;
  TNotifyEvent fOnGraphClockUnset;
  std::function<void(QObject*, intptr_t)> fOnGraphVMRRenderDevice;
  TParamEvent fOnGraphSNDDevInError;
  TParamEvent fOnGraphSNDDevOutError;
  TSelectedFilterEvent fOnSelectedFilter;
  TCreatedFilterEvent fOnCreatedFilter;
  TUnableToRenderEvent fOnUnableToRender;
};
