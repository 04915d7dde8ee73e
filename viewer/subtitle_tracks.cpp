#include "viewer/subtitle_tracks.h"

#include <gst/app/gstappsink.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <iterator>

namespace {

constexpr char kRendererType[] = "CinvoSubtitleRenderer";
constexpr char kTrackKey[] = "cinvo-subtitle-track";
constexpr char kSerialKey[] = "cinvo-subtitle-serial";
// A cue without a length stays until the next one, but not longer.
constexpr int64_t kLongestOpenCue = 10 * GST_SECOND;

GType SubtitleRendererType() {
  static const GType type = g_type_register_static_simple(GST_TYPE_BIN, kRendererType, sizeof(GstBinClass), nullptr,
                                                          sizeof(GstBin), nullptr, GTypeFlags(0));
  return type;
}

void DeleteTrack(gpointer data) { delete static_cast<std::shared_ptr<TSubtitleTrack>*>(data); }

// A sample of text: one cue, placed in the movie's own time.
GstFlowReturn TakeSample(GstAppSink* sink, gpointer data) {
  auto& track = *static_cast<std::shared_ptr<TSubtitleTrack>*>(data);
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_OK;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  const GstSegment* segment = gst_sample_get_segment(sample);
  if (buffer && GST_BUFFER_PTS_IS_VALID(buffer)) {
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const GstClockTime start = segment ? gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts) : pts;
    bool markup = false;
    if (GstCaps* caps = gst_sample_get_caps(sample); caps && gst_caps_get_size(caps) > 0) {
      const char* format = gst_structure_get_string(gst_caps_get_structure(caps, 0), "format");
      markup = format && g_str_equal(format, "pango-markup");
    }
    GstMapInfo map;
    if (GST_CLOCK_TIME_IS_VALID(start) && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      const QByteArray bytes(reinterpret_cast<const char*>(map.data), static_cast<qsizetype>(map.size));
      gst_buffer_unmap(buffer, &map);
      const int64_t begin = static_cast<int64_t>(start);
      const int64_t end = GST_BUFFER_DURATION_IS_VALID(buffer)
                              ? begin + static_cast<int64_t>(GST_BUFFER_DURATION(buffer))
                              : -1;
      track->AddCue(begin, end, SubtitlePlainText(bytes, markup));
    }
  }
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

// Language, title and the movie's choice, from the stream's events.
GstPadProbeReturn StreamInfoProbe(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto& track = *static_cast<std::shared_ptr<TSubtitleTrack>*>(data);
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) == GST_EVENT_STREAM_START) {
    GstStreamFlags flags = GST_STREAM_FLAG_NONE;
    gst_event_parse_stream_flags(event, &flags);
    track->SetPreferred((flags & GST_STREAM_FLAG_SELECT) != 0);
  } else if (GST_EVENT_TYPE(event) == GST_EVENT_TAG) {
    GstTagList* tags = nullptr;
    gst_event_parse_tag(event, &tags);
    gchar* value = nullptr;
    if (gst_tag_list_get_string(tags, GST_TAG_LANGUAGE_CODE, &value)) track->SetLanguage(QString::fromUtf8(value));
    g_free(value);
    value = nullptr;
    if (gst_tag_list_get_string(tags, GST_TAG_TITLE, &value)) track->SetTitle(QString::fromUtf8(value));
    g_free(value);
  }
  return GST_PAD_PROBE_OK;
}

// An application sink that hands every text sample to `track` at once.
GstElement* CueSink(const std::shared_ptr<TSubtitleTrack>& track, bool inTime) {
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!sink) return nullptr;
  GstCaps* caps = gst_caps_new_empty_simple("text/x-raw");
  // In a movie's graph a cue arrives at its time, so that the sink tells
  // the graph's position as the others do (one that ran ahead would give
  // its last cue's end as the movie's position); it takes no part in
  // cueing the graph. A file read on its own is read at once.
  g_object_set(sink, "caps", caps, "sync", inTime ? TRUE : FALSE, "async", FALSE, "enable-last-sample", FALSE,
               nullptr);
  gst_caps_unref(caps);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = &TakeSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new std::shared_ptr<TSubtitleTrack>(track),
                             &DeleteTrack);
  GstPad* input = gst_element_get_static_pad(sink, "sink");
  gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &StreamInfoProbe,
                    new std::shared_ptr<TSubtitleTrack>(track), &DeleteTrack);
  gst_object_unref(input);
  return sink;
}

}  // namespace

