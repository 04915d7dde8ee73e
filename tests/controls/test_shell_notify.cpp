#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "controls/qs_ShellNotify.h"
#include "framework/qs_exception.h"
#include "platform/change_source.h"
#include "tests/controls/notify_recorder.h"
#include "tests/support/test_env.h"

using notifytest::Recorder;
using notifytest::WaitFor;

namespace {

constexpr std::uint32_t kUpdateDir = 0x1000;
constexpr std::uint32_t kCreate = 0x2;
constexpr std::uint32_t kRenameItem = 0x1;

// Posts a notification as the system would deliver it and lets it arrive.
void Deliver(TSHChangeNotify& notify, unsigned message, std::uint32_t code, const QString& path1,
             const QString& path2 = {}, qint64 timeMs = 1000) {
  QCoreApplication::postEvent(notify.NotifyWindow(), new TSHNotifyMessage(message, code, path1, path2, timeMs));
  testenv::DrainEvents();
}

bool Touch(const QString& path) { return testenv::WriteFile(path, "x"); }

}  // namespace

TEST(ShellNotify, WithoutHandlersNeverRegistersNorRaises) {
  TSHChangeNotify notify;
  EXPECT_EQ(notify.MessageNo(), 1024);
  EXPECT_EQ(notify.TextCase(), tcAsIs);
  EXPECT_NO_THROW(notify.UpdateRegistration());
  EXPECT_NO_THROW(notify.SetWatchedTrees({testenv::NewTempDir()}));
  EXPECT_FALSE(notify.Registered());
  EXPECT_EQ(notify.EventMask(), 0u);
  EXPECT_FALSE(notify.Source().Active());
}

TEST(ShellNotify, HandlersMakeTheMaskAndRegistration) {
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnMediaInserted(r.One("inserted"));
  notify.SetOnMediaRemoved(r.One("removed"));
  notify.SetOnUpdateDir(r.One("updated"));
  EXPECT_EQ(notify.EventMask(), 0x00001060u);
  EXPECT_TRUE(notify.Registered());
  notify.SetOnMediaInserted(nullptr);
  notify.SetOnMediaRemoved(nullptr);
  notify.SetOnUpdateDir(nullptr);
  EXPECT_FALSE(notify.Registered());
}

TEST(ShellNotify, RepeatsAreSuppressedOneEventDeepWithoutRegardToCase) {
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnUpdateDir(r.One("updated"));
  notify.SetOnCreate(r.One("created"));
  Deliver(notify, 1024, kUpdateDir, "/m/Movies");
  Deliver(notify, 1024, kUpdateDir, "/M/movies");  // the same report again
  Deliver(notify, 1024, kCreate, "/m/Movies/a.avi");
  Deliver(notify, 1024, kUpdateDir, "/m/Movies");
  EXPECT_EQ(r.heard, QStringList({"updated /m/Movies", "created /m/Movies/a.avi", "updated /m/Movies"}));
}

TEST(ShellNotify, OnlyDispatchedEventsUpdateTheRepeatMemory) {
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnUpdateDir(r.One("updated"));
  Deliver(notify, 1024, kUpdateDir, "/m");
  Deliver(notify, 1024, kCreate, "/m/a.avi");   // no handler: ignored, not remembered
  Deliver(notify, 1024, 0x00040000, "/m/x");    // not an event code
  Deliver(notify, 1024, kUpdateDir, "/m");      // still a repeat of the first
  Deliver(notify, 1025, kUpdateDir, "/other");  // another message number
  EXPECT_EQ(r.heard, QStringList({"updated /m"}));
}

TEST(ShellNotify, TheSameEventLaterIsANewChange) {
  // A second file added to a directory must refresh its list again.
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnUpdateDir(r.One("updated"));
  Deliver(notify, 1024, kUpdateDir, "/m", {}, 1000);
  Deliver(notify, 1024, kUpdateDir, "/m", {}, 1000 + TSHChangeNotify::kRepeatWindowMs - 1);
  Deliver(notify, 1024, kUpdateDir, "/m", {}, 1000 + TSHChangeNotify::kRepeatWindowMs);
  EXPECT_EQ(r.heard, QStringList({"updated /m", "updated /m"}));
}

TEST(ShellNotify, TextCaseConvertsAfterTheRepeatCheck) {
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnRenameItem(r.Two("renamed"));
  notify.SetTextCase(tcUppercase);
  Deliver(notify, 1024, kRenameItem, "/m/a.avi", "/m/Bé.avi");
  Deliver(notify, 1024, kRenameItem, "/M/A.AVI", "/M/BÉ.AVI");  // repeat, compared as received
  notify.SetTextCase(tcLowercase);
  Deliver(notify, 1024, kRenameItem, "/M/C.avi", "");
  EXPECT_EQ(r.heard, QStringList({"renamed /M/A.AVI -> /M/BÉ.AVI", "renamed /m/c.avi -> "}));
}

