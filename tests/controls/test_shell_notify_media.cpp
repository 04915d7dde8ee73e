// Media inserted and removed through the real mount table: mounts tmpfs file
// systems in place of discs, so it holds the mount_table lock.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

#include "controls/qs_ShellNotify.h"
#include "platform/change_source.h"
#include "platform/mount_table.h"
#include "tests/controls/notify_recorder.h"
#include "tests/support/test_env.h"

using notifytest::Recorder;

namespace {

// Runs a shell command and waits for it; the event loop does not run meanwhile.
bool Shell(const QString& command) {
  QProcess p;
  p.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
  return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

int MountsAt(const QString& dir) {
  int n = 0;
  for (const platform::MountEntry& e : platform::ReadMountTable()) n += e.MountDir == dir;
  return n;
}

// The lines about `dirs`: other programs on the machine may mount too.
QStringList About(const QStringList& heard, const QStringList& dirs) {
  QStringList kept;
  for (const QString& line : heard)
    if (dirs.contains(line.section(QLatin1Char(' '), 1))) kept.append(line);
  return kept;
}

// Leaves nothing mounted below the test's directories, whatever happened.
struct Unmounter {
  QStringList dirs;
  ~Unmounter() {
    for (const QString& dir : dirs)
      for (int i = 0; i < 5 && MountsAt(dir) > 0; ++i) Shell("umount -l '" + dir + "'");
  }
};

}  // namespace

TEST(ShellNotifyMedia, InsertedOnceEvenWhenReportedTwiceAndAgainAfterRemoval) {
  const QString disc = testenv::NewTempDir("cdrom");
  const QString other = testenv::NewTempDir("usb");
  Unmounter cleanup{{disc, other}};
  if (!Shell("mount -t tmpfs cinvo-probe '" + disc + "' && umount '" + disc + "'"))
    GTEST_SKIP() << "mounting is not permitted here";

  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnMediaInserted(r.One("inserted"));
  notify.SetOnMediaRemoved(r.One("removed"));
  ASSERT_TRUE(notify.Registered());

  // Two mounts on one directory before the table is read again: two new
  // entries there, one insertion heard.
  ASSERT_TRUE(Shell("mount -t tmpfs cinvo-disc '" + disc + "' && mount -t tmpfs cinvo-disc '" + disc + "'"));
  ASSERT_TRUE(r.WaitToHear("inserted " + disc));
  // Anything more about the disc would have come before this.
  ASSERT_TRUE(Shell("mount -t tmpfs cinvo-usb '" + other + "'"));
  ASSERT_TRUE(r.WaitToHear("inserted " + other));
  EXPECT_EQ(About(r.heard, {disc, other}), QStringList({"inserted " + disc, "inserted " + other}));

  ASSERT_TRUE(Shell("umount '" + disc + "' && umount '" + disc + "'"));
  ASSERT_TRUE(r.WaitToHear("removed " + disc));
  ASSERT_TRUE(Shell("mount -t tmpfs cinvo-disc2 '" + disc + "'"));
  ASSERT_TRUE(notifytest::WaitFor([&] { return r.heard.count("inserted " + disc) == 2; }));
  ASSERT_TRUE(Shell("umount '" + other + "'"));
  ASSERT_TRUE(r.WaitToHear("removed " + other));
  EXPECT_EQ(About(r.heard, {disc, other}), QStringList({"inserted " + disc, "inserted " + other, "removed " + disc,
                                                        "inserted " + disc, "removed " + other}));

  // Without handlers the source stops listening.
  notify.SetOnMediaInserted(nullptr);
  notify.SetOnMediaRemoved(nullptr);
  EXPECT_FALSE(notify.Source().Active());
}

TEST(ShellNotifyMedia, AFileSystemMountedInAWatchedTreeIsWatchedInItsTurn) {
  // The disc's mount directory is one of the trees the library watches.
  const QString root = testenv::NewTempDir("movies");
  const QString disc = root + "/cdrom";
  ASSERT_TRUE(QDir(root).mkdir("cdrom"));
  Unmounter cleanup{{disc}};
  if (!Shell("mount -t tmpfs cinvo-probe '" + disc + "' && umount '" + disc + "'"))
    GTEST_SKIP() << "mounting is not permitted here";

  TSHChangeNotify notify;
  Recorder r;
  notify.SetOnUpdateDir(r.One("updated"));
  notify.SetOnCreate(r.One("created"));
  notify.SetWatchedTrees({root});

  ASSERT_TRUE(Shell("mount -t tmpfs cinvo-disc '" + disc + "'"));
  ASSERT_TRUE(r.WaitToHear("updated " + disc));
  ASSERT_TRUE(testenv::WriteFile(disc + "/on-disc.avi", "x"));
  EXPECT_TRUE(r.WaitToHear("created " + disc + "/on-disc.avi"));

  ASSERT_TRUE(Shell("umount '" + disc + "'"));
  ASSERT_TRUE(notifytest::WaitFor([&] { return r.heard.count("updated " + disc) == 2; }));
  ASSERT_TRUE(testenv::WriteFile(disc + "/below.avi", "x"));
  EXPECT_TRUE(r.WaitToHear("created " + disc + "/below.avi"));
}
