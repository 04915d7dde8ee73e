#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>

#include <ctime>

#include "framework/qs_datetime.h"
#include "framework/qs_tools.h"
#include "tests/support/test_env.h"

namespace {

// Collects the reported paths, relative to `root`.
QStringList Walk(const QString& root, const QString& mask, int depth) {
  QStringList found;
  ForEachFileTree(AddBackslash(root) + mask, depth, [&](const QString& path, const TSearchRec& entry) {
    EXPECT_TRUE(path.endsWith(entry.Name));
    found << path.mid(root.size() + 1);
  });
  return found;
}

class LocaleGuard {
 public:
  explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleGuard() { QLocale::setDefault(QLocale::c()); }
};

}  // namespace

TEST(QsTools, SecondsToTextSwitchesToHoursAbove3600) {
  const std::pair<qint64, const char*> cases[] = {
      {0, "0:00"},         {59, "0:59"},        {125, "2:05"},         {3599, "59:59"},
      {3600, "60:00"},     {3601, "1:00:01"},   {36000, "10:00:00"},   {-61, "-1:-01"},
      {-5, "0:-05"},       {1LL << 40, "305419896:36:16"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(SecondsToText(seconds), QString(text)) << seconds;
}

TEST(QsTools, TextToFloatAcceptsEitherDecimalMarkInAnyLocale) {
  for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::French, QLocale::France),
                                QLocale(QLocale::German, QLocale::Germany)}) {
    LocaleGuard guard(locale);
    EXPECT_DOUBLE_EQ(TextToFloat("1,5", -1), 1.5) << locale.name().toStdString();
    EXPECT_DOUBLE_EQ(TextToFloat("1.5", -1), 1.5);
    EXPECT_DOUBLE_EQ(TextToFloat("46000.25", -1), 46000.25);
    EXPECT_DOUBLE_EQ(TextToFloat("-3", -1), -3);
    EXPECT_DOUBLE_EQ(TextToFloat("1.000,5", -1), -1);  // two marks
    EXPECT_DOUBLE_EQ(TextToFloat("", -1), -1);
    EXPECT_DOUBLE_EQ(TextToFloat("abc", -1), -1);
    EXPECT_DOUBLE_EQ(TextToFloat("1 000", -1), -1);  // no digit grouping
    EXPECT_DOUBLE_EQ(TextToFloat("45123.5123456789", -1), 45123.5123456789);
    EXPECT_DOUBLE_EQ(TextToFloat("-0,25", -1), -0.25);
    EXPECT_DOUBLE_EQ(TextToFloat("7", -1), 7);
    for (const char* bad : {"-", "1,2,3", "1.2.3", "--1", "1-", "1.-2", "0x10"})
      EXPECT_DOUBLE_EQ(TextToFloat(bad, -1), -1) << bad;
  }
}

TEST(QsTools, PathAndTextHelpers) {
  EXPECT_EQ(AddBackslash(""), "/");
  EXPECT_EQ(AddBackslash("/tmp/"), "/tmp/");
  EXPECT_EQ(AddBackslash("/tmp"), "/tmp/");
  EXPECT_TRUE(AppDir().endsWith('/'));
  EXPECT_TRUE(QDir(AppDir()).exists());
  EXPECT_EQ(UpperChar('a'), QChar('A'));
  EXPECT_EQ(UpperChar('z'), QChar('Z'));
  EXPECT_EQ(UpperChar('A'), QChar('A'));
  EXPECT_EQ(UpperChar(QChar(0xE9)), QChar(0xE9));  // only ASCII letters change
  EXPECT_EQ(IfThenText(true, "a", "b"), "a");
  EXPECT_EQ(IfThenText(false, "a", "b"), "b");
  EXPECT_EQ(MinOf(-2, 3), -2);
  EXPECT_EQ(MaxOf(-2, 3), 3);
}

