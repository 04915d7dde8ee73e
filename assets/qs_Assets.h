#pragma once
// Resource paths of the program's images (made by make_assets.cpp).
inline constexpr const char* kGlyphStop = ":/assets/stop.png";
inline constexpr const char* kGlyphPause = ":/assets/pause.png";
inline constexpr const char* kGlyphRestart = ":/assets/restart.png";
inline constexpr const char* kGlyphStart = ":/assets/start.png";
inline constexpr const char* kGlyphHideToolbar = ":/assets/hidetoolbar.png";
inline constexpr const char* kPictureBand = ":/assets/band.jpg";
inline constexpr const char* kMakerLogo = ":/assets/logo.png";
inline constexpr const char* kMenuBarPicture = ":/assets/menubar.png";
inline constexpr const char* kProgramIcon = ":/assets/cinvo.png";

// Whether the images are compiled into this program.
bool AssetsAvailable();
