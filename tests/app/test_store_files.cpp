// The records, settings and language files when the user has made them
// symbolic links (dotfiles kept in a repository) or read-only.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/pk_param.h"
#include "framework/qs_captionfile.h"
#include "framework/qs_contexte.h"
#include "platform/registry.h"
#include "tests/app/killed_writers.h"
#include "tests/support/test_env.h"

namespace {

class StoreFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleaseMovieList();
    testenv::RecordedErrors().clear();
    dir_ = testenv::NewTempDir("store");
  }
  void TearDown() override {
    ReleaseMovieList();
    qputenv("CINVO_MOVIELIST", testenv::MovieListFile().toLocal8Bit());
  }
  void UseMovieList(const QString& path) {
    ReleaseMovieList();
    qputenv("CINVO_MOVIELIST", path.toLocal8Bit());
  }
  static void RecordViewOf(const QString& name, int position = 0) {
    TMovieData movie("/m/" + name, true);
    movie.ReadRecord();
    movie.ViewPosition = position;
    movie.RecordView();
  }
  static QString Text(const QString& path) { return QString::fromUtf8(testenv::ReadFile(path)); }
  // Names beside `path` that a write left, besides the file itself.
  static QStringList Beside(const QString& path) { return killtest::Leftovers(path); }

  QString dir_;
};

}  // namespace

TEST_F(StoreFiles, SavesWriteThroughSymbolicLinksWhichStayLinks) {
  // Records: a link in the program's directory to a file kept elsewhere,
  // through a relative target and a second link.
  QDir().mkpath(dir_ + "/repo/cinvo");
  QDir().mkpath(dir_ + "/program");
  const QString records = dir_ + "/repo/cinvo/MovieList.ini";
  ASSERT_TRUE(testenv::WriteFile(records, "[Old.avi]\r\nViewCount=2\r\n"));
  ASSERT_TRUE(QFile::link("../repo/cinvo/MovieList.ini", dir_ + "/program/middle.ini"));
  ASSERT_TRUE(QFile::link(dir_ + "/program/middle.ini", dir_ + "/program/MovieList.ini"));
  UseMovieList(dir_ + "/program/MovieList.ini");
  RecordViewOf("New.avi", 12);
  RecordViewOf("Old.avi");
  testenv::DrainEvents();
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty()) << testenv::RecordedErrors().join('\n').toStdString();
  EXPECT_TRUE(QFileInfo(dir_ + "/program/MovieList.ini").isSymLink());
  EXPECT_TRUE(QFileInfo(dir_ + "/program/middle.ini").isSymLink());
  EXPECT_TRUE(Text(records).contains("[New.avi]")) << Text(records).toStdString();
  EXPECT_TRUE(Text(records).contains("ViewCount=3"));
  // The copy and the lock beside the target; nothing beside the link.
  EXPECT_TRUE(QFile::exists(records + ".lock"));
  EXPECT_FALSE(QFile::exists(dir_ + "/program/MovieList.ini.lock"));
  EXPECT_TRUE(Beside(records).isEmpty()) << Beside(records).join(' ').toStdString();
  EXPECT_TRUE(Beside(dir_ + "/program/MovieList.ini").isEmpty());

  // A link to a file that does not exist yet: the first save makes it.
  const QString dangling = dir_ + "/repo/cinvo/later.ini";
  ASSERT_TRUE(QFile::link(dangling, dir_ + "/program/later.ini"));
  UseMovieList(dir_ + "/program/later.ini");
  RecordViewOf("First.avi");
  EXPECT_TRUE(QFileInfo(dir_ + "/program/later.ini").isSymLink());
  EXPECT_TRUE(Text(dangling).contains("[First.avi]"));

  // The settings hive.
  const QString hive = dir_ + "/repo/cinvo/registry.json";
  TqsContexte(hive).WriteInteger("Initial", "Kept", 5);
  QFile::remove(hive + ".lock");
  ASSERT_TRUE(QFile::link(hive, dir_ + "/program/registry.json"));
  {
    TqsContexte store(dir_ + "/program/registry.json");
    store.WriteInteger("Initial", "Brightness", 4000);
    EXPECT_EQ(store.ReadInteger("Initial", "Kept", 0), 5);
  }
  EXPECT_TRUE(QFileInfo(dir_ + "/program/registry.json").isSymLink());
  EXPECT_TRUE(Text(hive).contains("Brightness")) << Text(hive).toStdString();
  EXPECT_TRUE(QFile::exists(hive + ".lock"));
  EXPECT_FALSE(QFile::exists(dir_ + "/program/registry.json.lock"));
  EXPECT_TRUE(Beside(dir_ + "/program/registry.json").isEmpty());

  // A language file.
  const QString captions = dir_ + "/repo/cinvo/CaptionList.txt";
  ASSERT_TRUE(testenv::WriteFile(captions, "old=1\r\n"));
  ASSERT_TRUE(QFile::link(captions, dir_ + "/program/CaptionList.txt"));
  WriteCaptionFile(dir_ + "/program/CaptionList.txt", {"new=2"});
  EXPECT_TRUE(QFileInfo(dir_ + "/program/CaptionList.txt").isSymLink());
  EXPECT_EQ(testenv::ReadFile(captions), "new=2\r\n");

  // A loop of links is refused, not replaced by a file.
  ASSERT_TRUE(QFile::link(dir_ + "/program/loop-b.ini", dir_ + "/program/loop-a.ini"));
  ASSERT_TRUE(QFile::link(dir_ + "/program/loop-a.ini", dir_ + "/program/loop-b.ini"));
  UseMovieList(dir_ + "/program/loop-a.ini");
  RecordViewOf("Looped.avi");
  testenv::DrainEvents();
  EXPECT_EQ(testenv::RecordedErrors().size(), 1);
  EXPECT_TRUE(QFileInfo(dir_ + "/program/loop-a.ini").isSymLink());
}

