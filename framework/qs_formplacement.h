#pragma once
// Bringing a window back where the user left it.
#include <QWidget>

// Contexte.RestoreForm with the window's own section; a window that has no
// stored position is left to the system's default placement instead of
// the screen's corner.
void RestoreFormPlacement(QWidget* form);
