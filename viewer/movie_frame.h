#pragma once
// One picture of a movie, taken without showing it: the frame the main
// window's preview starts on (one twelfth into the movie), for thumbnails.
#include <QImage>
#include <QString>

// The frame at one twelfth of the movie's length (its first frame when the
// length is unknown), in its display proportions, scaled down so that its
// longer side is at most `size` pixels (0: not scaled). A null image, and
// the reason in `error`, when the file has no picture that can be decoded.
// Safe on any thread; takes no more than a few seconds.
QImage PreviewFrameOf(const QString& fileName, int size, QString* error = nullptr);
