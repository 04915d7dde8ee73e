#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "app/pk_param.h"
#include "framework/qs_tools.h"
#include "tests/support/test_env.h"

namespace {

class MovieRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleaseMovieList();
    QFile::remove(testenv::MovieListFile());
    movies = testenv::NewTempDir("movies");
    testenv::RecordedErrors().clear();
  }
  void TearDown() override {
    ReleaseMovieList();
    QLocale::setDefault(QLocale::c());
  }
  QString Movie(const QString& name, const QByteArray& data = "movie") {
    const QString path = movies + "/" + name;
    EXPECT_TRUE(testenv::WriteFile(path, data));
    return path;
  }
  static QString IniText() { return QString::fromUtf8(testenv::ReadFile(testenv::MovieListFile())); }
  QString movies;
};

}  // namespace

TEST_F(MovieRecordsTest, ANeverSeenMovieReadsZerosAndHasNoSection) {
  TMovieData movie(Movie("never.avi", QByteArray(1234, 'x')), true);
  movie.ReadRecord();
  EXPECT_EQ(movie.ViewCount, 0);
  EXPECT_EQ(movie.ViewDate, 0);
  EXPECT_EQ(movie.ViewPosition, 0);
  EXPECT_EQ(movie.FileSize, 1234);
  EXPECT_GT(movie.CreationDate, 40000);
  EXPECT_FALSE(MovieList().SectionExists("never.avi"));
  EXPECT_FALSE(QFile::exists(testenv::MovieListFile()));
}

TEST_F(MovieRecordsTest, RecordViewCountsStampsAndFlushesEveryKey) {
  TMovieData movie(Movie("Film.avi"), true);
  movie.ReadRecord();
  movie.ViewPosition = 321;
  const double before = NowDayNumber();
  movie.RecordView();
  EXPECT_EQ(movie.ViewCount, 1);
  EXPECT_GE(movie.ViewDate, before);
  EXPECT_EQ(movie.ViewPosition, 321);

  const QString text = IniText();
  EXPECT_TRUE(text.contains("[Film.avi]"));
  const qsizetype count = text.indexOf("ViewCount"), date = text.indexOf("ViewDate"),
                  strDate = text.indexOf("ViewStrDate"), position = text.indexOf("ViewPosition");
  EXPECT_TRUE(count >= 0 && count < date && date < strDate && strDate < position) << text.toStdString();

  // A record read afresh from the file sees the same values.
  ReleaseMovieList();
  TMovieData again(movie.FileName, true);
  again.ReadRecord();
  EXPECT_EQ(again.ViewCount, 1);
  EXPECT_NEAR(again.ViewDate, movie.ViewDate, 1e-9);
  EXPECT_EQ(again.ViewPosition, 321);

  again.ViewPosition = 5;
  again.SavePosition();
  ReleaseMovieList();
  TMovieData third(movie.FileName, true);
  third.ReadRecord();
  EXPECT_EQ(third.ViewCount, 1);
  EXPECT_EQ(third.ViewPosition, 5);
}

TEST_F(MovieRecordsTest, ViewDateReadsWithEitherDecimalMarkInEitherLocale) {
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(),
                                 "[comma.avi]\nViewDate=45000,5\n[point.avi]\nViewDate=45000.5\n"));
  for (const QLocale& locale : {QLocale(QLocale::English), QLocale(QLocale::French)}) {
    QLocale::setDefault(locale);
    for (const char* name : {"comma.avi", "point.avi"}) {
      TMovieData movie(movies + "/" + name, true);
      movie.ReadRecord();
      EXPECT_DOUBLE_EQ(movie.ViewDate, 45000.5) << name << " " << locale.name().toStdString();
    }
  }
}

TEST_F(MovieRecordsTest, ViewDateIsWrittenWithTheUsersDecimalMark) {
  QLocale::setDefault(QLocale(QLocale::French));
  TMovieData movie(Movie("fr.avi"), true);
  movie.RecordView();
  const QString text = IniText();
  const qsizetype at = text.indexOf("ViewDate=") + 9;
  EXPECT_TRUE(text.mid(at, 12).contains(',')) << text.toStdString();
}

