#include "viewer/graph_utils.h"

#include <gst/tag/tag.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <map>

#include <unistd.h>

const char* const CLSID_FileSource = "filesrc";
const char* const CLSID_DecodeBin = "decodebin";
const char* const CLSID_AudioRender = "CinvoAudioRenderer";
const char* const CLSID_NullRenderer = "CinvoNullRenderer";

QString ErrorText(HRESULT hr) {
  QString text;
  switch (static_cast<uint32_t>(hr)) {
    case 0x00000000u: text = QStringLiteral("No error"); break;
    case 0x00000001u: text = QStringLiteral("Nothing was done"); break;
    case 0x00040242u: text = QStringLiteral("Some of the streams in this movie are in an unsupported format"); break;
    case 0x00040237u: text = QStringLiteral("The state change has not completed yet"); break;
    case 0x80004005u: text = QStringLiteral("Unspecified error"); break;
    case 0x80004001u: text = QStringLiteral("This kind of graph is not available"); break;
    case 0x80004002u: text = QStringLiteral("The object does not offer this interface"); break;
    case 0x80004003u: text = QStringLiteral("Invalid pointer"); break;
    case 0x8000FFFFu: text = QStringLiteral("Unexpected failure"); break;
    case 0x80070057u: text = QStringLiteral("The parameter is incorrect"); break;
    case 0x80070005u: text = QStringLiteral("Access is denied: the file cannot be read"); break;
    case 0x80070002u: text = QStringLiteral("The system cannot find the file specified"); break;
    case 0x8007007Bu: text = QStringLiteral("The file name cannot be read: it contains characters that are not valid text"); break;
    case 0x80040209u: text = QStringLiteral("The operation cannot be performed because the pins are not connected"); break;
    case 0x80040217u: text = QStringLiteral("No combination of intermediate filters could be found to make the connection"); break;
    case 0x80040218u: text = QStringLiteral("No combination of filters could be found to render the stream"); break;
    case 0x80040227u: text = QStringLiteral("The operation could not be performed because the filter is in the wrong state"); break;
    case 0x8004022Eu: text = QStringLiteral("The file could not be opened in time: the operation has timed out"); break;
    case 0x80040240u: text = QStringLiteral("The media type of this file is not recognized"); break;
    case 0x80040241u: text = QStringLiteral("The file format is invalid"); break;
    case 0x80040256u: text = QStringLiteral("Cannot play back the audio stream: no audio output is available"); break;
    case 0x8004025Fu: text = QStringLiteral("Cannot perform the requested function on an object that is not in the filter graph"); break;
    case 0x80040265u: text = QStringLiteral("Cannot play back the file: no decoder is installed for its format"); break;
    default: text = Failed(hr) ? QStringLiteral("Unknown error") : QStringLiteral("Success"); break;
  }
  return text.left(255);
}

HRESULT CheckGraphResult(HRESULT hr) {
  if (Failed(hr)) {
    const QString code = QString::number(static_cast<uint32_t>(hr), 16).toUpper();
    throw EDirectShowException(ErrorText(hr) + QStringLiteral(" ($") + code + QStringLiteral(")."), hr);
  }
  return hr;
}

namespace {

// Rounds to the nearest integer, halves to even.
int RoundHalfEven(double value) {
  const double lower = std::floor(value);
  const double diff = value - lower;
  if (diff > 0.5) return static_cast<int>(lower) + 1;
  if (diff < 0.5) return static_cast<int>(lower);
  const int low = static_cast<int>(lower);
  return (low % 2 == 0) ? low : low + 1;
}

}  // namespace

int LinearVolumeToDb(int volume) {
  return RoundHalfEven(std::log(volume + 1.0) * 1085.73) - 10000;
}

int LinearBalanceToDb(int balance) {
  if (balance < 0) return RoundHalfEven(std::log(-balance + 1.0) * 1085.73);
  return -RoundHalfEven(std::log(balance + 1.0) * 1085.73);
}

QString FilterClassID(GstElement* filter) {
  if (!filter) return QString();
  if (GstElementFactory* factory = gst_element_get_factory(filter))
    return QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
  return QString::fromUtf8(G_OBJECT_TYPE_NAME(filter));
}

