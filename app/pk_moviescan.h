#pragma once
// The walk of the movies directory, on a worker thread: a library of ten
// thousand movies is found without holding up the window. The files reach
// the user-interface thread in the order of the walk, where they are handed
// over in slices of a few milliseconds each, with the event loop running in
// between: reading their records (MovieList belongs to that thread) and
// adding them to the list never holds the window up for long.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/directory.h"

struct TFoundMovie {
  QString Path;
  platform::DirEntry Entry;
};
using TFoundMovies = std::vector<TFoundMovie>;

class TMovieDirScan {
 public:
  // All called on `context`'s thread, never after Cancel or destruction:
  // `onFile` for each file found, in the order of the walk; `onSliceEnd`
  // after each slice of files (at least one file); `onDone` once, after
  // the last file's slice (at once for a walk that found nothing). The scan
  // may be destroyed from within `onDone`.
  using TFileHandler = std::function<void(TFoundMovie& found)>;
  using TNotify = std::function<void()>;

  // Starts the walk of `mask` (a directory with separator, then a
  // wildcard): the matching files of that directory only, or with
  // `recurse` of its whole tree (subdirectories first, as ForEachFileTree).
  TMovieDirScan(QObject* context, QString mask, bool recurse, TFileHandler onFile, TNotify onSliceEnd,
                TNotify onDone);
  // Cancels and waits for the worker.
  ~TMovieDirScan();
  TMovieDirScan(const TMovieDirScan&) = delete;
  TMovieDirScan& operator=(const TMovieDirScan&) = delete;

  void Cancel();

  // Files the worker gathers before handing them over, and the longest a
  // found file waits on the worker; the longest a slice of handler calls
  // runs before the event loop gets its turn.
  static constexpr std::size_t kBatchSize = 250;
  static constexpr int kBatchDelayMs = 40;
  static constexpr int kSliceMs = 25;

  struct TChannel;

 private:
  void Run(QString mask, bool recurse);

  // Shared with the queued calls, which outlive a cancelled scan and then
  // deliver nothing.
  std::shared_ptr<TChannel> fChannel;
  std::thread fThread;
};