TEST_F(MovieRecordsTest, SameNameInTwoDirectoriesSharesOneRecord) {
  const QString disk = Movie("shared.avi");
  const QString cd = testenv::NewTempDir("cd") + "/SHARED.AVI";
  ASSERT_TRUE(testenv::WriteFile(cd, "cd"));
  TMovieData onDisk(disk, true), onCd(cd, false);
  onDisk.ReadRecord();
  onCd.ReadRecord();
  onDisk.RecordView();
  EXPECT_EQ(onCd.ViewCount, 0);  // seen only at its next read
  onCd.ReadRecord();
  EXPECT_EQ(onCd.ViewCount, 1);
}

TEST_F(MovieRecordsTest, EditsMadeMeanwhileAreSeenAfterTheNextFlushAndOnlyOwnKeysReplaceThem) {
  TMovieData movie(Movie("edit.avi"), true);
  movie.RecordView();
  QString text = IniText();
  text.replace("ViewCount=1", "ViewCount=50");
  text += "[other.avi]\r\nViewCount=7\r\n";
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(), text.toUtf8()));
  movie.ReadRecord();
  EXPECT_EQ(movie.ViewCount, 1);  // records are not re-read from the file
  movie.ViewPosition = 99;
  movie.SavePosition();  // changes only ViewPosition
  EXPECT_TRUE(IniText().contains("ViewCount=50"));
  EXPECT_TRUE(IniText().contains("ViewPosition=99"));
  TMovieData other(movies + "/other.avi", true);
  other.ReadRecord();
  EXPECT_EQ(other.ViewCount, 7);  // now in this document too
  movie.RecordView();  // its own count replaces the edited one
  EXPECT_TRUE(IniText().contains("ViewCount=2"));
  EXPECT_TRUE(IniText().contains("[other.avi]"));
}

TEST_F(MovieRecordsTest, AHandEditedCountAtTheTopOfTheRangeStaysThere) {
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(), "[top.avi]\nViewCount=2147483647\n"));
  TMovieData movie(Movie("top.avi"), true);
  movie.ReadRecord();
  movie.RecordView();
  EXPECT_EQ(movie.ViewCount, 2147483647);
  EXPECT_TRUE(IniText().contains("ViewCount=2147483647"));
}

TEST_F(MovieRecordsTest, SizesBeyond4GiBAndEvenSecondDates) {
  const QString big = Movie("big.avi", "");
  QFile file(big);
  ASSERT_TRUE(file.resize(5LL * 1024 * 1024 * 1024));  // sparse
  const QDateTime stamp(QDate(2024, 5, 17), QTime(12, 34, 57, 800), Qt::LocalTime);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
  file.close();

  EXPECT_EQ(FileSizeOf(big), 5LL * 1024 * 1024 * 1024);
  TMovieData movie(big, true);
  movie.ReadRecord();
  EXPECT_EQ(movie.FileSize, 5LL * 1024 * 1024 * 1024);
  EXPECT_EQ(DayNumberToDateTime(movie.CreationDate), QDateTime(QDate(2024, 5, 17), QTime(12, 34, 56)));
}

TEST_F(MovieRecordsTest, AFileThatVanishedStillReadsItsRecord) {
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(), "[gone.avi]\nViewCount=3\nViewPosition=90\n"));
  TMovieData movie(movies + "/gone.avi", true);
  movie.ReadRecord();
  EXPECT_EQ(movie.FileSize, 0);
  EXPECT_EQ(movie.CreationDate, 0);
  EXPECT_EQ(movie.ViewCount, 3);
  EXPECT_EQ(movie.ViewPosition, 90);
  EXPECT_EQ(FileSizeOf(movies), 0);  // a directory has no file size
}

TEST_F(MovieRecordsTest, NamesWithIniMeaningGetTheirOwnRecordThatReadsBackExactly) {
  const QStringList names = {"[a].avi",   "x=y.avi",  "a;b.avi",  "#c.avi",   " lead.avi",
                             "trail.avi ", QString::fromUtf8("\xc3\xa9t\xc3\xa9.avi"), "a]b.avi", "plain.avi"};
  int n = 0;
  for (const QString& name : names) {
    TMovieData movie(Movie(name), true);
    movie.ViewPosition = ++n;
    movie.RecordView();
  }
  ReleaseMovieList();
  n = 0;
  for (const QString& name : names) {
    TMovieData movie(movies + "/" + name, true);
    movie.ReadRecord();
    EXPECT_EQ(movie.ViewCount, 1) << name.toStdString();
    EXPECT_EQ(movie.ViewPosition, ++n) << name.toStdString();
  }
  // Ordinary names stay written as they are, so existing files keep working.
  EXPECT_TRUE(IniText().contains("[plain.avi]"));
  EXPECT_EQ(TMovieListDocument::SectionName("x=y.avi"), "#x%3Dy.avi");
  EXPECT_EQ(TMovieListDocument::SectionName("with space.avi"), "with space.avi");
}

