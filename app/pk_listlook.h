#pragma once
// The movie list's look: the button face behind the rows, a line in the
// midlight colour under each row, and the selection in the active highlight
// colours whether or not the window is active. A style of its own draws it
// as the style sheet it replaces did: that one cost a noticeable part of the
// main window's start.
class QTreeView;

void ApplyMovieListLook(QTreeView* list);
