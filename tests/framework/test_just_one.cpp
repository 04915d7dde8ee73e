#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "framework/qs_JustOne.h"

// The test program stands for the program file: its runtime directory is
// private to this test process.
TEST(JustOne, ASecondStartBringsTheRunningWindowBackFromTheTaskBarStillMaximised) {
  QWidget window;
  window.showMaximized();
  window.setWindowState(window.windowState() | Qt::WindowMinimized);
  ASSERT_TRUE(window.isMinimized());

  ASSERT_TRUE(IsFirstInstance());
  ListenForLaterInstances([&] { return &window; });
  EXPECT_FALSE(IsFirstInstance());
  QElapsedTimer timer;
  timer.start();
  while (window.isMinimized() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(window.isMaximized());

  CloseInstanceMutex();
  EXPECT_TRUE(IsFirstInstance());
  CloseInstanceMutex();
}

TEST(JustOne, AHiddenWindowStaysHidden) {
  QWidget window;
  BringWindowForward(&window);
  EXPECT_TRUE(window.isHidden());
  BringWindowForward(nullptr);
}
