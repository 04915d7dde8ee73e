#pragma once
// The walk of the movies directory, on a worker thread: a library of ten
// thousand movies is found without holding up the window. The files reach
// the user-interface thread in batches, in the order of the walk; the
// movie records are read there, since MovieList belongs to that thread.
#include <QObject>
#include <QString>

#include <atomic>
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
  // Called on `context`'s thread for each batch; `last` marks the final
  // one (possibly empty). Never called after Cancel or destruction.
  using TBatchHandler = std::function<void(TFoundMovies batch, bool last)>;

  // Starts the walk of `mask` (a directory with separator, then a
  // wildcard): the matching files of that directory only, or with
  // `recurse` of its whole tree (subdirectories first, as ForEachFileTree).
  TMovieDirScan(QObject* context, QString mask, bool recurse, TBatchHandler onBatch);
  // Cancels and waits for the worker.
  ~TMovieDirScan();
  TMovieDirScan(const TMovieDirScan&) = delete;
  TMovieDirScan& operator=(const TMovieDirScan&) = delete;

  void Cancel();

  // Files handed over per batch at most, and the longest a found file waits
  // for its batch.
  static constexpr std::size_t kBatchSize = 250;
  static constexpr int kBatchDelayMs = 40;

 private:
  void Run(QString mask, bool recurse);
  void Post(TFoundMovies batch, bool last);

  QObject* fContext;
  TBatchHandler fOnBatch;
  // Shared with the queued calls, which check it on arrival: a cancelled
  // scan delivers nothing, even what it had already posted.
  std::shared_ptr<std::atomic<bool>> fCancelled;
  std::thread fThread;
};
