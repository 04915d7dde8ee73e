#pragma once
// Shared drawing pieces of the program's own controls: the system colours
// by their usual roles, the fonts the forms name, and 3D edges.
#include <QColor>
#include <QRect>

class QPainter;

enum class TSysColor {
  BtnFace,
  BtnShadow,
  BtnHighlight,
  DkShadow,
  Highlight,
  HighlightText,
  MenuText,
  WindowText,
  InactiveCaption,
};

// Read from the application palette at each call, so theme changes follow.
QColor SysColor(TSysColor role);

// Fonts that forms name ("Tahoma", "MS Sans Serif") are registered from the
// metric-compatible files Debian ships, with DejaVu Sans Condensed as the
// substitute when those files are missing. Safe to call repeatedly; every
// control of ours calls it, and so may start-up.
void EnsureFormFonts();

// One-pixel 3D lines: `topLeft` on the top and left edges, `bottomRight` on
// the bottom and right ones, inside `rect`.
void DrawFrameLines(QPainter& painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight);
// Edge of a flat button: sunken outer line (pressed) or raised inner line.
void DrawFlatEdge(QPainter& painter, const QRect& rect, bool sunken);
// Two-line push-button frame; returns the inside.
QRect DrawPushButtonFrame(QPainter& painter, const QRect& rect, bool pushed);
