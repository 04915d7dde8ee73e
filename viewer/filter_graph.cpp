#include "viewer/filter_graph.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <chrono>
#include <condition_variable>

#include "framework/qs_application.h"
#include "framework/qs_messages.h"
#include "viewer/graph_renderers.h"

namespace {

// How long rendering may take to open, build and preroll a file.
constexpr auto kRenderTimeout = std::chrono::seconds(15);
// How long a state change or a flushing seek may take to settle.
constexpr GstClockTime kSettleTimeout = 5 * GST_SECOND;
// How long a streaming thread waits for the user-interface thread to answer
// a builder question before taking the default answer.
constexpr auto kCallTimeout = std::chrono::seconds(5);

constexpr const char* kGraphEvent = "cinvo-graph-event";

void EnsureGStreamer() {
  static const bool ready = [] {
    GError* error = nullptr;
    const bool ok = gst_init_check(nullptr, nullptr, &error);
    if (error) g_error_free(error);
    return ok;
  }();
  if (!ready) throw EDirectShowException(ErrorText(E_FAIL) + QStringLiteral(" ($80004005)."), E_FAIL);
}

HRESULT ResultOfError(const GError* error) {
  if (!error) return E_FAIL;
  if (error->domain == GST_RESOURCE_ERROR) {
    switch (error->code) {
      case GST_RESOURCE_ERROR_NOT_FOUND: return E_FILE_NOT_FOUND;
      case GST_RESOURCE_ERROR_OPEN_READ:
      case GST_RESOURCE_ERROR_READ:
      case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
      case GST_RESOURCE_ERROR_NOT_AUTHORIZED: return E_ACCESSDENIED;
      case GST_RESOURCE_ERROR_OPEN_WRITE:
      case GST_RESOURCE_ERROR_BUSY:
      case GST_RESOURCE_ERROR_WRITE: return E_NO_AUDIO_DEVICE;
      default: return E_FAIL;
    }
  }
  if (error->domain == GST_STREAM_ERROR) {
    switch (error->code) {
      case GST_STREAM_ERROR_TYPE_NOT_FOUND: return E_UNKNOWN_FILE_TYPE;
      case GST_STREAM_ERROR_CODEC_NOT_FOUND: return E_NO_DECODER;
      default: return E_INVALID_FILE_FORMAT;
    }
  }
  if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) return E_NO_DECODER;
  return E_FAIL;
}

bool IsBuilderFilter(GstElement* element) {
  GstElementFactory* factory = gst_element_get_factory(element);
  if (!factory) return false;
  const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
  const QString k = QString::fromUtf8(klass ? klass : "");
  return k.contains(QLatin1String("Demux")) || k.contains(QLatin1String("Decoder")) ||
         k.contains(QLatin1String("Parser")) || k.contains(QLatin1String("Depayload"));
}

QString CapsName(GstPad* pad) {
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) caps = gst_pad_query_caps(pad, nullptr);
  QString name;
  if (caps && gst_caps_get_size(caps) > 0)
    name = QString::fromUtf8(gst_structure_get_name(gst_caps_get_structure(caps, 0)));
  if (caps) gst_caps_unref(caps);
  return name;
}

}  // namespace

// What one RenderMediaFile shares with the streaming threads that build
// the graph.
struct TFilterGraph::RenderJob {
  TFilterGraph* graph = nullptr;
  std::weak_ptr<RenderJob> self;
  GstPipeline* pipeline = nullptr;
  std::vector<GstElement*> members;  // member filters' elements (referenced)
  int volumeDb = 0;
  int balanceDb = 0;

  std::mutex mutex;
  std::condition_variable wake;
  bool finished = false;  // the user-interface thread no longer waits
  HRESULT error = S_OK;
  QString errorDetail;
  int rendered = 0;
  int unrendered = 0;
  int handled = 0;
  int buffers = 0;  // decoded buffers seen: none means nothing to play
  unsigned stateChanges = 0;  // wakes the waiting user-interface thread
  bool refused = false;
  std::deque<std::function<void()>> calls;
  std::vector<GstElement*> created;  // renderers added by this rendering
  QStringList log;

  ~RenderJob() {
    for (GstElement* e : members) gst_object_unref(e);
    for (GstElement* e : created) gst_object_unref(e);
  }
  void AddLog(const QString& line) {
    std::lock_guard lock(mutex);
    log << line;
  }
};

// ------------------------------------------------------------- seeking

HRESULT IMediaSeeking::GetDuration(int64_t* duration) {
  if (!duration) return E_POINTER;
  *duration = 0;
  if (!fGraph->fGraph) return E_UNEXPECTED;
  gint64 ns = 0;
  if (!gst_element_query_duration(GST_ELEMENT(fGraph->fGraph), GST_FORMAT_TIME, &ns) || ns < 0) return E_FAIL;
  *duration = NsToMediaTime(ns);
  return S_OK;
}

HRESULT IMediaSeeking::GetStopPosition(int64_t* stop) {
  if (!stop) return E_POINTER;
  if (!fGraph->fGraph) return E_UNEXPECTED;
  if (fGraph->fStopPosition >= 0) {
    *stop = fGraph->fStopPosition;
    return S_OK;
  }
  return GetDuration(stop);
}

HRESULT IMediaSeeking::GetCurrentPosition(int64_t* current) {
  if (!current) return E_POINTER;
  *current = 0;
  if (!fGraph->fGraph) return E_UNEXPECTED;
  gint64 ns = 0;
  if (gst_element_query_position(GST_ELEMENT(fGraph->fGraph), GST_FORMAT_TIME, &ns) && ns >= 0)
    fGraph->fLastPosition = NsToMediaTime(ns);
  *current = fGraph->fLastPosition;
  return S_OK;
}

HRESULT IMediaSeeking::GetPositions(int64_t* current, int64_t* stop) {
  HRESULT hr = S_OK;
  if (current) hr = GetCurrentPosition(current);
  if (Succeeded(hr) && stop) hr = GetStopPosition(stop);
  return hr;
}