TEST(QsTools, IsExistingFileAndDriveReady) {
  const QString dir = testenv::NewTempDir();
  ASSERT_TRUE(testenv::WriteFile(dir + "/movie.avi", "x"));
  EXPECT_FALSE(IsExistingFile(""));
  EXPECT_FALSE(IsExistingFile(dir));
  EXPECT_FALSE(IsExistingFile(dir + "/missing.avi"));
  EXPECT_TRUE(IsExistingFile(dir + "/movie.avi"));

  EXPECT_FALSE(DriveReady(""));
  EXPECT_TRUE(DriveReady(dir));
  EXPECT_TRUE(DriveReady("/"));
  EXPECT_FALSE(DriveReady(dir + "/missing"));
  EXPECT_FALSE(DriveReady("D"));  // "D:\" names nothing here
}

TEST(QsTools, ForEachFileReportsVisiblePlainFilesMatchingWithoutCase) {
  const QString dir = testenv::NewTempDir();
  for (const char* name : {"a.avi", "B.AVI", "c.Avi", "notes.txt", ".hidden.avi", "avi", "d.avi.part", "e.avix"})
    ASSERT_TRUE(testenv::WriteFile(dir + "/" + name, "x"));
  QDir(dir).mkdir("folder.avi");

  QStringList found;
  ForEachFile(dir + "/*.avi", [&](const QString& path, const TSearchRec& entry) {
    EXPECT_EQ(path, dir + "/" + entry.Name);
    EXPECT_EQ(entry.Size, 1);
    EXPECT_FALSE(entry.Directory);
    found << entry.Name;
  });
  found.sort();
  EXPECT_EQ(found, QStringList({"B.AVI", "a.avi", "c.Avi"}));

  QStringList all;
  ForEachFile(dir + "/*.*", [&](const QString&, const TSearchRec& e) { all << e.Name; });
  EXPECT_EQ(all.size(), 7);  // "*.*" also matches names without a dot
}

TEST(QsTools, AMaskWithSeveralPatternsReportsEachMatchOnceAnchoredAndWithoutCase) {
  const QString dir = testenv::NewTempDir();
  for (const char* name : {"a.avi", "B.MKV", "c.Mp4", "both.mkv", "d.mkv.part", "e.mp4x", "notes.txt"})
    ASSERT_TRUE(testenv::WriteFile(dir + "/" + name, "x"));
  QStringList found;
  // "*.mkv" twice and "b*" overlapping: still one report per file.
  ForEachFile(dir + "/*.mkv;*.MP4;;*.avi;b*;*.mkv", [&](const QString&, const TSearchRec& e) { found << e.Name; });
  found.sort();
  EXPECT_EQ(found, QStringList({"B.MKV", "a.avi", "both.mkv", "c.Mp4"}));

  QStringList none;
  ForEachFile(dir + "/;", [&](const QString&, const TSearchRec& e) { none << e.Name; });
  EXPECT_TRUE(none.isEmpty()) << "no pattern matches nothing";
}

