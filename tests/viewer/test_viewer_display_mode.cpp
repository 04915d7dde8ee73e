// The viewer on a screen that does not offer 800 x 600: the movie plays at
// the screen's own mode and the user is told once per run. Switches the
// shared X screen's modes: the binary holds the lock x11_display_state.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include "app/pk_param.h"
#include "app/pk_str.h"
#include "platform/display_settings.h"
#include "tests/support/display_modes.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/test_movies.h"
#include "tests/viewer/graph_test_helpers.h"
#include "viewer/filter_graph.h"
#include "viewer/pk_fViewer.h"

namespace {

// Takes 800 x 600 off the screen's output; false when the screen still
// offers it afterwards (or there is no X server or xrandr).
bool Withdraw800x600() {
  if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable(QStringLiteral("xrandr")).isEmpty())
    return false;
  QProcess query;
  query.start(QStringLiteral("xrandr"), {"--query"});
  query.waitForFinished();
  const QString output = QString::fromLocal8Bit(query.readAllStandardOutput()).section('\n', 1, 1).section(' ', 0, 0);
  QProcess::execute(QStringLiteral("xrandr"), {"--delmode", output, "800x600"});
  QProcess::execute(QStringLiteral("xrandr"), {"--rmmode", "800x600"});
  const auto now = platform::CurrentDisplaySettings();
  return now && platform::TestDisplaySettings({800, 600, now->BitsPerPixel, 0},
                                              platform::kChangeWidth | platform::kChangeHeight) ==
                    platform::kDisplayChangeBadMode;
}

class ViewerDisplayMode : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    InitializeLauncherStrings();
    Parameters().Load();
  }
  void TearDown() override {
    ReleaseParameters();
    FrameworkTest::TearDown();
    testenv::Offer800x600();  // as the other cases of the suite expect it
  }
};

}  // namespace

TEST_F(ViewerDisplayMode, Without800x600TheMoviePlaysAndTheMessageComesOncePerRun) {
  if (!Withdraw800x600()) GTEST_SKIP() << "cannot take 800 x 600 off the screen";
  const auto before = platform::CurrentDisplaySettings();
  Parameters().ScreenSettingsMode = 1;
  const QString movie = testmovies::MovieFile(testmovies::TMovieKind::MjpegPcm);
  ASSERT_FALSE(movie.isEmpty());
  TFrmViewer viewer;
  for (int run = 0; run < 2; ++run) {
    EXPECT_NO_THROW(viewer.OpenMovie(movie, nullptr));
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_TRUE(graphtest::WaitFor([&] { return viewer.FilterGraph->GraphState() == 3; }));  // running
    testenv::DrainEvents();
    EXPECT_EQ(testenv::RecordedErrors(), QStringList({"Unsupported graphic mode"}));
    viewer.close();
  }
  const auto after = platform::CurrentDisplaySettings();
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->Width, before->Width);
  EXPECT_EQ(after->Height, before->Height);
}
