#pragma once
// Subtitles as timed texts: each text stream of a movie reaches a subtitle
// renderer of the graph, which gathers its cues as the splitter reads them;
// a subtitle file beside the movie is read whole. The viewer shows the cue
// of the chosen track that covers the current position.
#include <gst/gst.h>

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

class TSubtitleTrack {
 public:
  // Times are the movie's own (stream time), in nanoseconds.
  void AddCue(int64_t start, int64_t end, const QString& text);
  // The text shown at `position`, empty between cues.
  QString TextAt(int64_t position) const;
  void SetLanguage(const QString& code);
  void SetTitle(const QString& title);
  // The movie marks the track as the one to show (default or forced).
  void SetPreferred(bool preferred);
  QString Language() const;
  QString Title() const;
  bool Preferred() const;
  // Language and title as a menu shows them; `number` when it has neither.
  QString Caption(int number) const;

 private:
  struct TCue {
    int64_t End;
    QString Text;
  };
  mutable std::mutex fLock;  // cues arrive on a streaming thread
  std::multimap<int64_t, TCue> fCues;
  QString fLanguage, fTitle;
  bool fPreferred = false;
};

// A bin of type CLSID_SubtitleRender with one input pin "sink" that takes
// text (plain or marked up) and keeps it as cues of its track, each when
// its time comes. It never holds up cueing the graph.
GstElement* CreateSubtitleRenderer();
bool IsSubtitleRenderer(GstElement* filter);
// The track of a subtitle renderer; null for any other filter.
std::shared_ptr<TSubtitleTrack> SubtitleTrackOf(GstElement* filter);
// What the stream `pad` has told so far (language, title, the movie's
// choice) goes to the track of `renderer`.
void TakeStreamInfo(GstElement* renderer, GstPad* pad);
// The order in which subtitle renderers were made: the order of the
// movie's streams.
uint64_t SubtitleRendererSerial(GstElement* filter);

// Subtitle files beside `movie` with its base name (.srt, .ass, .ssa, .sub,
// .vtt, letter case aside), in that order.
QStringList SubtitleFilesBeside(const QString& movie);
// The cues of a subtitle file; null when no installed parser reads it.
std::shared_ptr<TSubtitleTrack> ReadSubtitleFile(const QString& path);

// Text as the parsers give it: Pango markup ("<i>", "&amp;") when `markup`,
// else as it stands; the result is plain text.
QString SubtitlePlainText(const QByteArray& text, bool markup);