QString FilterName(GstElement* filter) {
  if (!filter) return QString();
  gchar* name = gst_object_get_name(GST_OBJECT(filter));
  const QString result = QString::fromUtf8(name);
  g_free(name);
  return result;
}

// ---------------------------------------------------------------- lists

namespace {

// Every object the iterator yields, each with a reference of its own; a
// resync (the container changed meanwhile) starts the list again.
template <typename T>
std::vector<T*> CollectObjects(GstIterator* it) {
  std::vector<T*> items;
  GValue item = G_VALUE_INIT;
  bool done = false;
  while (!done) {
    switch (gst_iterator_next(it, &item)) {
      case GST_ITERATOR_OK:
        items.push_back(static_cast<T*>(g_value_dup_object(&item)));
        g_value_reset(&item);
        break;
      case GST_ITERATOR_RESYNC:
        for (T* object : items) gst_object_unref(object);
        items.clear();
        gst_iterator_resync(it);
        break;
      default:
        done = true;
        break;
    }
  }
  g_value_unset(&item);
  gst_iterator_free(it);
  return items;
}

}  // namespace

TFilterList::TFilterList(GstPipeline* graph) {
  if (!graph) return;
  fItems = CollectObjects<GstElement>(gst_bin_iterate_elements(GST_BIN(graph)));
  // The bin lists its children newest first; enumerate in the order the
  // filters were added.
  std::reverse(fItems.begin(), fItems.end());
}

TFilterList::~TFilterList() {
  for (GstElement* e : fItems) gst_object_unref(e);
}

bool TFilterList::Remove(GstElement* filter) {
  for (auto it = fItems.begin(); it != fItems.end(); ++it) {
    if (*it == filter) {
      gst_object_unref(*it);
      fItems.erase(it);
      return true;
    }
  }
  return false;
}

TPinList::TPinList(GstElement* filter) : fFilter(filter ? GST_ELEMENT(gst_object_ref(filter)) : nullptr) {
  if (fFilter) fItems = CollectObjects<GstPad>(gst_element_iterate_pads(fFilter));
}

TPinList::~TPinList() {
  for (GstPad* p : fItems) gst_object_unref(p);
  if (fFilter) gst_object_unref(fFilter);
}

// ---------------------------------------------------------------- pins

namespace {

constexpr const char* kParked = "cinvo-parked";
constexpr const char* kDropProbe = "cinvo-drop-probe";
constexpr const char* kWasSink = "cinvo-was-sink";

// The top-level filter a pad belongs to (a new reference) when its element
// sits directly in a pipeline.
GstElement* TopLevelFilterOf(GstPad* pad) {
  GstElement* element = gst_pad_get_parent_element(pad);
  if (!element) return nullptr;
  GstObject* parent = gst_object_get_parent(GST_OBJECT(element));
  const bool topLevel = parent && GST_IS_PIPELINE(parent);
  if (parent) gst_object_unref(parent);
  if (!topLevel) {
    gst_object_unref(element);
    return nullptr;
  }
  return element;
}

bool HasLinkedInput(GstElement* filter) {
  TPinList pins(filter);
  for (int i = 0; i < pins.Count(); ++i)
    if (GST_PAD_IS_SINK(pins.Items(i)) && gst_pad_is_linked(pins.Items(i))) return true;
  return false;
}

// Waits (bounded) until no streaming thread is inside the filter through
// one of its cut inputs. A renderer cut from a running graph may still be
// rendering its last buffer: shut down under that thread, it would answer
// "flushing" up the path that fed it, which stops the demuxer and with it
// every other stream. Nothing new comes through a cut input.
void WaitForCutInputs(GstElement* filter) {
  TPinList pins(filter);
  for (int i = 0; i < pins.Count(); ++i) {
    GstPad* pad = pins.Items(i);
    if (!GST_PAD_IS_SINK(pad) || gst_pad_is_linked(pad)) continue;
    // About one frame's rendering wait; a stuck thread costs a second.
    const gint64 deadline = g_get_monotonic_time() + G_TIME_SPAN_SECOND;
    for (;;) {
      if (GST_PAD_STREAM_TRYLOCK(pad)) {
        GST_PAD_STREAM_UNLOCK(pad);
        break;
      }
      if (g_get_monotonic_time() > deadline) break;
      g_usleep(1000);
    }
  }
}

}  // namespace