HRESULT IMediaSeeking::SetPositions(int64_t* current, unsigned currentFlags, int64_t* stop, unsigned stopFlags) {
  if (!fGraph->fGraph) return E_UNEXPECTED;
  const unsigned curMode = currentFlags & AM_SEEKING_PositioningBitsMask;
  const unsigned stopMode = stopFlags & AM_SEEKING_PositioningBitsMask;
  if ((curMode != AM_SEEKING_NoPositioning && !current) || (stopMode != AM_SEEKING_NoPositioning && !stop))
    return E_POINTER;
  int64_t newCurrent = 0;
  int64_t newStop = 0;
  if (curMode != AM_SEEKING_NoPositioning) {
    int64_t base = 0;
    if (curMode != AM_SEEKING_AbsolutePositioning) GetCurrentPosition(&base);
    newCurrent = base + *current;
  }
  if (stopMode != AM_SEEKING_NoPositioning) {
    int64_t base = 0;
    if (stopMode == AM_SEEKING_RelativePositioning) GetStopPosition(&base);
    if (stopMode == AM_SEEKING_IncrementalPositioning) base = newCurrent;
    newStop = base + *stop;
  }
  if (curMode == AM_SEEKING_NoPositioning && stopMode == AM_SEEKING_NoPositioning) return S_OK;
  return fGraph->Seek(fGraph->fAppliedRate, curMode != AM_SEEKING_NoPositioning, newCurrent,
                      stopMode != AM_SEEKING_NoPositioning, newStop);
}

HRESULT IMediaSeeking::SetRate(double rate) {
  if (!fGraph->fGraph) return E_UNEXPECTED;
  if (rate == 0.0) return E_INVALIDARG;
  if (rate == fGraph->fAppliedRate) return S_OK;
  int64_t current = 0;
  GetCurrentPosition(&current);
  const HRESULT hr = fGraph->Seek(rate, true, current, false, 0);
  if (Succeeded(hr)) fGraph->fAppliedRate = rate;
  return hr;
}

HRESULT IMediaSeeking::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  *rate = fGraph->fAppliedRate;
  return fGraph->fGraph ? S_OK : E_UNEXPECTED;
}

HRESULT TFilterGraph::Seek(double rate, bool setCurrent, int64_t current, bool setStop, int64_t stop) {
  // Before the beginning means the beginning.
  if (current < 0) current = 0;
  if (setStop && stop < 0) stop = 0;
  GstState state = GST_STATE_NULL;
  gst_element_get_state(GST_ELEMENT(fGraph), &state, nullptr, 0);
  if (state < GST_STATE_PAUSED) return E_WRONG_STATE;
  const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  if (!gst_element_seek(GST_ELEMENT(fGraph), rate, GST_FORMAT_TIME, flags,
                        setCurrent ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE, MediaTimeToNs(current),
                        setStop ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE, MediaTimeToNs(stop)))
    return E_FAIL;
  if (setCurrent) fLastPosition = current;
  if (setStop) fStopPosition = stop;
  // Like a stopped or paused graph that cues the new position before the
  // call returns: positions read right after are the new ones.
  gst_element_get_state(GST_ELEMENT(fGraph), nullptr, nullptr, kSettleTimeout);
  return S_OK;
}

void TFilterGraph::ResetPositions() {
  fLastPosition = 0;
  fStopPosition = -1;
  fAppliedRate = 1.0;
}

// ------------------------------------------------------------- life

TFilterGraph::TFilterGraph(QObject* owner) : QObject(owner), fSeeking(this) {
  setObjectName(QStringLiteral("FilterGraph"));
}

TFilterGraph::~TFilterGraph() {
  SetActive(false);
}

void TFilterGraph::Loaded() {
  if (fAutoCreate) SetActive(true);
}

void TFilterGraph::SetActive(bool value) {
  if (value == fActive) return;
  if (value)
    Activate();
  else
    Deactivate();
}

void TFilterGraph::SetMode(TGraphMode value) {
  if (value == fMode) return;
  const bool wasActive = fActive;
  SetActive(false);
  fMode = value;
  SetActive(wasActive);
}

void TFilterGraph::Activate() {
  if (fMode != gmNormal) CheckGraphResult(E_NOTIMPL);
  EnsureGStreamer();
  fGraph = GST_PIPELINE(gst_object_ref_sink(gst_pipeline_new("FilterGraph")));
  if (!fGraph) CheckGraphResult(E_FAIL);
  fActive = true;
  fStopped = false;
  fPausePending = false;
  fClockChangePending = false;
  ResetPositions();
  fBus = gst_pipeline_get_bus(fGraph);
  gst_bus_set_sync_handler(fBus, &TFilterGraph::BusSyncHandler, this, nullptr);
  if (fGraphEdit) RegisterGraph();
  if (!fLogFile.isEmpty()) ApplyLogFile(fLogFile);
  const std::vector<IMemberFilter*> members = fMemberFilters;
  for (IMemberFilter* member : members) InsertMemberFilter(member);
  if (fOnActivate) fOnActivate(this);
  SendControl(ControlActivation, 1);
}

void TFilterGraph::Deactivate() {
  SendControl(ControlActivation, 0);
  const std::vector<IMemberFilter*> members = fMemberFilters;
  for (IMemberFilter* member : members) TakeOutMemberFilter(member);
  // Streaming threads end here, so no bus message is posted after the
  // handler goes.
  gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_NULL);
  gst_bus_set_sync_handler(fBus, nullptr, nullptr, nullptr);
  gst_object_unref(fBus);
  fBus = nullptr;
  ClearEvents();
  RevokeGraph();
  CloseLog();
  gst_object_unref(fGraph);
  fGraph = nullptr;
  fActive = false;
  fStopped = false;
}

void TFilterGraph::SendControl(int code, int value) {
  const std::vector<IGraphListener*> listeners = fListeners;
  for (IGraphListener* listener : listeners) {
    // A listener may have left while an earlier one was told.
    if (std::find(fListeners.begin(), fListeners.end(), listener) != fListeners.end())
      listener->HandleControlEvent(code, value);
  }
}

// ------------------------------------------------------------- members

void TFilterGraph::AddMemberFilter(IMemberFilter* member) {
  if (!member || std::find(fMemberFilters.begin(), fMemberFilters.end(), member) != fMemberFilters.end()) return;
  fMemberFilters.push_back(member);
  if (fActive) InsertMemberFilter(member);
}

