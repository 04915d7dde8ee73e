#pragma once
// `cinvo --thumbnail IN OUT SIZE`: the thumbnailer that file managers run
// (share/thumbnailers/cinvo.thumbnailer). Writes a PNG of the frame the
// preview starts on, at most SIZE pixels wide and high, without a window.

// True when the command line asks for a thumbnail.
bool IsThumbnailCommand(int argc, char** argv);
// Runs it: 0 when OUT was written; otherwise a message on the error output,
// a non-zero code (1: the movie gives no picture or OUT cannot be written,
// 2: wrong arguments) and OUT left as it was.
int RunThumbnailCommand(int argc, char** argv);