TEST(ShellNotify, InterruptBitIsClearedAndFlagsCarryTheCode) {
  TSHChangeNotify notify;
  std::uint32_t flags = 0;
  QString path;
  notify.SetOnMediaInserted([&](TSHChangeNotify* sender, std::uint32_t f, const QString& p) {
    EXPECT_EQ(sender, &notify);
    flags = f;
    path = p;
  });
  Deliver(notify, 1024, TSHChangeNotify::kInterruptLevel | 0x20, "/media/cd");
  EXPECT_EQ(flags, 0x20u);
  EXPECT_EQ(path, "/media/cd");
}

TEST(ShellNotify, MessageNumberDecidesWhatIsHandled) {
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnUpdateDir(r.One("updated"));
  notify.SetMessageNo(2000);
  Deliver(notify, 1024, kUpdateDir, "/a");
  Deliver(notify, 2000, kUpdateDir, "/b");
  notify.SetMessageNo(-5);
  Deliver(notify, static_cast<unsigned>(-5), kUpdateDir, "/c");
  // A plain message of the right number carries no paths.
  notify.SetMessageNo(1024);
  QCoreApplication::postEvent(notify.NotifyWindow(), new TqsMessageEvent(1024, 0, kUpdateDir));
  testenv::DrainEvents();
  EXPECT_EQ(r.heard, QStringList({"updated /b", "updated "}));
}

TEST(ShellNotify, RefusedRegistrationRaisesAndStaysUnregistered) {
  TSHChangeNotify notify;
  notify.Source().SetMountTableFile(testenv::ProcessTempDir() + "/no-such-table");
  QString message;
  try {
    notify.SetOnMediaInserted([](TSHChangeNotify*, std::uint32_t, const QString&) {});
  } catch (const Exception& e) {
    message = e.Message();
  }
  EXPECT_EQ(message, "Could not register SHChangeNotify");
  EXPECT_FALSE(notify.Registered());
  notify.Source().SetMountTableFile(platform::MountTablePath());
  EXPECT_NO_THROW(notify.UpdateRegistration());
  EXPECT_TRUE(notify.Registered());
}