void TFilterGraph::RemoveMemberFilter(IMemberFilter* member) {
  auto it = std::find(fMemberFilters.begin(), fMemberFilters.end(), member);
  if (it == fMemberFilters.end()) return;
  fMemberFilters.erase(it);
  if (fActive) TakeOutMemberFilter(member);
  if (fMemberFilters.empty()) fMemberFilters.shrink_to_fit();
}

void TFilterGraph::AddListener(IGraphListener* listener) {
  if (listener && std::find(fListeners.begin(), fListeners.end(), listener) == fListeners.end())
    fListeners.push_back(listener);
}

void TFilterGraph::RemoveListener(IGraphListener* listener) {
  auto it = std::find(fListeners.begin(), fListeners.end(), listener);
  if (it != fListeners.end()) fListeners.erase(it);
  if (fListeners.empty()) fListeners.shrink_to_fit();
}

void TFilterGraph::InsertMemberFilter(IMemberFilter* member) {
  member->FilterNotify(0, 0);
  const QString name = member->GetFilterName();
  if (GstElement* filter = member->GetFilterObject()) {
    const HRESULT hr = AddFilter(fGraph, filter, name);
    Log(QStringLiteral("Add member filter \"%1\": %2").arg(name, ErrorText(hr)));
  }
  member->FilterNotify(1, 0);
}

void TFilterGraph::TakeOutMemberFilter(IMemberFilter* member) {
  member->FilterNotify(2, 0);
  if (GstElement* filter = member->GetFilterObject()) RemoveFilter(fGraph, filter);
  member->FilterNotify(3, 0);
}

// ------------------------------------------------------------- options

void TFilterGraph::SetGraphEdit(bool value) {
  if (value == fGraphEdit) return;
  fGraphEdit = value;
  if (value && fActive && fRotCookie == 0) RegisterGraph();
  if (!value && fRotCookie != 0) RevokeGraph();
}

void TFilterGraph::RegisterGraph() {
  fRotCookie = RunningObjectTable::Register(fGraph);
  RunningObjectTable::DumpIfRequested(fRotCookie);
}

void TFilterGraph::RevokeGraph() {
  if (fRotCookie == 0) return;
  RunningObjectTable::Revoke(fRotCookie);
  fRotCookie = 0;
}

void TFilterGraph::SetLogFile(const QString& value) {
  if (fActive)
    ApplyLogFile(value);
  else
    fLogFile = value;
}

void TFilterGraph::CloseLog() {
  if (fLogStream) fLogStream->close();
  fLogStream.reset();
}

void TFilterGraph::ApplyLogFile(const QString& name) {
  CloseLog();
  fLogFile = name;
  if (name.isEmpty()) return;
  auto stream = std::make_unique<QFile>(name);
  if (!stream->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
    // A log that cannot be written is dropped without an error.
    fLogFile.clear();
    return;
  }
  fLogStream = std::move(stream);
}

void TFilterGraph::Log(const QString& line) {
  if (!fLogStream) return;
  fLogStream->write(line.toUtf8() + '\n');
  fLogStream->flush();
}

void TFilterGraph::SetLinearVolume(bool value) {
  if (value == fLinearVolume) return;
  fLinearVolume = value;
  SetVolume(fVolume);
  SetBalance(fBalance);
}

void TFilterGraph::SetVolume(int value) {
  fVolume = std::clamp(value, 0, 10000);
  ApplyAudio();
}

void TFilterGraph::SetBalance(int value) {
  fBalance = std::clamp(value, -10000, 10000);
  ApplyAudio();
}

void TFilterGraph::SetPlaybackRate(double value) {
  fPlaybackRate = value;
  if (fActive) fSeeking.SetRate(value);
}

void TFilterGraph::ApplyAudioAndRate() {
  SetVolume(fVolume);
  SetBalance(fBalance);
  SetPlaybackRate(fPlaybackRate);
}

void TFilterGraph::ApplyAudio() {
  if (!fGraph) return;
  const int volumeDb = fLinearVolume ? LinearVolumeToDb(fVolume) : fVolume - 10000;
  const int balanceDb = fLinearVolume ? LinearBalanceToDb(fBalance) : fBalance;
  TFilterList filters(fGraph);
  for (int i = 0; i < filters.Count(); ++i) ApplyRendererAudio(filters.Items(i), volumeDb, balanceDb);
}

// ------------------------------------------------------------- control

bool TFilterGraph::Play() {
  if (!fGraph) return false;
  SendControl(ControlPlay, 0);
  fStopped = false;
  fPausePending = false;
  const GstStateChangeReturn r = gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PLAYING);
  const HRESULT hr = CheckGraphResult(r == GST_STATE_CHANGE_FAILURE ? E_FAIL
                                      : r == GST_STATE_CHANGE_ASYNC ? S_FALSE
                                                                    : S_OK);
  return Succeeded(hr);
}

bool TFilterGraph::Pause() {
  if (!fGraph) return false;
  SendControl(ControlPause, 0);
  fStopped = false;
  const GstStateChangeReturn r = gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PAUSED);
  const HRESULT hr = CheckGraphResult(r == GST_STATE_CHANGE_FAILURE ? E_FAIL
                                      : r == GST_STATE_CHANGE_ASYNC ? S_FALSE
                                                                    : S_OK);
  if (hr == S_OK)
    PostGraphEvent(EC_PAUSED, S_OK, 0);
  else
    fPausePending = true;  // reported once the graph has paused
  return hr == S_OK;
}

bool TFilterGraph::Stop() {
  if (!fGraph) return false;
  SendControl(ControlStop, 0);
  fPausePending = false;
  // Paused, not READY: READY would drop the decoded pads and with them the
  // duration and seeking; "stopped" is ours to report.
  GstStateChangeReturn r = gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PAUSED);
  if (r == GST_STATE_CHANGE_ASYNC) r = gst_element_get_state(GST_ELEMENT(fGraph), nullptr, nullptr, kSettleTimeout);
  fStopped = true;
  const HRESULT hr = CheckGraphResult(r == GST_STATE_CHANGE_FAILURE ? E_FAIL
                                      : r == GST_STATE_CHANGE_ASYNC ? S_FALSE
                                                                    : S_OK);
  return hr == S_OK;
}