bool IsParked(GstElement* filter) {
  return filter && g_object_get_data(G_OBJECT(filter), kParked) != nullptr;
}

void ParkRenderer(GstElement* filter, bool parked) {
  if (!filter || IsParked(filter) == parked) return;
  if (parked) {
    const bool sink = GST_OBJECT_FLAG_IS_SET(filter, GST_ELEMENT_FLAG_SINK);
    g_object_set_data(G_OBJECT(filter), kWasSink, GINT_TO_POINTER(sink ? 1 : 0));
    g_object_set_data(G_OBJECT(filter), kParked, GINT_TO_POINTER(1));
    gst_element_set_locked_state(filter, TRUE);
    // A sink the graph does not feed must neither hold up preroll nor the
    // end of stream, which the pipeline waits for from every sink child.
    GST_OBJECT_FLAG_UNSET(filter, GST_ELEMENT_FLAG_SINK);
    GstState state = GST_STATE_NULL;
    gst_element_get_state(filter, &state, nullptr, 0);
    // Cut from a cued or running graph, a renderer may hold a streaming
    // thread waiting in preroll: running lets that last buffer through,
    // where shutting it down would answer "flushing" and stop the demuxer
    // that feeds the other streams. It goes down when removed.
    gst_element_set_state(filter, state >= GST_STATE_PAUSED ? GST_STATE_PLAYING : GST_STATE_NULL);
    // The graph ends when every renderer it feeds has ended, and counts
    // only when one of them ends: a renderer parked after all the others
    // ended would leave it running forever. An end of its own makes the
    // graph count again. It is the parked filter's alone: it is dropped
    // with the filter, at the next pause and by the next movie's cueing.
    if (sink) {
      GstObject* parent = gst_object_get_parent(GST_OBJECT(filter));
      if (parent && GST_IS_PIPELINE(parent)) {
        GstState graphState = GST_STATE_NULL;
        gst_element_get_state(GST_ELEMENT(parent), &graphState, nullptr, 0);
        if (graphState == GST_STATE_PLAYING)
          gst_element_post_message(filter, gst_message_new_eos(GST_OBJECT(filter)));
      }
      if (parent) gst_object_unref(parent);
    }
  } else {
    g_object_set_data(G_OBJECT(filter), kParked, nullptr);
    if (g_object_get_data(G_OBJECT(filter), kWasSink)) GST_OBJECT_FLAG_SET(filter, GST_ELEMENT_FLAG_SINK);
    gst_element_set_locked_state(filter, FALSE);
    GstObject* parent = gst_object_get_parent(GST_OBJECT(filter));
    if (parent) {
      gst_element_sync_state_with_parent(filter);
      gst_object_unref(parent);
    }
  }
}

void ParkUnlinkedRenderers(GstPipeline* graph) {
  TFilterList filters(graph);
  for (int i = 0; i < filters.Count(); ++i) {
    GstElement* filter = filters.Items(i);
    const bool renderer = GST_OBJECT_FLAG_IS_SET(filter, GST_ELEMENT_FLAG_SINK) || IsParked(filter);
    if (renderer && !IsParked(filter) && !HasLinkedInput(filter)) ParkRenderer(filter, true);
  }
}

void ShutDownLockedFilters(GstPipeline* graph) {
  // A filter dropped with its graph while still running keeps its pads and
  // everything they hold: the graph going to NULL does not reach it.
  TFilterList filters(graph);
  for (int i = 0; i < filters.Count(); ++i)
    if (gst_element_is_locked_state(filters.Items(i))) gst_element_set_state(filters.Items(i), GST_STATE_NULL);
}

GstPad* ConnectedTo(GstPad* pin) { return pin ? gst_pad_get_peer(pin) : nullptr; }

