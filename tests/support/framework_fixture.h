#pragma once
// Tests of windows and language files: the framework's single objects set
// up as at start-up, over a private, empty Languages directory.
#include <gtest/gtest.h>

#include "framework/qs_contexte.h"
#include "framework/qs_language.h"
#include "tests/support/test_env.h"

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testenv::RecordedErrors().clear();
    root_ = testenv::NewTempDir("app") + "/Languages";
    qputenv("CINVO_LANGUAGES", root_.toLocal8Bit());
    InitializeSettingsUnit();
    Language->SetLanguageIndex(0);
  }
  void TearDown() override {
    FinalizeSettingsUnit();
    qunsetenv("CINVO_LANGUAGES");
  }
  QString root_;  // the Languages directory
};