int TFilterGraph::GraphState() {
  if (!fGraph) return 0;
  GstState current = GST_STATE_VOID_PENDING;
  GstState pending = GST_STATE_VOID_PENDING;
  if (gst_element_get_state(GST_ELEMENT(fGraph), &current, &pending, 0) == GST_STATE_CHANGE_FAILURE) return 0;
  const GstState state = pending != GST_STATE_VOID_PENDING ? pending : current;
  switch (state) {
    case GST_STATE_PLAYING: return 3;
    case GST_STATE_PAUSED: return fStopped ? 1 : 2;
    case GST_STATE_READY:
    case GST_STATE_NULL: return 1;  // nothing to play: stopped
    default: return 0;
  }
}

int32_t TFilterGraph::DurationMs() {
  if (!fGraph) return 0;
  int64_t duration = 0;
  fSeeking.GetDuration(&duration);
  return static_cast<int32_t>(MediaTimeToMs(duration));
}

HRESULT TFilterGraph::WaitForState(GstClockTime timeout) {
  const GstStateChangeReturn r = gst_element_get_state(GST_ELEMENT(fGraph), nullptr, nullptr, timeout);
  if (r == GST_STATE_CHANGE_FAILURE) return E_FAIL;
  return r == GST_STATE_CHANGE_ASYNC ? E_TIMEOUT : S_OK;
}

void TFilterGraph::DisconnectAllPins() {
  if (!fGraph) return;
  // Streaming must end before links are cut, or the sources report broken
  // links as stream errors.
  gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_READY);
  WaitForState(kSettleTimeout);
  TFilterList filters(fGraph);
  for (int i = 0; i < filters.Count(); ++i) {
    TPinList pins(filters.Items(i));
    for (int j = 0; j < pins.Count(); ++j) CheckGraphResult(DisconnectPin(pins.Items(j)));
  }
}

void TFilterGraph::EmptyGraph() {
  if (!fGraph) return;
  Stop();
  DisconnectAllPins();
  TFilterList filters(fGraph);
  for (IMemberFilter* member : fMemberFilters) filters.Remove(member->GetFilterObject());
  for (int i = 0; i < filters.Count(); ++i) CheckGraphResult(RemoveFilter(fGraph, filters.Items(i)));
  fClockChangePending = false;
  ResetPositions();
}

// ------------------------------------------------------------- rendering

HRESULT TFilterGraph::RenderMediaFile(const QString& fileName) {
  if (!fGraph) return S_FALSE;
  SendControl(ControlFileRendering, 0);
  Log(QStringLiteral("Render \"%1\"").arg(fileName));

  // Plain file problems get their own codes before anything is built.
  const QFileInfo info(fileName);
  if (!info.exists()) CheckGraphResult(E_FILE_NOT_FOUND);
  if (info.isDir() || !info.isReadable()) CheckGraphResult(E_ACCESSDENIED);
  if (info.size() == 0) CheckGraphResult(E_INVALID_FILE_FORMAT);

  auto job = std::make_shared<RenderJob>();
  job->graph = this;
  job->self = job;
  job->pipeline = fGraph;
  for (IMemberFilter* member : fMemberFilters)
    if (GstElement* filter = member->GetFilterObject()) job->members.push_back(GST_ELEMENT(gst_object_ref(filter)));
  job->volumeDb = fLinearVolume ? LinearVolumeToDb(fVolume) : fVolume - 10000;
  job->balanceDb = fLinearVolume ? LinearBalanceToDb(fBalance) : fBalance;

  GstElement* source = gst_element_factory_make(CLSID_FileSource, nullptr);
  GstElement* decoder = gst_element_factory_make(CLSID_DecodeBin, nullptr);
  if (!source || !decoder) {
    if (source) gst_object_unref(source);
    if (decoder) gst_object_unref(decoder);
    CheckGraphResult(E_CANNOT_RENDER);
  }
  // The source is named after the file, the splitter-decoder after its role.
  gst_object_set_name(GST_OBJECT(source), info.absoluteFilePath().toUtf8().constData());
  g_object_set(source, "location", QFile::encodeName(info.absoluteFilePath()).constData(), nullptr);
  auto connect = [&](const char* signal, GCallback callback) {
    g_signal_connect_data(decoder, signal, callback, new std::shared_ptr<RenderJob>(job),
                          [](gpointer data, GClosure*) { delete static_cast<std::shared_ptr<RenderJob>*>(data); },
                          GConnectFlags(0));
  };
  connect("pad-added", G_CALLBACK(&TFilterGraph::OnPadAdded));
  connect("no-more-pads", G_CALLBACK(&TFilterGraph::OnNoMorePads));
  connect("unknown-type", G_CALLBACK(&TFilterGraph::OnUnknownType));
  connect("autoplug-select", G_CALLBACK(&TFilterGraph::OnAutoplugSelect));
  connect("deep-element-added", G_CALLBACK(&TFilterGraph::OnElementAdded));

  // What the graph held before: a second file rendered into a graph that
  // still holds a movie joins it, and a failure takes out only its own part.
  const TFilterList before(fGraph);
  const bool hadMovie = before.Count() > static_cast<int>(job->members.size());
  GstState state = GST_STATE_NULL;
  gst_element_get_state(GST_ELEMENT(fGraph), &state, nullptr, 0);

  gst_bin_add_many(GST_BIN(fGraph), source, decoder, nullptr);
  gst_element_link(source, decoder);
  {
    std::lock_guard lock(fJobMutex);
    fRenderJob = job;
  }
  ResetPositions();
  fStopped = false;
  fPausePending = false;
  HRESULT hr = S_OK;
  const bool started = state >= GST_STATE_PAUSED
                           ? gst_element_sync_state_with_parent(source) && gst_element_sync_state_with_parent(decoder)
                           : gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
  if (!started) {
    std::lock_guard lock(job->mutex);
    if (job->error == S_OK) job->error = E_FAIL;
  }
  hr = WaitForRender(job.get());
  {
    std::lock_guard lock(job->mutex);
    job->finished = true;
    job->wake.notify_all();
    for (const QString& line : job->log) Log(line);
    job->log.clear();
    if (Succeeded(hr)) {
      if (job->refused)
        hr = E_CANNOT_RENDER;
      else if (job->rendered == 0)
        hr = job->unrendered > 0 ? E_NO_DECODER : E_CANNOT_RENDER;
      else if (job->buffers == 0)
        hr = E_INVALID_FILE_FORMAT;  // streams announced, no data behind them
      else if (job->unrendered > job->handled)
        hr = S_PARTIAL_RENDER;
    }
    if (Failed(hr) && !job->errorDetail.isEmpty()) Log(job->errorDetail);
  }
  for (auto& call : job->calls) call();  // answer anything still waiting
  job->calls.clear();
  if (Failed(hr)) {
    Log(QStringLiteral("Rendering failed: %1").arg(ErrorText(hr)));
    // Still inside the rendering: the errors of the streaming threads that
    // wind down now belong to it, not to the graph's events.
    UndoFailedRender(before, hadMovie);
  }
  {
    std::lock_guard lock(fJobMutex);
    fRenderJob.reset();
  }
  CheckGraphResult(hr);
  fStopped = true;  // built and cued, not running
  // A run from here on counts as the first run of this graph.
  fRenderedSeqnum = gst_util_seqnum_next();
  fClockChangePending = true;
  ApplyAudioAndRate();
  RunningObjectTable::DumpIfRequested(fRotCookie);
  Log(QStringLiteral("Rendered: %1").arg(ErrorText(hr)));
  SendControl(ControlFileRendered, 0);
  return hr;
}