// ------------------------------------------------------------------ track

void TSubtitleTrack::AddCue(int64_t start, int64_t end, const QString& text) {
  std::lock_guard lock(fLock);
  // A cue read again (after a seek back) replaces itself.
  const auto same = fCues.equal_range(start);
  for (auto it = same.first; it != same.second; ++it)
    if (it->second.Text == text) {
      it->second.End = end;
      return;
    }
  fCues.emplace(start, TCue{end, text});
}

QString TSubtitleTrack::TextAt(int64_t position) const {
  std::lock_guard lock(fLock);
  QStringList shown;
  // Cues may overlap (two speakers): every one that covers the position,
  // in their order.
  auto it = fCues.upper_bound(position);
  while (it != fCues.begin()) {
    --it;
    int64_t end = it->second.End;
    if (end < 0) {
      const auto next = std::next(it);
      end = next != fCues.end() ? next->first : it->first + kLongestOpenCue;
      end = std::min(end, it->first + kLongestOpenCue);
    }
    if (position < end && !it->second.Text.isEmpty()) shown.prepend(it->second.Text);
    // Cues longer than a minute are rare; looking further back costs more
    // than it finds.
    if (position - it->first > 60 * GST_SECOND) break;
  }
  return shown.join(QLatin1Char('\n'));
}

void TSubtitleTrack::SetLanguage(const QString& code) {
  std::lock_guard lock(fLock);
  fLanguage = code;
}

void TSubtitleTrack::SetTitle(const QString& title) {
  std::lock_guard lock(fLock);
  fTitle = title;
}

void TSubtitleTrack::SetPreferred(bool preferred) {
  std::lock_guard lock(fLock);
  fPreferred = preferred;
}

QString TSubtitleTrack::Language() const {
  std::lock_guard lock(fLock);
  return fLanguage;
}

QString TSubtitleTrack::Title() const {
  std::lock_guard lock(fLock);
  return fTitle;
}

bool TSubtitleTrack::Preferred() const {
  std::lock_guard lock(fLock);
  return fPreferred;
}

QString TSubtitleTrack::Caption(int number) const {
  const QString title = Title();
  const QString code = Language();
  QString language;
  if (!code.isEmpty()) {
    // "fre" or "fr": the language's name, where the code is known.
    const QLocale::Language known = QLocale::codeToLanguage(code);
    language = known == QLocale::AnyLanguage ? code : QLocale::languageToString(known);
  }
  if (!title.isEmpty() && !language.isEmpty() && !title.contains(language, Qt::CaseInsensitive))
    return QStringLiteral("%1 (%2)").arg(title, language);
  if (!title.isEmpty()) return title;
  if (!language.isEmpty()) return language;
  return QString::number(number);
}

// --------------------------------------------------------------- renderer

GstElement* CreateSubtitleRenderer() {
  auto track = std::make_shared<TSubtitleTrack>();
  GstElement* sink = CueSink(track, true);
  if (!sink) return nullptr;
  GstElement* bin = GST_ELEMENT(g_object_new(SubtitleRendererType(), nullptr));
  gst_bin_add(GST_BIN(bin), sink);
  GstPad* target = gst_element_get_static_pad(sink, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", target));
  gst_object_unref(target);
  g_object_set_data_full(G_OBJECT(bin), kTrackKey, new std::shared_ptr<TSubtitleTrack>(track), &DeleteTrack);
  static std::atomic<uint64_t> serial{0};
  g_object_set_data(G_OBJECT(bin), kSerialKey, GSIZE_TO_POINTER(static_cast<gsize>(++serial)));
  return bin;
}

bool IsSubtitleRenderer(GstElement* filter) {
  return filter && G_TYPE_CHECK_INSTANCE_TYPE(filter, SubtitleRendererType());
}

std::shared_ptr<TSubtitleTrack> SubtitleTrackOf(GstElement* filter) {
  if (!IsSubtitleRenderer(filter)) return nullptr;
  const auto* track = static_cast<std::shared_ptr<TSubtitleTrack>*>(g_object_get_data(G_OBJECT(filter), kTrackKey));
  return track ? *track : nullptr;
}

void TakeStreamInfo(GstElement* renderer, GstPad* pad) {
  std::shared_ptr<TSubtitleTrack> track = SubtitleTrackOf(renderer);
  if (!track) return;
  gst_pad_sticky_events_foreach(
      pad,
      [](GstPad* from, GstEvent** event, gpointer data) -> gboolean {
        GstPadProbeInfo info{};
        info.type = GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM;
        info.data = *event;
        StreamInfoProbe(from, &info, data);
        return TRUE;
      },
      &track);
}

uint64_t SubtitleRendererSerial(GstElement* filter) {
  return IsSubtitleRenderer(filter) ? GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(filter), kSerialKey)) : 0;
}

