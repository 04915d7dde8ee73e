#pragma once
// Helpers around the media graph: result codes and their texts, the
// exception for failing results, volume conversions, lists of the graph's
// filters and of a filter's pins, pin operations, and the per-process table
// of graphs registered for inspection.
//
// A graph is a GstPipeline, a filter is one of its top-level elements, a pin
// is one of that element's pads. Media times are signed counts of 100 ns.
#include <gst/gst.h>

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "framework/qs_exception.h"

// 32-bit result codes: top bit set means failure.
using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
// Some streams of the file were rendered, others have no decoder.
constexpr HRESULT S_PARTIAL_RENDER = 0x00040242;
// The state change has not completed yet.
constexpr HRESULT S_STATE_INTERMEDIATE = 0x00040237;

constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002u);
// The file's name on disk is not valid text and cannot be told apart.
constexpr HRESULT E_INVALID_NAME = static_cast<HRESULT>(0x8007007Bu);
constexpr HRESULT E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217u);
constexpr HRESULT E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
constexpr HRESULT E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
constexpr HRESULT E_TIMEOUT = static_cast<HRESULT>(0x8004022Eu);
constexpr HRESULT E_UNKNOWN_FILE_TYPE = static_cast<HRESULT>(0x80040240u);
constexpr HRESULT E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x80040241u);
constexpr HRESULT E_NO_AUDIO_DEVICE = static_cast<HRESULT>(0x80040256u);
constexpr HRESULT E_NOT_IN_GRAPH = static_cast<HRESULT>(0x8004025Fu);
constexpr HRESULT E_NO_DECODER = static_cast<HRESULT>(0x80040265u);

inline bool Failed(HRESULT hr) { return hr < 0; }
inline bool Succeeded(HRESULT hr) { return hr >= 0; }

// The readable text of a result code (at most 255 characters), without the
// code itself.
QString ErrorText(HRESULT hr);

class EDirectShowException : public Exception {
 public:
  EDirectShowException(const QString& message, HRESULT resultCode)
      : Exception(message), fResultCode(resultCode) {}
  HRESULT ResultCode() const { return fResultCode; }

 private:
  HRESULT fResultCode;
};

// Raises EDirectShowException for a failure code, reading
// "<text> ($<CODE>)."; returns `hr` unchanged otherwise.
HRESULT CheckGraphResult(HRESULT hr);

// Linear volume 0..10000 to hundredths of a decibel (-10000..0).
int LinearVolumeToDb(int volume);
// Linear balance -10000..10000 to hundredths of a decibel.
int LinearBalanceToDb(int balance);
// Media time (100 ns) to milliseconds, truncating.
inline int64_t MediaTimeToMs(int64_t time) { return time / 10000; }
// Nanoseconds (GStreamer) to media time and back.
inline int64_t NsToMediaTime(int64_t ns) { return ns / 100; }
inline int64_t MediaTimeToNs(int64_t time) { return time * 100; }

// Class identifiers: the factory name of a GStreamer element, or the type
// name of one of our own bins.
extern const char* const CLSID_FileSource;     // "filesrc"
extern const char* const CLSID_DecodeBin;      // "decodebin"
extern const char* const CLSID_AudioRender;    // our audio renderer bin
extern const char* const CLSID_NullRenderer;   // our frame-discarding video renderer
QString FilterClassID(GstElement* filter);
QString FilterName(GstElement* filter);

// The graph's filters, enumerated once; each item holds a reference.
class TFilterList {
 public:
  explicit TFilterList(GstPipeline* graph = nullptr);
  ~TFilterList();
  TFilterList(const TFilterList&) = delete;
  TFilterList& operator=(const TFilterList&) = delete;

  int Count() const { return static_cast<int>(fItems.size()); }
  GstElement* Items(int index) const { return fItems.at(index); }
  // Drops `filter` from the list (not from the graph); false when absent.
  bool Remove(GstElement* filter);

 private:
  std::vector<GstElement*> fItems;
};

// The pins of one filter; keeps a reference on the filter.
class TPinList {
 public:
  explicit TPinList(GstElement* filter);
  ~TPinList();
  TPinList(const TPinList&) = delete;
  TPinList& operator=(const TPinList&) = delete;

  int Count() const { return static_cast<int>(fItems.size()); }
  GstPad* Items(int index) const { return fItems.at(index); }
  GstElement* Filter() const { return fFilter; }

 private:
  GstElement* fFilter;
  std::vector<GstPad*> fItems;
};

// Pin operations. Disconnecting the input of a renderer (a sink element of
// the graph) also parks that renderer, so that it no longer holds up the
// graph's state changes or its end of stream.
HRESULT DisconnectPin(GstPad* pin);  // S_FALSE when not connected
// The connected peer (a new reference) or nullptr.
GstPad* ConnectedTo(GstPad* pin);
// Links an output pin to an input pin and wakes a parked renderer.
HRESULT ConnectPins(GstPad* output, GstPad* input);

// The language and the title that the file's container gives the stream
// feeding the filter's input ("deu", "Commentary", "deu, Commentary"), with
// languages as three-letter codes; empty when it gives neither.
QString StreamTags(GstElement* filter);

// Adding and removing filters. A sink element added to a graph starts
// parked (locked, in NULL) until one of its inputs is connected.
HRESULT AddFilter(GstPipeline* graph, GstElement* filter, const QString& name);
HRESULT RemoveFilter(GstPipeline* graph, GstElement* filter);
// Parks a renderer or wakes it (locked state, SINK flag, state).
void ParkRenderer(GstElement* filter, bool parked);
bool IsParked(GstElement* filter);
// Parks every renderer of the graph whose inputs are all unlinked, however
// that happened (a decoder that took its output away unlinks silently).
void ParkUnlinkedRenderers(GstPipeline* graph);
// Takes every filter the graph's own state changes pass by (parked
// renderers, locked filters) to NULL, once the graph itself is there.
void ShutDownLockedFilters(GstPipeline* graph);

// The per-process table of graphs registered for inspection.
namespace RunningObjectTable {
// Registers `graph` under "FilterGraph <ptr> pid <pid>"; returns a cookie
// (0 on failure).
unsigned Register(GstPipeline* graph);
void Revoke(unsigned cookie);
QStringList Names();
// The item name a graph is (or would be) registered under.
QString ItemName(GstPipeline* graph);
// Writes the registered graph of that name as a Graphviz file.
bool DumpGraph(const QString& name, const QString& path);
// With CINVO_GRAPH_DUMP_DIR set, writes <dir>/<item name>.dot of a
// registered graph; nothing otherwise.
void DumpIfRequested(unsigned cookie);
}  // namespace RunningObjectTable