HRESULT TFilterGraph::WaitForRender(RenderJob* job) {
  const auto deadline = std::chrono::steady_clock::now() + kRenderTimeout;
  unsigned seenChanges = 0;
  for (;;) {
    std::deque<std::function<void()>> calls;
    {
      std::unique_lock lock(job->mutex);
      job->wake.wait_for(lock, std::chrono::milliseconds(20), [&] {
        return !job->calls.empty() || job->error != S_OK || job->stateChanges != seenChanges;
      });
      seenChanges = job->stateChanges;
      if (job->error != S_OK) return job->error;
      calls.swap(job->calls);
    }
    // Builder questions asked from streaming threads are answered here.
    for (auto& call : calls) call();
    if (!calls.empty()) continue;
    const GstStateChangeReturn r = gst_element_get_state(GST_ELEMENT(fGraph), nullptr, nullptr, 0);
    if (r == GST_STATE_CHANGE_SUCCESS || r == GST_STATE_CHANGE_NO_PREROLL) {
      std::lock_guard lock(job->mutex);
      return job->error;
    }
    if (r == GST_STATE_CHANGE_FAILURE) {
      std::lock_guard lock(job->mutex);
      return job->error != S_OK ? job->error : E_FAIL;
    }
    if (std::chrono::steady_clock::now() > deadline) return E_TIMEOUT;
  }
}

void TFilterGraph::UndoFailedRender(const TFilterList& before, bool hadMovie) {
  if (hadMovie) {
    // Only what this rendering added goes; the movie already there stays.
    TFilterList filters(fGraph);
    for (int i = 0; i < before.Count(); ++i) filters.Remove(before.Items(i));
    for (int i = 0; i < filters.Count(); ++i) {
      gst_element_set_locked_state(filters.Items(i), TRUE);
      gst_element_set_state(filters.Items(i), GST_STATE_NULL);
      TPinList pins(filters.Items(i));
      for (int j = 0; j < pins.Count(); ++j) DisconnectPin(pins.Items(j));
      RemoveFilter(fGraph, filters.Items(i));
    }
    // The graph recorded the failed state change; set it again to the state
    // its movie is in.
    GstState state = GST_STATE_PAUSED;
    gst_element_get_state(GST_ELEMENT(fGraph), &state, nullptr, 0);
    gst_element_set_state(GST_ELEMENT(fGraph), state);
    WaitForState(kSettleTimeout);
    return;
  }
  // The graph goes back to its member filters, ready for the next file.
  gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_READY);
  WaitForState(kSettleTimeout);
  TFilterList filters(fGraph);
  for (int i = 0; i < filters.Count(); ++i) {
    TPinList pins(filters.Items(i));
    for (int j = 0; j < pins.Count(); ++j) DisconnectPin(pins.Items(j));
  }
  for (IMemberFilter* member : fMemberFilters) filters.Remove(member->GetFilterObject());
  for (int i = 0; i < filters.Count(); ++i) RemoveFilter(fGraph, filters.Items(i));
  fClockChangePending = false;
  fStopped = true;
  ResetPositions();
}

bool TFilterGraph::RunOnUiThread(RenderJob* job, const std::function<void()>& call) {
  if (QThread::currentThread() == job->graph->thread()) {
    call();
    return true;
  }
  // started / done / abandoned, under the job's mutex.
  struct State {
    bool started = false, done = false, abandoned = false;
  };
  auto state = std::make_shared<State>();
  std::unique_lock lock(job->mutex);
  if (job->finished) return false;
  job->calls.push_back([call, state, job] {
    {
      std::lock_guard inner(job->mutex);
      if (state->abandoned) return;
      state->started = true;
    }
    call();
    std::lock_guard inner(job->mutex);
    state->done = true;
    job->wake.notify_all();
  });
  job->wake.notify_all();
  // Answered by WaitForRender; a user-interface thread busy elsewhere gets
  // the default answer instead of a deadlock. A call already started is
  // waited for, since it writes to this thread's answer.
  if (job->wake.wait_for(lock, kCallTimeout, [&] { return state->done || state->started; })) {
    job->wake.wait(lock, [&] { return state->done; });
    return true;
  }
  state->abandoned = true;
  return false;
}

void TFilterGraph::OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
  RenderJob* job = static_cast<std::shared_ptr<RenderJob>*>(data)->get();
  LinkDecodedPad(job, pad);
}

void TFilterGraph::OnNoMorePads(GstElement*, gpointer data) {
  RenderJob* job = static_cast<std::shared_ptr<RenderJob>*>(data)->get();
  job->AddLog(QStringLiteral("All streams found"));
}

