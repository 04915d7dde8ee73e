#include "app/pk_moviescan.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include <atomic>
#include <mutex>

#include "framework/qs_tools.h"

// The hand-over from the worker to the user-interface thread. The worker
// appends to `Queue` and asks for one drain at a time; the drain moves the
// files to `Pending` (user-interface thread only) and hands them over in
// slices, queueing itself again until all is handed over.
struct TMovieDirScan::TChannel {
  QObject* Context = nullptr;  // outlives the scan, which outlives the worker
  TFileHandler OnFile;
  TNotify OnSliceEnd;
  TNotify OnDone;
  std::atomic<bool> Cancelled{false};

  std::mutex Lock;
  TFoundMovies Queue;      // guarded by Lock
  bool Finished = false;   // guarded by Lock: the walk has ended
  bool DrainAsked = false; // guarded by Lock: a drain is queued or running

  TFoundMovies Pending;  // user-interface thread only
  std::size_t Next = 0;

  // Worker: hands `batch` over (the last one with `last`).
  static void Deliver(const std::shared_ptr<TChannel>& channel, TFoundMovies& batch, bool last) {
    bool ask = false;
    {
      std::lock_guard<std::mutex> guard(channel->Lock);
      if (channel->Queue.empty())
        channel->Queue = std::move(batch);
      else
        channel->Queue.insert(channel->Queue.end(), std::make_move_iterator(batch.begin()),
                              std::make_move_iterator(batch.end()));
      if (last) channel->Finished = true;
      ask = !std::exchange(channel->DrainAsked, true);
    }
    batch = TFoundMovies();
    if (ask) AskDrain(channel);
  }

  static void AskDrain(const std::shared_ptr<TChannel>& channel) {
    QMetaObject::invokeMethod(channel->Context, [channel] { Drain(channel); }, Qt::QueuedConnection);
  }

  // User-interface thread.
  static void Drain(const std::shared_ptr<TChannel>& channel) {
    TChannel& c = *channel;
    if (c.Cancelled.load()) return;
    {
      std::lock_guard<std::mutex> guard(c.Lock);
      if (c.Pending.empty())
        c.Pending = std::move(c.Queue);
      else
        c.Pending.insert(c.Pending.end(), std::make_move_iterator(c.Queue.begin()),
                         std::make_move_iterator(c.Queue.end()));
      c.Queue = TFoundMovies();
    }
    if (c.Next < c.Pending.size()) {
      QElapsedTimer slice;
      slice.start();
      do {
        c.OnFile(c.Pending[c.Next++]);
      } while (c.Next < c.Pending.size() && slice.elapsed() < kSliceMs && !c.Cancelled.load());
      if (c.Cancelled.load()) return;
      c.OnSliceEnd();
      if (c.Cancelled.load()) return;
      if (c.Next < c.Pending.size()) {
        AskDrain(channel);  // the rest after the event loop's turn
        return;
      }
    }
    c.Pending = TFoundMovies();
    c.Next = 0;
    {
      std::lock_guard<std::mutex> guard(c.Lock);
      if (c.Queue.empty() && !c.Finished) {
        c.DrainAsked = false;  // the worker asks again when it has more
        return;
      }
      if (!c.Queue.empty()) {
        // More came meanwhile: handed over after the event loop's turn.
        AskDrain(channel);
        return;
      }
    }
    if (!c.Cancelled.exchange(true)) c.OnDone();  // once
  }
};

namespace {

// Thrown from the walk's callback to leave it early.
struct TScanCancelled {};

}  // namespace

TMovieDirScan::TMovieDirScan(QObject* context, QString mask, bool recurse, TFileHandler onFile, TNotify onSliceEnd,
                             TNotify onDone)
    : fChannel(std::make_shared<TChannel>()) {
  fChannel->Context = context;
  fChannel->OnFile = std::move(onFile);
  fChannel->OnSliceEnd = std::move(onSliceEnd);
  fChannel->OnDone = std::move(onDone);
  fThread = std::thread([this, mask = std::move(mask), recurse] { Run(mask, recurse); });
}

TMovieDirScan::~TMovieDirScan() {
  Cancel();
  if (fThread.joinable()) fThread.join();
}

void TMovieDirScan::Cancel() { fChannel->Cancelled.store(true); }

void TMovieDirScan::Run(QString mask, bool recurse) {
  const std::shared_ptr<TChannel> channel = fChannel;
  TFoundMovies batch;
  QElapsedTimer sinceFlush;
  sinceFlush.start();
  const auto found = [&](const QString& path, const TSearchRec& entry) {
    if (channel->Cancelled.load()) throw TScanCancelled{};
    batch.push_back(TFoundMovie{path, entry});
    if (batch.size() >= kBatchSize || sinceFlush.elapsed() >= kBatchDelayMs) {
      TChannel::Deliver(channel, batch, false);
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
  TChannel::Deliver(channel, batch, true);
}
