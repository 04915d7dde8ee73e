// The video window's overlay insertion: the colour stage goes between the
// decoded video and the window's renderer, and everything it changed is
// logged so that a failure half-way puts the graph back as it was.
#include <gst/gst.h>

#include "viewer/graph_renderers.h"
#include "viewer/overlay_mixer.h"
#include "viewer/video_renderer.h"
#include "viewer/video_window.h"

namespace {

constexpr const char* kHoldProbe = "cinvo-overlay-hold";

// While the path is rebuilt, the output that fed the renderer holds its
// next buffer back: a push into a half-built path would stop the demuxer
// behind it, and a dropped one would lose the picture.
void Hold(GstPad* output) {
  if (g_object_get_data(G_OBJECT(output), kHoldProbe)) return;
  const gulong probe = gst_pad_add_probe(
      output, GstPadProbeType(GST_PAD_PROBE_TYPE_BLOCK | GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
      [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_OK; }, nullptr, nullptr);
  g_object_set_data(G_OBJECT(output), kHoldProbe, GSIZE_TO_POINTER(probe));
}

void Release(GstPad* output) {
  if (const gsize probe = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(output), kHoldProbe))) {
    gst_pad_remove_probe(output, probe);
    g_object_set_data(G_OBJECT(output), kHoldProbe, nullptr);
  }
}

GstPad* FirstFreeInput(GstElement* filter) {
  TPinList pins(filter);
  for (int i = 0; i < pins.Count(); ++i)
    if (GST_PAD_IS_SINK(pins.Items(i)) && !gst_pad_is_linked(pins.Items(i)))
      return GST_PAD(gst_object_ref(pins.Items(i)));
  return nullptr;
}

GstElement* FilterOf(GstPad* pad) {
  return pad ? gst_pad_get_parent_element(pad) : nullptr;
}

bool IsNullRenderer(GstElement* filter) { return FilterClassID(filter) == QLatin1String(CLSID_NullRenderer); }

}  // namespace

GstElement* TDSVideoWindowEx2::CreateOverlayMixer() { return ::CreateOverlayMixer(); }

