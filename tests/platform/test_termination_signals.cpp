#include <gtest/gtest.h>

#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <thread>
#include <vector>

#include "platform/termination_signals.h"

namespace {

void RunEventsFor(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool WaitFor(const std::function<bool()>& condition) {
  QElapsedTimer timer;
  timer.start();
  while (!condition() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return condition();
}

void (*HandlerOf(int signal))(int) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler;
}

}  // namespace

TEST(TerminationSignals, EachSignalReachesTheHandlerOnThisThreadOnceDeliveryStarts) {
  platform::TTerminationSignals watcher;
  std::vector<int> caught;
  bool onThisThread = true;
  raise(SIGTERM);  // caught before anyone listens: kept, not lost
  RunEventsFor(100);

  watcher.Deliver([&](int signal) {
    caught.push_back(signal);
    onThisThread = onThisThread && QThread::currentThread() == QCoreApplication::instance()->thread();
  });
  std::thread other([] { kill(getpid(), SIGINT); });  // from another thread
  other.join();
  ASSERT_TRUE(WaitFor([&] { return caught.size() == 2; }));
  raise(SIGHUP);
  ASSERT_TRUE(WaitFor([&] { return caught.size() == 3; }));
  EXPECT_EQ(caught, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
  EXPECT_TRUE(onThisThread);
  // A second signal of a kind would end the process the default way.
  EXPECT_EQ(HandlerOf(SIGTERM), SIG_DFL);
}

TEST(TerminationSignals, TheWatcherGivesThePreviousHandlingBackAndLeavesIgnoredSignalsIgnored) {
  signal(SIGHUP, SIG_IGN);  // as under nohup
  const auto termBefore = HandlerOf(SIGTERM);
  int caught = 0;
  {
    platform::TTerminationSignals watcher;
    EXPECT_NE(HandlerOf(SIGTERM), termBefore);
    EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
    watcher.Deliver([&](int) { ++caught; });
    raise(SIGHUP);
    RunEventsFor(200);
  }
  EXPECT_EQ(caught, 0);
  EXPECT_EQ(HandlerOf(SIGTERM), termBefore);
  EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
  signal(SIGHUP, SIG_DFL);
}
