#include <gtest/gtest.h>

#include "app/pk_str.h"
#include "framework/qs_contexte.h"
#include "framework/qs_stringlist.h"

// The registration order is the numbering of every language file.
TEST(LauncherStrings, FollowTheFrameworkStringsInFileOrder) {
  InitializeSettingsUnit();
  InitializeLauncherStrings();
  ASSERT_EQ(AppStrings->Count(), 31);
  const QStringList expected = {"Select movies directory",
                                "Seen %d times",
                                "Last seen the ",
                                "Created the ",
                                "Size ",
                                "Not enough free space on hard disk to copy the movie.",
                                "Subtitle files : %d",
                                "Ini file : %s",
                                "No change",
                                "Settings",
                                "Position : %s",
                                "Go to position",
                                "The movie %s is no longer there."};
  EXPECT_EQ(AppStrings->Lines().mid(9, expected.size()), expected);
  EXPECT_EQ(sSelectMovieDir, 9);
  EXPECT_EQ(sNoFreeSpace, 14);
  EXPECT_EQ(sGoToPosition, 20);
  EXPECT_EQ(sMovieGone, 21);
  // Later texts follow, so that existing language files keep their numbers.
  EXPECT_EQ(sNoMovieDir, 22);
  EXPECT_EQ(sSoundOff, 30);
  FinalizeSettingsUnit();
}
