#pragma once
// The screen's display mode under X11 RandR. The mode in force before the
// first change made here is kept, and is what RestoreDisplaySettings
// returns to. Without an X server nothing is known and nothing changes.
#include <optional>

namespace platform {

struct DisplaySettings {
  int Width = 0;         // pixels
  int Height = 0;        // pixels
  int BitsPerPixel = 0;  // depth times planes
  int Frequency = 0;     // hertz
};

// Which fields of a request are to change.
inline constexpr unsigned kChangeWidth = 1;
inline constexpr unsigned kChangeHeight = 2;
inline constexpr unsigned kChangeBitsPerPixel = 4;
inline constexpr unsigned kChangeFrequency = 8;

// Results of a change, as the framework's messages know them.
inline constexpr int kDisplayChangeSuccessful = 0;
inline constexpr int kDisplayChangeRestart = 1;
inline constexpr int kDisplayChangeFailed = -1;
inline constexpr int kDisplayChangeBadMode = -2;
inline constexpr int kDisplayChangeNoDisplay = -100;  // no X server

// The screen's size and bits per pixel; the frequency is not queried (0).
std::optional<DisplaySettings> CurrentDisplaySettings();
// Whether the display can take the requested fields (kDisplayChange...).
int TestDisplaySettings(const DisplaySettings& request, unsigned fields);
// Switches the display to the requested fields for this session only.
int ApplyDisplaySettings(const DisplaySettings& request, unsigned fields);
// Back to the mode in force before the first change; nothing to do when
// nothing was changed.
int RestoreDisplaySettings();

}  // namespace platform
