#pragma once
// Copying one file's contents to a new name: the work behind the shell
// copy, meant to run off the user-interface thread.
#include <QString>

#include <atomic>
#include <cstdint>

namespace platform {

// Shared between the copying thread and the one watching it.
struct CopyProgress {
  std::atomic<std::int64_t> Total{-1};  // bytes to copy; -1 while unknown
  std::atomic<std::int64_t> Done{0};    // bytes copied so far
  std::atomic<bool> Cancel{false};      // set by the watcher to stop the copy
};

enum class CopyOutcome { Copied, Cancelled, Failed };

struct CopyResult {
  CopyOutcome Outcome = CopyOutcome::Failed;
  QString Error;  // why it failed, for the user
};

// Copies `source` to `target`: the data goes into a temporary file beside
// the target, which then replaces the target in one step, so a failed or
// cancelled copy leaves the target as it was and no partial file behind.
// Holes of sparse files stay holes; the modification time is kept.
CopyResult CopyFileContents(const QString& source, const QString& target, CopyProgress& progress);

}  // namespace platform