HRESULT TDSVideoWindowEx2::InsertOverlay() {
  if (fMixer) gst_object_unref(fMixer);
  fMixer = nullptr;
  if (fGraphRenderer) gst_object_unref(fGraphRenderer);
  fGraphRenderer = nullptr;
  fOverlayTried = true;
  std::vector<TLogEntry> log;

  GstPipeline* graph = fFilterGraph ? fFilterGraph->Graph() : nullptr;
  if (!graph) return E_UNEXPECTED;
  // The graph's renderer of our kind, an existing colour stage, and a
  // frame-discarding renderer the movie went to before this window joined.
  GstElement* mixingRenderer = nullptr;
  {
    TFilterList filters(graph);
    for (int i = 0; i < filters.Count(); ++i) {
      GstElement* f = filters.Items(i);
      GstElement** slot = IsOverlayMixer(f)                   ? &fMixer
                          : IsNullRenderer(f)                  ? &mixingRenderer
                          : TVideoRenderer::FromFilter(f) != nullptr ? &fGraphRenderer
                                                               : nullptr;
      if (!slot) continue;
      if (*slot) gst_object_unref(*slot);
      *slot = GST_ELEMENT(gst_object_ref(f));
    }
  }
  auto done = [&](HRESULT hr) {
    if (mixingRenderer) gst_object_unref(mixingRenderer);
    return hr;
  };

  if (fMixer) {
    // A stage already in the graph is taken when it feeds our renderer and
    // is fed itself.
    bool feedsRenderer = false, fed = false;
    TPinList pins(fMixer);
    for (int i = 0; i < pins.Count(); ++i) {
      GstPad* peer = ConnectedTo(pins.Items(i));
      if (!peer) continue;
      GstElement* other = FilterOf(peer);
      if (GST_PAD_IS_SRC(pins.Items(i)) && other && other == fGraphRenderer) feedsRenderer = true;
      if (GST_PAD_IS_SINK(pins.Items(i))) fed = true;
      if (other) gst_object_unref(other);
      gst_object_unref(peer);
    }
    if (feedsRenderer && fed) return done(S_OK);
    gst_object_unref(fMixer);
    fMixer = nullptr;
    return done(E_FAIL);
  }

  GstElement* mixer = CreateOverlayMixer();
  if (!mixer) return done(E_FAIL);
  gst_object_ref_sink(mixer);
  if (Failed(AddFilter(graph, mixer, QStringLiteral("Overlay Mixer")))) {
    gst_object_unref(mixer);
    return done(E_FAIL);
  }
  fMixer = mixer;
  // Running before anything reaches it.
  gst_element_sync_state_with_parent(fMixer);

  HRESULT hr = S_OK;
  GstPad* rendererInput = nullptr;
  std::vector<GstPad*> held;
  auto fail = [&](HRESULT code) {
    hr = code;
    return false;
  };
  auto logEntry = [&](GstPad* output, GstPad* input, bool made) {
    log.push_back({GST_PAD(gst_object_ref(output)), GST_PAD(gst_object_ref(input)), made});
  };
  auto hold = [&](GstPad* output) {
    Hold(output);
    held.push_back(GST_PAD(gst_object_ref(output)));
  };
  auto connect = [&](GstPad* output, GstPad* input) {
    const HRESULT r = ConnectPins(output, input);
    if (Succeeded(r)) logEntry(output, input, true);
    return r;
  };

  const bool built = [&] {
    if (!fGraphRenderer) return fail(E_FAIL);
    {
      TPinList pins(fGraphRenderer);
      if (pins.Count() == 0) return fail(E_FAIL);
      rendererInput = GST_PAD(gst_object_ref(pins.Items(0)));
    }
    if (mixingRenderer) {
      // Every stream the other renderer took comes to the stage instead.
      std::vector<GstPad*> upstream;
      TPinList pins(mixingRenderer);
      for (int i = 0; i < pins.Count(); ++i) {
        GstPad* input = pins.Items(i);
        if (!GST_PAD_IS_SINK(input)) continue;
        GstPad* output = ConnectedTo(input);
        if (!output) break;
        hold(output);
        // Parks that renderer: a buffer it holds in preroll goes through.
        DisconnectPin(input);
        logEntry(output, input, false);
        upstream.push_back(output);
      }
      bool ok = !upstream.empty();
      for (GstPad* output : upstream) {
        if (!ok) break;
        GstPad* free = FirstFreeInput(fMixer);
        if (!free) {
          ok = fail(E_FAIL);
        } else {
          const HRESULT r = connect(output, free);
          if (Failed(r)) ok = fail(r);
          gst_object_unref(free);
        }
      }
      for (GstPad* output : upstream) gst_object_unref(output);
      if (!ok) return upstream.empty() ? fail(E_FAIL) : false;
    } else {
      GstPad* output = ConnectedTo(rendererInput);
      if (!output) return fail(E_FAIL);
      hold(output);
      // Straight unlink: the renderer keeps its cued frame and its state.
      gst_pad_unlink(output, rendererInput);
      logEntry(output, rendererInput, false);
      GstPad* free = FirstFreeInput(fMixer);
      HRESULT r = free ? connect(output, free) : E_FAIL;
      if (free) gst_object_unref(free);
      gst_object_unref(output);
      if (Failed(r)) return fail(r);
    }
    GstPad* mixerOutput = gst_element_get_static_pad(fMixer, "Output");
    if (!mixerOutput) return fail(E_FAIL);
    const HRESULT r = connect(mixerOutput, rendererInput);
    gst_object_unref(mixerOutput);
    if (Failed(r)) return fail(r);
    return true;
  }();

  if (built) {
    // The renderer given up may still hold a streaming thread on its way
    // out; it leaves the graph once our renderer has had a frame.
    if (mixingRenderer) {
      if (fRetiredRenderer) gst_object_unref(fRetiredRenderer);
      fRetiredRenderer = GST_ELEMENT(gst_object_ref(mixingRenderer));
    }
  } else {
    Rollback(log, mixingRenderer);
    if (Succeeded(hr)) hr = E_FAIL;
  }
  for (GstPad* pad : held) {
    Release(pad);
    gst_object_unref(pad);
  }
  for (TLogEntry& entry : log) {
    gst_object_unref(entry.output);
    gst_object_unref(entry.input);
  }
  if (rendererInput) gst_object_unref(rendererInput);
  return done(hr);
}

void TDSVideoWindowEx2::Rollback(std::vector<TLogEntry>& log, GstElement*) {
  for (auto it = log.rbegin(); it != log.rend(); ++it) {
    if (it->made)
      gst_pad_unlink(it->output, it->input);
    else
      ConnectPins(it->output, it->input);
  }
  GstPipeline* graph = fFilterGraph ? fFilterGraph->Graph() : nullptr;
  if (fMixer && graph) RemoveFilter(graph, fMixer);
  if (fMixer) gst_object_unref(fMixer);
  fMixer = nullptr;
}
