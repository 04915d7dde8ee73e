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

TEST_F(MovieRecordsTest, EditsMadeMeanwhileAreSeenAfterTheNextFlushAndViewsAddToThem) {
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
  movie.RecordView();  // a view adds to the count the file holds
  EXPECT_TRUE(IniText().contains("ViewCount=51"));
  EXPECT_EQ(movie.ViewCount, 51);
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
  const QStringList names = {"[a].avi",   "x=y.avi",  "a;b.avi",  "#c.avi",   " lead.avi",  ";semi.avi",
                             "trail.avi ", QString::fromUtf8("\xc3\xa9t\xc3\xa9=1.avi"), "a]b.avi", "plain.avi",
                             "two\nlines.avi", "100%.avi", "#Caf%C3%A9.avi"};
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
  EXPECT_EQ(TMovieListDocument::SectionName("a;b #1.avi"), "a;b #1.avi");
  EXPECT_EQ(TMovieListDocument::SectionName("#c.avi"), "#%23c.avi");
}

TEST_F(MovieRecordsTest, AccentedNamesAreWrittenAsTheyStandAndOlderFormsAreStillFound) {
  const QString cafe = QString::fromUtf8("Caf\xc3\xa9 Cr\xc3\xa8me.avi");
  const QString hand = QString::fromUtf8("\xc3\x89t\xc3\xa9 \xc3\xa0 Paris.avi");
  const QString naive = QString::fromUtf8("Na\xc3\xafve.avi");
  // Today's escaped form, a section written by hand in UTF-8, and one an
  // older installation wrote in its 8-bit code page.
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(),
                                 "[#Caf%C3%A9%20Cr%C3%A8me.avi]\r\nViewCount=7\r\nViewPosition=60\r\n"
                                 "[" + hand.toUtf8() + "]\r\nViewCount=3\r\n"
                                 "[Na\xefve.avi]\r\nViewCount=2\r\nViewPosition=9\r\n"));
  const auto read = [&](const QString& name) {
    TMovieData movie(movies + "/" + name, true);
    movie.ReadRecord();
    return std::pair{movie.ViewCount, movie.ViewPosition};
  };
  EXPECT_EQ(read(cafe), std::pair(7, std::int64_t(60)));
  EXPECT_EQ(read(hand), std::pair(3, std::int64_t(0)));
  EXPECT_EQ(read(naive), std::pair(2, std::int64_t(9)));

  // Saved again in the plain form, the older section gone.
  TMovieData movie(Movie(cafe), true);
  movie.ReadRecord();
  movie.RecordView();
  QString text = IniText();
  EXPECT_TRUE(text.contains("[" + cafe + "]\nViewCount=8")) << text.toStdString();
  EXPECT_TRUE(text.contains("ViewPosition=60"));
  EXPECT_FALSE(text.contains("%C3")) << text.toStdString();
  EXPECT_TRUE(text.contains("[" + hand + "]\nViewCount=3"));
  TMovieData older(Movie(naive), true);
  older.ReadRecord();
  older.ViewPosition = 15;
  older.SavePosition();
  const QByteArray bytes = testenv::ReadFile(testenv::MovieListFile());
  EXPECT_FALSE(bytes.contains("Na\xefve")) << bytes.toStdString();
  EXPECT_TRUE(bytes.contains("[" + naive.toUtf8() + "]\nViewCount=2\nViewPosition=15")) << bytes.toStdString();

  // Read afresh, every record is still there once.
  ReleaseMovieList();
  EXPECT_EQ(read(cafe), std::pair(8, std::int64_t(60)));
  EXPECT_EQ(read(naive), std::pair(2, std::int64_t(15)));
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

TEST_F(MovieRecordsTest, APendingViewAddsItsCountButALaterViewKeepsItsDatesAndPosition) {
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(), "[m.avi]\nViewCount=1\n"));
  ASSERT_TRUE(QFile::setPermissions(testenv::MovieListFile(), QFile::ReadOwner));
  TMovieData movie(Movie("m.avi"), true);
  movie.ReadRecord();
  movie.ViewPosition = 10;
  movie.RecordView();  // refused: pending
  testenv::DrainEvents();
  ASSERT_EQ(testenv::RecordedErrors().size(), 1);

  // Meanwhile another copy of the program counts a later view.
  const double later = movie.ViewDate + 1;
  ASSERT_TRUE(QFile::setPermissions(testenv::MovieListFile(), QFile::ReadOwner | QFile::WriteOwner));
  ASSERT_TRUE(testenv::WriteFile(testenv::MovieListFile(), "[m.avi]\nViewCount=2\nViewDate=" +
                                                                QByteArray::number(later, 'f', 6) +
                                                                "\nViewStrDate=later\nViewPosition=99\n"));
  TMovieData other(Movie("other.avi"), true);
  other.SavePosition();  // the next save brings the pending view in

  ReleaseMovieList();
  movie.ReadRecord();
  EXPECT_EQ(movie.ViewCount, 3);
  EXPECT_NEAR(movie.ViewDate, later, 1e-6);
  EXPECT_EQ(movie.ViewPosition, 99);
  EXPECT_TRUE(IniText().contains("ViewStrDate=later"));
}
