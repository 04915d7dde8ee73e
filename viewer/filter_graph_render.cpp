// Rendering a file into the graph: source and decoder, renderers for the
// decoded streams, the builder's questions to the component, and the wait
// for the built graph to preroll.
#include <gst/base/gstbasetransform.h>

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "platform/file_check.h"
#include "viewer/filter_graph.h"
#include "viewer/graph_internal.h"
#include "viewer/graph_renderers.h"
#include "viewer/subtitle_tracks.h"

using namespace graphinternal;

namespace {

bool IsBuilderFilter(GstElement* element) {
  GstElementFactory* factory = gst_element_get_factory(element);
  if (!factory) return false;
  const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
  const QString k = QString::fromUtf8(klass ? klass : "");
  return k.contains(QLatin1String("Demux")) || k.contains(QLatin1String("Decoder")) ||
         k.contains(QLatin1String("Parser")) || k.contains(QLatin1String("Depayload"));
}

bool IsDemuxer(GstElement* element) {
  GstElementFactory* factory = gst_element_get_factory(element);
  const char* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
  return klass && QString::fromUtf8(klass).contains(QLatin1String("Demux"));
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
// A name on disk that is not valid text reaches us with replacement
// characters, and opening that name fails. The one entry of its directory
// that reads as the same text is the file meant; its bytes open it. Empty
// when there is none or more than one.
QByteArray UndecodableNameOnDisk(const QFileInfo& info) {
  if (!info.fileName().contains(QChar::ReplacementCharacter)) return {};
  const QByteArray directory = QFile::encodeName(info.absolutePath());
  GDir* dir = g_dir_open(directory.constData(), 0, nullptr);
  if (!dir) return {};
  QByteArray found;
  int matches = 0;
  while (const gchar* entry = g_dir_read_name(dir)) {
    if (QFile::decodeName(QByteArray(entry)) == info.fileName()) {
      found = directory + '/' + entry;
      ++matches;
    }
  }
  g_dir_close(dir);
  return matches == 1 ? found : QByteArray();
}

// Refuses at once what is no movie file: reading a named pipe, a socket
// or a device would wait for ever or never end.
void CheckMovieFile(const QByteArray& location, const QString& fileName) {
  const platform::TFileCheck check = platform::CheckReadableFile(location);
  if (check.Kind == platform::TFileKind::Missing) CheckFileResult(E_FILE_NOT_FOUND, fileName);
  if (check.Kind != platform::TFileKind::Regular) CheckFileResult(E_ACCESSDENIED, fileName, platform::WhyNoMovieFile(check.Kind));
  if (!check.Error.isEmpty())
    CheckFileResult(E_ACCESSDENIED, fileName, QStringLiteral("It cannot be read: %1.").arg(check.Error));
  if (check.Empty) CheckFileResult(E_INVALID_FILE_FORMAT, fileName, QStringLiteral("It is empty."));
}

}  // namespace

// ------------------------------------------------------------- rendering

HRESULT TFilterGraph::RenderMediaFile(const QString& fileName) {
  if (!fGraph) return S_FALSE;
  SendControl(ControlFileRendering, 0);
  Log(QStringLiteral("Render \"%1\"").arg(fileName));

  // Plain file problems get their own codes before anything is built, and
  // nothing here waits on the file.
  const QFileInfo info(fileName);
  QByteArray location = QFile::encodeName(info.absoluteFilePath());
  if (!info.exists()) {
    if (!fileName.contains(QChar::ReplacementCharacter)) CheckFileResult(E_FILE_NOT_FOUND, fileName);
    location = UndecodableNameOnDisk(info);
    if (location.isEmpty()) CheckFileResult(E_INVALID_NAME, fileName);
  }
  CheckMovieFile(location, fileName);

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
    CheckFileResult(E_CANNOT_RENDER, fileName);
  }
  // The source is named after the file, the splitter-decoder after its role.
  gst_object_set_name(GST_OBJECT(source), info.absoluteFilePath().toUtf8().constData());
  g_object_set(source, "location", location.constData(), nullptr);
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

  // A renderer left unlinked by an earlier movie must not hold up cueing.
  ParkUnlinkedRenderers(fGraph);
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
  {
    std::lock_guard lock(job->mutex);
    job->finishedEvents = true;
    std::vector<GstMessage*> events;
    events.swap(job->events);
    if (Succeeded(hr))
      QueueEvents(std::move(events));  // queued while held: before anything later
    else
      for (GstMessage* message : events) gst_message_unref(message);
  }
  CheckFileResult(hr, fileName);
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
    if (StoppedBeforeAnyStream(job)) return E_INVALID_FILE_FORMAT;
    if (std::chrono::steady_clock::now() > deadline) return E_TIMEOUT;
  }
}

