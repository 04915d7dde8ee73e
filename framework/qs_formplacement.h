#pragma once
// Bringing a window back where the user left it.
#include <QWidget>

// How much of a restored window's top edge stays on a screen, at least: its
// title bar, to be taken and moved with the mouse.
inline constexpr int kMinimumVisibleTitleBar = 30;

// Contexte.RestoreForm with the window's own section; a window that has no
// stored position is left to the system's default placement instead of
// the screen's corner.
void RestoreFormPlacement(QWidget* form);