void TFilterGraph::OnUnknownType(GstElement*, GstPad* pad, GstCaps* caps, gpointer data) {
  RenderJob* job = static_cast<std::shared_ptr<RenderJob>*>(data)->get();
  gchar* text = caps ? gst_caps_to_string(caps) : nullptr;
  job->AddLog(QStringLiteral("No decoder for %1").arg(QString::fromUtf8(text ? text : "?")));
  g_free(text);
  UnrenderedStream(job, pad);
}

int TFilterGraph::OnAutoplugSelect(GstElement*, GstPad*, GstCaps*, GstElementFactory* factory, gpointer data) {
  RenderJob* job = static_cast<std::shared_ptr<RenderJob>*>(data)->get();
  const QString classID = QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
  const QString name =
      QString::fromUtf8(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME));
  bool accept = true;
  RunOnUiThread(job, [&] {
    if (!job->graph->fOnSelectedFilter) return;
    try {
      accept = job->graph->fOnSelectedFilter(factory, name, classID);
    } catch (const std::exception&) {
      accept = false;
    }
  });
  job->AddLog(QStringLiteral("%1 %2 (%3)").arg(accept ? QStringLiteral("Selected") : QStringLiteral("Skipped"),
                                               name, classID));
  return accept ? 0 /* try */ : 2 /* skip */;
}

void TFilterGraph::OnElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data) {
  RenderJob* job = static_cast<std::shared_ptr<RenderJob>*>(data)->get();
  if (!IsBuilderFilter(element)) return;
  const QString classID = FilterClassID(element);
  bool accept = true;
  RunOnUiThread(job, [&] {
    if (!job->graph->fOnCreatedFilter) return;
    try {
      accept = job->graph->fOnCreatedFilter(element, classID);
    } catch (const std::exception&) {
      accept = false;
    }
  });
  job->AddLog(QStringLiteral("Created %1 (%2)").arg(FilterName(element), classID));
  if (!accept) {
    std::lock_guard lock(job->mutex);
    job->refused = true;
    if (job->error == S_OK) job->error = E_CANNOT_RENDER;
    job->wake.notify_all();
  }
}

void TFilterGraph::UnrenderedStream(RenderJob* job, GstPad* pad) {
  bool handled = false;
  RunOnUiThread(job, [&] {
    if (!job->graph->fOnUnableToRender) return;
    try {
      handled = job->graph->fOnUnableToRender(pad);
    } catch (const std::exception&) {
      handled = false;
    }
  });
  std::lock_guard lock(job->mutex);
  ++job->unrendered;
  if (handled) ++job->handled;
}

void TFilterGraph::LinkDecodedPad(RenderJob* job, GstPad* pad) {
  const QString kind = CapsName(pad);
  const bool video = kind.startsWith(QLatin1String("video/"));
  const bool audio = kind.startsWith(QLatin1String("audio/"));
  if (!video && !audio) {
    job->AddLog(QStringLiteral("Stream %1 has no renderer").arg(kind));
    UnrenderedStream(job, pad);
    return;
  }
  gst_pad_add_probe(
      pad, GST_PAD_PROBE_TYPE_BUFFER,
      [](GstPad*, GstPadProbeInfo*, gpointer data) {
        RenderJob* owner = static_cast<std::shared_ptr<RenderJob>*>(data)->get();
        std::lock_guard lock(owner->mutex);
        ++owner->buffers;
        return GST_PAD_PROBE_REMOVE;
      },
      new std::shared_ptr<RenderJob>(job->self.lock()),
      [](gpointer data) { delete static_cast<std::shared_ptr<RenderJob>*>(data); });
  if (video) gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &TFilterGraph::OnVideoCaps, nullptr, nullptr);
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) caps = gst_pad_query_caps(pad, nullptr);
  // A renderer already in the graph (a member filter) with a free input
  // that takes the stream comes first.
  for (GstElement* member : job->members) {
    TPinList pins(member);
    for (int i = 0; i < pins.Count(); ++i) {
      GstPad* input = pins.Items(i);
      if (!GST_PAD_IS_SINK(input) || gst_pad_is_linked(input)) continue;
      GstCaps* accepted = gst_pad_query_caps(input, nullptr);
      const bool fits = accepted && gst_caps_can_intersect(accepted, caps);
      if (accepted) gst_caps_unref(accepted);
      if (fits && ConnectPins(pad, input) == S_OK) {
        gst_caps_unref(caps);
        job->AddLog(QStringLiteral("Connected %1 to %2").arg(kind, FilterName(member)));
        std::lock_guard lock(job->mutex);
        ++job->rendered;
        return;
      }
    }
  }
  gst_caps_unref(caps);
  QString error;
  GstElement* renderer = video ? CreateNullVideoRenderer() : CreateAudioRenderer(&error);
  if (!renderer) {
    job->AddLog(QStringLiteral("No audio output: %1").arg(error));
    std::lock_guard lock(job->mutex);
    if (job->error == S_OK) job->error = E_NO_AUDIO_DEVICE;
    job->wake.notify_all();
    return;
  }
  if (audio) ApplyRendererAudio(renderer, job->volumeDb, job->balanceDb);
  gst_object_ref_sink(renderer);
  gst_bin_add(GST_BIN(job->pipeline), renderer);
  GstPad* input = gst_element_get_static_pad(renderer, "sink");
  const bool linked = GST_PAD_LINK_SUCCESSFUL(gst_pad_link(pad, input));
  gst_object_unref(input);
  gst_element_sync_state_with_parent(renderer);
  job->AddLog(QStringLiteral("Connected %1 to new %2").arg(kind, FilterClassID(renderer)));
  std::lock_guard lock(job->mutex);
  job->created.push_back(renderer);
  if (linked)
    ++job->rendered;
  else
    ++job->unrendered;
}

// ------------------------------------------------------------- events