// ------------------------------------------------------------ beside files

QStringList SubtitleFilesBeside(const QString& movie) {
  const QFileInfo info(movie);
  const QString base = info.completeBaseName();
  const QFileInfoList entries = QDir(info.absolutePath()).entryInfoList(QDir::Files | QDir::Readable);
  QStringList found;
  for (const char* extension : {"srt", "ass", "ssa", "sub", "vtt"}) {
    for (const QFileInfo& entry : entries) {
      if (entry.completeBaseName() == base &&
          entry.suffix().compare(QLatin1String(extension), Qt::CaseInsensitive) == 0)
        found << entry.absoluteFilePath();
    }
  }
  return found;
}

namespace {

// The cues of a file read by `parser` (a decoder that finds the format, or
// a parser of its own); null when it does not give text.
std::shared_ptr<TSubtitleTrack> ReadSubtitlesWith(const QString& path, const char* parser) {
  auto track = std::make_shared<TSubtitleTrack>();
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* source = gst_element_factory_make("filesrc", nullptr);
  GstElement* decoder = gst_element_factory_make(parser, nullptr);
  GstElement* sink = CueSink(track, false);
  if (!source || !decoder || !sink) {
    for (GstElement* e : {source, decoder, sink})
      if (e) gst_object_unref(e);
    gst_object_unref(pipeline);
    return nullptr;
  }
  g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
  gst_bin_add_many(GST_BIN(pipeline), source, decoder, sink, nullptr);
  gst_element_link(source, decoder);
  // Only text is taken; a picture-based file (VobSub) finds no taker.
  if (!gst_element_link(decoder, sink))
    g_signal_connect(decoder, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer data) {
                       GstPad* input = gst_element_get_static_pad(GST_ELEMENT(data), "sink");
                       if (!gst_pad_is_linked(input)) gst_pad_link(pad, input);
                       gst_object_unref(input);
                     }),
                     sink);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message =
      gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool read = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
  if (message) gst_message_unref(message);
  gst_object_unref(bus);
  GstPad* input = gst_element_get_static_pad(sink, "sink");
  const bool linked = gst_pad_is_linked(input);
  gst_object_unref(input);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  if (!read || !linked) return nullptr;
  if (track->Title().isEmpty()) track->SetTitle(QFileInfo(path).fileName());
  return track;
}

}  // namespace

std::shared_ptr<TSubtitleTrack> ReadSubtitleFile(const QString& path) {
  // The format finder needs more than a few lines to know a file; the text
  // parser reads a short one by itself.
  if (auto track = ReadSubtitlesWith(path, "decodebin")) return track;
  return ReadSubtitlesWith(path, "subparse");
}

QString SubtitlePlainText(const QByteArray& text, bool markup) {
  // Some splitters hand the text over with its closing zero byte.
  const qsizetype end = text.indexOf('\0');
  QString plain = QString::fromUtf8(end < 0 ? text : text.left(end));
  if (markup) {
    // Tags go, entities become their characters; line breaks stay.
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    plain.remove(tags);
    plain.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
  }
  // Trailing line breaks would lift the text for nothing.
  while (plain.endsWith(QLatin1Char('\n')) || plain.endsWith(QLatin1Char('\r'))) plain.chop(1);
  return plain;
}
