// Saving MovieList.ini and the settings hive on a disk that fills up: on a
// real small file system (a tmpfs the test mounts, when it may) and through
// a write shim that plays short writes and ENOSPC.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>
#include <memory>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "app/pk_param.h"
#include "framework/qs_captionfile.h"
#include "framework/qs_contexte.h"
#include "platform/atomic_write.h"
#include "tests/app/killed_writers.h"
#include "tests/support/test_env.h"

namespace {

using killtest::TStoreFile;

class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testenv::NewTempDir("disk");
    testenv::RecordedErrors().clear();
  }
  void TearDown() override {
    platform::SetWriteShim({});
    ReleaseMovieList();
    if (mounted_) ::umount2(dir_.toLocal8Bit().constData(), MNT_DETACH);
  }

  // Both files, full size, in `dir_`.
  void PrepareFiles() {
    ini_ = dir_ + "/MovieList.ini";
    hive_ = dir_ + "/registry.json";
    killtest::Prepare(TStoreFile::MovieList, ini_);
    killtest::Prepare(TStoreFile::Hive, hive_);
    qputenv("CINVO_MOVIELIST", ini_.toLocal8Bit());
    ReleaseMovieList();
    iniBefore_ = testenv::ReadFile(ini_);
    hiveBefore_ = testenv::ReadFile(hive_);
  }

  // A view and a setting saved while the disk is full: refused with a
  // message that says so, the previous file untouched, nothing left beside.
  // A hive small enough for the room left is saved.
  void ExpectRefusedAndKept(const char* what, bool hiveFits = false) {
    SCOPED_TRACE(what);
    TMovieData movie("/m/" + killtest::MovieName(5), true);
    movie.ReadRecord();
    movie.RecordView();  // counted in memory; the user hears why it was not saved
    ++views_;
    testenv::DrainEvents();
    ASSERT_EQ(testenv::RecordedErrors().size(), 1);
    EXPECT_TRUE(testenv::RecordedErrors()[0].contains("not enough space on the disk")) << testenv::RecordedErrors()[0].toStdString();
    EXPECT_TRUE(testenv::RecordedErrors()[0].contains(ini_));
    testenv::RecordedErrors().clear();
    EXPECT_EQ(testenv::ReadFile(ini_), iniBefore_);
    EXPECT_TRUE(killtest::Leftovers(ini_).isEmpty()) << killtest::Leftovers(ini_).join(' ').toStdString();

    // The refused copy was removed: the hive finds the same room.
    if (shimRoom_ >= 0) ShimDisk(size_t(shimRoom_));
    TqsContexte store(hive_);
    if (hiveFits) {
      store.WriteInteger(QStringLiteral("Initial"), QStringLiteral("Value7"), 7);
      EXPECT_TRUE(killtest::Whole(TStoreFile::Hive, hive_));
      hiveBefore_ = testenv::ReadFile(hive_);
      return;
    }
    try {
      store.WriteInteger(QStringLiteral("Initial"), QStringLiteral("Value7"), 77);
      ADD_FAILURE() << "a setting was saved on a full disk";
    } catch (const platform::RegistryError& e) {
      EXPECT_TRUE(QString::fromUtf8(e.what()).contains("not enough space on the disk")) << e.what();
      EXPECT_TRUE(QString::fromUtf8(e.what()).contains(hive_));
    }
    EXPECT_EQ(testenv::ReadFile(hive_), hiveBefore_);
    EXPECT_TRUE(killtest::Leftovers(hive_).isEmpty()) << killtest::Leftovers(hive_).join(' ').toStdString();
  }

  // Once there is room again the next save writes what the refused one
  // could not.
  void ExpectSavedOnceThereIsRoom() {
    TMovieData movie("/m/" + killtest::MovieName(5), true);
    movie.ReadRecord();
    movie.RecordView();
    ++views_;
    testenv::DrainEvents();
    EXPECT_TRUE(testenv::RecordedErrors().isEmpty());
    ReleaseMovieList();
    TMovieData again("/m/" + killtest::MovieName(5), true);
    again.ReadRecord();
    EXPECT_EQ(again.ViewCount, 5 % 9 + views_);  // the refused views too
    EXPECT_TRUE(killtest::Whole(TStoreFile::MovieList, ini_));
    TqsContexte store(hive_);
    store.WriteInteger(QStringLiteral("Initial"), QStringLiteral("Value7"), 77);
    EXPECT_EQ(store.ReadInteger(QStringLiteral("Initial"), QStringLiteral("Value7"), 0), 77);
    EXPECT_TRUE(killtest::Whole(TStoreFile::Hive, hive_));
  }

  // A disk with `room` bytes left: each write takes at most a page of what
  // still fits, then the disk refuses with ENOSPC.
  void ShimDisk(size_t room) {
    shimRoom_ = qint64(room);
    auto left = std::make_shared<size_t>(room);
    platform::SetWriteShim({[left](int fd, const void* data, size_t size) -> ssize_t {
                              if (*left == 0) {
                                errno = ENOSPC;
                                return -1;
                              }
                              const size_t n = std::min({size, *left, size_t(4096)});
                              *left -= n;
                              return ::write(fd, data, n);
                            },
                            {}});
  }

  static qint64 FreeBytes(const QString& path) {
    struct statvfs st {};
    return ::statvfs(path.toLocal8Bit().constData(), &st) == 0 ? qint64(st.f_bavail) * qint64(st.f_frsize) : -1;
  }

  QString dir_, ini_, hive_;
  QByteArray iniBefore_, hiveBefore_;
  bool mounted_ = false;
  int views_ = 0;
  qint64 shimRoom_ = -1;
};

}  // namespace