GstPadProbeReturn TFilterGraph::OnVideoCaps(GstPad* pad, GstPadProbeInfo* info, gpointer) {
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(event, &caps);
  gint width = 0, height = 0;
  const GstStructure* s = caps && gst_caps_get_size(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  if (!s || !gst_structure_get_int(s, "width", &width) || !gst_structure_get_int(s, "height", &height))
    return GST_PAD_PROBE_OK;
  // The size a stream starts with is not a change; a later different one is.
  const intptr_t size = (width & 0xFFFF) | ((height & 0xFFFF) << 16);
  const intptr_t previous = reinterpret_cast<intptr_t>(g_object_get_data(G_OBJECT(pad), "cinvo-video-size"));
  g_object_set_data(G_OBJECT(pad), "cinvo-video-size", reinterpret_cast<gpointer>(size));
  if (previous == 0 || previous == size) return GST_PAD_PROBE_OK;
  if (GstElement* element = gst_pad_get_parent_element(pad)) {
    GstStructure* message = gst_structure_new(kGraphEvent, "code", G_TYPE_LONG, long(EC_VIDEO_SIZE_CHANGED), "param1",
                                              G_TYPE_INT64, gint64(size), "param2", G_TYPE_INT64, gint64(0), nullptr);
    gst_element_post_message(element, gst_message_new_application(GST_OBJECT(element), message));
    gst_object_unref(element);
  }
  return GST_PAD_PROBE_OK;
}

GstBusSyncReply TFilterGraph::BusSyncHandler(GstBus*, GstMessage* message, gpointer data) {
  auto* self = static_cast<TFilterGraph*>(data);
  std::shared_ptr<RenderJob> job;
  {
    std::lock_guard lock(self->fJobMutex);
    job = self->fRenderJob;
  }
  if (job) {
    // While a file is being rendered its errors are the rendering's result,
    // not graph events.
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
      GError* error = nullptr;
      gchar* debug = nullptr;
      gst_message_parse_error(message, &error, &debug);
      {
        std::lock_guard lock(job->mutex);
        if (job->error == S_OK) {
          job->error = ResultOfError(error);
          job->errorDetail = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(error ? error->message : ""),
                                                           QString::fromUtf8(debug ? debug : ""));
        }
        job->wake.notify_all();
      }
      if (error) g_error_free(error);
      g_free(debug);
      return GST_BUS_DROP;
    }
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE || GST_MESSAGE_TYPE(message) == GST_MESSAGE_STATE_CHANGED) {
      std::lock_guard lock(job->mutex);
      ++job->stateChanges;
      job->wake.notify_all();
    }
  }
  // Queued first, then the receiver is told, so a drain never misses it.
  bool notify = false;
  {
    std::lock_guard lock(self->fEventMutex);
    self->fEvents.push_back(gst_message_ref(message));
    notify = !self->fNotifyPending;
    self->fNotifyPending = true;
  }
  if (notify) PostWindowMessage(self, WM_GRAPHNOTIFY, 0, 0);
  return GST_BUS_DROP;
}

bool TFilterGraph::event(QEvent* e) {
  if (TqsMessageEvent::MessageOf(e) == WM_GRAPHNOTIFY) {
    DrainEvents();
    return true;
  }
  return QObject::event(e);
}

void TFilterGraph::PostGraphEvent(long code, intptr_t param1, intptr_t param2) {
  if (!fGraph) return;
  GstStructure* s = gst_structure_new(kGraphEvent, "code", G_TYPE_LONG, code, "param1", G_TYPE_INT64,
                                      static_cast<gint64>(param1), "param2", G_TYPE_INT64,
                                      static_cast<gint64>(param2), nullptr);
  gst_element_post_message(GST_ELEMENT(fGraph), gst_message_new_application(GST_OBJECT(fGraph), s));
}

GstMessage* TFilterGraph::NextEvent() {
  std::lock_guard lock(fEventMutex);
  if (fEvents.empty()) {
    fNotifyPending = false;
    return nullptr;
  }
  GstMessage* message = fEvents.front();
  fEvents.pop_front();
  return message;
}

void TFilterGraph::ClearEvents() {
  std::lock_guard lock(fEventMutex);
  for (GstMessage* message : fEvents) gst_message_unref(message);
  fEvents.clear();
}

void TFilterGraph::DrainEvents() {
  while (fGraph) {
    GstMessage* message = NextEvent();
    if (!message) break;
    long code = 0;
    intptr_t param1 = 0;
    intptr_t param2 = 0;
    const bool known = TranslateMessage(message, &code, &param1, &param2);
    gst_message_unref(message);
    if (!known) continue;
    try {
      Dispatch(code, param1, param2);
    } catch (const Exception& error) {
      // Shown, and the pump goes on.
      ShowErrorMessage(error.Message());
    } catch (const std::exception& error) {
      ShowErrorMessage(QString::fromUtf8(error.what()));
    }
  }
}

bool TFilterGraph::TranslateMessage(GstMessage* message, long* code, intptr_t* param1, intptr_t* param2) {
  const bool fromGraph = GST_MESSAGE_SRC(message) == GST_OBJECT(fGraph);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      *code = EC_COMPLETE;
      *param1 = S_OK;
      return true;
    case GST_MESSAGE_ERROR: {
      GError* error = nullptr;
      gst_message_parse_error(message, &error, nullptr);
      *code = EC_ERRORABORT;
      *param1 = ResultOfError(error);
      Log(QStringLiteral("Error: %1").arg(QString::fromUtf8(error ? error->message : "")));
      if (error) g_error_free(error);
      return true;
    }
    case GST_MESSAGE_WARNING: {
      GError* error = nullptr;
      gst_message_parse_warning(message, &error, nullptr);
      *code = EC_ERROR_STILLPLAYING;
      *param1 = ResultOfError(error);
      if (error) g_error_free(error);
      return true;
    }
    case GST_MESSAGE_BUFFERING: {
      gint percent = 100;
      gst_message_parse_buffering(message, &percent);
      *code = EC_BUFFERING_DATA;
      *param1 = percent < 100 ? 1 : 0;
      return true;
    }
    case GST_MESSAGE_CLOCK_LOST:
      // Pick a new clock by pausing and running again.
      if (fGraph && GraphState() == 3) {
        gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PAUSED);
        gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PLAYING);
      }
      *code = EC_CLOCK_UNSET;
      return true;
    case GST_MESSAGE_STATE_CHANGED: {
      if (!fromGraph) return false;
      GstState oldState, newState, pending;
      gst_message_parse_state_changed(message, &oldState, &newState, &pending);
      if (newState == GST_STATE_PLAYING && fClockChangePending &&
          gst_util_seqnum_compare(gst_message_get_seqnum(message), fRenderedSeqnum) > 0) {
        // The first run of a newly built graph.
        fClockChangePending = false;
        *code = EC_CLOCK_CHANGED;
        return true;
      }
      if (newState == GST_STATE_PAUSED && pending == GST_STATE_VOID_PENDING && fPausePending) {
        fPausePending = false;
        *code = EC_PAUSED;
        *param1 = S_OK;
        return true;
      }
      return false;
    }
    case GST_MESSAGE_APPLICATION: {
      const GstStructure* s = gst_message_get_structure(message);
      if (!s || !gst_structure_has_name(s, kGraphEvent)) return false;
      glong c = 0;
      gint64 p1 = 0, p2 = 0;
      gst_structure_get(s, "code", G_TYPE_LONG, &c, "param1", G_TYPE_INT64, &p1, "param2", G_TYPE_INT64, &p2,
                        nullptr);
      *code = c;
      *param1 = static_cast<intptr_t>(p1);
      *param2 = static_cast<intptr_t>(p2);
      return true;
    }
    default:
      return false;
  }
}

