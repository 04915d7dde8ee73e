#include <gtest/gtest.h>

#include "platform/mount_table.h"

namespace {

const QByteArray kMountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
    "40 22 11:0 / /media/user/MY\\040DISC ro,nosuid,nodev - iso9660 /dev/sr0 ro,uid=1000\n"
    "41 22 0:45 / /mnt/no\\134optional rw - tmpfs tmpfs rw\n"
    "garbage line without separator\n"
    "\n";

}  // namespace

TEST(MountTable, ParsesEntriesWithEscapesAndOptionalFields) {
  const QList<platform::MountEntry> table = platform::ParseMountInfo(kMountInfo);
  ASSERT_EQ(table.size(), 3);
  EXPECT_EQ(table[0].Device, "/dev/sda1");
  EXPECT_EQ(table[0].MountDir, "/");
  EXPECT_EQ(table[1].MountDir, "/media/user/MY DISC");
  EXPECT_EQ(table[1].FsType, "iso9660");
  EXPECT_EQ(table[1].Options, "ro,nosuid,nodev ro,uid=1000");
  EXPECT_EQ(table[1].MountId, 40);  // tells a disc swapped between two reads from the one before
  EXPECT_EQ(table[2].MountDir, "/mnt/no\\optional");
  EXPECT_EQ(platform::MountDirOf("/dev/sr0", table), "/media/user/MY DISC");
  EXPECT_EQ(platform::MountDirOf("/dev/sr1", table), "");
  EXPECT_EQ(platform::MountDirOf("", table), "");
}

TEST(MountTable, ReadsTheRunningSystemsTable) {
  const QList<platform::MountEntry> table = platform::ReadMountTable();
  ASSERT_FALSE(table.isEmpty());
  bool hasRoot = false;
  for (const auto& e : table) hasRoot = hasRoot || e.MountDir == "/";
  EXPECT_TRUE(hasRoot);
}