QString StreamTags(GstElement* filter) {
  QString language, title;
  TPinList pins(filter);
  for (int p = 0; p < pins.Count(); ++p) {
    if (!GST_PAD_IS_SINK(pins.Items(p))) continue;
    // What came down with the stream stays on the input, also after a cut.
    GstEvent* event = nullptr;
    for (guint i = 0; (event = gst_pad_get_sticky_event(pins.Items(p), GST_EVENT_TAG, i)); ++i) {
      GstTagList* tags = nullptr;
      gst_event_parse_tag(event, &tags);
      // Tags of the whole file (its title) name no stream in particular.
      if (gst_tag_list_get_scope(tags) == GST_TAG_SCOPE_STREAM) {
        gchar* value = nullptr;
        // "und" is a container's word for no language.
        if (language.isEmpty() && gst_tag_list_get_string(tags, GST_TAG_LANGUAGE_CODE, &value) &&
            g_ascii_strcasecmp(value, "und") != 0) {
          const gchar* code = gst_tag_get_language_code_iso_639_2T(value);
          language = QString::fromUtf8(code ? code : value);
        }
        g_free(value);
        value = nullptr;
        if (title.isEmpty() && gst_tag_list_get_string(tags, GST_TAG_TITLE, &value))
          title = QString::fromUtf8(value).trimmed();
        g_free(value);
      }
      gst_event_unref(event);
    }
  }
  QStringList parts;
  for (const QString& part : {language, title})
    if (!part.isEmpty() && !parts.contains(part, Qt::CaseInsensitive)) parts << part;
  return parts.join(QStringLiteral(", "));
}

HRESULT DisconnectPin(GstPad* pin) {
  if (!pin) return E_POINTER;
  GstPad* peer = gst_pad_get_peer(pin);
  if (!peer) return S_FALSE;
  GstPad* src = GST_PAD_IS_SRC(pin) ? pin : peer;
  GstPad* sink = GST_PAD_IS_SRC(pin) ? peer : pin;
  const bool ok = gst_pad_unlink(src, sink);
  if (ok && !g_object_get_data(G_OBJECT(src), kDropProbe)) {
    // A cut output discards its data, as an unconnected output does: a
    // refused push would stall the other streams of its demuxer.
    const gulong probe = gst_pad_add_probe(
        src, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr, nullptr);
    g_object_set_data(G_OBJECT(src), kDropProbe, GSIZE_TO_POINTER(probe));
  }
  if (ok) {
    if (GstElement* filter = TopLevelFilterOf(sink)) {
      const bool renderer = GST_OBJECT_FLAG_IS_SET(filter, GST_ELEMENT_FLAG_SINK) || IsParked(filter);
      if (renderer && !HasLinkedInput(filter)) ParkRenderer(filter, true);
      gst_object_unref(filter);
    }
  }
  gst_object_unref(peer);
  return ok ? S_OK : E_FAIL;
}

HRESULT ConnectPins(GstPad* output, GstPad* input) {
  if (!output || !input) return E_POINTER;
  if (GST_PAD_LINK_FAILED(gst_pad_link(output, input))) return E_CANNOT_CONNECT;
  if (const gsize probe = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(output), kDropProbe))) {
    gst_pad_remove_probe(output, probe);
    g_object_set_data(G_OBJECT(output), kDropProbe, nullptr);
  }
  GstElement* filter = gst_pad_get_parent_element(input);
  if (filter) {
    if (IsParked(filter)) ParkRenderer(filter, false);
    gst_object_unref(filter);
  }
  return S_OK;
}