void TFilterGraph::Dispatch(long code, intptr_t param1, intptr_t param2) {
  const std::vector<IGraphListener*> listeners = fListeners;
  for (IGraphListener* listener : listeners) {
    if (std::find(fListeners.begin(), fListeners.end(), listener) != fListeners.end())
      listener->HandleGraphEvent(code, param1, param2);
  }
  if (fOnDSEvent) fOnDSEvent(this, code, param1, param2);
  switch (code) {
    case EC_COMPLETE:
      if (fOnGraphComplete) fOnGraphComplete(this, static_cast<HRESULT>(param1), reinterpret_cast<GstElement*>(param2));
      break;
    case EC_USERABORT:
      if (fOnGraphUserAbort) fOnGraphUserAbort(this);
      break;
    case EC_ERRORABORT:
      if (fOnGraphErrorAbort) fOnGraphErrorAbort(this, static_cast<HRESULT>(param1));
      break;
    case EC_STREAM_ERROR_STOPPED:
      if (fOnGraphStreamErrorStopped) fOnGraphStreamErrorStopped(this, param1, param2);
      break;
    case EC_STREAM_ERROR_STILLPLAYING:
      if (fOnGraphStreamErrorStillPlaying) fOnGraphStreamErrorStillPlaying(this, param1, param2);
      break;
    case EC_ERROR_STILLPLAYING:
      if (fOnGraphErrorStillPlaying) fOnGraphErrorStillPlaying(this, static_cast<HRESULT>(param1));
      break;
    case EC_PALETTE_CHANGED:
      if (fOnGraphPaletteChanged) fOnGraphPaletteChanged(this);
      break;
    case EC_VIDEO_SIZE_CHANGED:
      if (fOnGraphVideoSizeChanged) fOnGraphVideoSizeChanged(this, param1 & 0xFFFF, (param1 >> 16) & 0xFFFF);
      break;
    case EC_QUALITY_CHANGE:
      if (fOnGraphQualityChange) fOnGraphQualityChange(this);
      break;
    case EC_CLOCK_CHANGED:
      if (fOnGraphClockChanged) fOnGraphClockChanged(this);
      break;
    case EC_PAUSED:
      if (fOnGraphPaused) fOnGraphPaused(this, static_cast<HRESULT>(param1));
      break;
    case EC_OPENING_FILE:
      if (fOnGraphOpeningFile) fOnGraphOpeningFile(this, param1 != 0);
      break;
    case EC_BUFFERING_DATA:
      if (fOnGraphBufferingData) fOnGraphBufferingData(this, param1 != 0);
      break;
    case EC_FULLSCREEN_LOST:
      if (fOnGraphFullscreenLost) fOnGraphFullscreenLost(this, param2);
      break;
    case EC_OLE_EVENT:
      if (fOnGraphOleEvent) fOnGraphOleEvent(this, param1, param2);
      break;
    case EC_STREAM_CONTROL_STOPPED:
      if (fOnGraphStreamControlStopped) fOnGraphStreamControlStopped(this, param1, param2);
      break;
    case EC_STREAM_CONTROL_STARTED:
      if (fOnGraphStreamControlStarted) fOnGraphStreamControlStarted(this, param1, param2);
      break;
    case EC_END_OF_SEGMENT:
      if (fOnGraphEndOfSegment)
        fOnGraphEndOfSegment(this, param1 ? *reinterpret_cast<const int64_t*>(param1) : 0, param2);
      break;
    case EC_DEVICE_LOST:
      if (fOnGraphDeviceLost) fOnGraphDeviceLost(this, param1, param2 == 1);
      break;
    case EC_STEP_COMPLETE:
      if (fOnGraphStepComplete) fOnGraphStepComplete(this);
      break;
    case EC_TIMECODE_AVAILABLE:
      if (fOnGraphTimeCodeAvailable) fOnGraphTimeCodeAvailable(this, param1, param2);
      break;
    case EC_EXTDEVICE_MODE_CHANGE:
      if (fOnGraphEXTDeviceModeChange) fOnGraphEXTDeviceModeChange(this, param1, param2);
      break;
    case EC_GRAPH_CHANGED:
      if (fOnGraphChanged) fOnGraphChanged(this);
      break;
    case EC_CLOCK_UNSET:
      if (fOnGraphClockUnset) fOnGraphClockUnset(this);
      break;
    case EC_VMR_RENDERDEVICE_SET:
      if (fOnGraphVMRRenderDevice) fOnGraphVMRRenderDevice(this, param1);
      break;
    case EC_SNDDEV_IN_ERROR:
      if (fOnGraphSNDDevInError) fOnGraphSNDDevInError(this, param1, param2);
      break;
    case EC_SNDDEV_OUT_ERROR:
      if (fOnGraphSNDDevOutError) fOnGraphSNDDevOutError(this, param1, param2);
      break;
    default:
      break;
  }
}
