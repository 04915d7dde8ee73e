#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include "framework/qs_tools.h"
#include "platform/display_settings.h"
#include "platform/screen_saving.h"
#include "tests/support/display_modes.h"

using testenv::Offer800x600;

namespace {

bool HasDisplay() { return !qEnvironmentVariableIsEmpty("DISPLAY"); }

QString Xset(const QStringList& args) {
  QProcess xset;
  xset.start(QStringLiteral("xset"), args);
  xset.waitForFinished();
  return QString::fromLocal8Bit(xset.readAllStandardOutput());
}

// The screen saver timeout as the server reports it; -1 when unknown.
int SaverTimeout() {
  const QString out = Xset({"q"});
  const qsizetype at = out.indexOf(QStringLiteral("timeout:"));
  return at < 0 ? -1 : out.mid(at + 8).trimmed().section(' ', 0, 0).toInt();
}

QString ErrorOf(const TDisplayMode& mode) {
  try {
    ChangeDisplayMode(mode);
  } catch (const EToolsError& e) {
    return e.Message();
  }
  return QStringLiteral("<no error>");
}

}  // namespace

TEST(DisplayRequest, KeptFieldsComeFromTheCurrentModeAndOnlyDifferencesAreMarked) {
  const TDisplayMode current = MakeDisplayMode(800, 600, 24, 0);
  const TDisplayRequest same = MakeDisplayRequest(current, MakeDisplayMode(800, 600, -1, -1));
  EXPECT_EQ(same.Fields, 0u);
  EXPECT_EQ(same.Mode.BitsPerPixel, 24);

  const TDisplayRequest smaller = MakeDisplayRequest(MakeDisplayMode(1280, 1024, 24, 0), MakeDisplayMode(800, 0, -5, 60));
  EXPECT_EQ(smaller.Fields, platform::kChangeWidth | platform::kChangeFrequency);
  EXPECT_EQ(smaller.Mode.Width, 800);
  EXPECT_EQ(smaller.Mode.Height, 1024);  // below 1: kept
  EXPECT_EQ(smaller.Mode.BitsPerPixel, 24);
  EXPECT_EQ(smaller.Mode.Frequency, 60);
}

TEST(DisplayTools, WithoutAnXServerNothingIsActiveAndNothingChanges) {
  const QByteArray saved = qgetenv("DISPLAY");
  qunsetenv("DISPLAY");
  EXPECT_FALSE(DisableScreenSaver());
  EXPECT_FALSE(DisableLowPower());
  EXPECT_FALSE(DisablePowerOff());
  EXPECT_FALSE(EnableScreenSaver());
  EXPECT_FALSE(EnableLowPower());
  EXPECT_FALSE(EnablePowerOff());
  EXPECT_EQ(ErrorOf(MakeDisplayMode(800, 600, -1, -1)), "<no error>");
  ApplyScreenSettingsMode(1);
  RestoreDisplayMode();
  if (!saved.isEmpty()) qputenv("DISPLAY", saved);
}

TEST(DisplayTools, ScreenSaverIsSwitchedOffAndBackWithItsOwnTimeout) {
  if (!HasDisplay()) GTEST_SKIP() << "no X server";
  if (QStandardPaths::findExecutable(QStringLiteral("xset")).isEmpty()) GTEST_SKIP() << "xset missing";
  Xset({"s", "321"});
  ASSERT_EQ(SaverTimeout(), 321);

  EXPECT_TRUE(DisableScreenSaver());
  EXPECT_EQ(SaverTimeout(), 0);
  EXPECT_FALSE(DisableScreenSaver());  // already off: reported as not active

  EXPECT_TRUE(EnableScreenSaver());
  EXPECT_EQ(SaverTimeout(), 321);
  Xset({"s", "default"});
}

TEST(DisplayTools, PowerPhasesWithoutDpmsReportNotActive) {
  if (!HasDisplay()) GTEST_SKIP() << "no X server";
  if (platform::ScreenPowerPhasesSupported()) GTEST_SKIP() << "this server has DPMS";
  EXPECT_FALSE(DisableLowPower());
  EXPECT_FALSE(DisablePowerOff());
  EXPECT_FALSE(EnableLowPower());
  EXPECT_FALSE(EnablePowerOff());
}

TEST(DisplayTools, ChangesTo800x600OnceAndRestores) {
  if (!HasDisplay()) GTEST_SKIP() << "no X server";
  const auto before = platform::CurrentDisplaySettings();
  ASSERT_TRUE(before);
  if (before->Width <= 800 || before->Height <= 600) GTEST_SKIP() << "screen too small";
  if (!Offer800x600()) GTEST_SKIP() << "xrandr missing";

  ApplyScreenSettingsMode(0);
  ApplyScreenSettingsMode(2);
  EXPECT_EQ(platform::CurrentDisplaySettings()->Width, before->Width);

  ApplyScreenSettingsMode(1);
  auto now = platform::CurrentDisplaySettings();
  EXPECT_EQ(now->Width, 800);
  EXPECT_EQ(now->Height, 600);
  EXPECT_EQ(now->BitsPerPixel, before->BitsPerPixel);
  // Already 800 x 600: nothing is asked of the display, so nothing fails.
  EXPECT_EQ(ErrorOf(MakeDisplayMode(800, 600, -1, -1)), "<no error>");

  RestoreDisplayMode();
  now = platform::CurrentDisplaySettings();
  EXPECT_EQ(now->Width, before->Width);
  EXPECT_EQ(now->Height, before->Height);
}

TEST(DisplayTools, ModesTheDisplayCannotShowRaiseUnsupported) {
  if (!HasDisplay()) GTEST_SKIP() << "no X server";
  const auto before = platform::CurrentDisplaySettings();
  ASSERT_TRUE(before);
  EXPECT_EQ(ErrorOf(MakeDisplayMode(123, 77, -1, -1)), "Unsupported graphic mode");
  EXPECT_EQ(ErrorOf(MakeDisplayMode(-1, -1, before->BitsPerPixel == 16 ? 8 : 16, -1)), "Unsupported graphic mode");
  EXPECT_EQ(platform::CurrentDisplaySettings()->Width, before->Width);
}