TEST_F(StoreFiles, AReadOnlyRecordsFileIsKeptTheUserToldOnceAndTheViewsSavedLater) {
  const QString records = dir_ + "/MovieList.ini";
  ASSERT_TRUE(testenv::WriteFile(records, "[Film.avi]\r\nViewCount=4\r\n"));
  ASSERT_TRUE(QFile::setPermissions(records, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
  const QByteArray before = testenv::ReadFile(records);
  UseMovieList(records);

  RecordViewOf("Film.avi");
  RecordViewOf("Other.avi");
  testenv::DrainEvents();
  ASSERT_EQ(testenv::RecordedErrors().size(), 1) << testenv::RecordedErrors().join('\n').toStdString();
  EXPECT_EQ(testenv::RecordedErrors()[0], "The movie records could not be saved to " + records +
                                               ": Permission denied. The previous file was kept.");
  EXPECT_EQ(testenv::ReadFile(records), before);
  EXPECT_EQ(QFileInfo(records).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), 0);
  EXPECT_TRUE(Beside(records).filter(".tmp-").isEmpty());

  // Writable again: the next save brings everything in.
  ASSERT_TRUE(QFile::setPermissions(records, QFile::ReadOwner | QFile::WriteOwner));
  RecordViewOf("Third.avi");
  testenv::DrainEvents();
  EXPECT_EQ(testenv::RecordedErrors().size(), 1);
  const QString text = Text(records);
  EXPECT_TRUE(text.contains("ViewCount=5")) << text.toStdString();
  EXPECT_TRUE(text.contains("[Other.avi]"));
  EXPECT_TRUE(text.contains("[Third.avi]"));
}

TEST_F(StoreFiles, AReadOnlySettingsFileIsKeptAndTheUserToldOnce) {
  const QString hive = dir_ + "/registry.json";
  TqsContexte store(hive);
  store.WriteInteger("Initial", "Brightness", 5000);
  ASSERT_TRUE(QFile::setPermissions(hive, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
  const QByteArray before = testenv::ReadFile(hive);
  try {
    store.WriteInteger("Initial", "Brightness", 4000);
    ADD_FAILURE() << "a read-only settings file was replaced";
  } catch (const platform::RegistryError& e) {
    EXPECT_EQ(QString::fromUtf8(e.what()),
              "The settings could not be saved to " + hive + ": Permission denied. The previous file was kept.");
  }
  // Once per run: later saves, also of keys not there yet, say nothing more.
  EXPECT_NO_THROW(store.WriteInteger("Initial", "Brightness", 3000));
  EXPECT_NO_THROW(store.WriteString("Settings\\FrmShowcase", "Left", "1"));
  EXPECT_EQ(testenv::ReadFile(hive), before);
  EXPECT_EQ(store.ReadInteger("Initial", "Brightness", 0), 5000);
  EXPECT_TRUE(Beside(hive).filter(".tmp-").isEmpty());
}
