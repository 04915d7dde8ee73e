// Test entry: a private environment for each test process, then the tests
// inside a running application object.
#include <gtest/gtest.h>

#include "framework/qs_application.h"
#include "tests/support/test_env.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("CINVO_AUDIO_SINK")) qputenv("CINVO_AUDIO_SINK", "fakesink");
  // Never the user's own settings, records or desktop configuration.
  const QByteArray dir = testenv::ProcessTempDir().toLocal8Bit();
  qputenv("CINVO_REGISTRY", testenv::HivePath().toLocal8Bit());
  qputenv("CINVO_MOVIELIST", testenv::MovieListFile().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", dir + "/config");
  qputenv("XDG_RUNTIME_DIR", dir);
  // Recently used files and thumbnails of the tests' movies stay here too.
  qputenv("XDG_DATA_HOME", dir + "/data");
  qputenv("XDG_CACHE_HOME", dir + "/cache");
  // Nor the desktop session's bus, nor the machine's login manager: a test
  // that needs one brings its own.
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir + "/no-system-bus");

  TqsApplication app(argc, argv);
  SetErrorDisplay([](const QString& message) { testenv::RecordedErrors().append(message); });
  return RUN_ALL_TESTS();
}
