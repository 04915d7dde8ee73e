#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>

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
