#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

// A connected client of the socket at `path`; -1 when nobody listens.
int Connect(const QString& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool Send(int fd, const QByteArray& data) { return ::send(fd, data.constData(), data.size(), MSG_NOSIGNAL) == data.size(); }

// Lets the holder's event loop run a while.
void Settle() {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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

TEST(SingleInstance, OnlyAWholeRaiseRequestRaisesAndASilentOrBabblingClientBlocksNobody) {
  const QString dir = testenv::NewTempDir();
  TSingleInstance first(QStringLiteral("cinvo"), dir);
  ASSERT_EQ(first.Claim(), TInstanceClaim::First);
  int raised = 0;
  ASSERT_TRUE(first.Listen([&] { ++raised; }));
  // Only its owner may ask.
  EXPECT_EQ(QFile::permissions(first.SocketPath()) & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
            QFile::Permissions());

  const int silent = Connect(first.SocketPath());
  ASSERT_GE(silent, 0);
  const int babbling = Connect(first.SocketPath());
  ASSERT_GE(babbling, 0);
  EXPECT_TRUE(Send(babbling, QByteArray(100, 'x') + "raise\n"));
  const int other = Connect(first.SocketPath());
  ASSERT_GE(other, 0);
  EXPECT_TRUE(Send(other, "lower\n"));
  // A request that arrives in pieces is still one request.
  const int split = Connect(first.SocketPath());
  ASSERT_GE(split, 0);
  EXPECT_TRUE(Send(split, "rai"));
  Settle();
  EXPECT_EQ(raised, 0);
  EXPECT_TRUE(Send(split, "se\n"));
  EXPECT_TRUE(WaitFor([&] { return raised == 1; }));
  Settle();
  EXPECT_EQ(raised, 1);
  // The others are let go; a further start is still heard.
  char byte;
  const ssize_t received = ::recv(babbling, &byte, 1, MSG_DONTWAIT);
  EXPECT_TRUE(received == 0 || (received < 0 && errno == ECONNRESET)) << std::strerror(errno);
  EXPECT_TRUE(platform::AskRunningInstanceToRaise(first.SocketPath(), 0));
  EXPECT_TRUE(WaitFor([&] { return raised == 2; }));
  for (int fd : {silent, babbling, other, split}) ::close(fd);
}

TEST(SingleInstance, WhereNoLockCanBeMadeTheRunGoesOnUnguarded) {
  const QString file = testenv::NewTempDir() + "/a-file";
  ASSERT_TRUE(testenv::WriteFile(file, "not a directory"));
  TSingleInstance claim(QStringLiteral("cinvo"), file + "/below");
  EXPECT_EQ(claim.Claim(), TInstanceClaim::NoLock);
  EXPECT_FALSE(claim.Listen([] {}));
}
