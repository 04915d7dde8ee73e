#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>

#include "platform/single_instance.h"
#include "tests/support/test_env.h"

namespace {

using platform::TInstanceClaim;
using platform::TSingleInstance;

bool WaitFor(const std::function<bool()>& condition) {
  QElapsedTimer timer;
  timer.start();
  while (!condition() && timer.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  return condition();
}

}  // namespace

TEST(SingleInstance, ALaterClaimAsksTheHolderToComeForwardAndAnotherNameRunsBesideIt) {
  const QString dir = testenv::NewTempDir();
  TSingleInstance first(QStringLiteral("cinvo"), dir);
  ASSERT_EQ(first.Claim(), TInstanceClaim::First);
  int raised = 0;
  ASSERT_TRUE(first.Listen([&] { ++raised; }));

  TSingleInstance second(QStringLiteral("cinvo"), dir);
  EXPECT_EQ(second.Claim(), TInstanceClaim::Running);
  EXPECT_TRUE(WaitFor([&] { return raised == 1; }));

  TSingleInstance renamed(QStringLiteral("reelbay"), dir);
  EXPECT_EQ(renamed.Claim(), TInstanceClaim::First);
  EXPECT_EQ(raised, 1);
}

TEST(SingleInstance, ALockHeldForHoursIsStillHeld) {
  const QString dir = testenv::NewTempDir();
  TSingleInstance first(QStringLiteral("cinvo"), dir);
  ASSERT_EQ(first.Claim(), TInstanceClaim::First);
  // A movie evening: the holder started long ago and still runs.
  QFile lock(first.LockPath());
  ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
  ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3 * 3600), QFileDevice::FileModificationTime));
  lock.close();
  TSingleInstance later(QStringLiteral("cinvo"), dir);
  EXPECT_EQ(later.Claim(), TInstanceClaim::Running);
}

TEST(SingleInstance, TheEndOfARunFreesTheNameAndRemovesItsSocket) {
  const QString dir = testenv::NewTempDir();
  QString socket;
  {
    TSingleInstance first(QStringLiteral("cinvo"), dir);
    ASSERT_EQ(first.Claim(), TInstanceClaim::First);
    ASSERT_TRUE(first.Listen([] {}));
    socket = first.SocketPath();
    EXPECT_TRUE(QFile::exists(socket));
  }
  EXPECT_FALSE(QFile::exists(socket));
  TSingleInstance next(QStringLiteral("cinvo"), dir);
  EXPECT_EQ(next.Claim(), TInstanceClaim::First);
}

TEST(SingleInstance, ASocketFileLeftBehindIsReplacedAndAnswersAgain) {
  const QString dir = testenv::NewTempDir();
  TSingleInstance first(QStringLiteral("cinvo"), dir);
  ASSERT_EQ(first.Claim(), TInstanceClaim::First);
  ASSERT_TRUE(testenv::WriteFile(first.SocketPath(), "left by a killed run"));
  int raised = 0;
  ASSERT_TRUE(first.Listen([&] { ++raised; }));
  EXPECT_TRUE(platform::AskRunningInstanceToRaise(first.SocketPath(), 0));
  EXPECT_TRUE(WaitFor([&] { return raised == 1; }));
  // Nobody there: the ask gives up.
  EXPECT_FALSE(platform::AskRunningInstanceToRaise(dir + "/nobody.socket", 0));
}

TEST(SingleInstance, WhereNoLockCanBeMadeTheRunGoesOnUnguarded) {
  const QString file = testenv::NewTempDir() + "/a-file";
  ASSERT_TRUE(testenv::WriteFile(file, "not a directory"));
  TSingleInstance claim(QStringLiteral("cinvo"), file + "/below");
  EXPECT_EQ(claim.Claim(), TInstanceClaim::NoLock);
  EXPECT_FALSE(claim.Listen([] {}));
}
