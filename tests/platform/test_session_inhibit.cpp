#include <gtest/gtest.h>

#include "framework/qs_tools.h"
#include "platform/session_inhibit.h"
#include "tests/support/private_session_bus.h"
#include "tests/support/test_env.h"

TEST(SessionInhibit, HoldsOffIdleBlankingOnceAndGivesTheSameHoldBack) {
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.Ready());
  EXPECT_TRUE(platform::InhibitSessionIdle("Playing a movie"));
  EXPECT_TRUE(platform::SessionIdleInhibited());
  EXPECT_FALSE(platform::InhibitSessionIdle("Playing a movie"));  // held already
  EXPECT_TRUE(platform::ReleaseSessionIdle());
  EXPECT_FALSE(platform::ReleaseSessionIdle());
  EXPECT_EQ(bus.Service().WaitForCalls(2), QStringList({"Inhibit Playing a movie", "UnInhibit 4711"}));
}

TEST(SessionInhibit, TheScreenSaverSwitchesUseTheSessionWithoutAnXServer) {
  qunsetenv("DISPLAY");
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.Ready());
  EXPECT_TRUE(DisableScreenSaver());  // the session's blanking was on and is now held off
  EXPECT_FALSE(DisableScreenSaver());
  EXPECT_TRUE(EnableScreenSaver());
  EXPECT_FALSE(platform::SessionIdleInhibited());
}

TEST(SessionInhibit, NoSessionBusMeansNothingIsHeldAndNoBusIsStarted) {
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("XDG_RUNTIME_DIR", testenv::NewTempDir("runtime").toLocal8Bit());
  EXPECT_FALSE(platform::InhibitSessionIdle("Playing a movie"));
  EXPECT_FALSE(platform::ReleaseSessionIdle());
}
