#include <gtest/gtest.h>

#include "platform/session_inhibit.h"
#include "tests/support/private_session_bus.h"
#include "viewer/video_window.h"

namespace {

// Without an X server only the session's hold is in play, so what the
// window asks for is seen exactly.
class VideoWindowScreenSaving : public ::testing::Test {
 protected:
  void SetUp() override { qunsetenv("DISPLAY"); }
  PrivateSessionBus bus;
};

}  // namespace

TEST_F(VideoWindowScreenSaving, HeldWhileShownAndGivenBackWhenHidden) {
  ASSERT_TRUE(bus.Ready());
  TDSVideoWindowEx2 window;
  window.SetNoScreenSaver(true);
  EXPECT_FALSE(platform::SessionIdleInhibited());  // not before it is shown
  window.show();
  EXPECT_TRUE(platform::SessionIdleInhibited());
  window.hide();
  EXPECT_FALSE(platform::SessionIdleInhibited());
  window.show();
  window.SetNoScreenSaver(false);
  EXPECT_FALSE(platform::SessionIdleInhibited());
  EXPECT_EQ(bus.Service().WaitForCalls(4).size(), 4);
}

TEST_F(VideoWindowScreenSaving, APreviewWindowHoldsNothingAndADestroyedWindowGivesItsHoldBack) {
  ASSERT_TRUE(bus.Ready());
  {
    TDSVideoWindowEx2 preview;
    preview.show();
    EXPECT_FALSE(platform::SessionIdleInhibited());
  }
  {
    TDSVideoWindowEx2 viewer;
    viewer.SetNoScreenSaver(true);
    viewer.show();
    EXPECT_TRUE(platform::SessionIdleInhibited());
  }
  EXPECT_FALSE(platform::SessionIdleInhibited());
}