HRESULT AddFilter(GstPipeline* graph, GstElement* filter, const QString& name) {
  if (!graph || !filter) return E_POINTER;
  if (GST_OBJECT_PARENT(filter)) return E_UNEXPECTED;
  if (!name.isEmpty()) {
    // Names are unique in a graph; a taken name gets a number, as a second
    // filter of the same name would.
    QString unique = name;
    for (int n = 1;; ++n) {
      GstElement* existing = gst_bin_get_by_name(GST_BIN(graph), unique.toUtf8().constData());
      if (!existing) break;
      gst_object_unref(existing);
      unique = name + QStringLiteral(" %1").arg(n, 4, 10, QLatin1Char('0'));
    }
    gst_object_set_name(GST_OBJECT(filter), unique.toUtf8().constData());
  }
  if (!gst_bin_add(GST_BIN(graph), filter)) return E_FAIL;
  if (GST_OBJECT_FLAG_IS_SET(filter, GST_ELEMENT_FLAG_SINK)) ParkRenderer(filter, true);
  return S_OK;
}

HRESULT RemoveFilter(GstPipeline* graph, GstElement* filter) {
  if (!graph || !filter) return E_POINTER;
  if (GST_OBJECT_PARENT(filter) != GST_OBJECT(graph)) return E_NOT_IN_GRAPH;
  gst_object_ref(filter);
  // Cut first, as DisconnectPin does: the path that fed it drops its data
  // instead of stopping the demuxer that feeds the other streams.
  {
    TPinList pins(filter);
    for (int i = 0; i < pins.Count(); ++i)
      if (GST_PAD_IS_SINK(pins.Items(i))) DisconnectPin(pins.Items(i));
  }
  gst_element_set_locked_state(filter, TRUE);
  WaitForCutInputs(filter);
  gst_element_set_state(filter, GST_STATE_NULL);
  const bool ok = gst_bin_remove(GST_BIN(graph), filter);
  // Leave the filter as it came, ready to be added again.
  if (IsParked(filter)) {
    g_object_set_data(G_OBJECT(filter), kParked, nullptr);
    if (g_object_get_data(G_OBJECT(filter), kWasSink)) GST_OBJECT_FLAG_SET(filter, GST_ELEMENT_FLAG_SINK);
  }
  gst_element_set_locked_state(filter, FALSE);
  gst_object_unref(filter);
  return ok ? S_OK : E_FAIL;
}

// ---------------------------------------------------------------- table

namespace RunningObjectTable {

namespace {

struct Entry {
  QString name;
  GstPipeline* graph;
};

std::map<unsigned, Entry>& Table() {
  static std::map<unsigned, Entry> table;
  return table;
}

}  // namespace

QString ItemName(GstPipeline* graph) {
  // The pointer's low 32 bits as 8 upper-case digits, the process id in
  // upper-case hexadecimal.
  const auto pointer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(graph));
  return QStringLiteral("FilterGraph %1 pid %2")
      .arg(QString::number(pointer, 16).toUpper().rightJustified(8, QLatin1Char('0')))
      .arg(QString::number(static_cast<qulonglong>(getpid()), 16).toUpper());
}

unsigned Register(GstPipeline* graph) {
  static unsigned next = 0;
  if (!graph) return 0;
  const unsigned cookie = ++next;
  Table()[cookie] = Entry{ItemName(graph), GST_PIPELINE(gst_object_ref(graph))};
  return cookie;
}

void Revoke(unsigned cookie) {
  auto it = Table().find(cookie);
  if (it == Table().end()) return;
  gst_object_unref(it->second.graph);
  Table().erase(it);
}

QStringList Names() {
  QStringList names;
  for (const auto& [cookie, entry] : Table()) names << entry.name;
  return names;
}

bool DumpGraph(const QString& name, const QString& path) {
  for (const auto& [cookie, entry] : Table()) {
    if (entry.name != name) continue;
    gchar* dot = gst_debug_bin_to_dot_data(GST_BIN(entry.graph), GST_DEBUG_GRAPH_SHOW_ALL);
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(dot) >= 0;
    g_free(dot);
    return ok;
  }
  return false;
}

void DumpIfRequested(unsigned cookie) {
  const QString dir = qEnvironmentVariable("CINVO_GRAPH_DUMP_DIR");
  auto it = Table().find(cookie);
  if (dir.isEmpty() || it == Table().end()) return;
  QDir().mkpath(dir);
  DumpGraph(it->second.name, QDir(dir).filePath(it->second.name + QStringLiteral(".dot")));
}

}  // namespace RunningObjectTable
