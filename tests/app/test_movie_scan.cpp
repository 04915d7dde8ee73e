// The walk of the movies directory on its worker: what reaches the window,
// in which order, and that the window's event loop runs while it arrives.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <memory>

#include "app/pk_moviescan.h"
#include "framework/qs_tools.h"
#include "tests/support/test_env.h"

namespace {

// Runs the event loop until `done` holds; false after 20 s.
bool RunUntil(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// A tree of `dirs` directories of `each` movies, plus files that are not
// movies.
QString MakeTree(int dirs, int each) {
  const QString root = testenv::NewTempDir("scan");
  for (int d = 0; d < dirs; ++d)
    for (int i = 0; i < each; ++i)
      EXPECT_TRUE(testenv::WriteFile(QStringLiteral("%1/d%2/m%3.avi").arg(root).arg(d).arg(i), ""));
  EXPECT_TRUE(testenv::WriteFile(root + "/notes.txt", ""));
  EXPECT_TRUE(testenv::WriteFile(root + "/top.AVI", ""));
  return root;
}

// What a scan delivered: "F" per file, "S" per slice end, "D" when done,
// "T" for each turn of a zero timer meanwhile.
struct TLog {
  QStringList files;
  QString events;
  int done = 0;
};

std::unique_ptr<TMovieDirScan> StartScan(QObject* context, const QString& mask, bool recurse, TLog& log,
                                         int msPerFile = 0) {
  return std::make_unique<TMovieDirScan>(
      context, mask, recurse,
      [&log, msPerFile](TFoundMovie& found) {
        EXPECT_TRUE(found.Path.endsWith(found.Entry.Name));
        log.files << found.Path;
        log.events += QLatin1Char('F');
        if (msPerFile) QThread::msleep(msPerFile);
      },
      [&log] { log.events += QLatin1Char('S'); }, [&log] {
        log.events += QLatin1Char('D');
        ++log.done;
      });
}

}  // namespace

TEST(MovieDirScan, DeliversEveryMovieOnceInTheWalksOrderThenEndsOnce) {
  const QString root = MakeTree(4, 300);
  QStringList expected;
  ForEachFileTree(root + "/*.avi", -1, [&](const QString& path, const TSearchRec&) { expected << path; });
  ASSERT_EQ(expected.size(), 4 * 300 + 1);
  QStringList flat;
  ForEachFile(root + "/*.avi", [&](const QString& path, const TSearchRec&) { flat << path; });

  QObject context;
  for (const bool recurse : {true, false}) {
    TLog log;
    auto scan = StartScan(&context, root + "/*.avi", recurse, log);
    ASSERT_TRUE(RunUntil([&] { return log.done > 0; }));
    EXPECT_EQ(log.files, recurse ? expected : flat);
    // Every slice ends after at least one file; the end comes last.
    EXPECT_TRUE(log.events.endsWith("SD")) << qPrintable(log.events.right(10));
    EXPECT_FALSE(log.events.contains("SS"));
    EXPECT_FALSE(log.events.startsWith('S'));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.done, 1);
  }
}

TEST(MovieDirScan, AnEmptyOrMissingDirectoryEndsWithNothingDelivered) {
  QObject context;
  for (const QString& dir : {testenv::NewTempDir("empty"), testenv::NewTempDir("gone") + "/missing"}) {
    TLog log;
    auto scan = StartScan(&context, dir + "/*.avi", true, log);
    ASSERT_TRUE(RunUntil([&] { return log.done > 0; }));
    EXPECT_EQ(log.events, "D");
  }
}

TEST(MovieDirScan, TheEventLoopRunsBetweenSlicesAndTheEndWaitsForTheLastFile) {
  const QString root = MakeTree(1, 60);
  QObject context;
  TLog log;
  // Each file costs 2 ms on the window's side: 120 ms in all, far more than
  // one slice.
  auto scan = StartScan(&context, root + "/*.avi", true, log, 2);
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, [&] { log.events += QLatin1Char('T'); });
  ticks.start(0);
  ASSERT_TRUE(RunUntil([&] { return log.done > 0; }));
  ticks.stop();
  EXPECT_EQ(log.files.size(), 61);
  const QString delivered = QString(log.events).remove('T');
  EXPECT_GT(delivered.count('S'), 2);
  // The timer ran between slices, not only before the first or after the end.
  const qsizetype first = log.events.indexOf('F'), last = log.events.lastIndexOf('F');
  EXPECT_TRUE(log.events.mid(first, last - first).contains('T')) << qPrintable(log.events);
  EXPECT_GT(log.events.indexOf('D'), last);
}

TEST(MovieDirScan, ACancelledOrDestroyedScanDeliversNothingMore) {
  const QString root = MakeTree(3, 200);
  QObject context;
  {
    TLog log;
    auto scan = StartScan(&context, root + "/*.avi", true, log, 1);
    ASSERT_TRUE(RunUntil([&] { return log.events.contains('S'); }));
    scan->Cancel();
    const QString seen = log.events;
    QThread::msleep(100);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(log.events, seen);
    EXPECT_EQ(log.done, 0);
  }
  {
    TLog log;
    auto scan = StartScan(&context, root + "/*.avi", true, log);
    scan.reset();  // at once, with the worker perhaps still walking
    QThread::msleep(100);
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.events.isEmpty());
  }
}
