#pragma once
// The desktop's shared thumbnail cache ($XDG_CACHE_HOME/thumbnails), as file
// managers and media controls read it: one PNG per file, named after the MD5
// of the file's URI, tagged with that URI and the file's modification time
// so that a changed file's thumbnail is known to be stale.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace platform {

// The URI the cache names a local file by.
QString ThumbnailUri(const QString& fileName);
// The cache file for `fileName` at the size class holding `size` pixels
// ("normal" up to 128, "large" up to 256, then "x-large", "xx-large").
QString ThumbnailCacheFile(const QString& fileName, int size);
// `image` as a thumbnail of `fileName`: PNG with the cache's tags.
QByteArray ThumbnailPng(const QString& fileName, const QImage& image);
// The text stored under `key` in the PNG file `png` (e.g. "Thumb::URI"),
// empty when there is none.
QString PngText(const QString& png, const QString& key);
// A current thumbnail of `fileName` in the cache (large first), or empty.
QString CachedThumbnail(const QString& fileName);
// Writes `image` as the large thumbnail of `fileName`, readable by the user
// only; false when it cannot be written.
bool StoreThumbnail(const QString& fileName, const QImage& image);

}  // namespace platform
