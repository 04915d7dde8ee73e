#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/sleep_inhibit.h"
#include "tests/support/private_system_bus.h"
#include "tests/support/test_env.h"

TEST(SleepInhibit, HoldsOneBlockLockUntilReleasedAndNoneAfter) {
  PrivateSystemBus bus;
  ASSERT_TRUE(bus.Ready());
  EXPECT_TRUE(platform::InhibitIdleSleep(QStringLiteral("Playing a movie")));
  EXPECT_TRUE(platform::IdleSleepInhibited());
  EXPECT_FALSE(platform::InhibitIdleSleep(QStringLiteral("Playing a movie")));  // held already
  EXPECT_EQ(bus.Login1().Calls(), QStringList{QStringLiteral("idle:sleep Cinvo Playing a movie block")});
  EXPECT_TRUE(bus.Login1().WaitForHeld(1));

  // A program started meanwhile (the desktop's opener) does not inherit it.
  const pid_t child = ::fork();
  if (child == 0) {
    ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(child, 0);
  EXPECT_TRUE(platform::ReleaseIdleSleep());
  EXPECT_FALSE(platform::ReleaseIdleSleep());
  EXPECT_TRUE(bus.Login1().WaitForHeld(0)) << "the lock outlived its release";
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);

  // Taken again on the next play.
  EXPECT_TRUE(platform::InhibitIdleSleep(QStringLiteral("Playing a movie")));
  EXPECT_TRUE(bus.Login1().WaitForHeld(1));
  EXPECT_TRUE(platform::ReleaseIdleSleep());
  EXPECT_TRUE(bus.Login1().WaitForHeld(0));
}

TEST(SleepInhibit, WithoutALoginManagerNothingIsHeld) {
  PrivateSystemBus bus(false);
  ASSERT_TRUE(bus.Ready());
  EXPECT_FALSE(platform::InhibitIdleSleep(QStringLiteral("Playing a movie")));
  EXPECT_FALSE(platform::IdleSleepInhibited());
  EXPECT_FALSE(platform::ReleaseIdleSleep());
}

TEST(SleepInhibit, WithoutASystemBusNothingIsHeld) {
  qputenv("DBUS_SYSTEM_BUS_ADDRESS",
          ("unix:path=" + testenv::NewTempDir(QStringLiteral("nobus")) + "/socket").toLocal8Bit());
  EXPECT_FALSE(platform::InhibitIdleSleep(QStringLiteral("Playing a movie")));
  EXPECT_FALSE(platform::ReleaseIdleSleep());
}
