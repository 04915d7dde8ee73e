#pragma once
// The system's font configuration, loaded while the application object is
// made: reading it is most of what the first text of a run costs, and the
// application object spends its time waiting on the display and the disk.
namespace platform {

// Starts loading in a thread of its own; before the application object,
// which changes the environment the loading reads when the desktop asked to
// be told of the start (then the loading is left to the first text).
void StartLoadingFontConfig();
// Waits for the loading started; before anything changes the environment
// or uses fonts.
void FinishLoadingFontConfig();

}  // namespace platform
