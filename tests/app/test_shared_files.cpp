// MovieList.ini and the settings hive shared with other processes and left
// by killed ones: real child processes (store_writer) write beside the test.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include "app/pk_param.h"
#include "tests/app/killed_writers.h"
#include "tests/support/test_env.h"

namespace {

const QString kWriter = QStringLiteral(CINVO_STORE_WRITER);

// Runs two writers that start writing together; returns their outputs.
std::pair<QString, QString> RunTwo(const QStringList& a, const QStringList& b) {
  const QString go = testenv::NewTempDir("go") + "/go";
  QProcess first, second;
  first.start(kWriter, a + QStringList{go});
  second.start(kWriter, b + QStringList{go});
  EXPECT_TRUE(first.waitForReadyRead(30000));
  EXPECT_TRUE(second.waitForReadyRead(30000));
  testenv::WriteFile(go, "");
  EXPECT_TRUE(first.waitForFinished(120000));
  EXPECT_TRUE(second.waitForFinished(120000));
  EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  return {QString::fromLocal8Bit(first.readAllStandardOutput()), QString::fromLocal8Bit(second.readAllStandardOutput())};
}

}  // namespace

TEST(SharedFiles, TwoProcessesRecordingViewsAtOnceLoseNoView) {
  const QString ini = testenv::NewTempDir("shared") + "/MovieList.ini";
  constexpr int kMovies = 8, kRounds = 12;
  RunTwo({"ini", ini, "a", QString::number(kMovies), QString::number(kRounds)},
         {"ini", ini, "b", QString::number(kMovies), QString::number(kRounds)});
  TMovieListDocument doc(ini);
  for (const char* prefix : {"a", "b"})
    for (int i = 0; i < kMovies; ++i)
      EXPECT_EQ(doc.ReadString(QStringLiteral("%1%2.avi").arg(prefix).arg(i), "ViewCount"), QString::number(kRounds))
          << prefix << i;
}

TEST(SharedFiles, TwoProcessesCountingViewsOfTheSameMoviesAddThemUp) {
  // Each copy keeps the count it read at its start, as the library does.
  const QString ini = testenv::NewTempDir("shared") + "/MovieList.ini";
  ASSERT_TRUE(testenv::WriteFile(ini, "[same0.avi]\r\nViewCount=5\r\n"));
  constexpr int kMovies = 2, kRounds = 15;
  RunTwo({"ini", ini, "same", QString::number(kMovies), QString::number(kRounds)},
         {"ini", ini, "same", QString::number(kMovies), QString::number(kRounds)});
  TMovieListDocument doc(ini);
  EXPECT_EQ(doc.ReadString("same0.avi", "ViewCount"), QString::number(5 + 2 * kRounds));
  EXPECT_EQ(doc.ReadString("same1.avi", "ViewCount"), QString::number(2 * kRounds));
}

TEST(SharedFiles, EditsMadeByHandWhileTheProgramSavesAreKept) {
  const QString dir = testenv::NewTempDir("edited");
  const QString ini = dir + "/MovieList.ini", go = dir + "/go", stop = dir + "/stop";
  QProcess saver, editor;
  saver.start(kWriter, {"ini", ini, "saved", "1", "150", go});
  editor.start(kWriter, {"edit", ini, stop, go});
  ASSERT_TRUE(saver.waitForReadyRead(30000));
  ASSERT_TRUE(editor.waitForReadyRead(30000));
  editor.readAllStandardOutput();
  ASSERT_TRUE(testenv::WriteFile(go, ""));
  // Saves go on for a while whatever the machine's speed, so the editor gets
  // its edits in (a fast machine does a round of saves in a tenth of a second).
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    ASSERT_TRUE(saver.waitForFinished(600000));  // slow under a sanitizer
    ASSERT_EQ(saver.exitCode(), 0) << saver.readAllStandardError().toStdString();
    if (clock.elapsed() >= 2000) break;
    saver.start(kWriter, {"ini", ini, "saved", "1", "150", go});
  }
  ASSERT_TRUE(testenv::WriteFile(stop, ""));
  EXPECT_TRUE(editor.waitForFinished(30000));
  ASSERT_EQ(editor.exitCode(), 0);
  static const QRegularExpression count(QStringLiteral("edits=(\\d+)"));
  const int edits = count.match(QString::fromLocal8Bit(editor.readAllStandardOutput())).captured(1).toInt();
  const int kept = int(testenv::ReadFile(ini).count("[Edit "));
  // The last edits may come after the last save; every save read and
  // merged the file just before it replaced it. (An edit landing in the
  // instant between that check and the rename can still go.)
  ASSERT_GT(edits, 10);
  EXPECT_GE(kept * 4, edits * 3) << kept << " of " << edits << " edits kept";
}

TEST(SharedFiles, TwoBusySettingsWritersTakeTurns) {
  const QString hive = testenv::NewTempDir("shared") + "/registry.json";
  constexpr int kWrites = 150;
  const auto [a, b] = RunTwo({"hive", hive, "a", QString::number(kWrites)}, {"hive", hive, "b", QString::number(kWrites)});
  // Neither got far ahead: when one finished, the other had come most of
  // the way too (and no write gave up on the lock: both exited with 0).
  static const QRegularExpression other(QStringLiteral("other=(\\d+)"));
  const int aSaw = other.match(a).captured(1).toInt(), bSaw = other.match(b).captured(1).toInt();
  EXPECT_GE(std::min(aSaw, bSaw), kWrites / 2) << a.toStdString() << b.toStdString();
}

TEST(SharedFiles, KilledWritersLeaveWholeFilesAndTheNextWriteRemovesTheirCopies) {
  for (const auto kind : {killtest::TStoreFile::MovieList, killtest::TStoreFile::Hive}) {
    const QString path =
        testenv::NewTempDir("killed") + (kind == killtest::TStoreFile::MovieList ? "/MovieList.ini" : "/registry.json");
    killtest::Prepare(kind, path);
    const killtest::TOutcome outcome = killtest::KillWriters(kWriter, kind, path, 12, 40);
    EXPECT_EQ(outcome.Kills, 12);
    EXPECT_EQ(outcome.Damaged, 0);
    EXPECT_TRUE(outcome.NextWriteDone);
    EXPECT_LE(outcome.MostLeftovers, 1);  // one kill's copy at most: each write removes the earlier ones
    EXPECT_EQ(outcome.LeftoversAtEnd, 0) << killtest::Leftovers(path).join(' ').toStdString();
    EXPECT_TRUE(outcome.WholeAtEnd);

    // What a kill leaves when it lands between naming the copy and the
    // rename, and the lock-removal guards older versions left: a process
    // that has ended wrote them.
    QProcess ended;
    ended.start("sleep", {"0.1"});
    ASSERT_TRUE(ended.waitForStarted(30000));
    const QByteArray pid = QByteArray::number(ended.processId());
    ASSERT_TRUE(ended.waitForFinished(30000));
    ASSERT_NE(pid, "0");
    const QByteArray owner = pid + "\ncinvo\n\n";
    ASSERT_TRUE(testenv::WriteFile(path + ".tmp-" + pid + "-x1", testenv::ReadFile(path).left(1000)));
    ASSERT_TRUE(testenv::WriteFile(path + ".lock.rmlock", owner));
    ASSERT_TRUE(testenv::WriteFile(path + ".lock.rmlock.rmlock", owner));
    ASSERT_TRUE(killtest::NextWrite(kind, path));
    EXPECT_EQ(killtest::Leftovers(path), QStringList()) << killtest::Leftovers(path).join(' ').toStdString();
  }
}
