#include "viewer/filter_graph.h"

#include <QFile>

#include <algorithm>

#include "viewer/graph_internal.h"
#include "viewer/graph_renderers.h"
#include "viewer/hardware_decoders.h"

using namespace graphinternal;

namespace {

void EnsureGStreamer() {
  static const bool ready = [] {
    GError* error = nullptr;
    const bool ok = gst_init_check(nullptr, nullptr, &error);
    if (error) g_error_free(error);
    if (ok) SetHardwareDecoding(HardwareDecodingAllowed());
    return ok;
  }();
  if (!ready) CheckGraphResult(E_FAIL);
}

}  // namespace

namespace graphinternal {

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

}  // namespace graphinternal

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
  auto leave = [this](std::vector<TFilterGraph*>& graphs) {
    graphs.erase(std::remove(graphs.begin(), graphs.end(), this), graphs.end());
  };
  for (IMemberFilter* member : fMemberFilters) leave(member->fJoinedGraphs);
  for (IGraphListener* listener : fListeners) leave(listener->fJoinedGraphs);
}

IMemberFilter::~IMemberFilter() {
  const std::vector<TFilterGraph*> graphs = fJoinedGraphs;
  for (TFilterGraph* graph : graphs) graph->ForgetMemberFilter(this);
}

IGraphListener::~IGraphListener() {
  const std::vector<TFilterGraph*> graphs = fJoinedGraphs;
  for (TFilterGraph* graph : graphs) graph->RemoveListener(this);
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
  ShutDownLockedFilters(fGraph);
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
  member->fJoinedGraphs.push_back(this);
  if (fActive) InsertMemberFilter(member);
}

void TFilterGraph::RemoveMemberFilter(IMemberFilter* member) {
  auto it = std::find(fMemberFilters.begin(), fMemberFilters.end(), member);
  if (it == fMemberFilters.end()) return;
  fMemberFilters.erase(it);
  std::erase(member->fJoinedGraphs, this);
  if (fActive) TakeOutMemberFilter(member);
  if (fMemberFilters.empty()) fMemberFilters.shrink_to_fit();
}

void TFilterGraph::ForgetMemberFilter(IMemberFilter* member) {
  auto it = std::find(fMemberFilters.begin(), fMemberFilters.end(), member);
  if (it != fMemberFilters.end()) fMemberFilters.erase(it);
  std::erase(member->fJoinedGraphs, this);
  for (auto inserted = fInsertedFilters.begin(); inserted != fInsertedFilters.end(); ++inserted) {
    if (inserted->first != member) continue;
    GstElement* filter = inserted->second;
    fInsertedFilters.erase(inserted);
    if (fGraph) RemoveFilter(fGraph, filter);
    gst_object_unref(filter);
    break;
  }
}

GstElement* TFilterGraph::InsertedFilterOf(IMemberFilter* member) const {
  for (const auto& [owner, filter] : fInsertedFilters)
    if (owner == member) return filter;
  return nullptr;
}

void TFilterGraph::AddListener(IGraphListener* listener) {
  if (listener && std::find(fListeners.begin(), fListeners.end(), listener) == fListeners.end()) {
    fListeners.push_back(listener);
    listener->fJoinedGraphs.push_back(this);
  }
}

void TFilterGraph::RemoveListener(IGraphListener* listener) {
  auto it = std::find(fListeners.begin(), fListeners.end(), listener);
  if (it == fListeners.end()) return;
  fListeners.erase(it);
  std::erase(listener->fJoinedGraphs, this);
  if (fListeners.empty()) fListeners.shrink_to_fit();
}

void TFilterGraph::InsertMemberFilter(IMemberFilter* member) {
  member->FilterNotify(0, 0);
  const QString name = member->GetFilterName();
  if (GstElement* filter = member->GetFilterObject()) {
    const HRESULT hr = AddFilter(fGraph, filter, name);
    Log(QStringLiteral("Add member filter \"%1\": %2").arg(name, ErrorText(hr)));
    if (Succeeded(hr)) fInsertedFilters.emplace_back(member, GST_ELEMENT(gst_object_ref(filter)));
  }
  member->FilterNotify(1, 0);
}

void TFilterGraph::TakeOutMemberFilter(IMemberFilter* member) {
  member->FilterNotify(2, 0);
  GstElement* filter = InsertedFilterOf(member);
  if (filter) {
    RemoveFilter(fGraph, filter);
    std::erase_if(fInsertedFilters, [&](const auto& item) { return item.first == member; });
    gst_object_unref(filter);
  }
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
  // A short wait only: a stalled movie never finishes pausing, and the
  // user-interface thread must not hang on it. It settles on its own.
  GstStateChangeReturn r = gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_PAUSED);
  if (r == GST_STATE_CHANGE_ASYNC) r = gst_element_get_state(GST_ELEMENT(fGraph), nullptr, nullptr, kQuickSettleTimeout);
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
  // A damaged file may claim weeks: clamped, never wrapped.
  return static_cast<int32_t>(std::clamp<int64_t>(MediaTimeToMs(duration), 0, INT32_MAX));
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
  WaitForState(kQuickSettleTimeout);
  // Going to READY, decoders take their outputs away: the renderers they
  // fed are unlinked without being parked.
  ParkUnlinkedRenderers(fGraph);
  TFilterList filters(fGraph);
  for (int i = 0; i < filters.Count(); ++i) {
    TPinList pins(filters.Items(i));
    for (int j = 0; j < pins.Count(); ++j) CheckGraphResult(DisconnectPin(pins.Items(j)));
  }
  ParkUnlinkedRenderers(fGraph);
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
  // What the emptied movie posted and nobody heard yet is not the next
  // movie's (an end of stream would end it at once).
  ClearEvents();
}