TEST(QsTools, EntryDatesAreTheLocalWallClockAcrossDaylightSavingAndZoneChanges) {
  // Restores the zone for the tests that follow.
  struct ZoneGuard {
    QByteArray saved = qgetenv("TZ");
    bool had = qEnvironmentVariableIsSet("TZ");
    ~ZoneGuard() {
      if (had)
        qputenv("TZ", saved);
      else
        qunsetenv("TZ");
      tzset();
    }
  } guard;
  const QString dir = testenv::NewTempDir();
  // Around both changes of 2024 in Paris (the autumn hour happens twice),
  // an odd second with milliseconds, and before 1970.
  const QList<QDateTime> stamps = {
      QDateTime(QDate(2024, 3, 31), QTime(0, 59, 59), Qt::UTC),
      QDateTime(QDate(2024, 3, 31), QTime(1, 0, 1), Qt::UTC),
      QDateTime(QDate(2024, 10, 27), QTime(0, 30, 0), Qt::UTC),
      QDateTime(QDate(2024, 10, 27), QTime(1, 30, 0), Qt::UTC),
      QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59, 999), Qt::UTC),
      QDateTime(QDate(1965, 7, 1), QTime(12, 0, 0), Qt::UTC),
  };
  for (int i = 0; i < stamps.size(); ++i) {
    QFile file(dir + QStringLiteral("/m%1.avi").arg(i));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.setFileTime(stamps[i], QFileDevice::FileModificationTime));
  }
  for (const char* zone : {"Europe/Paris", "Asia/Kolkata", "America/St_Johns"}) {
    SCOPED_TRACE(zone);
    qputenv("TZ", QByteArray(":") + zone);
    int seen = 0;
    ForEachFile(dir + "/*.avi", [&](const QString& path, const TSearchRec& entry) {
      SCOPED_TRACE(qPrintable(path));
      // The cheap conversion first: Qt's would make the C library read the
      // new zone for it.
      const platform::LocalClock clock = entry.LocalModified();
      const QDateTime expected = stamps[entry.Name.mid(1, 1).toInt()].toLocalTime();
      EXPECT_EQ(entry.Time(), expected);
      EXPECT_EQ(clock.Date, expected.date());
      EXPECT_EQ(clock.Time, QTime(expected.time().hour(), expected.time().minute(), expected.time().second()));
      const QDateTime whole = expected.addMSecs(-expected.time().msec());
      EXPECT_EQ(DayNumberOf(clock.Date, clock.Time), DateTimeToDayNumber(whole));
      ++seen;
    });
    EXPECT_EQ(seen, stamps.size());
  }
}

TEST(QsTools, ForEachFileTakesRelativeMasksFromTheCurrentDirectory) {
  const QString dir = testenv::NewTempDir();
  ASSERT_TRUE(testenv::WriteFile(dir + "/sub/m.avi", "x"));
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir);
  QStringList found;
  ForEachFile("sub/*.avi", [&](const QString& path, const TSearchRec&) { found << path; });
  QDir::setCurrent(previous);
  EXPECT_EQ(found, QStringList({QDir(dir).canonicalPath() + "/sub/m.avi"}));
}

TEST(QsTools, ForEachFileTreeFollowsTheDepthRules) {
  const QString root = testenv::NewTempDir("tree");
  for (const char* name : {"top.avi", "a/one.avi", "a/b/two.avi", "a/b/c/three.avi", ".hid/no.avi", "a/.x/no.avi"})
    ASSERT_TRUE(testenv::WriteFile(root + "/" + name, "x"));

  EXPECT_TRUE(Walk(root, "*.avi", 0).isEmpty());
  EXPECT_EQ(Walk(root, "*.avi", 1), QStringList({"top.avi"}));
  EXPECT_EQ(Walk(root, "*.avi", 2), QStringList({"a/one.avi", "top.avi"}));
  // Deepest first, parents after their sub-directories; hidden ones skipped.
  EXPECT_EQ(Walk(root, "*.avi", -1), QStringList({"a/b/c/three.avi", "a/b/two.avi", "a/one.avi", "top.avi"}));
  EXPECT_TRUE(Walk(root + "/missing", "*.avi", -1).isEmpty());
}

TEST(QsTools, ForEachFileTreeEndsOnLinkLoopsAndWalksEachRealDirectoryOnce) {
  const QString root = testenv::NewTempDir("loop");
  ASSERT_TRUE(testenv::WriteFile(root + "/top.avi", "x"));
  ASSERT_TRUE(testenv::WriteFile(root + "/d/inner.avi", "x"));
  ASSERT_TRUE(QFile::link(root, root + "/d/back"));     // loop to the root
  ASSERT_TRUE(QFile::link(root + "/d", root + "/d2"));  // a second way into d
  ASSERT_TRUE(QFile::link(root + "/d/back", root + "/d/backback"));

  QStringList found = Walk(root, "*.avi", -1);
  int inner = 0;
  for (const QString& p : found) inner += p.endsWith("inner.avi") ? 1 : 0;
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(found.size(), 2);
  EXPECT_TRUE(found.contains("top.avi"));
}