TEST_F(MovieRecordsTest, BadFilesReadAsDefaultsWithoutACrash) {
  const std::pair<const char*, QByteArray> files[] = {
      {"empty", ""},
      {"no equals", "[m.avi]\nViewCount\njunk line\nViewPosition 12\n"},
      {"not numbers", "[m.avi]\nViewCount=many\nViewDate=yesterday\nViewPosition=1e3\n"},
      {"no section", "ViewCount=5\n"},
  };
  for (const auto& [what, data] : files) {
    ReleaseMovieList();
    ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(), data));
    TMovieData movie(movies + "/m.avi", true);
    movie.ReadRecord();
    EXPECT_EQ(movie.ViewCount, 0) << what;
    EXPECT_EQ(movie.ViewDate, 0) << what;
    EXPECT_EQ(movie.ViewPosition, 0) << what;
  }
}

TEST_F(MovieRecordsTest, DuplicateSectionsAndKeysMergeAndTheLastValueWins) {
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(),
                                 "[m.avi]\nViewCount=1\nViewCount=2\n[other.avi]\nViewCount=9\n[M.AVI]\nViewPosition=40\n"));
  TMovieData movie(movies + "/m.avi", true);
  movie.ReadRecord();
  EXPECT_EQ(movie.ViewCount, 2);
  EXPECT_EQ(movie.ViewPosition, 40);
}

TEST_F(MovieRecordsTest, ABinaryFileReadsEmptyAndIsKeptAsideBeforeTheFirstFlush) {
  QByteArray binary("\x00\x01[m.avi]\nViewCount=4\n\xff\xfe", 24);
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(), binary));
  TMovieData movie(Movie("m.avi"), true);
  movie.ReadRecord();
  EXPECT_EQ(movie.ViewCount, 0);
  movie.RecordView();

  const QDir dir(QFileInfo(testenv::MovieListFile()).absolutePath());
  const QStringList aside = dir.entryList({"MovieList.ini.unreadable-*"});
  ASSERT_EQ(aside.size(), 1);
  EXPECT_EQ(testenv::ReadFile(dir.filePath(aside[0])), binary);
  EXPECT_TRUE(IniText().contains("ViewCount=1"));
}

TEST_F(MovieRecordsTest, AFlushThatCannotWriteKeepsTheDocumentAndTellsTheUserLater) {
  const QString dir = testenv::NewTempDir("ro");
  ASSERT_TRUE(testenv::WriteFile(dir + "/file", "x"));
  TMovieListDocument doc(dir + "/file/MovieList.ini");  // its directory is a file
  doc.WriteString("m.avi", "ViewCount", "3");
  EXPECT_FALSE(doc.Flush());
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty());  // the caller carries on first
  testenv::DrainEvents();
  ASSERT_EQ(testenv::RecordedErrors().size(), 1);
  EXPECT_TRUE(testenv::RecordedErrors()[0].contains("MovieList.ini"));
  EXPECT_EQ(doc.ReadString("m.avi", "ViewCount"), "3");
}

TEST_F(MovieRecordsTest, AFlushReplacesTheFileWholeAndLeavesNoTemporaryFile) {
  TMovieData movie(Movie("a.avi"), true);
  movie.RecordView();
  movie.RecordView();
  const QDir dir(QFileInfo(testenv::MovieListFile()).absolutePath());
  // The lock file stays: it is what two processes take turns on. (A copy of
  // an unreadable file kept by another case of this process is no leftover.)
  QStringList entries = dir.entryList({"MovieList.ini*"}, QDir::Files | QDir::Hidden);
  entries.removeIf([](const QString& name) { return name.startsWith("MovieList.ini.unreadable-"); });
  EXPECT_EQ(entries, QStringList({"MovieList.ini", "MovieList.ini.lock"}));
  EXPECT_TRUE(IniText().contains("ViewCount=2"));
}