bool TFilterGraph::StoppedBeforeAnyStream(RenderJob* job) {
  // A splitter that gives up on a damaged header while the decoder is still
  // trying it out has its error swallowed by the decoder: its streaming
  // thread stops with no stream found, and cueing would wait for ever.
  std::vector<GstElement*> demuxers;
  {
    std::lock_guard lock(job->mutex);
    for (GstElement* demuxer : job->demuxers) demuxers.push_back(GST_ELEMENT(gst_object_ref(demuxer)));
  }
  bool stopped = false;
  for (GstElement* demuxer : demuxers) {
    if (!stopped && demuxer->numsrcpads == 0) {
      TPinList pins(demuxer);
      for (int i = 0; i < pins.Count(); ++i) {
        GstPad* pad = pins.Items(i);
        if (GST_PAD_IS_SINK(pad) && GST_PAD_MODE(pad) == GST_PAD_MODE_PULL &&
            gst_pad_get_task_state(pad) == GST_TASK_PAUSED)
          stopped = true;
      }
    }
    gst_object_unref(demuxer);
  }
  if (stopped) job->AddLog(QStringLiteral("The splitter stopped before it found any stream"));
  return stopped;
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
    WaitForState(kQuickSettleTimeout);
    return;
  }
  // The graph goes back to its member filters, ready for the next file.
  gst_element_set_state(GST_ELEMENT(fGraph), GST_STATE_READY);
  WaitForState(kQuickSettleTimeout);
  TFilterList filters(fGraph);
  for (int i = 0; i < filters.Count(); ++i) {
    TPinList pins(filters.Items(i));
    for (int j = 0; j < pins.Count(); ++j) DisconnectPin(pins.Items(j));
  }
  for (IMemberFilter* member : fMemberFilters) filters.Remove(member->GetFilterObject());
  for (int i = 0; i < filters.Count(); ++i) RemoveFilter(fGraph, filters.Items(i));
  // Decoders going to READY unlink the members they fed without parking
  // them; one left waiting would hold up the next movie's cueing.
  ParkUnlinkedRenderers(fGraph);
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
  // A software decoder that decodes straight into the frames it hands on
  // keeps them as reference pictures, so each one leaves through a copy
  // into fresh memory; decoding into its own frames and copying them into
  // its reused buffers costs less (5 % of a 4K movie's whole playing).
  if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "direct-rendering"))
    g_object_set(element, "direct-rendering", FALSE, nullptr);
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
  if (IsDemuxer(element)) {
    std::lock_guard lock(job->mutex);
    job->demuxers.push_back(GST_ELEMENT(gst_object_ref(element)));
  }
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
  const bool text = kind.startsWith(QLatin1String("text/"));
  if (text) {
    LinkSubtitlePad(job, pad);
    return;
  }
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
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) caps = gst_pad_query_caps(pad, nullptr);
  // From here on `pad` is the upright picture when the movie asks to be
  // turned.
  GstPad* upright = video ? UprightOutput(job, pad) : nullptr;
  if (upright) pad = upright;
  if (video) gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &TFilterGraph::OnVideoCaps, nullptr, nullptr);
  struct TReleasePad {
    GstPad* pad;
    ~TReleasePad() {
      if (pad) gst_object_unref(pad);
    }
  } releaseUpright{upright};
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
  AddRenderer(job, pad, renderer, kind);
}

void TFilterGraph::AddRenderer(RenderJob* job, GstPad* pad, GstElement* renderer, const QString& kind) {
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

void TFilterGraph::LinkSubtitlePad(RenderJob* job, GstPad* pad) {
  const QString kind = CapsName(pad);
  GstElement* renderer = CreateSubtitleRenderer();
  if (!renderer) {
    job->AddLog(QStringLiteral("No subtitle renderer for %1").arg(kind));
    UnrenderedStream(job, pad);
    return;
  }
  // The language and the movie's choice are known now; the subtitles
  // themselves may come much later.
  TakeStreamInfo(renderer, pad);
  // A sparse stream: no first-buffer count, so it never holds up the check
  // that some data came.
  AddRenderer(job, pad, renderer, kind);
}

GstPad* TFilterGraph::UprightOutput(RenderJob* job, GstPad* pad) {
  // Phones record upright pictures as turned ones with an orientation tag;
  // this stage turns them back as the tag says, and passes every other
  // picture through untouched.
  GstElement* flip = gst_element_factory_make("videoflip", nullptr);
  // The stage turns fewer layouts than decoders give (4:2:2 for one); a
  // converter in front passes the others through untouched.
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  if (!flip || !convert) {
    for (GstElement* e : {flip, convert})
      if (e) gst_object_unref(e);
    return nullptr;
  }
  g_object_set(flip, "video-direction", 8 /* auto, from the stream's tags */, nullptr);
  // The element starts out copying every frame even while it turns nothing
  // (a full copy of each 4K picture); it leaves pass-through itself when a
  // tag asks for a turn.
  gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(flip), TRUE);
  gst_object_ref_sink(flip);
  gst_object_ref_sink(convert);
  gst_bin_add_many(GST_BIN(job->pipeline), convert, flip, nullptr);
  GstPad* input = gst_element_get_static_pad(convert, "sink");
  const bool linked = gst_element_link(convert, flip) && GST_PAD_LINK_SUCCESSFUL(gst_pad_link(pad, input));
  gst_object_unref(input);
  if (!linked) {
    for (GstElement* e : {convert, flip}) {
      gst_bin_remove(GST_BIN(job->pipeline), e);
      gst_object_unref(e);
    }
    return nullptr;
  }
  gst_element_sync_state_with_parent(flip);
  gst_element_sync_state_with_parent(convert);
  {
    std::lock_guard lock(job->mutex);
    job->created.push_back(convert);
    job->created.push_back(flip);
  }
  return gst_element_get_static_pad(flip, "src");
}
