#include "platform/recent_files.h"

#include <glib.h>

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QUrl>

#include "platform/atomic_write.h"

namespace platform {

namespace {

struct TBookmarks {
  GBookmarkFile* File = g_bookmark_file_new();
  ~TBookmarks() { g_bookmark_file_free(File); }
};

}  // namespace

QString RecentFilesPath() {
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + QStringLiteral("/recently-used.xbel");
}

bool AddRecentFile(const QString& fileName) {
  const QFileInfo file(fileName);
  if (!file.isFile()) return false;
  const QString path = RecentFilesPath();
  const QByteArray local = QFile::encodeName(path);
  TBookmarks list;
  GError* error = nullptr;
  // The bookmark format's own reader and writer (GLib), which the desktop's
  // other programs use as well: their entries come back as they were.
  if (QFileInfo::exists(path) && !g_bookmark_file_load_from_file(list.File, local.constData(), &error)) {
    // Never replace a list we could not read: it holds other programs' entries.
    g_error_free(error);
    return false;
  }
  const QByteArray uri = QUrl::fromLocalFile(file.absoluteFilePath()).toEncoded();
  const QByteArray mime = QMimeDatabase().mimeTypeForFile(file).name().toUtf8();
  g_bookmark_file_set_mime_type(list.File, uri.constData(), mime.constData());
  g_bookmark_file_add_application(list.File, uri.constData(), "Cinvo", "cinvo %f");
  GDateTime* now = g_date_time_new_now_utc();
  g_bookmark_file_set_visited_date_time(list.File, uri.constData(), now);
  g_date_time_unref(now);
  gsize length = 0;
  gchar* data = g_bookmark_file_to_data(list.File, &length, nullptr);
  if (!data) return false;
  const QByteArray text(data, qsizetype(length));
  g_free(data);
  QDir().mkpath(QFileInfo(path).absolutePath());
  return ReplaceFileContents(path, text).Ok();
}

}  // namespace platform
