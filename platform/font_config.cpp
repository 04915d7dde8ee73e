#include "platform/font_config.h"

#include <fontconfig/fontconfig.h>

#include <QtGlobal>

#include <future>
#include <thread>

namespace platform {

namespace {

// Detached: a run that ends before waiting does not wait for it either.
std::future<void> Loading;

}  // namespace

void StartLoadingFontConfig() {
  if (Loading.valid() || qEnvironmentVariableIsSet("DESKTOP_STARTUP_ID")) return;
  std::packaged_task<void()> task([] { FcInit(); });
  Loading = task.get_future();
  std::thread(std::move(task)).detach();
}

void FinishLoadingFontConfig() {
  if (Loading.valid()) Loading.get();
}

}  // namespace platform
