// The desktop's recently used files and thumbnail cache, as other programs
// of the session read and write them.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QUrl>

#include "platform/recent_files.h"
#include "platform/thumbnail_cache.h"
#include "tests/support/test_env.h"

namespace {

// Another program's entry, as the desktop's toolkits write them.
const QByteArray kOtherList = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"
>
  <bookmark href="file:///home/someone/letter.odt" added="2026-11-02T10:00:00.000000Z" modified="2026-11-02T10:00:00.000000Z" visited="2026-11-02T10:00:00.000000Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="application/vnd.oasis.opendocument.text"/>
        <bookmark:applications>
          <bookmark:application name="Writer" exec="&apos;writer %u&apos;" modified="2026-11-02T10:00:00.000000Z" count="3"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
</xbel>
)";

QString Movie() {
  const QString path = testenv::NewTempDir(QStringLiteral("movies")) + QStringLiteral("/Sea Sky.avi");
  testenv::WriteFile(path, QByteArray("RIFF\0\0\0\0AVI LIST", 16));
  return path;
}

}  // namespace

TEST(RecentFiles, AMovieIsAddedBesideOtherProgramsEntriesAndCountedOnceMore) {
  qputenv("XDG_DATA_HOME", testenv::NewTempDir(QStringLiteral("data")).toLocal8Bit());
  const QString list = platform::RecentFilesPath();
  ASSERT_TRUE(list.endsWith(QStringLiteral("/recently-used.xbel")));
  ASSERT_TRUE(testenv::WriteFile(list, kOtherList));
  const QString movie = Movie();
  const QString uri = QString::fromLatin1(QUrl::fromLocalFile(movie).toEncoded());

  ASSERT_TRUE(platform::AddRecentFile(movie));
  QString text = QString::fromUtf8(testenv::ReadFile(list));
  EXPECT_TRUE(text.contains(QStringLiteral("href=\"file:///home/someone/letter.odt\""))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("name=\"Writer\""))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("href=\"%1\"").arg(uri))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("type=\"video/x-msvideo\""))) << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("name=\"Cinvo\"[^>]*count=\"1\"")))) << text.toStdString();

  ASSERT_TRUE(platform::AddRecentFile(movie));
  text = QString::fromUtf8(testenv::ReadFile(list));
  EXPECT_EQ(text.count(QStringLiteral("href=\"%1\"").arg(uri)), 1);
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("name=\"Cinvo\"[^>]*count=\"2\"")))) << text.toStdString();
  EXPECT_TRUE(QDir(QFileInfo(list).absolutePath()).entryList({QStringLiteral("*.tmp-*")}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST(RecentFiles, AListThatCannotBeReadIsLeftAsItWas) {
  qputenv("XDG_DATA_HOME", testenv::NewTempDir(QStringLiteral("data")).toLocal8Bit());
  const QByteArray damaged = kOtherList.left(kOtherList.size() / 2);
  ASSERT_TRUE(testenv::WriteFile(platform::RecentFilesPath(), damaged));
  EXPECT_FALSE(platform::AddRecentFile(Movie()));
  EXPECT_EQ(testenv::ReadFile(platform::RecentFilesPath()), damaged);
  // A missing list is made.
  qputenv("XDG_DATA_HOME", (testenv::NewTempDir(QStringLiteral("data")) + "/not/yet").toLocal8Bit());
  EXPECT_TRUE(platform::AddRecentFile(Movie()));
  EXPECT_TRUE(QFileInfo::exists(platform::RecentFilesPath()));
}

TEST(ThumbnailCache, NamedByTheUrisHashTaggedAndStaleWhenTheFileChanges) {
  const QString cache = testenv::NewTempDir(QStringLiteral("cache"));
  qputenv("XDG_CACHE_HOME", cache.toLocal8Bit());
  // The cache's own example: file:///home/jens/photos/me.png.
  EXPECT_EQ(platform::ThumbnailCacheFile(QStringLiteral("/home/jens/photos/me.png"), 128),
            cache + QStringLiteral("/thumbnails/normal/c6ee772d9e49320e97ec29a7eb5b1697.png"));
  EXPECT_TRUE(platform::ThumbnailCacheFile(QStringLiteral("/a.avi"), 256).contains(QStringLiteral("/large/")));

  const QString movie = Movie();
  EXPECT_TRUE(platform::CachedThumbnail(movie).isEmpty());
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(Qt::darkCyan);
  ASSERT_TRUE(platform::StoreThumbnail(movie, picture));
  const QString stored = platform::CachedThumbnail(movie);
  EXPECT_EQ(stored, platform::ThumbnailCacheFile(movie, 256));
  EXPECT_EQ(platform::PngText(stored, QStringLiteral("Thumb::URI")), QString::fromLatin1(QUrl::fromLocalFile(movie).toEncoded()));
  EXPECT_EQ(QImage(stored).pixel(10, 10), QColor(Qt::darkCyan).rgb());
  EXPECT_EQ(QFileInfo(stored).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);

  // The movie changed since: its thumbnail no longer counts.
  QFile file(movie);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
  file.close();
  EXPECT_TRUE(platform::CachedThumbnail(movie).isEmpty());
}
