#include "app/pk_moviescan.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include "framework/qs_tools.h"

namespace {

// Thrown from the walk's callback to leave it early.
struct TScanCancelled {};

}  // namespace

TMovieDirScan::TMovieDirScan(QObject* context, QString mask, bool recurse, TBatchHandler onBatch)
    : fContext(context), fOnBatch(std::move(onBatch)), fCancelled(std::make_shared<std::atomic<bool>>(false)) {
  fThread = std::thread([this, mask = std::move(mask), recurse] { Run(mask, recurse); });
}

TMovieDirScan::~TMovieDirScan() {
  Cancel();
  if (fThread.joinable()) fThread.join();
}

void TMovieDirScan::Cancel() { fCancelled->store(true); }

void TMovieDirScan::Run(QString mask, bool recurse) {
  TFoundMovies batch;
  QElapsedTimer sinceFlush;
  sinceFlush.start();
  const auto found = [&](const QString& path, const TSearchRec& entry) {
    if (fCancelled->load()) throw TScanCancelled{};
    batch.push_back(TFoundMovie{path, entry});
    if (batch.size() >= kBatchSize || sinceFlush.elapsed() >= kBatchDelayMs) {
      Post(std::move(batch), false);
      batch = TFoundMovies();
      sinceFlush.restart();
    }
  };
  try {
    if (recurse)
      ForEachFileTree(mask, -1, found);
    else
      ForEachFile(mask, found);
  } catch (const TScanCancelled&) {
    return;
  }
  Post(std::move(batch), true);
}

void TMovieDirScan::Post(TFoundMovies batch, bool last) {
  // The handler is copied into the call: the scan object may be gone by the
  // time the call runs, and then the flag says so.
  QMetaObject::invokeMethod(
      fContext,
      [cancelled = fCancelled, handler = fOnBatch, batch = std::move(batch), last]() mutable {
        if (!cancelled->load()) handler(std::move(batch), last);
      },
      Qt::QueuedConnection);
}