TEST(ShellNotify, ReportsFilesAndDirectoriesInWatchedTrees) {
  const QString root = testenv::NewTempDir("movies");
  ASSERT_TRUE(QDir(root).mkpath("old/deep"));
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnUpdateDir(r.One("updated"));
  notify.SetOnCreate(r.One("created"));
  notify.SetOnMkDir(r.One("mkdir"));
  notify.SetOnDelete(r.One("deleted"));
  notify.SetWatchedTrees({root});

  ASSERT_TRUE(Touch(root + "/a.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/a.avi"));
  // The directory's update comes a little later; registering anew meanwhile
  // (a disc's root joins the trees) does not lose it.
  notify.SetWatchedTrees({root, testenv::NewTempDir("cdrom")});
  EXPECT_TRUE(r.WaitToHear("updated " + root));

  // A new directory and at once a file in it: the file is seen whether it
  // came before or after the new directory's watch.
  ASSERT_TRUE(QDir(root).mkdir("new"));
  ASSERT_TRUE(Touch(root + "/new/b.avi"));
  EXPECT_TRUE(r.WaitToHear("mkdir " + root + "/new"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/new/b.avi"));
  EXPECT_TRUE(r.WaitToHear("updated " + root + "/new"));

  // Existing subdirectories are watched to any depth.
  ASSERT_TRUE(Touch(root + "/old/deep/c.avi"));
  EXPECT_TRUE(r.WaitToHear("updated " + root + "/old/deep"));

  ASSERT_TRUE(QFile::remove(root + "/a.avi"));
  EXPECT_TRUE(r.WaitToHear("deleted " + root + "/a.avi"));
}

TEST(ShellNotify, RenamesCarryBothPathsAndMovedTreesStayWatched) {
  const QString root = testenv::NewTempDir("movies");
  const QString outside = testenv::NewTempDir("elsewhere");
  ASSERT_TRUE(QDir(root).mkpath("dir/sub"));
  ASSERT_TRUE(Touch(root + "/a.avi"));
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnRenameItem(r.Two("renamed"));
  notify.SetOnRenameFolder(r.Two("folder"));
  notify.SetOnCreate(r.One("created"));
  notify.SetOnDelete(r.One("deleted"));
  notify.SetOnRmDir(r.One("rmdir"));
  notify.SetWatchedTrees({root});

  ASSERT_TRUE(QFile::rename(root + "/a.avi", root + "/dir/b.avi"));
  EXPECT_TRUE(r.WaitToHear("renamed " + root + "/a.avi -> " + root + "/dir/b.avi"));

  ASSERT_TRUE(QDir(root).rename("dir", "films"));
  EXPECT_TRUE(r.WaitToHear("folder " + root + "/dir -> " + root + "/films"));
  // The renamed tree reports its new paths.
  ASSERT_TRUE(Touch(root + "/films/sub/c.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/films/sub/c.avi"));

  // Out of the trees is gone, in from outside is new.
  ASSERT_TRUE(QFile::rename(root + "/films/b.avi", outside + "/b.avi"));
  EXPECT_TRUE(r.WaitToHear("deleted " + root + "/films/b.avi"));
  ASSERT_TRUE(QFile::rename(outside + "/b.avi", root + "/b.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/b.avi"));
  ASSERT_TRUE(QDir().rename(root + "/films", outside + "/gone"));
  EXPECT_TRUE(r.WaitToHear("rmdir " + root + "/films"));
  // What moved away is no longer watched.
  ASSERT_TRUE(Touch(outside + "/gone/sub/d.avi"));
  ASSERT_TRUE(Touch(root + "/e.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/e.avi"));
  for (const QString& line : r.heard) EXPECT_FALSE(line.contains("d.avi")) << line.toStdString();
}

TEST(ShellNotify, LinkLoopsInATreeAreWatchedOnce) {
  const QString root = testenv::NewTempDir("movies");
  ASSERT_TRUE(QDir(root).mkpath("sub"));
  ASSERT_TRUE(QFile::link(root, root + "/sub/up"));
  // Whichever name the directory listing gives first, the real path counts.
  ASSERT_TRUE(QFile::link(root + "/sub", root + "/again"));
  ASSERT_TRUE(QFile::link(root + "/sub", root + "/zagain"));
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnCreate(r.One("created"));
  notify.SetWatchedTrees({root});
  EXPECT_EQ(notify.Source().WatchCount(), 2);
  ASSERT_TRUE(Touch(root + "/sub/a.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/sub/a.avi"));
}

TEST(ShellNotify, WatchLimitIsReportedOnceAndWatchingGoesOn) {
  const QString root = testenv::NewTempDir("movies");
  for (const char* sub : {"a", "b", "c"}) ASSERT_TRUE(QDir(root).mkdir(sub));
  testenv::RecordedErrors().clear();
  TSHChangeNotify notify;
  notify.Source().SetWatchLimit(2);
  Recorder r;
  notify.SetWatchedTrees({root});
  notify.SetOnUpdateDir(r.One("updated"));
  notify.SetOnCreate(r.One("created"));  // registers again: no second message
  EXPECT_TRUE(notify.Registered());
  EXPECT_EQ(notify.Source().WatchCount(), 2);

  ASSERT_TRUE(Touch(root + "/x.avi"));
  EXPECT_TRUE(r.WaitToHear("updated " + root));
  ASSERT_TRUE(QDir(root).mkdir("d"));  // no room for its watch either
  ASSERT_TRUE(Touch(root + "/y.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/y.avi"));
  EXPECT_EQ(notify.Source().WatchCount(), 2);
  testenv::DrainEvents();

  ASSERT_EQ(testenv::RecordedErrors().size(), 1);
  const QString message = testenv::RecordedErrors().first();
  EXPECT_TRUE(message.contains("fs.inotify.max_user_watches")) << message.toStdString();
  EXPECT_TRUE(message.contains("sysctl fs.inotify.max_user_watches=")) << message.toStdString();
}

TEST(ShellNotify, ARootMissingAtStartIsWatchedFromTheMomentItIsMade) {
  const QString base = testenv::NewTempDir("later");
  const QString root = base + "/drive/Movies";  // neither exists yet
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnUpdateDir(r.One("updated"));
  notify.SetOnCreate(r.One("created"));
  notify.SetWatchedTrees({root});
  EXPECT_EQ(notify.Source().WatchCount(), 0);

  // Made one level at a time, and a file put in at once: the root's
  // appearance is an update of its own, and what it holds is seen.
  ASSERT_TRUE(QDir(base).mkdir("drive"));
  ASSERT_TRUE(QDir(base).mkpath("drive/Movies"));
  ASSERT_TRUE(Touch(root + "/a.avi"));
  EXPECT_TRUE(r.WaitToHear("updated " + root));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/a.avi"));
  ASSERT_TRUE(Touch(root + "/b.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/b.avi"));
  for (const QString& line : r.heard) EXPECT_FALSE(line.contains(base + "/drive ")) << line.toStdString();
}

TEST(ShellNotify, ARootDeletedAndMadeAgainIsWatchedAgain) {
  const QString base = testenv::NewTempDir("again");
  const QString root = base + "/Movies";
  ASSERT_TRUE(QDir(base).mkpath("Movies"));
  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnUpdateDir(r.One("updated"));
  notify.SetOnCreate(r.One("created"));
  notify.SetOnRmDir(r.One("rmdir"));
  notify.SetWatchedTrees({root});

  // rm -rf Movies; mkdir Movies
  ASSERT_TRUE(QDir(root).removeRecursively());
  ASSERT_TRUE(QDir(base).mkdir("Movies"));
  EXPECT_TRUE(r.WaitToHear("rmdir " + root));
  ASSERT_TRUE(Touch(root + "/a.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/a.avi"));

  // Its parent goes too, then both come back.
  r.heard.clear();
  ASSERT_TRUE(QDir(base).removeRecursively());
  EXPECT_TRUE(r.WaitToHear("rmdir " + root));
  ASSERT_TRUE(QDir().mkpath(root));
  EXPECT_TRUE(r.WaitToHear("updated " + root));
  ASSERT_TRUE(Touch(root + "/b.avi"));
  EXPECT_TRUE(r.WaitToHear("created " + root + "/b.avi"));
}