TEST_F(FullDisk, ShortWritesAndNoSpaceReportedByWriteOrByFlushRefuseTheSave) {
  PrepareFiles();
  ShimDisk(0);  // completely full
  ExpectRefusedAndKept("completely full");
  // A language file written on a full disk says so and keeps the old one.
  const QString captions = dir_ + "/CaptionList.txt";
  ASSERT_TRUE(testenv::WriteFile(captions, "old=1\r\n"));
  try {
    WriteCaptionFile(captions, {"new=2"});
    ADD_FAILURE() << "a language file was written on a full disk";
  } catch (const EInOutError& e) {
    EXPECT_TRUE(e.Message().contains("not enough space on the disk")) << e.Message().toStdString();
  }
  EXPECT_EQ(testenv::ReadFile(captions), "old=1\r\n");
  EXPECT_TRUE(killtest::Leftovers(captions).isEmpty());
  ShimDisk(8 * 1024);  // nearly full: the first pages go, then no more
  ExpectRefusedAndKept("8 KiB free");
  ShimDisk(100 * 1024);
  ExpectRefusedAndKept("100 KiB free", true);
  // Every write taken, the shortage found when the data goes out.
  shimRoom_ = -1;
  platform::SetWriteShim({{}, [](int) {
                            errno = ENOSPC;
                            return -1;
                          }});
  ExpectRefusedAndKept("full at flush");
  platform::SetWriteShim({});
  shimRoom_ = -1;
  ExpectSavedOnceThereIsRoom();
}

TEST_F(FullDisk, ASmallFileSystemThatFillsUpKeepsThePreviousFiles) {
  if (::mount("tmpfs", dir_.toLocal8Bit().constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0700") != 0)
    GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
  mounted_ = true;
  PrepareFiles();

  // Fills the file system up, then gives back `room` bytes.
  const QString filler = dir_ + "/filler";
  const auto fillLeaving = [&](qint64 room) {
    QFile::remove(filler);
    QFile file(filler);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray block(4096, 'f');
    while (file.write(block) == block.size() && file.flush()) {
    }
    file.close();
    return FreeBytes(dir_) < 4096 && (room == 0 || QFile::resize(filler, QFileInfo(filler).size() - room));
  };
  ASSERT_TRUE(fillLeaving(0));
  ExpectRefusedAndKept("completely full");
  // A MovieList.ini of about 200 KB with 100 KiB free (a hive of about
  // 12 KB fits), then 8 KiB free.
  ASSERT_GT(iniBefore_.size(), 150 * 1024);
  ASSERT_TRUE(fillLeaving(100 * 1024));
  ExpectRefusedAndKept("100 KiB free", true);
  ASSERT_TRUE(fillLeaving(8 * 1024));
  ASSERT_GT(hiveBefore_.size(), 8 * 1024);
  ExpectRefusedAndKept("8 KiB free");

  ASSERT_TRUE(QFile::remove(filler));
  ExpectSavedOnceThereIsRoom();
}
